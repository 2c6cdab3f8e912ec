// The right-click menu, built anew at each opening so every entry reflects the engine's state.
// File and track names go through MediaText's literal forms: an "&" in them is no shortcut.
#include "mainwindow/MainWindow.h"

#include "engine/MpvCore.h"
#include "ui/controls/MediaText.h"
#include "ui/controls/ProFeaturesWidget.h"

#include <QFileInfo>
#include <QMenu>

namespace {
const char *const kMenuStyle =
    "QMenu { background: #1a1a1a; color: #ddd; font-size: 12px; border: 1px solid #333; }"
    "QMenu::item { padding: 5px 24px 5px 18px; }"
    "QMenu::item:selected { background: #2a2a2a; }"
    "QMenu::item:disabled { color: #555; }"
    "QMenu::separator { height: 1px; background: #333; margin: 4px 8px; }";

QAction *addCommand(QMenu *menu, const QString &text, MpvCore *engine, const QStringList &arguments)
{
    return menu->addAction(text, engine, [engine, arguments] { engine->command(arguments); });
}
} // namespace

void MainWindow::showContextMenu(const QPoint &globalPos)
{
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setStyleSheet(QLatin1String(kMenuStyle));
    MpvCore *engine = core();

    menu->addAction(QStringLiteral("파일 열기..."), QKeySequence(QStringLiteral("Ctrl+O")), this, &MainWindow::onOpenFile);
    menu->addAction(QStringLiteral("URL 열기... (YouTube/스트리밍)"), QKeySequence(QStringLiteral("Ctrl+U")), this,
                    &MainWindow::onOpenUrl);
    addRecentFilesMenu(menu);
    menu->addSeparator();

    const bool loaded = !engine->currentPath().isEmpty();
    const bool paused = engine->isPaused();
    QAction *playPause = menu->addAction(loaded && !paused ? QStringLiteral("일시정지") : QStringLiteral("재생"),
                                         engine, &MpvCore::togglePause);
    playPause->setEnabled(loaded);
    menu->addAction(QStringLiteral("정지"), engine, &MpvCore::stop)->setEnabled(loaded);
    addCommand(menu, QStringLiteral("이전"), engine, {QStringLiteral("playlist-prev")});
    addCommand(menu, QStringLiteral("다음"), engine, {QStringLiteral("playlist-next")});
    menu->addSeparator();

    addTrackMenus(menu);
    addPictureMenus(menu);
    menu->addAction(fullscreen_ ? QStringLiteral("전체화면 해제  (F)") : QStringLiteral("전체화면  (F)"), this,
                    &MainWindow::toggleFullscreen);
    menu->addAction(QStringLiteral("화면 캐치  (C)"), this, &MainWindow::takeScreenshot);
    addPlaybackMenus(menu);

    menu->addAction(QStringLiteral("환경 설정..."), QKeySequence(QStringLiteral("F5")), this,
                    &MainWindow::onSettingsRequested);
    menu->addAction(QStringLiteral("Velmoran 종료"), QKeySequence(QStringLiteral("Alt+F4")), this, &QWidget::close);
    menu->popup(globalPos);
}

void MainWindow::addRecentFilesMenu(QMenu *menu)
{
    QMenu *recent = menu->addMenu(QStringLiteral("최근 파일"));
    const QStringList files = history_.recentFiles();
    if (files.isEmpty()) {
        recent->addAction(QStringLiteral("최근 파일 없음"))->setEnabled(false);
        return;
    }
    for (const QString &path : files) {
        const QString name = MediaText::literalMenuText(QFileInfo(path).fileName());
        QAction *entry = recent->addAction(name, this, [this, path] {
            if (QFileInfo(path).isFile())
                openFiles({path});
        });
        entry->setToolTip(MediaText::plainToolTip(path));
    }
    recent->setToolTipsVisible(true);
    recent->addSeparator();
    recent->addAction(QStringLiteral("목록 지우기"), this, [this] { history_.clearRecentFiles(); });
}

