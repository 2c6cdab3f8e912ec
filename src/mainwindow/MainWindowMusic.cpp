#include "mainwindow/MainWindow.h"

#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "music/CompactPlayerWidget.h"
#include "music/EqPanel.h"
#include "music/HiFiEngine.h"
#include "music/MiniPlayerWidget.h"
#include "music/MusicWidget.h"
#include "music/PlaylistPanel.h"
#include "music/TrackInfoReader.h"
#include "ui/controls/ControlBar.h"
#include "ui/controls/OsdWidget.h"
#include "ui/controls/TitleBar.h"
#include "ui/multiview/MultiViewWidget.h"

#include <QFileInfo>
#include <QScreen>
#include <QStackedWidget>
#include <QTimer>

namespace {
constexpr int kQueueMessageMs = 2000;
} // namespace

MusicWidget *MainWindow::musicView()
{
    if (musicView_)
        return musicView_;
    musicView_ = new MusicWidget(contentStack_);
    contentStack_->addWidget(musicView_);
    musicView_->setEngine(core());
    equalizer_ = new EqPanel;
    musicView_->setEqualizerPage(equalizer_);
    connect(equalizer_, &EqPanel::eqChanged, this, &MainWindow::applyGraphicEq);
    connect(equalizer_, &EqPanel::switchedOn, this, &MainWindow::applyGraphicEq);
    connectMusicView();
    return musicView_;
}

EqPanel *MainWindow::equalizer()
{
    musicView();
    return equalizer_;
}

void MainWindow::connectMusicView()
{
    MpvCore *core = this->core();
    connect(musicView_, &MusicWidget::seekRequested, this, &MainWindow::onMusicSeekRequested);
    connect(musicView_, &MusicWidget::volumeChanged, this, &MainWindow::onMusicVolumeChanged);
    connect(musicView_, &MusicWidget::playPauseRequested, core, &MpvCore::togglePause);
    connect(musicView_, &MusicWidget::prevRequested, this, &MainWindow::playPreviousEntry);
    connect(musicView_, &MusicWidget::nextRequested, this, &MainWindow::playNextEntry);
    connect(musicView_, &MusicWidget::miniModeRequested, this, &MainWindow::toggleMiniPlayer);
    connect(musicView_, &MusicWidget::compactModeRequested, this, &MainWindow::toggleCompactPlayer);
    connect(musicView_, &MusicWidget::settingsRequested, this, &MainWindow::onSettingsRequested);
    connect(musicView_, &MusicWidget::shuffleToggled, this, &MainWindow::setEngineShuffle);
    connect(musicView_, &MusicWidget::repeatToggled, this, &MainWindow::setEngineRepeat);
    connect(musicView_->playlistPanel(), &PlaylistPanel::trackSelected, this, &MainWindow::playEntry);
    connect(musicView_, &MusicWidget::addToPlaylistRequested, this, &MainWindow::appendToQueue);
    // The lists and buttons show the engine's queue and modes, whoever changed them: the views,
    // the keys, the desktop's media controls.
    connect(core, &MpvCore::playlistChanged, this, &MainWindow::refreshMusicPlaylist);
    connect(core, &MpvCore::shuffleChanged, this, [this](bool on) {
        musicView_->setShuffle(on);
        if (compactPlayer_)
            compactPlayer_->setShuffle(on);
    });
    connect(core, &MpvCore::loopFileChanged, this, [this](bool on) {
        musicView_->setRepeat(on);
        if (compactPlayer_)
            compactPlayer_->setRepeat(on);
    });
}

void MainWindow::switchToMusicMode()
{
    if (multiView_ && multiView_->currentLayout() != MultiViewLayout::Single)
        toggleMultiView(MultiViewLayout::Single); // music has no picture to split
    musicMode_ = true;
    contentStack_->setCurrentWidget(musicView());
    controlBar_->hide();
    if (!fullscreen_)
        titleBar_->show();
    controlsVisible_ = true;
    if (hideTimer_)
        hideTimer_->stop();
    unsetCursor();
    videoSurface_->unsetCursor();
    musicView_->unsetCursor();
    musicView_->setPlaying(playing_);
    musicView_->setVolume(core()->volume());
    holdMusicView();

    MpvCore *core = this->core();
    core->setMpvProperty(QStringLiteral("gapless-audio"), QStringLiteral("yes"));
    // The music view draws the cover itself; decoding and drawing it as a video frame as well
    // would only cost time on a page nobody sees.
    if (videoAudioDisplay_.isEmpty())
        videoAudioDisplay_ = core->propertyText(QStringLiteral("audio-display"));
    core->setMpvProperty(QStringLiteral("audio-display"), QStringLiteral("no"));
    core->setSpectrumEnabled(true);
    connect(core, &MpvCore::spectrumReady, musicView_, &MusicWidget::setSpectrum, Qt::UniqueConnection);
}

