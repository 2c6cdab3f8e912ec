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
Engine makeEngine()
{
    auto session = std::make_unique<FakeEngineSession>();
    Engine engine;
    engine.fake = session.get();
    engine.core = std::make_unique<MpvCore>(std::move(session));
    engine.environment->gpuFamily = GpuFamily::NvidiaRtx;
    engine.environment->tier = GpuTier::High;
    chooseScalers(*engine.environment); // ewa_lanczossharp, sinc, debanding
    engine.core->setEnvironmentDetector([environment = engine.environment] { return *environment; });
    engine.core->initialize(0);
    engine.core->redetectGpu();
    engine.fake->clearRecords();
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

// One monitor interval: the drops it sees, and the writes, degradation reasons and restoration it
// must give.
struct Interval {
    int drops;
    bool paused = false;
    QStringList outcome = {};
};

const Interval D{3}; // dropping, yet nothing visible happens
const Interval kDebandOff{3, false, {"deband=no", "degraded: 프레임 드롭 감지 → deband 비활성화"}};
const Interval kToSpline{3, false, {"scale=spline36", "cscale=spline36", "degraded: 심각한 드롭 → scale=spline36"}};
const Interval kToBilinear{3, false, {"scale=bilinear", "cscale=bilinear", "degraded: 심각한 드롭 → scale=bilinear"}};
const Interval kRestored{0, false, {"scale=ewa_lanczossharp", "cscale=sinc", "deband=yes", "restored"}};

} // namespace

Q_DECLARE_METATYPE(QList<Interval>)

