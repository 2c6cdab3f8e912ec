#include "mainwindow/MainWindow.h"

#include "app/AppIdentity.h"
#include "app/CommandLine.h"
#include "app/SettingsKeys.h"
#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "enhance/UpscaleWidget.h"
#include "library/MediaLibraryWidget.h"
#include "mainwindow/MultichannelDialog.h"
#include "mainwindow/PlayStatisticsTable.h"
#include "mainwindow/RemoteControlServer.h"
#include "mainwindow/RemoteProtocol.h"
#include "mainwindow/WindowPlacement.h"
#include "settings/AudioAdvancedSettings.h"
#include "settings/AudioAdvancedWidget.h"
#include "settings/NetworkBrowserWidget.h"
#include "settings/SettingsDialog.h"
#include "settings/VideoAdvancedWidget.h"
#include "subtitles/SubtitleEditorWidget.h"
#include "subtitles/WhisperWidget.h"
#include "ui/chapters/ChapterWidget.h"
#include "ui/multiview/MultiViewWidget.h"
#include "music/CompactPlayerWidget.h"
#include "music/HiFiEngine.h"
#include "music/MiniPlayerWidget.h"
#include "music/MusicWidget.h"
#include "online/UrlDialog.h"
#include "platform/KeepAwake.h"
#include "platform/LauncherProgress.h"
#include "platform/MemoryRelease.h"
#include "platform/MprisService.h"
#include "ui/controls/ControlBar.h"
#include "ui/controls/MediaInfoOverlay.h"
#include "ui/controls/OsdWidget.h"
#include "ui/controls/ProFeaturesWidget.h"
#include "ui/controls/ShortcutOverlay.h"
#include "ui/controls/TitleBar.h"
#include "ui/controls/TrackSelector.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QScreen>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kControlsHideDelayMs = 3000;
// The engine has settled the track's tags and audio format by then.
constexpr int kTrackInfoDelayMs = 200;

const QString kOpenDialogFilter = QStringLiteral(
    "미디어 파일 (*.mkv *.mp4 *.avi *.mov *.wmv *.flv *.ts *.m2ts *.m4v *.webm *.mp3 *.flac *.aac *.wav *.dts "
    "*.ac3 *.truehd);;모든 파일 (*.*)");
} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent),
      settings_(QLatin1StringView(AppIdentity::kOrganisation), QLatin1StringView(AppIdentity::kSettingsApplication))
{
    setWindowTitle(QStringLiteral("Velmoran"));
    setMinimumSize(kMinimumSize);
    setAcceptDrops(true);
    setWindowFlags(Qt::FramelessWindowHint | Qt::Window);

    buildWidgetTree();
    keepAwake_ = new KeepAwake(this);
    launcherProgress_ = new LauncherProgress(this);
    // Seen for every object of the program: Tab toggles the information panel wherever the focus
    // is (dialogs included), and the pointer over any child reaches the video handling and the
    // frameless border.
    qApp->installEventFilter(this);
    hiFi_ = new HiFiEngine(core(), this);
    connectEngine();
    new MprisService(this, core(), [this](const QStringList &items) { openFiles(items); });
    connect(core(), &MpvCore::fileLoaded, new MemoryRelease(this), &MemoryRelease::releaseSoon);
    connectChrome();
    loadWindowState();
    controlBar_->setVolume(readSetting(settings_, SettingsKeys::audioVolume));
    QTimer::singleShot(1000, this, &MainWindow::startRemoteServer);
    startOnlineServices();
    // The engine starts while the window is still being built, so that a file given now begins
    // opening before the window is even on screen; with the software surface it can play at once.
    videoSurface_->start();
}

MainWindow::~MainWindow()
{
    delete miniPlayer_;
    delete compactPlayer_;
}

void MainWindow::startRemoteServer()
{
    if (remoteServer_ || !readSetting(settings_, SettingsKeys::remoteEnabled))
        return;
    remoteServer_ = new RemoteControlServer(core(), [this] { return currentFile; }, this);
    remoteActive_ = remoteServer_->listen(RemoteProtocol::kPort);
    if (remoteActive_)
        qInfo().noquote() << "[Remote] HTTP 리모컨 서버 시작: 포트 7373";
}

