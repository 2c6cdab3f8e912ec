// What music mode costs while nothing on screen changes but the animation: CPU seconds per wall
// second of the whole player window in the music view and in the mini player, playing and
// paused. Prints one JSON object per row. Runs on whatever display it is given (the bench starts
// a private Xvfb).
//   velmoran_musicview_bench --song FILE [--seconds S]
#include "BenchTool.h"
#include "app/AppIdentity.h"
#include "app/AppLook.h"
#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "mainwindow/MainWindow.h"
#include "music/MiniPlayerWidget.h"
#include "music/MusicWidget.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <sys/resource.h>

#include <cstdio>
#include <functional>

namespace {
// Paused, the bars and their peaks take this long to fall to nothing.
constexpr int kSettleMs = 3000;

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QJsonObject measure(const char *view, bool playing, double seconds)
{
    QElapsedTimer wall;
    wall.start();
    const double before = processCpuSeconds();
    QTest::qWait(int(seconds * 1000));
    const double cpu = processCpuSeconds() - before;
    return {{"view", view}, {"state", playing ? "playing" : "paused"}, {"cpu_per_second", cpu * 1000 / wall.elapsed()}};
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    AppIdentity::installDefaultSurfaceFormat();
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("song"), QStringLiteral("Audio file with a cover to play."), QStringLiteral("file")});
    parser.addOption({QStringLiteral("seconds"), QStringLiteral("Wall seconds to measure each row."), QStringLiteral("s"),
                      QStringLiteral("10")});
    parser.process(app);
    const QString song = parser.value(QStringLiteral("song"));
    const double seconds = parser.value(QStringLiteral("seconds")).toDouble();
    if (song.isEmpty() || seconds <= 0) {
        std::fprintf(stderr, "--song and a positive --seconds are required\n");
        return 2;
    }
    AppLook::applyDarkLook(app);
    MainWindow window;
    window.resize(1280, 720);
    window.show();
    MpvCore *core = window.videoSurface()->core();
    if (!waitUntil([&] { return window.videoSurface()->isInitialized(); }, 10000)) {
        print({{"error", "the engine did not start"}});
        return 1;
    }
    window.openFiles({song});
    if (!waitUntil([&] { return window.isMusicMode() && window.musicView()->isVisible() && core->position() > 1.0; },
                   20000)) {
        print({{"error", "the song did not play in the music view"}});
        return 1;
    }
    // Loops: a short song must not end while it is measured.
    core->setMpvProperty(QStringLiteral("loop-file"), QStringLiteral("inf"));

    const auto playingAndPaused = [&](const char *view) {
        core->play();
        QTest::qWait(1000);
        print(measure(view, true, seconds));
        core->pause();
        QTest::qWait(kSettleMs);
        print(measure(view, false, seconds));
    };
    playingAndPaused("music view");
    window.toggleMiniPlayer();
    if (!window.miniPlayer() || !window.miniPlayer()->isVisible()) {
        print({{"error", "the mini player did not open"}});
        return 1;
    }
    playingAndPaused("mini player");
    return 0;
}