// The view's layout is fixed and taller than the video page needs: the window grows to hold it,
// and cannot be shrunk below it while music plays.
void MainWindow::holdMusicView()
{
    if (!isVisible()) {
        // A window not shown yet (a music file given at start) has no layout to measure.
        QTimer::singleShot(0, this, [this] {
            if (musicMode_ && isVisible())
                holdMusicView();
        });
        return;
    }
    setMinimumSize(kMinimumSize.expandedTo(minimumSizeHint()));
    const QScreen *screen = this->screen();
    if (screen && !isMaximized() && !isFullScreen()) {
        // Grown downwards and to the right, it may now reach past the screen's edge.
        const QRect available = screen->availableGeometry();
        QRect placed = geometry();
        placed.moveRight(qMin(placed.right(), available.right()));
        placed.moveBottom(qMin(placed.bottom(), available.bottom()));
        placed.moveLeft(qMax(placed.left(), available.left()));
        placed.moveTop(qMax(placed.top(), available.top()));
        move(placed.topLeft());
    }
}

void MainWindow::switchToVideoMode()
{
    musicMode_ = false;
    contentStack_->setCurrentIndex(0);
    setMinimumSize(kMinimumSize);
    controlBar_->show();
    controlBar_->setPlaying(playing_);
    MpvCore *core = this->core();
    core->setSpectrumEnabled(false);
    if (musicView_)
        disconnect(core, &MpvCore::spectrumReady, musicView_, &MusicWidget::setSpectrum);
    if (!videoAudioDisplay_.isEmpty())
        core->setMpvProperty(QStringLiteral("audio-display"), videoAudioDisplay_);
    // A picture cannot play in a small player: the window it needs comes back.
    if (smallPlayerShown())
        bringBackMainWindow();
}

// Every file that starts decides the page, not only the first one opened: a queue may mix songs
// and videos.
void MainWindow::followMediaKind(const QString &path)
{
    const bool audio = HiFiEngine::isAudioFile(path);
    if (audio && !musicMode_) {
        switchToMusicMode();
        applyHiFiSettings();
    } else if (!audio && musicMode_) {
        switchToVideoMode();
    }
}

void MainWindow::applyHiFiSettings()
{
    hiFi_->apply();
    // The graphic equalizer keeps its own place in the filter chain; setting it again keeps the
    // engine in step with the sliders whatever the music set-up wrote.
    applyGraphicEq();
}

void MainWindow::applyGraphicEq()
{
    if (!equalizer_)
        return;
    core()->setAudioFilter(AudioFilterSlot::GraphicEq, equalizer_->engineFilter());
    showMusicOutput(); // a filter more or less decides whether the output is bit-perfect
}

void MainWindow::playPreviousEntry()
{
    core()->command({QStringLiteral("playlist-prev")});
}

void MainWindow::playNextEntry()
{
    core()->command({QStringLiteral("playlist-next")});
}

void MainWindow::playEntry(int index)
{
    core()->command({QStringLiteral("playlist-play-index"), QString::number(index)});
}

void MainWindow::appendToQueue(const QString &path)
{
    if (path.isEmpty())
        return;
    core()->loadFile(path, true);
    shownOsd()->showMessage(QStringLiteral("재생목록에 추가: %1").arg(QFileInfo(path).fileName()), kQueueMessageMs);
}

void MainWindow::onMusicSeekRequested(double seconds)
{
    core()->seek(seconds);
}

void MainWindow::onMusicVolumeChanged(int volume)
{
    core()->setVolume(volume);
}

// The buttons follow when the engine reports the change (shuffleChanged, loopFileChanged).
void MainWindow::setEngineShuffle(bool on)
{
    // Writing the flag reorders the queue: only a real change may write it.
    const QString value = on ? QStringLiteral("yes") : QStringLiteral("no");
    if (core()->propertyText(QStringLiteral("shuffle")) != value)
        core()->setMpvProperty(QStringLiteral("shuffle"), value);
}

