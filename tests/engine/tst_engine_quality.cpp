// Render-quality behaviour of MpvCore through a fake engine: the frame-drop ladder and its
// restoration, the fixed profiles, GPU re-detection, and the per-video sync and decoder choices.

#include "FakeEngineSession.h"

#include "engine/MpvCore.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace {

struct Engine {
    FakeEngineSession *fake = nullptr;
    std::unique_ptr<MpvCore> core;
    std::shared_ptr<RenderEnvironment> environment = std::make_shared<RenderEnvironment>();

    // The drop counter grows by `drops`, then one monitor interval passes.
    void interval(int drops, bool paused = false)
    {
        const qint64 count = fake->properties.value(QStringLiteral("frame-drop-count")).toLongLong();
        fake->properties.insert(QStringLiteral("frame-drop-count"), count + drops);
        fake->properties.insert(QStringLiteral("pause"), paused ? QStringLiteral("yes") : QStringLiteral("no"));
        core->onFrameDropCheck();
    }

    void deliver(EngineEvent::Type type)
    {
        fake->queueEvent(type);
        core->onMpvEvents();
    }
};

RenderEnvironment highEndEnvironment()
{
    RenderEnvironment env;
    env.gpuRenderer = QStringLiteral("Test GPU");
    env.gpuFamily = GpuFamily::NvidiaRtx;
    env.tier = GpuTier::High;
    env.scale = QStringLiteral("ewa_lanczossharp");
    env.cscale = QStringLiteral("sinc");
    env.deband = true;
    return env;
}

// Initialised, with the drop monitor set up by a GPU detection as the video surface does it.
Engine makeEngine(const RenderEnvironment &env = highEndEnvironment(), bool initialise = true)
{
    auto session = std::make_unique<FakeEngineSession>();
    Engine engine;
    engine.fake = session.get();
    engine.core = std::make_unique<MpvCore>(std::move(session));
    *engine.environment = env;
    engine.core->setEnvironmentDetector([environment = engine.environment] { return *environment; });
    if (initialise) {
        engine.core->initialize(0);
        engine.core->redetectGpu();
        engine.fake->clearRecords();
    }
    return engine;
}

// "name=value" for every recorded write, in order.
QStringList described(const FakeEngineSession &fake)
{
    QStringList lines;
    for (const FakeEngineSession::Write &write : fake.writes)
        lines << QStringLiteral("%1=%2").arg(write.name, write.value.toString());
    return lines;
}

QTimer *dropMonitor(const MpvCore &core)
{
    for (QTimer *timer : core.findChildren<QTimer *>())
        if (timer->interval() == 3000)
            return timer;
    return nullptr;
}

struct Interval {
    int drops = 0;
    bool paused = false;
    QStringList writes;
    QString degradedReason; // empty: no renderQualityDegraded
};

const Interval kDebandOff{3, false, {"deband=no"}, QStringLiteral("프레임 드롭 감지 → deband 비활성화")};
const Interval kToSpline{3, false, {"scale=spline36", "cscale=spline36"}, QStringLiteral("심각한 드롭 → scale=spline36")};
const Interval kToBilinear{3, false, {"scale=bilinear", "cscale=bilinear"}, QStringLiteral("심각한 드롭 → scale=bilinear")};
// An interval after which the monitor does nothing visible.
Interval quiet(int drops, bool paused = false)
{
    return Interval{drops, paused, {}, {}};
}

const Interval kDropping = quiet(3);
const Interval kClean = quiet(0);

} // namespace

Q_DECLARE_METATYPE(QList<Interval>)

class TestEngineQuality : public QObject
{
    Q_OBJECT

private slots:
    void frameDropLadder_data();
    void frameDropLadder();
    void restoreAfterCleanIntervals_data();
    void restoreAfterCleanIntervals();
    void seekRestartsTheCount();
    void playbackRestartForgetsEverything();
    void renderProfile_data();
    void renderProfile();
    void unknownRenderProfileIsOnlyCarried();
    void redetectAppliesTheNewEnvironment();
    void redetectShaderCache_data();
    void redetectShaderCache();
    void dropMonitorWaitsWhilePaused_data();
    void dropMonitorWaitsWhilePaused();
    void videoSync_data();
    void videoSync();
    void hwdecWrittenOnlyWhenItChanges_data();
    void hwdecWrittenOnlyWhenItChanges();
    void nothingHappensBeforeInitialisation();
};