class TestEngineQuality : public QObject
{
    Q_OBJECT

private slots:
    void frameDropLadder_data()
    {
        QTest::addColumn<QList<Interval>>("intervals");
        const Interval clean{0};
        QTest::newRow("full ladder") << QList<Interval>{D, kDebandOff, D, kToSpline, kToBilinear, D, {40}};
        QTest::newRow("clean interval breaks the streak") << QList<Interval>{D, kDebandOff, D, clean, D, D, D, kToSpline};
        QTest::newRow("paused interval moves the baseline") << QList<Interval>{D, {100, true}, clean, D, kDebandOff};
        // Drops below the threshold count as quiet; restored means undegraded: debanding goes first again.
        QTest::newRow("restored after ten quiet intervals")
            << QList<Interval>{D, kDebandOff, D, kToSpline, clean, {1}, {2}, clean, {1}, {2}, clean, {1}, {2}, kRestored, D, kDebandOff};
    }
    void frameDropLadder()
    {
        QFETCH(QList<Interval>, intervals);
        Engine engine = makeEngine();
        QSignalSpy degraded(engine.core.get(), &MpvCore::renderQualityDegraded);
        QSignalSpy restored(engine.core.get(), &MpvCore::renderQualityRestored);
        for (qsizetype i = 0; i < intervals.size(); ++i) {
            engine.fake->clearRecords();
            degraded.clear();
            restored.clear();
            engine.interval(intervals.at(i).drops, intervals.at(i).paused);
            QStringList seen = described(*engine.fake);
            for (const QList<QVariant> &signal : std::as_const(degraded))
                seen << QStringLiteral("degraded: ") + signal.at(0).toString();
            seen << QStringList(restored.size(), QStringLiteral("restored"));
            QVERIFY2(seen == intervals.at(i).outcome, qPrintable(QStringLiteral("%1: %2").arg(i).arg(seen.join(", "))));
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
        engine.environment->vramMb = 8192;
        engine.fake->properties.insert(QStringLiteral("pause"), QStringLiteral("yes"));
        dropMonitors(*engine.core).value(0)->stop();
        engine.core->redetectGpu();
        QCOMPARE(engine.written("scale"), QVariantList{"spline36"});
        // Compiled shaders are kept on disk, and frames decoded straight into video memory, on a
        // card with room for them.
        QCOMPARE(engine.written("gpu-shader-cache-dir"), QVariantList{"~~/.cache/mpv/shaders"});
        QCOMPARE(engine.written("vd-lavc-dr"), QVariantList{"yes"});
        QCOMPARE(dropMonitors(*engine.core).size(), 1);
        QVERIFY(!dropMonitors(*engine.core).value(0)->isActive()); // it waits while paused

        // A restoration returns to what was in force when the ladder stepped down: here a
        // profile the user picked after the detection.
        engine.core->applyRenderProfile(RenderProfile::Balanced);
        for (int i = 0; i < 12; ++i)
            engine.interval(i < 2 ? 3 : 0);
        QCOMPARE(engine.written("scale").last(), QVariant("spline36"));
        QCOMPARE(engine.written("deband").last(), QVariant("yes"));

        // A small card is not to pin its memory with them.
        engine.environment->vramMb = 1024;
        engine.fake->clearRecords();
        engine.core->redetectGpu();
        QCOMPARE(engine.written("gpu-shader-cache-dir"), QVariantList{""});
        QVERIFY(engine.written("vd-lavc-dr").isEmpty());
    }

    // What the user chose holds for the next video, a re-detection and the ladder; the
    // automatic choices fill in only where the user chose nothing.
    void choicesHoldAcrossVideosAndTheLadder()
    {
        Engine engine = makeEngine();
        const auto newVideo = [&engine](int width, int height) {
            engine.fake->properties.insert(QStringLiteral("video-params/w"), width);
            engine.fake->properties.insert(QStringLiteral("video-params/h"), height);
            engine.fake->queuePropertyChange(QStringLiteral("video-params/w"), EngineEvent::Format::Int64, width);
            engine.core->onMpvEvents();
        };
        const auto scale = [&engine] { return engine.core->propertyText(QStringLiteral("scale")); };
        newVideo(1920, 1080);
        QCOMPARE(scale(), QStringLiteral("bilinear")); // nothing chosen: the size decides

        engine.core->setChosenScale(MpvCore::ScaleChooser::Settings, QStringLiteral("lanczos"));
        newVideo(640, 360);
        QCOMPARE(scale(), QStringLiteral("lanczos"));
        engine.core->setChosenScale(MpvCore::ScaleChooser::Upscaling, QStringLiteral("ewa_lanczossharp"));
        engine.core->redetectGpu();
        QCOMPARE(scale(), QStringLiteral("ewa_lanczossharp"));

        engine.core->setHwdec(QStringLiteral("no"));
        engine.fake->clearRecords();
        engine.core->applyHwdecForCodec(QStringLiteral("av1"));
        QVERIFY(engine.written("hwdec").isEmpty());

        // Stepped down to spline36; the next file starts with the choice back.
        for (int i = 0; i < 4; ++i)
            engine.interval(3);
        QCOMPARE(scale(), QStringLiteral("spline36"));
        QSignalSpy restored(engine.core.get(), &MpvCore::renderQualityRestored);
        engine.fake->queueEndFile(EngineEvent::EndReason::Eof);
        engine.core->onMpvEvents();
        QCOMPARE(restored.size(), 1);
        QCOMPARE(scale() + u' ' + engine.core->propertyText(QStringLiteral("deband")), QStringLiteral("ewa_lanczossharp yes"));

        // Without the page's choice, the settings' returns.
        engine.core->setChosenScale(MpvCore::ScaleChooser::Upscaling, QString());
        QCOMPARE(scale(), QStringLiteral("lanczos"));
    }

    void videoSync_data()
    {
        QTest::addColumn<QString>("interpolation");
        QTest::addColumn<double>("fps");
        QTest::addColumn<double>("refresh");
        QTest::addColumn<QStringList>("writes");
        QTest::addColumn<VideoSurfaceKind>("surface");
        const auto gl = VideoSurfaceKind::OpenGl;
        const QStringList resample{"video-sync=display-resample", "interpolation=no", "video-sync-max-video-change=5"};
        QTest::newRow("cadence does not fit") << "no" << 25.0 << 60.0 << QStringList{"video-sync=audio"} << gl;
        QTest::newRow("unknown refresh counts as 60 Hz") << "no" << 30.0 << 0.0 << resample << gl;
        QTest::newRow("motion smoothing keeps its sync") << "yes" << 25.0 << 60.0 << QStringList{} << gl;
        QTest::newRow("no frame rate") << "no" << 0.0 << 60.0 << QStringList{} << gl;
        // Each resampled refresh would be another CPU conversion of the same picture.
        QTest::newRow("software surface") << "no" << 30.0 << 60.0 << QStringList{"video-sync=audio"}
                                          << VideoSurfaceKind::Software;
    }
    void videoSync()
    {
        QFETCH(QString, interpolation);
        QFETCH(double, fps);
        QFETCH(double, refresh);
        QFETCH(VideoSurfaceKind, surface);
        Engine engine = makeEngine();
        engine.core->setVideoSurface(surface);
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
        // The Windows decoder name is auto-safe here: the engine already has it since its start.
        engine.core->applyHwdecForCodec(QStringLiteral("hevc"));
        engine.fake->properties.remove(QStringLiteral("hwdec"));
        engine.core->applyHwdecForCodec(QStringLiteral("prores")); // unavailable counts as auto-safe
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
