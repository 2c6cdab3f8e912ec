// The seek-bar preview in the player's window while the clip plays: how long from the pointer
// arriving over a new moment of the slider until its picture is painted (the first hover, which
// builds the engine and opens the file, on its own), and the frames playback drops meanwhile
// against as long a stretch of playing without hovers. Every hover lands in a keyframe interval
// not hovered before, so none is served from the preview's cache. Prints one JSON object.
// Runs on whatever display it is given (the bench starts a private Xvfb).
//   velmoran_seekpreview_bench --clip FILE --keyframe-interval S [--hovers N] [--rest-ms MS]
#include "BenchTool.h"
#include "app/AppIdentity.h"
#include "app/AppLook.h"
#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "mainwindow/MainWindow.h"
#include "ui/controls/ClickSeekSlider.h"
#include "ui/controls/ControlBar.h"
#include "ui/controls/SeekPreviewManager.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {
constexpr int kPictureTimeoutMs = 5000;

// The playing engine's dropped frames (output and decoder) since start(). The engine counts
// anew when the looping clip starts over, so the counts are read often and only their rises add up.
class DropCounter
{
public:
    explicit DropCounter(MpvCore *core) : core_(core)
    {
        timer_.setInterval(100);
        QObject::connect(&timer_, &QTimer::timeout, [this] { sample(); });
    }
    void start()
    {
        total_ = 0;
        last_ = read();
        timer_.start();
    }
    qint64 stop()
    {
        sample();
        timer_.stop();
        return total_;
    }

private:
    qint64 read() const
    {
        return core_->getMpvProperty(QStringLiteral("frame-drop-count")).toLongLong()
            + core_->getMpvProperty(QStringLiteral("decoder-frame-drop-count")).toLongLong();
    }
    void sample()
    {
        const qint64 now = read();
        total_ += now >= last_ ? now - last_ : now;
        last_ = now;
    }

    MpvCore *core_;
    QTimer timer_;
    qint64 last_ = 0;
    qint64 total_ = 0;
};

// The slider point closest to `seconds`, and the moment it really stands for.
std::pair<QPoint, double> pointFor(ClickSeekSlider *slider, double seconds, double duration)
{
    const int wanted = int(seconds / duration * slider->maximum());
    QPoint best(0, slider->height() / 2);
    for (int x = 0; x < slider->width(); ++x) {
        const QPoint point(x, slider->height() / 2);
        if (std::abs(slider->positionToValue(point) - wanted) < std::abs(slider->positionToValue(best) - wanted))
            best = point;
    }
    return {best, slider->positionToValue(best) / double(slider->maximum()) * duration};
}

class Hoverer
{
public:
    Hoverer(MainWindow &window, double duration)
        : slider_(window.controlBar()->seekSlider()), preview_(window.controlBar()->seekPreview()), duration_(duration)
    {
        QObject::connect(preview_, &SeekPreviewManager::pictureShown, &loop_, [this](double seconds) {
            if (std::abs(seconds - waitingFor_) > 1e-6)
                return;
            arrived_ = timer_.nsecsElapsed();
            loop_.quit();
        });
        timeout_.setSingleShot(true);
        QObject::connect(&timeout_, &QTimer::timeout, &loop_, &QEventLoop::quit);
    }

