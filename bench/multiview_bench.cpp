// Playback cost of the multi-view: CPU seconds per media second with one, two and four copies of
// a clip playing side by side, each in its own surface and engine. Prints one JSON object per
// layout. Runs on whatever display it is given (the bench starts a private Xvfb).
//   velmoran_multiview_bench --clip FILE [--seconds S]
#include "BenchTool.h"
#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "ui/multiview/MultiViewWidget.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <sys/resource.h>

#include <cstdio>

namespace {
double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QList<MpvWidget *> playingSurfaces(MultiViewWidget &view, MpvWidget *main, int count)
{
    QList<MpvWidget *> surfaces{main};
    for (int i = 0; i < count - 1; ++i)
        surfaces << view.secondarySurfaces().at(i);
    return surfaces;
}

QJsonObject measure(const QString &clip, int count, double seconds)
{
    auto *main = new MpvWidget;
    MultiViewWidget view(main);
    view.resize(1280, 762);
    view.show();
    view.adoptMainSurface();
    const MultiViewLayout layout = count == 1 ? MultiViewLayout::Single
                                 : count == 2 ? MultiViewLayout::DualHorizontal
                                              : MultiViewLayout::Quad;
    view.setLayout(layout);
    if (!waitUntil([main] { return main->isInitialized(); }, 10000))
        return {{"surfaces", count}, {"error", "the main surface did not start"}};
    main->loadFile(clip);
    for (int i = 1; i < count; ++i)
        view.loadSecondaryFile(clip);
    const QList<MpvWidget *> surfaces = playingSurfaces(view, main, count);
    for (MpvWidget *surface : surfaces)
        surface->core()->setMute(true);
    if (!waitUntil([&] {
            return std::all_of(surfaces.begin(), surfaces.end(), [](MpvWidget *surface) {
                return surface->isInitialized() && surface->core()->position() > 1.0;
            });
        }, 20000))
        return {{"surfaces", count}, {"error", "not every surface started"}};

    QList<double> startPositions;
    for (MpvWidget *surface : surfaces)
        startPositions << surface->core()->position();
    const double cpuBefore = processCpuSeconds();
    QTest::qWait(int(seconds * 1000));
    const double cpu = processCpuSeconds() - cpuBefore;
    double mediaSeconds = 0;
    qint64 drops = 0;
    for (int i = 0; i < surfaces.size(); ++i) {
        mediaSeconds += surfaces.at(i)->core()->position() - startPositions.at(i);
        drops += surfaces.at(i)->core()->getMpvProperty(QStringLiteral("frame-drop-count")).toLongLong();
    }
    // Media seconds of the view: every surface plays the same stretch of time side by side.
    const double viewSeconds = mediaSeconds / surfaces.size();
    return {{"surfaces", count},
            {"cpu_seconds", cpu},
            {"media_seconds", viewSeconds},
            {"cpu_per_media_second", viewSeconds > 0 ? cpu / viewSeconds : -1.0},
            {"dropped_frames", drops}};
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("clip"), QStringLiteral("Clip to play in every surface."), QStringLiteral("file")});
    parser.addOption({QStringLiteral("seconds"), QStringLiteral("Wall seconds to measure."), QStringLiteral("s"),
                      QStringLiteral("10")});
    parser.process(app);
    const QString clip = parser.value(QStringLiteral("clip"));
    if (clip.isEmpty()) {
        std::fprintf(stderr, "--clip is required\n");
        return 2;
    }
    for (const int count : {1, 2, 4}) {
        const QJsonObject result = measure(clip, count, parser.value(QStringLiteral("seconds")).toDouble());
        std::printf("%s\n", QJsonDocument(result).toJson(QJsonDocument::Compact).constData());
        std::fflush(stdout);
    }
    return 0;
}