void TestEngineQuality::frameDropLadder_data()
{
    QTest::addColumn<QList<Interval>>("intervals");

    QTest::newRow("full ladder") << QList<Interval>{kDropping, kDebandOff, kDropping, kToSpline, kToBilinear, kDropping,
                                                    quiet(40)};
    QTest::newRow("two drops are clean") << QList<Interval>{kDropping, quiet(2), kDropping, kDebandOff};
    QTest::newRow("clean interval breaks the scaler streak")
        << QList<Interval>{kDropping, kDebandOff, kDropping, kClean, kDropping, kDropping, kDropping, kToSpline};
    QTest::newRow("paused interval neither counts nor breaks a streak")
        << QList<Interval>{kDropping, quiet(100, true), kDebandOff};
    QTest::newRow("paused interval moves the baseline")
        << QList<Interval>{kDropping, quiet(100, true), kClean, kDropping, kDebandOff};
}

void TestEngineQuality::frameDropLadder()
{
    QFETCH(QList<Interval>, intervals);
    Engine engine = makeEngine();
    QSignalSpy degraded(engine.core.get(), &MpvCore::renderQualityDegraded);

    for (qsizetype i = 0; i < intervals.size(); ++i) {
        const Interval &expected = intervals.at(i);
        engine.fake->clearRecords();
        degraded.clear();
        engine.interval(expected.drops, expected.paused);

        const QStringList writes = described(*engine.fake);
        QVERIFY2(writes == expected.writes, qPrintable(QStringLiteral("interval %1: %2").arg(i).arg(writes.join(' '))));
        QCOMPARE(degraded.count(), expected.degradedReason.isEmpty() ? 0 : 1);
        if (!expected.degradedReason.isEmpty())
            QCOMPARE(degraded.at(0).at(0).toString(), expected.degradedReason);
    }
}

void TestEngineQuality::restoreAfterCleanIntervals_data()
{
    QTest::addColumn<int>("cleanIntervals");
    QTest::addColumn<bool>("restored");

    QTest::newRow("nine") << 9 << false;
    QTest::newRow("ten") << 10 << true;
}

void TestEngineQuality::restoreAfterCleanIntervals()
{
    QFETCH(int, cleanIntervals);
    QFETCH(bool, restored);
    Engine engine = makeEngine();
    for (int i = 0; i < 4; ++i)
        engine.interval(3); // deband off, then ewa_lanczossharp → spline36
    QCOMPARE(engine.fake->properties.value(QStringLiteral("scale")).toString(), QStringLiteral("spline36"));
    QSignalSpy restoredSpy(engine.core.get(), &MpvCore::renderQualityRestored);
    engine.fake->clearRecords();

    for (int i = 0; i < cleanIntervals; ++i)
        engine.interval(i % 3); // below the threshold, even when not zero

    QCOMPARE(described(*engine.fake),
             (restored ? QStringList{"scale=ewa_lanczossharp", "cscale=sinc", "deband=yes"} : QStringList{}));
    QCOMPARE(restoredSpy.count(), restored ? 1 : 0);
    if (!restored)
        return;

    // Restored means undegraded: debanding is the first thing to go again.
    QSignalSpy degraded(engine.core.get(), &MpvCore::renderQualityDegraded);
    engine.interval(3);
    QCOMPARE(degraded.count(), 0);
    engine.interval(3);
    QCOMPARE(degraded.count(), 1);
    QCOMPARE(engine.fake->properties.value(QStringLiteral("deband")).toString(), QStringLiteral("no"));
}

void TestEngineQuality::seekRestartsTheCount()
{
    Engine engine = makeEngine();
    engine.interval(3);

    // Drops while seeking say nothing about playback, nor does the streak before the seek.
    engine.fake->properties.insert(QStringLiteral("frame-drop-count"), 53);
    engine.deliver(EngineEvent::Type::Seek);
    engine.fake->clearRecords();
    QTest::ignoreMessage(QtWarningMsg, "[MPV] 프레임 드롭 감지: 3 프레임/3초 (연속 1 회)");
    engine.interval(3);
    QVERIFY(engine.fake->valuesWritten(QStringLiteral("deband")).isEmpty());

    engine.interval(3);
    QCOMPARE(engine.fake->valuesWritten(QStringLiteral("deband")), QVariantList{"no"});
}