MpvCore *MainWindow::core() const
{
    return videoSurface_->core();
}

void MainWindow::connectEngine()
{
    MpvCore *core = videoSurface_->core();
    connect(core, &MpvCore::fileLoaded, this, &MainWindow::onFileLoaded);
    connect(core, &MpvCore::playbackStarted, this, &MainWindow::onPlaybackStarted);
    connect(core, &MpvCore::playbackPaused, this, &MainWindow::onPlaybackPaused);
    connect(core, &MpvCore::playbackEnded, this, &MainWindow::onPlaybackEnded);
    connect(core, &MpvCore::playbackStopped, this, &MainWindow::onPlaybackStopped);
    connect(core, &MpvCore::errorOccurred, this, &MainWindow::onPlaybackError);
    connect(core, &MpvCore::positionChanged, this, &MainWindow::onPositionChanged);
    connect(core, &MpvCore::durationChanged, this, &MainWindow::onDurationChanged);
    connect(core, &MpvCore::volumeChanged, this, &MainWindow::onVolumeChanged);
    connect(core, &MpvCore::tracksChanged, this, &MainWindow::followSelectedSubtitle);
    connect(core, &MpvCore::audioFormatChanged, this,
            [this](const QString &codec, int channels) { onAudioFormatChanged(codec, channels); });
    connect(core, &MpvCore::renderQualityDegraded, this, [this](const QString &reason) {
        osd_->showMessage(QStringLiteral("⚠ 렌더링 자동 최적화: ") + reason, 4000);
    });
    connect(core, &MpvCore::audioFilterFailed, this, [this] {
        const QString message = MpvCore::kAudioFilterFailedMessage.toString();
        if (musicMode_)
            musicView_->showNotice(message);
        else
            osd_->showMessage(message, kErrorMessageMs);
    });
    connect(core, &MpvCore::renderQualityRestored, this,
            [this] { osd_->showMessage(QStringLiteral("✅ 렌더링 품질 복원됨"), 3000); });
}

void MainWindow::connectChrome()
{
    MpvCore *core = videoSurface_->core();
    connect(controlBar_, &ControlBar::playPauseClicked, core, &MpvCore::togglePause);
    connect(controlBar_, &ControlBar::stopClicked, core, &MpvCore::stop);
    connect(controlBar_, &ControlBar::volumeChanged, core, &MpvCore::setVolume);
    connect(controlBar_, &ControlBar::muteToggled, core, &MpvCore::setMute);
    connect(controlBar_, &ControlBar::seeked, core, [core](double seconds) { core->seek(seconds); });
    connect(controlBar_, &ControlBar::prevClicked, this, &MainWindow::playPreviousEntry);
    connect(controlBar_, &ControlBar::nextClicked, this, &MainWindow::playNextEntry);
    connect(controlBar_, &ControlBar::openFileClicked, this, &MainWindow::onOpenFile);
    connect(controlBar_, &ControlBar::settingsClicked, this, &MainWindow::onSettingsRequested);
    connect(controlBar_, &ControlBar::playerModeClicked, this, &MainWindow::switchToPlayerMode);
    connect(controlBar_, &ControlBar::ottModeClicked, this, &MainWindow::switchToOttMode);

    connect(titleBar_, &TitleBar::minimizeClicked, this, &QWidget::showMinimized);
    connect(titleBar_, &TitleBar::maximizeClicked, this, [this] { isMaximized() ? showNormal() : showMaximized(); });
    connect(titleBar_, &TitleBar::fullscreenClicked, this, &MainWindow::toggleFullscreen);
    connect(titleBar_, &TitleBar::closeClicked, this, &QWidget::close);
    connect(titleBar_, &TitleBar::alwaysOnTopToggled, this, &MainWindow::setStayOnTop);

    controlBar_->connectToCore(core);
    trackSelector_->connectToCore(core);
}