void MainWindow::setEngineRepeat(bool on)
{
    core()->setMpvProperty(QStringLiteral("loop-file"), on ? QStringLiteral("inf") : QStringLiteral("no"));
}

OsdWidget *MainWindow::shownOsd()
{
    // The video's display is hidden with the video: a confirmation goes over whatever is in view.
    QWidget *shown = nullptr;
    if (compactPlayer_ && compactPlayer_->isVisible())
        shown = compactPlayer_;
    else if (miniPlayer_ && miniPlayer_->isVisible())
        shown = miniPlayer_;
    else if (musicMode_)
        shown = musicView_;
    if (!shown)
        return osd_;
    auto *display = shown->findChild<OsdWidget *>(QString(), Qt::FindDirectChildrenOnly);
    return display ? display : new OsdWidget(shown);
}

void MainWindow::refreshTrackInfo()
{
    if (!musicMode_ || currentFile.isEmpty())
        return;
    if (duration_ <= 0)
        duration_ = core()->duration();
    const TrackInfo track = TrackInfoReader::read(*core(), currentFile);
    musicView_->updatePosition(0, duration_);
    musicView_->setTrack(track);
    showMusicOutput();
    fillSmallPlayers();
}

void MainWindow::showMusicOutput()
{
    if (!musicMode_ || !musicView_)
        return;
    MpvCore *core = this->core();
    // The format may come long after the file has loaded (a slow start, a track switch): the
    // badges follow each report, once it names a format.
    if (currentFile == musicView_->track().filePath) {
        const TrackInfo format = TrackInfoReader::readFormat(*core, currentFile);
        if (format.sampleRate > 0 && !format.codec.isEmpty())
            musicView_->setTrackFormat(format);
    }
    const int rate = core->getMpvProperty(QStringLiteral("audio-out-params/samplerate")).toInt();
    if (rate <= 0)
        return;
    MusicView::OutputPath output;
    output.rate = rate;
    output.format = core->propertyText(QStringLiteral("audio-out-params/format"));
    output.directHardware = core->isDirectHardwareOutput();
    output.volume = core->volume();
    output.muted = core->propertyText(QStringLiteral("mute")) == QLatin1String("yes");
    output.speed = core->getMpvProperty(QStringLiteral("speed")).toDouble();
    output.replayGainApplied = replayGainApplied();
    output.filtered = !core->getMpvProperty(QStringLiteral("af")).toList().isEmpty();
    musicView_->setOutputInfo(output);
    bitPerfect_ = MusicView::isBitPerfectOutput(musicView_->track(), output);
}

// Whether ReplayGain changes this file's level: on, and with a gain to apply (the file's own,
// or the fallback for files without one).
bool MainWindow::replayGainApplied() const
{
    MpvCore *core = this->core();
    if (core->propertyText(QStringLiteral("replaygain")) == QLatin1String("no"))
        return false;
    const QVariantMap audio = core->getMpvProperty(QStringLiteral("current-tracks/audio")).toMap();
    const bool tagged = audio.contains(QStringLiteral("replaygain-track-gain"))
        || audio.contains(QStringLiteral("replaygain-album-gain"));
    return tagged || core->getMpvProperty(QStringLiteral("replaygain-fallback")).toDouble() != 0.0
        || core->getMpvProperty(QStringLiteral("replaygain-preamp")).toDouble() != 0.0;
}

void MainWindow::refreshMusicPlaylist()
{
    if (!musicView_)
        return;
    // One read of the whole queue: a long one is not asked for entry by entry.
    QStringList names;
    int current = -1;
    for (const QVariant &entry : core()->getMpvProperty(QStringLiteral("playlist")).toList()) {
        const QVariantMap fields = entry.toMap();
        if (fields.value(QStringLiteral("current")).toBool())
            current = int(names.size());
        names << QFileInfo(fields.value(QStringLiteral("filename")).toString()).fileName();
    }
    musicView_->playlistPanel()->setTracks(names);
    musicView_->playlistPanel()->setCurrentIndex(current);
    if (compactPlayer_)
        compactPlayer_->setPlaylist(names, current);
}