    // Milliseconds from the pointer's arrival over `seconds` to its picture; negative on timeout.
    double hover(double seconds)
    {
        const auto [point, moment] = pointFor(slider_, seconds, duration_);
        waitingFor_ = moment;
        arrived_ = -1;
        timer_.start();
        QTest::mouseMove(slider_->window()->windowHandle(), slider_->mapTo(slider_->window(), point));
        // Waits without spinning: the player's threads get the processor, not this loop.
        if (arrived_ < 0) {
            timeout_.start(kPictureTimeoutMs);
            loop_.exec();
            timeout_.stop();
        }
        return arrived_ < 0 ? -1.0 : arrived_ / 1e6;
    }

private:
    ClickSeekSlider *slider_;
    SeekPreviewManager *preview_;
    double duration_;
    double waitingFor_ = -1;
    qint64 arrived_ = -1;
    QElapsedTimer timer_;
    QEventLoop loop_;
    QTimer timeout_;
};
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    AppIdentity::installDefaultSurfaceFormat();
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("clip"), QStringLiteral("Video to play and hover."), QStringLiteral("file")});
    parser.addOption({QStringLiteral("keyframe-interval"), QStringLiteral("The clip's keyframe spacing."), QStringLiteral("s")});
    parser.addOption({QStringLiteral("hovers"), QStringLiteral("Hovers after the first."), QStringLiteral("n"),
                      QStringLiteral("20")});
    parser.addOption({QStringLiteral("rest-ms"), QStringLiteral("Rest on each picture, as a user looks at it."),
                      QStringLiteral("ms"), QStringLiteral("500")});
    parser.process(app);
    const QString clip = parser.value(QStringLiteral("clip"));
    const double interval = parser.value(QStringLiteral("keyframe-interval")).toDouble();
    const int hovers = parser.value(QStringLiteral("hovers")).toInt();
    const int restMs = parser.value(QStringLiteral("rest-ms")).toInt();
    if (clip.isEmpty() || interval <= 0 || hovers < 1) {
        std::fprintf(stderr, "--clip, a positive --keyframe-interval and --hovers are required\n");
        return 2;
    }
    AppLook::applyDarkLook(app);
    MainWindow window;
    window.show();
    MpvCore *core = window.videoSurface()->core();
    if (!waitUntil([&] { return window.videoSurface()->isInitialized(); }, 10000)) {
        print({{"error", "the engine did not start"}});
        return 1;
    }
    window.openFiles({clip});
    if (!waitUntil([&] { return core->duration() > 0 && core->position() > 1.0; }, 20000)) {
        print({{"error", "the clip did not play"}});
        return 1;
    }
    core->setMpvProperty(QStringLiteral("loop-file"), QStringLiteral("inf"));
    const double duration = core->duration();
    const int intervals = int(duration / interval);
    if (intervals < hovers + 1) {
        print({{"error", QStringLiteral("%1 keyframe intervals are too few for %2 hovers").arg(intervals).arg(hovers)}});
        return 1;
    }
    // Distinct keyframe intervals in a fixed order, a moment inside each.
    QList<int> order;
    for (int i = 0; i < intervals; ++i)
        order << i;
    QRandomGenerator random(34);
    std::shuffle(order.begin(), order.end(), random);
    const auto momentIn = [&](int i) { return (order.at(i) + 0.2 + 0.6 * random.generateDouble()) * interval; };

    Hoverer hoverer(window, duration);
    QElapsedTimer phase;
    phase.start();
    DropCounter drops(core);
    drops.start();
    const double first = hoverer.hover(momentIn(0));
    QList<double> latencies;
    int timeouts = 0;
    for (int i = 1; i <= hovers; ++i) {
        const double ms = hoverer.hover(momentIn(i));
        if (ms < 0)
            ++timeouts;
        else
            latencies << ms;
        QTest::qWait(restMs);
    }
    const double hoverSeconds = phase.elapsed() / 1000.0;
    const qint64 dropsHovering = drops.stop();
    // The same stretch without the pointer on the slider, the preview engine still there.
    QTest::mouseMove(window.windowHandle(), window.videoSurface()->mapTo(&window, window.videoSurface()->rect().center()));
    drops.start();
    QTest::qWait(int(hoverSeconds * 1000));
    const qint64 dropsResting = drops.stop();

    QJsonArray values;
    for (const double ms : std::as_const(latencies))
        values << ms;
    print({{"keyframe_interval", interval},
           {"first_hover_ms", first},
           {"latencies_ms", values},
           {"timeouts", timeouts},
           {"seconds", hoverSeconds},
           {"dropped_hovering", dropsHovering},
           {"dropped_without_hovering", dropsResting}});
    return 0;
}