void MainWindow::buildWidgetTree()
{
    setFocusPolicy(Qt::StrongFocus);
    auto *central = new QWidget(this);
    central->setStyleSheet(QStringLiteral("QWidget { background: #0e0e0e; color: #ccc; }"));
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    titleBar_ = new TitleBar(central);
    layout->addWidget(titleBar_);

    mainStack_ = new QStackedWidget(central);
    auto *playerPage = new QWidget(mainStack_);
    auto *playerLayout = new QVBoxLayout(playerPage);
    playerLayout->setContentsMargins(0, 0, 0, 0);
    playerLayout->setSpacing(0);
    contentStack_ = new QStackedWidget(playerPage);
    playerLayout->addWidget(contentStack_, 1);
    mainStack_->addWidget(playerPage);
    // The streaming page stands here once the streaming mode is first entered.
    mainStack_->addWidget(new QWidget(mainStack_));
    layout->addWidget(mainStack_, 1);

    videoContainer_ = new QWidget(contentStack_);
    videoContainer_->setStyleSheet(QStringLiteral("background: #000000;"));
    videoContainer_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto *videoLayout = new QVBoxLayout(videoContainer_);
    videoLayout->setContentsMargins(0, 0, 0, 0);
    videoSurface_ = new MpvWidget(videoContainer_);
    videoSurface_->setFocusPolicy(Qt::ClickFocus);
    videoSurface_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    videoLayout->addWidget(videoSurface_);
    contentStack_->addWidget(videoContainer_);
    connect(videoSurface_, &MpvWidget::mpvInitialized, this, &MainWindow::onMpvInitialized);
    videoSurface_->setMouseTracking(true);
    setMouseTracking(true);

    controlBar_ = new ControlBar(central);
    trackSelector_ = new TrackSelector(controlBar_);
    controlBar_->insertCenterWidget(trackSelector_);
    layout->addWidget(controlBar_);
    chromeLayout_ = layout;

    shortcutOverlay_ = new ShortcutOverlay(videoSurface_);
    shortcutOverlay_->hide();
    osd_ = new OsdWidget(videoSurface_);
    osd_->hide();

    setCentralWidget(central);
}

void MainWindow::loadWindowState()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
    const WindowPlacement placement = chooseWindowPlacement(
        available, readSetting(settings_, SettingsKeys::windowSize), readSetting(settings_, SettingsKeys::windowPos));
    resize(placement.geometry.size());
    move(placement.geometry.topLeft());
    if (placement.replacesStored) {
        writeSetting(settings_, SettingsKeys::windowSize, placement.geometry.size());
        writeSetting(settings_, SettingsKeys::windowPos, placement.geometry.topLeft());
    }

    if (readSetting(settings_, SettingsKeys::windowAlwaysOnTop)) {
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
        titleBar_->setPinned(true);
    }
}

// Runs once the engine exists: it comes up with the surface's GL context, after construction,
// and would silently drop settings written before.
void MainWindow::loadAudioSettings()
{
    MpvCore *core = videoSurface_->core();
    core->setVolume(readSetting(settings_, SettingsKeys::audioVolume));
    if (readSetting(settings_, SettingsKeys::audioExclusive))
        core->setAudioExclusive(true);
    if (!readSetting(settings_, SettingsKeys::audioPassthrough)) {
        core->setPassthrough(false);
        return;
    }
    const std::pair<const SettingKey<bool> &, const char *> codecKeys[] = {
        {SettingsKeys::audioPassthroughAc3, "ac3"},     {SettingsKeys::audioPassthroughEac3, "eac3"},
        {SettingsKeys::audioPassthroughDts, "dts"},     {SettingsKeys::audioPassthroughDtsHd, "dts-hd"},
        {SettingsKeys::audioPassthroughTrueHd, "truehd"}};
    QStringList codecs;
    for (const auto &[key, codec] : codecKeys)
        if (readSetting(settings_, key))
            codecs << QLatin1String(codec);
    core->setPassthroughCodecs(codecs);
}

bool MainWindow::resumeLastFile()
{
    if (!readSetting(settings_, SettingsKeys::generalResume))
        return false;
    const QStringList recent = history_.recentFiles();
    // A file deleted or on an unmounted drive since is passed over quietly at start-up.
    if (recent.isEmpty() || !QFileInfo(recent.first()).isFile())
        return false;
    openFiles({recent.first()});
    return true;
}