void TestEngineQuality::playbackRestartForgetsEverything()
{
    Engine engine = makeEngine();
    engine.interval(3);
    engine.interval(3); // degraded: deband off
    QCOMPARE(engine.fake->valuesWritten(QStringLiteral("deband")), QVariantList{"no"});

    engine.deliver(EngineEvent::Type::PlaybackRestart);
    engine.fake->clearRecords();
    // The baseline is back at zero, so the whole counter reads as new drops.
    QTest::ignoreMessage(QtWarningMsg, "[MPV] 프레임 드롭 감지: 6 프레임/3초 (연속 1 회)");
    engine.interval(0);
    QSignalSpy degraded(engine.core.get(), &MpvCore::renderQualityDegraded);
    engine.interval(3);
    // Not degraded any more: the ladder starts again at debanding.
    QCOMPARE(engine.fake->valuesWritten(QStringLiteral("deband")), QVariantList{"no"});
    QCOMPARE(degraded.count(), 1);
    QVERIFY(dropMonitor(*engine.core)->isActive());
}

void TestEngineQuality::renderProfile_data()
{
    QTest::addColumn<RenderProfile>("profile");
    QTest::addColumn<QStringList>("writes");

    QTest::newRow("eco") << RenderProfile::Eco
                         << QStringList{"scale=bilinear",         "dscale=bilinear",
                                        "cscale=bilinear",        "sigmoid-upscaling=no",
                                        "scale-antiring=0.0",     "cscale-antiring=0.0",
                                        "deband=no",              "dither=no",
                                        "correct-downscaling=no", "linear-upscaling=no",
                                        "hdr-compute-peak=no",    "keepaspect=yes",
                                        "keepaspect-window=no"};
    QTest::newRow("hi-end") << RenderProfile::HiEnd
                            << QStringList{"scale=ewa_lanczossharp4sharpest",
                                           "dscale=ewa_lanczossharp",
                                           "cscale=ewa_lanczossharp",
                                           "sigmoid-upscaling=yes",
                                           "scale-antiring=0.8",
                                           "cscale-antiring=0.8",
                                           "deband=yes",
                                           "deband-iterations=4",
                                           "deband-threshold=64",
                                           "deband-range=20",
                                           "deband-grain=32",
                                           "dither=fruit",
                                           "dither-depth=auto",
                                           "correct-downscaling=yes",
                                           "linear-upscaling=yes",
                                           "hdr-compute-peak=yes",
                                           "keepaspect=yes",
                                           "keepaspect-window=no"};
}

void TestEngineQuality::renderProfile()
{
    QFETCH(RenderProfile, profile);
    QFETCH(QStringList, writes);
    Engine engine = makeEngine();
    QSignalSpy changed(engine.core.get(), &MpvCore::renderProfileChanged);

    engine.core->applyRenderProfile(profile);

    QCOMPARE(described(*engine.fake), writes);
    for (const FakeEngineSession::Write &write : engine.fake->writes)
        QCOMPARE(write.kind, QStringLiteral("string"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).value<RenderProfile>(), profile);
    QCOMPARE(engine.core->renderProfile(), profile);

    // The profile is a preset on top of the detection, not a new baseline for the drop monitor.
    for (int i = 0; i < 2; ++i)
        engine.interval(3);
    engine.fake->clearRecords();
    for (int i = 0; i < 10; ++i)
        engine.interval(0);
    QCOMPARE(engine.fake->valuesWritten(QStringLiteral("scale")), QVariantList{"ewa_lanczossharp"});
}

void TestEngineQuality::unknownRenderProfileIsOnlyCarried()
{
    Engine engine = makeEngine();
    QSignalSpy changed(engine.core.get(), &MpvCore::renderProfileChanged);

    engine.core->applyRenderProfile(RenderProfile(4));

    QVERIFY(engine.fake->writes.isEmpty());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(int(changed.at(0).at(0).value<RenderProfile>()), 4);
    QCOMPARE(int(engine.core->renderProfile()), 4);
}