template <typename Player>
void MainWindow::connectSmallPlayerTransport(Player *player)
{
    MpvCore *core = this->core();
    connect(player, &Player::playPauseRequested, core, &MpvCore::togglePause);
    connect(player, &Player::prevRequested, this, &MainWindow::playPreviousEntry);
    connect(player, &Player::nextRequested, this, &MainWindow::playNextEntry);
    connect(player, &Player::seekRequested, this, &MainWindow::onMusicSeekRequested);
    // Closing a small player must not leave the program running without any window.
    connect(player, &Player::closeRequested, this, &MainWindow::bringBackMainWindow);
}

void MainWindow::toggleMiniPlayer()
{
    if (!musicMode_)
        return;
    if (!miniPlayer_) {
        miniPlayer_ = new MiniPlayerWidget;
        connectSmallPlayerTransport(miniPlayer_);
        connect(miniPlayer_, &MiniPlayerWidget::expandRequested, this, &MainWindow::toggleMiniPlayer);
        placeOverMainWindow(miniPlayer_);
    }
    if (miniPlayer_->isVisible())
        bringBackMainWindow();
    else
        showInPlaceOfMainWindow(miniPlayer_);
}

void MainWindow::toggleCompactPlayer()
{
    if (!musicMode_)
        return;
    if (!compactPlayer_) {
        compactPlayer_ = new CompactPlayerWidget;
        connectSmallPlayerTransport(compactPlayer_);
        connect(compactPlayer_, &CompactPlayerWidget::expandRequested, this, &MainWindow::toggleCompactPlayer);
        connect(compactPlayer_, &CompactPlayerWidget::volumeChanged, this, &MainWindow::onMusicVolumeChanged);
        connect(compactPlayer_, &CompactPlayerWidget::shuffleToggled, this, &MainWindow::setEngineShuffle);
        connect(compactPlayer_, &CompactPlayerWidget::repeatToggled, this, &MainWindow::setEngineRepeat);
        connect(compactPlayer_, &CompactPlayerWidget::trackSelected, this, &MainWindow::playEntry);
        connect(core(), &MpvCore::spectrumReady, compactPlayer_, &CompactPlayerWidget::setSpectrum);
        placeOverMainWindow(compactPlayer_);
    }
    if (compactPlayer_->isVisible())
        bringBackMainWindow();
    else
        showInPlaceOfMainWindow(compactPlayer_);
}

// Where the user was looking; later showings keep wherever the player was dragged.
void MainWindow::placeOverMainWindow(QWidget *player)
{
    QRect placed(QPoint(), player->size());
    placed.moveCenter(frameGeometry().center());
    player->move(placed.topLeft());
}

void MainWindow::fillSmallPlayers()
{
    if (!musicView_)
        return;
    const TrackInfo &track = musicView_->track();
    if (miniPlayer_) {
        miniPlayer_->setTrack(track);
        miniPlayer_->updatePosition(position_, duration_);
        miniPlayer_->setPlaying(playing_);
    }
    if (compactPlayer_) {
        compactPlayer_->setTrack(track.title, track.artist, track.album, track.cover, track.codec, track.sampleRate,
                                 track.bitDepth, track.channels, bitPerfect_);
        compactPlayer_->updatePosition(position_, duration_);
        compactPlayer_->setPlaying(playing_);
        compactPlayer_->setVolume(core()->volume());
        compactPlayer_->setShuffle(core()->propertyText(QStringLiteral("shuffle")) == QLatin1String("yes"));
        compactPlayer_->setRepeat(core()->propertyText(QStringLiteral("loop-file")) == QLatin1String("inf"));
    }
}

void MainWindow::showInPlaceOfMainWindow(QWidget *player)
{
    // One small player at a time stands in for the window.
    for (QWidget *other : {static_cast<QWidget *>(miniPlayer_), static_cast<QWidget *>(compactPlayer_)})
        if (other && other != player)
            other->hide();
    fillSmallPlayers();
    refreshMusicPlaylist();
    hide();
    player->show();
    player->raise();
    player->activateWindow();
}

void MainWindow::bringBackMainWindow()
{
    if (miniPlayer_)
        miniPlayer_->hide();
    if (compactPlayer_)
        compactPlayer_->hide();
    show();
    raise();
    activateWindow();
}

bool MainWindow::smallPlayerShown() const
{
    return (miniPlayer_ && miniPlayer_->isVisible()) || (compactPlayer_ && compactPlayer_->isVisible());
}