void MainWindow::openFiles(const QStringList &files)
{
    if (!videoSurface_->isInitialized()) {
        qInfo().noquote() << "[MainWindow] openFiles: MPV 초기화 전 → pendingStartupFiles_에 저장" << files;
        pendingStartupFiles_ = files;
        return;
    }
    // Absolute from here on: the engine reports back what it was given, and that text becomes
    // the recent entry, the resume key and the statistics record, which outlive the directory
    // the player happened to start in.
    QStringList existing;
    for (const QString &path : files)
        if (const QFileInfo info(path); info.isFile())
            existing << info.absoluteFilePath();
    if (existing.isEmpty()) {
        // A stream address given on the command line or by a second start: play it rather
        // than drop it, as long as there is no local file to play instead.
        const auto stream = std::find_if(files.cbegin(), files.cend(), isStreamUrl);
        if (stream != files.cend())
            openUrl(*stream);
        else if (!files.isEmpty())
            reportUnopenable(files.first());
        return;
    }
    leaveCurrentFile();
    if (HiFiEngine::isAudioFile(existing.first())) {
        if (!musicMode_)
            switchToMusicMode();
        applyHiFiSettings();
    } else if (musicMode_) {
        switchToVideoMode();
    }
    // A moment for the window to settle before the engine starts on the file; a window not yet
    // on screen (the start-up file) has nothing to settle. The rest are queued after it: queued
    // first, the replacing load would throw them away again.
    const auto load = [this, existing] {
        videoSurface_->loadFile(existing.first());
        for (const QString &path : existing.sliced(1))
            videoSurface_->appendFile(path);
    };
    if (isVisible())
        QTimer::singleShot(50, this, load);
    else
        load();
}

// The engine keeps reporting the old file until the new one is loaded, and the new one may never
// load. So the old file's place is kept now, under its own name, and nothing counts as current
// until the engine names the next file: a close in between has no position to store, and no
// late report of the old file can be stored under the new name.
void MainWindow::leaveCurrentFile()
{
    saveResumePosition();
    currentFile.clear();
    position_ = 0.0;
    duration_ = 0.0;
}

void MainWindow::reportUnopenable(const QString &path)
{
    const QFileInfo info(path);
    const QString name = info.fileName().isEmpty() ? path : info.fileName();
    shownOsd()->showMessage(info.isDir() ? QStringLiteral("폴더는 열 수 없습니다: %1").arg(name)
                                         : QStringLiteral("파일을 찾을 수 없습니다: %1").arg(name),
                            kErrorMessageMs);
}

void MainWindow::onOpenFile()
{
    const QStringList files =
        QFileDialog::getOpenFileNames(this, QStringLiteral("파일 열기"), QString(), kOpenDialogFilter);
    if (!files.isEmpty())
        openFiles(files);
}

void MainWindow::toggleMultiView(MultiViewLayout layout)
{
    if (layout == MultiViewLayout::Single) {
        if (multiView_)
            multiView_->setLayout(MultiViewLayout::Single); // its layoutChanged brings the surface back
        return;
    }
    if (!multiView_) {
        multiView_ = new MultiViewWidget(videoSurface_, contentStack_);
        contentStack_->addWidget(multiView_);
        connect(multiView_, &MultiViewWidget::layoutChanged, this, [this](MultiViewLayout shown) {
            if (shown != MultiViewLayout::Single || videoSurface_->parentWidget() == videoContainer_)
                return;
            // The player's surface goes back to its own page, or that page stays black.
            videoContainer_->layout()->addWidget(videoSurface_);
            videoSurface_->show();
            contentStack_->setCurrentWidget(videoContainer_);
        });
        connect(multiView_, &MultiViewWidget::secondaryFileRequested, this, [this] {
            const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("파일 열기"), QString(), kOpenDialogFilter);
            if (!file.isEmpty())
                multiView_->loadSecondaryFile(file);
        });
    }
    multiView_->adoptMainSurface();
    multiView_->setLayout(layout);
    contentStack_->setCurrentWidget(multiView_);
    controlBar_->show();
}

void MainWindow::onOpenUrl()
{
    UrlDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString url = dialog.url().trimmed();
    if (!url.isEmpty())
        openUrl(url);
}