void TestEngineQuality::redetectAppliesTheNewEnvironment()
{
    Engine engine = makeEngine();
    RenderEnvironment env = highEndEnvironment();
    env.gpuRenderer = QStringLiteral("Replacement GPU");
    env.scale = QStringLiteral("spline36");
    env.dscale = QStringLiteral("ewa_lanczossharp");
    env.deband = false;
    env.hdrDisplay = true;
    env.lavcThreads = 4;
    *engine.environment = env;

    engine.core->redetectGpu();

    QCOMPARE(described(*engine.fake),
             (QStringList{"scale=spline36", "dscale=ewa_lanczossharp", "cscale=sinc", "sigmoid-upscaling=yes",
                          "deband=no", "hdr-compute-peak=no", "linear-upscaling=no", "correct-downscaling=yes",
                          "keepaspect=yes", "keepaspect-window=no", "tone-mapping=auto", "target-colorspace-hint=yes",
                          "target-peak=auto", "vd-lavc-threads=4"}));
    QCOMPARE(engine.core->renderEnvironment().gpuRenderer, QStringLiteral("Replacement GPU"));

    // The new detection is what a later restoration returns to.
    engine.fake->properties.insert(QStringLiteral("scale"), QStringLiteral("ewa_lanczossharp"));
    for (int i = 0; i < 4; ++i)
        engine.interval(3);
    engine.fake->clearRecords();
    for (int i = 0; i < 10; ++i)
        engine.interval(0);
    QCOMPARE(engine.fake->valuesWritten(QStringLiteral("scale")), QVariantList{"spline36"});
    QCOMPARE(engine.fake->valuesWritten(QStringLiteral("deband")), QVariantList{"no"});
}

void TestEngineQuality::redetectShaderCache_data()
{
    QTest::addColumn<int>("vramMb");
    QTest::addColumn<QStringList>("writes");

    const QString cache = QStringLiteral("gpu-shader-cache-dir=~~/.cache/mpv/shaders");
    QTest::newRow("unknown") << 0 << QStringList{};
    QTest::newRow("1 GiB") << 1024 << QStringList{"gpu-shader-cache-dir="};
    QTest::newRow("just under 2 GiB") << 2047 << QStringList{"gpu-shader-cache-dir="};
    QTest::newRow("2 GiB") << 2048 << QStringList{};
    QTest::newRow("3 GiB") << 3072 << QStringList{};
    QTest::newRow("4 GiB") << 4096 << QStringList{cache};
    QTest::newRow("8 GiB") << 8192 << QStringList{cache, "vd-lavc-dr=yes"};
}

void TestEngineQuality::redetectShaderCache()
{
    QFETCH(int, vramMb);
    QFETCH(QStringList, writes);
    Engine engine = makeEngine();
    engine.environment->vramMb = vramMb;

    engine.core->redetectGpu();

    QStringList memoryWrites = described(*engine.fake);
    memoryWrites.removeIf([](const QString &line) {
        return !line.startsWith(QLatin1String("gpu-shader-cache-dir=")) && !line.startsWith(QLatin1String("vd-lavc-dr="));
    });
    QCOMPARE(memoryWrites, writes);
}

void TestEngineQuality::dropMonitorWaitsWhilePaused_data()
{
    QTest::addColumn<QString>("pause");
    QTest::addColumn<bool>("running");

    QTest::newRow("playing") << "no" << true;
    QTest::newRow("paused") << "yes" << false;
}

void TestEngineQuality::dropMonitorWaitsWhilePaused()
{
    QFETCH(QString, pause);
    QFETCH(bool, running);
    Engine engine = makeEngine(highEndEnvironment(), false);
    engine.core->initialize(0);
    QVERIFY(!dropMonitor(*engine.core));
    engine.fake->properties.insert(QStringLiteral("pause"), pause);

    engine.core->redetectGpu();

    QTimer *monitor = dropMonitor(*engine.core);
    QVERIFY(monitor);
    QCOMPARE(monitor->isActive(), running);
    engine.core->redetectGpu();
    const QList<QTimer *> timers = engine.core->findChildren<QTimer *>();
    QCOMPARE(std::count_if(timers.begin(), timers.end(), [](QTimer *timer) { return timer->interval() == 3000; }), 1);
}