void MainWindow::addTrackMenus(QMenu *menu)
{
    MpvCore *engine = core();
    QMenu *audio = menu->addMenu(QStringLiteral("오디오 트랙"));
    const QList<MediaTrack> audioTracks = engine->audioTracks();
    for (const MediaTrack &track : audioTracks) {
        QString text = QStringLiteral("[%1] %2").arg(track.id).arg(track.language);
        if (!track.title.isEmpty())
            text += QStringLiteral(" - ") + track.title;
        if (!track.codec.isEmpty())
            text += QStringLiteral(" (%1)").arg(track.codec);
        audio->addAction(MediaText::literalMenuText(text), engine, [engine, id = track.id] { engine->setAudioTrack(id); });
    }
    if (audioTracks.isEmpty())
        audio->addAction(QStringLiteral("트랙 없음"))->setEnabled(false);

    QMenu *subtitles = menu->addMenu(QStringLiteral("자막"));
    subtitles->addAction(QStringLiteral("자막 자동 검색 (OpenSubtitles)"), this, &MainWindow::onSubtitleSearch)
        ->setEnabled(canSearchSubtitles());
    subtitles->addAction(QStringLiteral("자막 끄기"), engine, [engine] { engine->setSubtitleTrack(0); });
    for (const MediaTrack &track : engine->subtitleTracks()) {
        QString text = QStringLiteral("[%1] %2").arg(track.id).arg(track.language);
        if (!track.title.isEmpty())
            text += QStringLiteral(" - ") + track.title;
        subtitles->addAction(MediaText::literalMenuText(text), engine,
                             [engine, id = track.id] { engine->setSubtitleTrack(id); });
    }
}

void MainWindow::addPictureMenus(QMenu *menu)
{
    QMenu *size = menu->addMenu(QStringLiteral("화면 크기"));
    size->addAction(QStringLiteral("50%  (S)"), this, [this] { resizeToVideo(1, 2); });
    size->addAction(QStringLiteral("100%  (1)"), this, [this] { resizeToVideo(1, 1); });
    size->addAction(QStringLiteral("150%"), this, [this] { resizeToVideo(3, 2); });
    size->addAction(QStringLiteral("200%"), this, [this] { resizeToVideo(2, 1); });

    MpvCore *engine = core();
    QMenu *aspect = menu->addMenu(QStringLiteral("화면 비율"));
    const std::pair<const char *, const char *> ratios[] = {
        {"원본 비율 (자동)", "-1"}, {"16:9", "16:9"}, {"4:3", "4:3"}, {"2.35:1 (시네마스코프)", "2.35:1"}, {"1:1", "1:1"}};
    for (const auto &[text, value] : ratios)
        aspect->addAction(QString::fromUtf8(text), engine, [engine, value = QString::fromLatin1(value)] {
            engine->setMpvProperty(QStringLiteral("video-aspect-override"), value);
        });

    QMenu *multiView = menu->addMenu(QStringLiteral("멀티뷰"));
    const std::pair<const char *, MultiViewLayout> layouts[] = {
        {"단일 화면", MultiViewLayout::Single},
        {"2분할 (좌우)", MultiViewLayout::DualHorizontal},
        {"2분할 (상하)", MultiViewLayout::DualVertical},
        {"PIP (화면 속 화면)", MultiViewLayout::PIP},
        {"4분할", MultiViewLayout::Quad}};
    for (const auto &[text, layout] : layouts)
        multiView->addAction(QString::fromUtf8(text), this, [this, layout = layout] { toggleMultiView(layout); });
}

void MainWindow::addPlaybackMenus(QMenu *menu)
{
    MpvCore *engine = core();
    QMenu *loop = menu->addMenu(QStringLiteral("구간 반복 (A-B)"));
    loop->addAction(QStringLiteral("A 지점 설정  (I)"), this, [this] { proPanel()->setPointA(); });
    loop->addAction(QStringLiteral("B 지점 설정  (O)"), this, [this] { proPanel()->setPointB(); });
    loop->addAction(QStringLiteral("구간 반복 해제"), engine, [engine] {
        engine->setMpvProperty(QStringLiteral("ab-loop-a"), QStringLiteral("no"));
        engine->setMpvProperty(QStringLiteral("ab-loop-b"), QStringLiteral("no"));
    });

    QMenu *speed = menu->addMenu(QStringLiteral("재생 속도"));
    const std::pair<const char *, double> speeds[] = {
        {"0.25x (매우 느리게)", 0.25}, {"0.5x  (느리게)", 0.5}, {"0.75x", 0.75},           {"1.0x  (정상)", 1.0},
        {"1.25x", 1.25},               {"1.5x  (빠르게)", 1.5}, {"2.0x  (매우 빠르게)", 2.0}};
    for (const auto &[text, value] : speeds)
        addCommand(speed, QString::fromUtf8(text), engine,
                   {QStringLiteral("set"), QStringLiteral("speed"), QString::number(value)});
}

// Fits the window around the video at a scale; the extra height is the title and control bars.
void MainWindow::resizeToVideo(int numerator, int denominator)
{
    constexpr int kChromeHeight = 62;
    const int width = core()->getMpvProperty(QStringLiteral("video-params/w")).toInt();
    const int height = core()->getMpvProperty(QStringLiteral("video-params/h")).toInt();
    if (width < 1 || height < 1)
        return;
    resize(width * numerator / denominator, height * numerator / denominator + kChromeHeight);
}