void MainWindow::onMpvInitialized()
{
    loadAudioSettings();
    // What the user saved takes effect now, not only once the panels are first opened.
    SettingsDialog::applySavedAtStart(core());
    for (const QString &notice : AudioAdvanced::applySaved(core()))
        shownOsd()->showMessage(notice, kErrorMessageMs);
    VideoAdvancedWidget::applySaved(core());
    // A 360° view left on stays on; its page shows the first projection, which is this one.
    if (readSetting(settings_, SettingsKeys::networkVr360Enabled))
        core()->setVr360Projection(QStringLiteral("equirectangular"));
    if (pendingStartupFiles_.isEmpty())
        return;
    qInfo().noquote() << "[MainWindow] mpvInitialized: pendingStartupFiles_ 처리" << pendingStartupFiles_;
    const QStringList files = pendingStartupFiles_;
    pendingStartupFiles_.clear();
    openFiles(files);
}

void MainWindow::onFileLoaded(const QString &path)
{
    if (!currentFile.isEmpty() && currentFile != path)
        saveResumePosition();
    currentFile = path;
    position_ = 0.0;
    multichannelPrompted_ = false;
    // The next entry of a list may follow a file that failed and brought the logo back.
    videoSurface_->setLogoVisible(false);
    updateWindowTitle(QFileInfo(path).fileName());
    history_.recordLoad(path);
    restoreResumePosition(path);
    followMediaKind(path);
    if (musicMode_) {
        musicView_->setPlaying(true);
        refreshMusicPlaylist();
        QTimer::singleShot(kTrackInfoDelayMs, this, [this, path] {
            if (currentFile == path)
                refreshTrackInfo();
        });
    } else {
        controlBar_->setPlaying(true);
    }
    // The chapter list is complete only once the demuxer has settled.
    QTimer::singleShot(300, this, &MainWindow::refreshChapterMarkers);
}

void MainWindow::refreshChapterMarkers()
{
    controlBar_->setChapters(chaptersFromEngineList(core()->getMpvProperty(QStringLiteral("chapter-list"))), duration_);
    if (chapterPanel_)
        showFileInChapterPanel();
}

ChapterWidget *MainWindow::createChapterTab()
{
    chapterPanel_ = new ChapterWidget(core(), proPanel_);
    connect(chapterPanel_, &ChapterWidget::seekRequested, this, [this](double seconds) { core()->seek(seconds); });
    if (!currentFile.isEmpty())
        showFileInChapterPanel();
    return chapterPanel_;
}

void MainWindow::showFileInChapterPanel()
{
    chapterPanel_->setDuration(duration_);
    chapterPanel_->loadChapters();
    chapterPanel_->generateThumbnails(currentFile);
    chapterPanel_->onPositionChanged(position_);
}

void MainWindow::updateWindowTitle(const QString &name)
{
    setWindowTitle(name.isEmpty() ? QStringLiteral("Velmoran") : QStringLiteral("Velmoran — %1").arg(name));
    titleBar_->setTitle(windowTitle());
}

void MainWindow::saveResumePosition()
{
    history_.saveResumePosition(currentFile, position_, duration_);
}

void MainWindow::restoreResumePosition(const QString &path)
{
    const std::optional<double> resume = history_.resumePosition(path);
    if (!resume)
        return;
    MpvCore *core = videoSurface_->core();
    core->seek(*resume);
    core->command({QStringLiteral("show-text"), PlaybackHistory::resumeMessage(*resume), QStringLiteral("3000")});
}

void MainWindow::toggleProFeatures()
{
    proPanelVisible_ = !proPanelVisible_;
    if (!proPanelVisible_) {
        proPanel()->hide();
        return;
    }
    addFeatureTabs();
    proPanel_->show();
}