void TestEngineQuality::videoSync_data()
{
    QTest::addColumn<QString>("interpolation");
    QTest::addColumn<double>("fps");
    QTest::addColumn<double>("refresh");
    QTest::addColumn<QStringList>("writes");

    const QStringList resample{"video-sync=display-resample", "interpolation=no", "video-sync-max-video-change=5"};
    QTest::newRow("cadence fits") << "no" << 30.0 << 60.0 << resample;
    QTest::newRow("cadence does not fit") << "no" << 25.0 << 60.0 << QStringList{"video-sync=audio"};
    QTest::newRow("unknown refresh counts as 60 Hz") << "no" << 30.0 << 0.0 << resample;
    QTest::newRow("unknown refresh, uneven cadence") << "no" << 25.0 << 0.0 << QStringList{"video-sync=audio"};
    QTest::newRow("motion smoothing keeps its sync") << "yes" << 25.0 << 60.0 << QStringList{};
    QTest::newRow("no frame rate") << "no" << 0.0 << 60.0 << QStringList{};
}

void TestEngineQuality::videoSync()
{
    QFETCH(QString, interpolation);
    QFETCH(double, fps);
    QFETCH(double, refresh);
    QFETCH(QStringList, writes);
    RenderEnvironment env = highEndEnvironment();
    env.refreshRate = refresh;
    Engine engine = makeEngine(env);
    engine.fake->properties.insert(QStringLiteral("interpolation"), interpolation);

    engine.core->chooseVideoSync(fps);

    QCOMPARE(described(*engine.fake), writes);
}

void TestEngineQuality::hwdecWrittenOnlyWhenItChanges_data()
{
    QTest::addColumn<QVariant>("current"); // invalid: the engine has no value
    QTest::addColumn<QString>("codec");
    QTest::addColumn<bool>("written");

    const RenderEnvironment env = highEndEnvironment();
    const QString hevcDecoder = hwdecForCodec(QStringLiteral("hevc"), env.gpuFamily, env.tier);
    QTest::newRow("already right") << QVariant(hevcDecoder) << "hevc" << false;
    QTest::newRow("different") << QVariant(QStringLiteral("auto-safe")) << "hevc" << true;
    QTest::newRow("unavailable counts as auto-safe") << QVariant() << "prores" << false;
    QTest::newRow("unavailable, hardware codec") << QVariant() << "hevc" << true;
}

void TestEngineQuality::hwdecWrittenOnlyWhenItChanges()
{
    QFETCH(QVariant, current);
    QFETCH(QString, codec);
    QFETCH(bool, written);
    Engine engine = makeEngine();
    const RenderEnvironment &env = engine.core->renderEnvironment();
    if (current.isValid())
        engine.fake->properties.insert(QStringLiteral("hwdec"), current);
    else
        engine.fake->properties.remove(QStringLiteral("hwdec"));

    engine.core->applyHwdecForCodec(codec);
    const QVariantList expected{hwdecForCodec(codec, env.gpuFamily, env.tier)};
    QCOMPARE(engine.fake->valuesWritten(QStringLiteral("hwdec")), written ? expected : QVariantList{});

    // The engine now holds the decoder, so the same codec again changes nothing.
    engine.fake->clearRecords();
    engine.core->applyHwdecForCodec(codec);
    QVERIFY(engine.fake->writes.isEmpty());
}

void TestEngineQuality::nothingHappensBeforeInitialisation()
{
    Engine engine = makeEngine(highEndEnvironment(), false);
    QSignalSpy profiles(engine.core.get(), &MpvCore::renderProfileChanged);
    engine.fake->properties.insert(QStringLiteral("frame-drop-count"), 100);

    engine.core->chooseVideoSync(30.0);
    engine.core->applyHwdecForCodec(QStringLiteral("hevc"));
    engine.core->setHwdec(QStringLiteral("no"));
    engine.core->applyRenderProfile(RenderProfile::Eco);
    engine.core->redetectGpu();
    engine.core->setInterpolation(true);
    engine.core->onFrameDropCheck();

    QVERIFY(engine.fake->writes.isEmpty());
    QCOMPARE(profiles.count(), 0);
    QVERIFY(!dropMonitor(*engine.core));
}

QTEST_GUILESS_MAIN(TestEngineQuality)
#include "tst_engine_quality.moc"
