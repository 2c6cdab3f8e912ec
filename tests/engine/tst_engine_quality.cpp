// Render-quality behaviour of MpvCore through a fake engine: the frame-drop ladder and its
// restoration, the fixed profiles, GPU re-detection, and the per-video sync and decoder choices.

#include "FakeEngineSession.h"

#include "engine/MpvCore.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

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
    QVariantList written(const QString &name) const { return fake->valuesWritten(name); }
};

// Initialised on a high-end GPU, with the drop monitor set up by a GPU detection as the video
// surface does it.
Engine makeEngine(bool initialise = true)
{
    auto session = std::make_unique<FakeEngineSession>();
    Engine engine;
    engine.fake = session.get();
    engine.core = std::make_unique<MpvCore>(std::move(session));
    engine.environment->gpuFamily = GpuFamily::NvidiaRtx;
    engine.environment->tier = GpuTier::High;
    engine.environment->scale = QStringLiteral("ewa_lanczossharp");
    engine.environment->cscale = QStringLiteral("sinc");
    engine.environment->deband = true;
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
        lines << write.name + u'=' + write.value.toString();
    return lines;
}

QList<QTimer *> dropMonitors(const MpvCore &core)
{
    QList<QTimer *> timers = core.findChildren<QTimer *>();
    timers.removeIf([](QTimer *timer) { return timer->interval() != 3000; });
    return timers;
}

// One monitor interval: the drops it sees, and the writes and degradation reasons it must give.
struct Interval {
    int drops;
    bool paused;
    QStringList outcome;
};

Interval quiet(int drops, bool paused = false)
{
    return {drops, paused, {}};
}
const Interval D = quiet(3); // dropping, yet nothing visible happens
const Interval kDebandOff{3, false, {"deband=no", "degraded: 프레임 드롭 감지 → deband 비활성화"}};
const Interval kToSpline{3, false, {"scale=spline36", "cscale=spline36", "degraded: 심각한 드롭 → scale=spline36"}};
const Interval kToBilinear{3, false, {"scale=bilinear", "cscale=bilinear", "degraded: 심각한 드롭 → scale=bilinear"}};

} // namespace

Q_DECLARE_METATYPE(QList<Interval>)

class TestEngineQuality : public QObject
{
    Q_OBJECT

private slots:
    void frameDropLadder_data()
    {
        QTest::addColumn<QList<Interval>>("intervals");
        const Interval clean = quiet(0);
        QTest::newRow("full ladder") << QList<Interval>{D, kDebandOff, D, kToSpline, kToBilinear, D, quiet(40)};
        QTest::newRow("two drops are clean") << QList<Interval>{D, quiet(2), D, kDebandOff};
        QTest::newRow("clean interval breaks the streak") << QList<Interval>{D, kDebandOff, D, clean, D, D, D, kToSpline};
        QTest::newRow("paused interval moves the baseline")
            << QList<Interval>{D, quiet(100, true), clean, D, kDebandOff};
    }
    void frameDropLadder()
    {
        QFETCH(QList<Interval>, intervals);
        Engine engine = makeEngine();
        QSignalSpy degraded(engine.core.get(), &MpvCore::renderQualityDegraded);
        for (qsizetype i = 0; i < intervals.size(); ++i) {
            engine.fake->clearRecords();
            degraded.clear();
            engine.interval(intervals.at(i).drops, intervals.at(i).paused);
            QStringList seen = described(*engine.fake);
            for (const QList<QVariant> &signal : std::as_const(degraded))
                seen << QStringLiteral("degraded: ") + signal.at(0).toString();
            QVERIFY2(seen == intervals.at(i).outcome, qPrintable(QStringLiteral("%1: %2").arg(i).arg(seen.join(", "))));
        }
    }

    void restoreAfterTenCleanIntervals()
    {
        for (const int cleanIntervals : {9, 10}) {
            const bool restored = cleanIntervals == 10;
            Engine engine = makeEngine();
            for (int i = 0; i < 4; ++i)
                engine.interval(3); // deband off, then ewa_lanczossharp → spline36
            QSignalSpy restoredSpy(engine.core.get(), &MpvCore::renderQualityRestored);
            engine.fake->clearRecords();
            for (int i = 0; i < cleanIntervals; ++i)
                engine.interval(i % 3); // below the threshold, even when not zero
            QCOMPARE(described(*engine.fake),
                     (restored ? QStringList{"scale=ewa_lanczossharp", "cscale=sinc", "deband=yes"} : QStringList{}));
            QCOMPARE(restoredSpy.count(), restored ? 1 : 0);
            engine.interval(3); // restored means undegraded: debanding is the first thing to go again
            engine.interval(3);
            QCOMPARE(engine.written("deband"), (restored ? QVariantList{"yes", "no"} : QVariantList{}));
        }
    }