void MainWindow::addFeatureTabs()
{
    if (!featureTabsAdded_) {
        featureTabsAdded_ = true;
        proPanel()->addFeatureTab(createWhisperTab(), QStringLiteral("AI 자막"));
        proPanel_->addFeatureTab(new UpscaleWidget(core(), proPanel_), QStringLiteral("화질 개선"));
        proPanel_->addFeatureTab(createChapterTab(), QStringLiteral("챕터/북마크"));
        proPanel_->addFeatureTab(new AudioAdvancedWidget(core(), proPanel_), QStringLiteral("하이엔드 오디오"));
        proPanel_->addFeatureTab(new VideoAdvancedWidget(core(), proPanel_), QStringLiteral("하이엔드 비디오"));
        auto *network = new NetworkBrowserWidget(core(), proPanel_);
        connect(network, &NetworkBrowserWidget::openFileRequested, this, [this](const QString &path) { openFiles({path}); });
        proPanel_->addFeatureTab(network, QStringLiteral("네트워크"));
        auto *library = new MediaLibraryWidget(proPanel_);
        connect(library, &MediaLibraryWidget::fileRequested, this, [this](const QString &path) { openFiles({path}); });
        proPanel_->addFeatureTab(library, QStringLiteral("미디어 라이브러리"));
        proPanel_->addFeatureTab(createSubtitleEditorTab(), QStringLiteral("자막 편집기"));
        proPanel_->addFeatureTab(new PlayStatisticsTable(history_, proPanel_), QStringLiteral("재생 통계"));
    }
}

MediaInfoOverlay *MainWindow::mediaInfo()
{
    if (mediaInfo_)
        return mediaInfo_;
    mediaInfo_ = new MediaInfoOverlay(videoSurface_);
    mediaInfo_->hide();
    mediaInfo_->connectToCore(core());
    if (!currentFile.isEmpty())
        mediaInfo_->onFileLoaded(currentFile); // what has played since the start
    return mediaInfo_;
}

ProFeaturesWidget *MainWindow::proPanel()
{
    if (proPanel_)
        return proPanel_;
    proPanel_ = new ProFeaturesWidget(centralWidget());
    proPanel_->hide();
    chromeLayout_->addWidget(proPanel_);
    proPanel_->connectToCore(videoSurface_->core());
    connect(proPanel_, &ProFeaturesWidget::closeRequested, this, &MainWindow::toggleProFeatures);
    return proPanel_;
}

void MainWindow::onSettingsRequested()
{
    SettingsDialog dialog(core(), this);
    dialog.exec();
}

void MainWindow::toggleFullscreen()
{
    fullscreen_ = !fullscreen_;
    if (fullscreen_)
        showFullScreen();
    else
        showNormal();
    titleBar_->setVisible(!fullscreen_);
    titleBar_->setFullscreen(fullscreen_);
}

void MainWindow::showControls()
{
    if (!controlsVisible_) {
        if (!fullscreen_)
            titleBar_->show();
        if (!musicMode_)
            controlBar_->show();
        controlsVisible_ = true;
    }
    unsetCursor();
    videoSurface_->unsetCursor();
    if (musicView_)
        musicView_->unsetCursor();
    // Music mode never hides its controls.
    if (playing_ && hideTimer_ && !musicMode_)
        hideTimer_->start(kControlsHideDelayMs);
}

void MainWindow::hideControls()
{
    // The control bar holds the way back from the streaming page.
    if (!controlsVisible_ || !playing_ || musicMode_ || ottMode_)
        return;
    // Not from under a resting pointer: the user is reading the time or the seek preview.
    if (controlBar_->underMouse()) {
        hideTimer_->start(kControlsHideDelayMs);
        return;
    }
    if (!fullscreen_)
        titleBar_->hide();
    controlBar_->hide();
    controlsVisible_ = false;
    setCursor(Qt::BlankCursor);
    videoSurface_->setCursor(Qt::BlankCursor);
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    QStringList files;
    for (const QUrl &url : event->mimeData()->urls())
        if (url.isLocalFile())
            files << url.toLocalFile();
    if (!files.isEmpty())
        openFiles(files);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    saveResumePosition();
    writeSetting(settings_, SettingsKeys::windowSize, size());
    writeSetting(settings_, SettingsKeys::windowPos, pos());
    // An engine whose surface never came up (on OpenGL it starts before the window's GL
    // context) has not been given the user's volume: it reports its default.
    if (videoSurface_->isInitialized())
        writeSetting(settings_, SettingsKeys::audioVolume, core()->volume());
    event->accept();
}