    void seekAndRestartResetTheMonitor()
    {
        Engine engine = makeEngine();
        engine.interval(3);
        // Drops while seeking say nothing about playback, nor does the streak before the seek.
        engine.fake->properties.insert(QStringLiteral("frame-drop-count"), 53);
        engine.fake->queueEvent(EngineEvent::Type::Seek);
        engine.core->onMpvEvents();
        QTest::ignoreMessage(QtWarningMsg, "[MPV] 프레임 드롭 감지: 3 프레임/3초 (연속 1 회)");
        engine.interval(3);
        QVERIFY(engine.written("deband").isEmpty());
        engine.interval(3);
        QCOMPARE(engine.written("deband"), QVariantList{"no"});

        // A restart forgets the degradation too, sets its baseline back to zero and restarts the monitor.
        dropMonitors(*engine.core).value(0)->stop();
        engine.fake->queueEvent(EngineEvent::Type::PlaybackRestart);
        engine.core->onMpvEvents();
        engine.fake->clearRecords();
        engine.interval(0); // the whole counter reads as new drops
        engine.interval(3);
        QCOMPARE(engine.written("deband"), QVariantList{"no"});
        QVERIFY(dropMonitors(*engine.core).value(0)->isActive());
    }

    void redetectGpu()
    {
        Engine engine = makeEngine();
        engine.environment->scale = QStringLiteral("spline36");
        engine.environment->deband = false;
        engine.fake->properties.insert(QStringLiteral("pause"), QStringLiteral("yes"));
        dropMonitors(*engine.core).value(0)->stop();
        engine.core->redetectGpu();
        QCOMPARE(engine.written("scale"), QVariantList{"spline36"});
        QCOMPARE(dropMonitors(*engine.core).size(), 1);
        QVERIFY(!dropMonitors(*engine.core).value(0)->isActive()); // it waits while paused

        // The new detection, not a profile on top of it, is what a later restoration returns to.
        engine.core->applyRenderProfile(RenderProfile::Eco);
        for (int i = 0; i < 12; ++i)
            engine.interval(i < 2 ? 3 : 0);
        QCOMPARE(engine.written("scale").last(), QVariant("spline36"));
        QCOMPARE(engine.written("deband").last(), QVariant("no"));
    }

    void redetectShaderCache_data()
    {
        QTest::addColumn<int>("vramMb");
        QTest::addColumn<QVariantList>("cacheDir");
        QTest::addColumn<QVariantList>("directRendering");
        const QVariantList cache{"~~/.cache/mpv/shaders"};
        QTest::newRow("1 GiB") << 1024 << QVariantList{""} << QVariantList{};
        QTest::newRow("8 GiB") << 8192 << cache << QVariantList{"yes"};
    }
    void redetectShaderCache()
    {
        Engine engine = makeEngine();
        QFETCH(int, vramMb);
        engine.environment->vramMb = vramMb;
        engine.core->redetectGpu();
        QTEST(engine.written("gpu-shader-cache-dir"), "cacheDir");
        QTEST(engine.written("vd-lavc-dr"), "directRendering");
    }

    void videoSync_data()
    {
        QTest::addColumn<QString>("interpolation");
        QTest::addColumn<double>("fps");
        QTest::addColumn<double>("refresh");
        QTest::addColumn<QStringList>("writes");
        const QStringList resample{"video-sync=display-resample", "interpolation=no", "video-sync-max-video-change=5"};
        QTest::newRow("cadence does not fit") << "no" << 25.0 << 60.0 << QStringList{"video-sync=audio"};
        QTest::newRow("unknown refresh counts as 60 Hz") << "no" << 30.0 << 0.0 << resample;
        QTest::newRow("motion smoothing keeps its sync") << "yes" << 25.0 << 60.0 << QStringList{};
        QTest::newRow("no frame rate") << "no" << 0.0 << 60.0 << QStringList{};
    }
    void videoSync()
    {
        QFETCH(QString, interpolation);
        QFETCH(double, fps);
        QFETCH(double, refresh);
        Engine engine = makeEngine();
        engine.environment->refreshRate = refresh;
        engine.core->redetectGpu();
        engine.fake->clearRecords();
        engine.fake->properties.insert(QStringLiteral("interpolation"), interpolation);
        engine.core->chooseVideoSync(fps);
        QTEST(described(*engine.fake), "writes");
    }

    void hwdecWrittenOnlyWhenItChanges()
    {
        Engine engine = makeEngine();
        engine.fake->properties.remove(QStringLiteral("hwdec"));
        engine.core->applyHwdecForCodec(QStringLiteral("prores")); // unavailable counts as auto-safe
        QVERIFY(engine.written("hwdec").isEmpty());
        engine.fake->properties.insert(QStringLiteral("hwdec"), QStringLiteral("auto-safe"));
        // The Windows decoder name is auto-safe here: the engine already has it.
        engine.core->applyHwdecForCodec(QStringLiteral("hevc"));
        QVERIFY(engine.written("hwdec").isEmpty());
        engine.environment->gpuFamily = GpuFamily::IntelXe;
        engine.core->redetectGpu();
        engine.fake->clearRecords();
        engine.core->applyHwdecForCodec(QStringLiteral("av1"));
        engine.core->applyHwdecForCodec(QStringLiteral("av1"));
        QCOMPARE(engine.written("hwdec"), QVariantList{QStringLiteral("no")});
    }
};

QTEST_GUILESS_MAIN(TestEngineQuality)
#include "tst_engine_quality.moc"
