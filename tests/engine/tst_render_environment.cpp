#include "engine/GraphicsDevices.h"
#include "engine/RenderEnvironment.h"

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

class RenderEnvironmentTest : public QObject
{
    Q_OBJECT
private slots:
    void detectsThePrimaryScreenWithoutAContext()
    {
        const RenderEnvironment env = detectRenderEnvironment();
        QCOMPARE(QSize(env.width, env.height), QSize(2880, 1620));
        QCOMPARE(env.displayClass, DisplayClass::Uhd4K);
    }

    void displayClasses_data()
    {
        QTest::addColumn<qint64>("pixels");
        QTest::addColumn<QString>("name");
        QTest::newRow("FHD edge") << qint64(1920) * 1080 << "FHD";
        QTest::newRow("past FHD edge") << qint64(1920) * 1080 + 1 << "QHD";
    }
    void displayClasses()
    {
        QFETCH(qint64, pixels);
        QTEST(displayClassName(displayClassFor(pixels)), "name");
    }

    void classifiesRenderers_data()
    {
        QTest::addColumn<QString>("vendor");
        QTest::addColumn<QString>("renderer");
        QTest::addColumn<GpuFamily>("family");
        QTest::addColumn<GpuTier>("tier");
        const QString nv = QStringLiteral("NVIDIA Corporation");
        const QString amd = QStringLiteral("ATI Technologies Inc.");
        QTest::newRow("RTX 2080") << nv << "NVIDIA GeForce RTX 2080/PCIe/SSE2" << GpuFamily::NvidiaRtx << GpuTier::High;
        QTest::newRow("GTX 750 Ti") << nv << "NVIDIA GeForce GTX 750 Ti" << GpuFamily::NvidiaLegacy << GpuTier::Low;
        QTest::newRow("RX 7900 XTX") << amd << "AMD Radeon RX 7900 XTX" << GpuFamily::AmdRx6000Plus << GpuTier::Ultra;
        // "Corporation" contains "ati", yet this is an Intel GPU.
        QTest::newRow("UHD 630") << "Intel Corporation" << "Intel(R) UHD Graphics 630" << GpuFamily::IntelXe
                                 << GpuTier::Integrated;
        // Software rasterisers share the CPU with the decoder: minimal load, like an integrated GPU.
        QTest::newRow("llvmpipe") << "Mesa" << "llvmpipe (LLVM 15.0.6, 256 bits)" << GpuFamily::Unknown
                                  << GpuTier::Integrated;
        QTest::newRow("unknown GPU") << "Imagination Technologies" << "PowerVR B-Series BXE-4-32" << GpuFamily::Unknown
                                     << GpuTier::Medium;
    }
    void classifiesRenderers()
    {
        QFETCH(QString, vendor);
        QFETCH(QString, renderer);
        RenderEnvironment env;
        env.gpuVendor = vendor;
        env.gpuRenderer = renderer;
        env.gpuFamily = GpuFamily::IntelArc; // leftovers a classification must overwrite
        env.tier = GpuTier::Integrated;
        classifyGpu(env);
        QTEST(env.gpuFamily, "family");
        QTEST(env.tier, "tier");
    }

    void choosesScalers_data()
    {
        QTest::addColumn<DisplayClass>("display");
        QTest::addColumn<GpuTier>("tier");
        QTest::addColumn<QString>("expected");
        using D = DisplayClass;
        using T = GpuTier;
        QTest::newRow("FHD High") << D::Fhd << T::High
                                  << "ewa_lanczossharp/mitchell/sinc deband=ON×2 sigmoid linear correct peak dither=fruit";
        QTest::newRow("5K+ Ultra") << D::Uhd5KPlus << T::Ultra << "lanczos/mitchell/lanczos deband=OFF×0 dither=no";
        QTest::newRow("Integrated") << D::Fhd << T::Integrated << "bilinear/bilinear/bilinear deband=OFF×0 dither=no";
    }
    void choosesScalers()
    {
        QFETCH(DisplayClass, display);
        QFETCH(GpuTier, tier);
        // Once from all-true, once from all-false leftovers: a field the function forgets to set shows up.
        for (const bool leftover : {true, false}) {
            RenderEnvironment env;
            env.displayClass = display;
            env.tier = tier;
            env.scale = env.dscale = env.cscale = env.dither = env.framedrop = env.videoSync = QStringLiteral("stale");
            env.deband = env.sigmoidUpscaling = env.linearUpscaling = env.correctDownscaling = env.hdrComputePeak =
                leftover;
            env.debandIterations = 7;
            chooseScalers(env);
            QString described = QStringLiteral("%1/%2/%3 deband=%4×%5")
                                    .arg(env.scale, env.dscale, env.cscale, env.deband ? "ON" : "OFF")
                                    .arg(env.debandIterations);
            const std::pair<bool, const char *> flags[] = {{env.sigmoidUpscaling, " sigmoid"},
                                                           {env.linearUpscaling, " linear"},
                                                           {env.correctDownscaling, " correct"},
                                                           {env.hdrComputePeak, " peak"}};
            for (const auto &[on, name] : flags)
                described += on ? QString::fromLatin1(name) : QString();
            QTEST(described + " dither=" + env.dither, "expected");
            QCOMPARE(env.framedrop + ' ' + env.videoSync, QStringLiteral("vo audio"));
        }
    }

    void adjustsTierForVideoMemory_data()
    {
        QTest::addColumn<GpuTier>("tier");
        QTest::addColumn<int>("vram");
        QTest::addColumn<GpuTier>("expected");
        QTest::addColumn<QString>("scale");
        QTest::addColumn<int>("deband");
        const QString sharp = QStringLiteral("ewa_lanczossharp");
        QTest::newRow("8192 raises Medium") << GpuTier::Medium << 8192 << GpuTier::High << sharp << 2;
        QTest::newRow("2047 lowers Medium") << GpuTier::Medium << 2047 << GpuTier::Low << "spline36" << 1;
        QTest::newRow("Integrated stays") << GpuTier::Integrated << 1024 << GpuTier::Integrated << "bilinear" << 0;
    }
    void adjustsTierForVideoMemory()
    {
        QFETCH(GpuTier, tier);
        QFETCH(int, vram);
        RenderEnvironment env;
        env.tier = tier;
        env.vramMb = vram;
        chooseScalers(env);
        adjustTierForVram(env);
        QTEST(env.tier, "expected");
        QTEST(env.scale, "scale");
        QTEST(env.debandIterations, "deband");
    }

    void videoSync_data()
    {
        QTest::addColumn<double>("fps");
        QTest::addColumn<double>("refresh");
        QTest::addColumn<QString>("expected");
        QTest::newRow("25 @ 144, uneven but 120 Hz+") << 25.0 << 144.0 << "display-resample";
        QTest::newRow("23.976 @ 24 is close enough") << 23.976 << 24.0 << "display-resample";
    }
    void videoSync()
    {
        QFETCH(double, fps);
        QFETCH(double, refresh);
        QTEST(videoSyncFor(fps, refresh), "expected");
    }

    void scaleForVideo_data()
    {
        QTest::addColumn<QSize>("video");
        QTest::addColumn<QSize>("display");
        QTest::addColumn<GpuTier>("tier");
        QTest::addColumn<QString>("expected");
        const QSize fhd(1920, 1080);
        const QSize uhd(3840, 2160);
        QTest::newRow("FHD on 4K, Medium") << fhd << uhd << GpuTier::Medium << "ewa_lanczossharp";
        QTest::newRow("same size") << fhd << fhd << GpuTier::Medium << "bilinear";
        QTest::newRow("portrait takes the larger ratio") << QSize(1080, 1920) << fhd << GpuTier::Medium
                                                         << "ewa_lanczossharp";
        QTest::newRow("no width") << QSize(0, 1080) << fhd << GpuTier::Medium << "";
    }
    void scaleForVideo()
    {
        QFETCH(QSize, video);
        QFETCH(QSize, display);
        QFETCH(GpuTier, tier);
        RenderEnvironment env;
        env.width = display.width();
        env.height = display.height();
        env.tier = tier;
        QTEST(::scaleForVideo(video.width(), video.height(), env), "expected");
    }

    // A software rasteriser draws with the one-pass scaler whatever the ratio; reclassifying the
    // same environment on a real GPU must give the ratio's kernel back.
    void softwareRasteriserKeepsTheOnePassScaler()
    {
        RenderEnvironment env;
        env.width = 3840;
        env.height = 2160;
        for (const auto &[renderer, scale] : {std::pair{"llvmpipe (LLVM 15.0.6, 256 bits)", "bilinear"},
                                              std::pair{"NVIDIA GeForce RTX 3080/PCIe/SSE2", "ewa_lanczossharp"}}) {
            env.gpuRenderer = QString::fromLatin1(renderer);
            classifyGpu(env);
            QCOMPARE(::scaleForVideo(640, 360, env), QLatin1String(scale));
        }
    }

    void hardwareDecoder_data()
    {
        QTest::addColumn<QString>("codec");
        QTest::addColumn<GpuFamily>("family");
        QTest::addColumn<GpuTier>("tier");
        QTest::addColumn<QString>("expected");
        QTest::newRow("HEVC on Xe") << "HEVC" << GpuFamily::IntelXe << GpuTier::Integrated << "d3d11va";
        QTest::newRow("prores") << "prores" << GpuFamily::NvidiaRtx << GpuTier::Ultra << "auto-safe";
    }
    void hardwareDecoder()
    {
        QFETCH(QString, codec);
        QFETCH(GpuFamily, family);
        QFETCH(GpuTier, tier);
        QTEST(hwdecForCodec(codec, family, tier), "expected");
    }

    // The stored text or the override as the process reads it, then the surface for what Qt's
    // OpenGL offers: a CPU rasteriser or no OpenGL draws in software unless OpenGL is forced,
    // and no preference gets OpenGL where there is none.
    void choosesTheVideoSurface_data()
    {
        QTest::addColumn<QString>("preference");
        QTest::addColumn<bool>("usable");
        QTest::addColumn<QString>("renderer");
        QTest::addColumn<VideoSurfaceKind>("expected");
        const auto gl = VideoSurfaceKind::OpenGl;
        const auto sw = VideoSurfaceKind::Software;
        const QString llvmpipe = QStringLiteral("llvmpipe (LLVM 15.0.6, 256 bits)");
        const QString gpu = QStringLiteral("NVIDIA GeForce RTX 3080/PCIe/SSE2");
        QTest::newRow("auto, llvmpipe") << "auto" << true << llvmpipe << sw;
        QTest::newRow("auto, softpipe") << "auto" << true << "softpipe" << sw;
        QTest::newRow("auto, swrast") << "auto" << true << "Mesa DRI swrast" << sw;
        QTest::newRow("auto, real GPU") << "auto" << true << gpu << gl;
        QTest::newRow("auto, no OpenGL") << "auto" << false << QString() << sw;
        QTest::newRow("unknown text is auto") << "vulkan" << true << llvmpipe << sw;
        QTest::newRow("OpenGL forced on llvmpipe") << " OpenGL " << true << llvmpipe << gl;
        QTest::newRow("OpenGL forced without OpenGL") << "opengl" << false << QString() << sw;
        QTest::newRow("software forced on a GPU") << "software" << true << gpu << sw;
    }
    void choosesTheVideoSurface()
    {
        QFETCH(QString, preference);
        QFETCH(bool, usable);
        QFETCH(QString, renderer);
        const OpenGlSupport support{usable, renderer, QStringLiteral("Mesa")};
        QTEST(chooseVideoSurface(videoSurfacePreferenceFrom(preference).value_or(VideoSurfacePreference::Auto), support),
              "expected");
    }

    // Settled before any OpenGL driver is loaded: software when asked for, or on "auto" when no
    // GPU could draw or Mesa is told not to use one; a kept answer decides as the driver did;
    // otherwise (nothing: ask the driver) a GPU or a forced OpenGL.
    void settlesTheSurfaceWithoutTheDriver_data()
    {
        QTest::addColumn<QString>("preference");
        QTest::addColumn<bool>("gpu");
        QTest::addColumn<QString>("forcedBy");
        QTest::addColumn<QString>("storedRenderer"); // empty: nothing kept
        QTest::addColumn<int>("expected");           // a VideoSurfaceKind, or -1 for "ask the driver"
        const int gl = int(VideoSurfaceKind::OpenGl), sw = int(VideoSurfaceKind::Software), ask = -1;
        QTest::newRow("auto, no GPU") << "auto" << false << "" << "" << sw;
        QTest::newRow("auto, GPU") << "auto" << true << "" << "" << ask;
        QTest::newRow("auto, GPU, Mesa told software") << "auto" << true << "LIBGL_ALWAYS_SOFTWARE" << "" << sw;
        QTest::newRow("auto, GPU, kept real GPU") << "auto" << true << "" << "Mesa Intel(R) UHD 620" << gl;
        QTest::newRow("auto, GPU, kept llvmpipe") << "auto" << true << "" << "llvmpipe (LLVM 15.0.6)" << sw;
        QTest::newRow("OpenGL forced, no GPU") << "opengl" << false << "" << "" << ask;
        QTest::newRow("software forced, GPU") << "software" << true << "" << "Mesa Intel(R) UHD 620" << sw;
    }
    void settlesTheSurfaceWithoutTheDriver()
    {
        QFETCH(QString, preference);
        QFETCH(QString, storedRenderer);
        GraphicsDevices devices;
        QFETCH(bool, gpu);
        devices.gpu = gpu;
        QFETCH(QString, forcedBy);
        devices.softwareForcedBy = forcedBy;
        std::optional<OpenGlSupport> stored;
        if (!storedRenderer.isEmpty())
            stored = OpenGlSupport{true, storedRenderer, QStringLiteral("Mesa")};
        const auto kind = videoSurfaceWithoutProbe(videoSurfacePreferenceFrom(preference).value_or(VideoSurfacePreference::Auto),
                                                   devices, stored);
        QTEST(kind ? int(*kind) : -1, "expected");
    }

    // A render node makes a GPU; the driver's answer is kept for this machine and is not taken
    // once its devices changed.
    void devicesAndTheKeptAnswer()
    {
        QTemporaryDir root;
        QVERIFY(!scanGraphicsDevices(root.path()).gpu);
        const QString before = scanGraphicsDevices(root.path()).fingerprint;
        QVERIFY(QDir(root.path()).mkpath(QStringLiteral("dev/dri")));
        QFile node(root.filePath(QStringLiteral("dev/dri/renderD128")));
        QVERIFY(node.open(QIODevice::WriteOnly));
        node.close();
        const GraphicsDevices devices = scanGraphicsDevices(root.path());
        QVERIFY(devices.gpu && devices.fingerprint != before);

        const QString kept = root.filePath(QStringLiteral("opengl.ini"));
        QVERIFY(!storedOpenGlAnswer(kept, devices.fingerprint));
        storeOpenGlAnswer(kept, devices.fingerprint, {true, QStringLiteral("AMD Radeon RX 6600"), QStringLiteral("AMD")});
        const std::optional<OpenGlSupport> answer = storedOpenGlAnswer(kept, devices.fingerprint);
        QVERIFY(answer && answer->usable);
        QCOMPARE(answer->renderer, QStringLiteral("AMD Radeon RX 6600"));
        QVERIFY(!storedOpenGlAnswer(kept, before));
    }
};

// The offscreen platform reads its screens from a file: one 1920x1080 logical screen at 150 %,
// so detection has to turn logical size and ratio into 2880x1620 physical pixels.
int main(int argc, char *argv[])
{
    QTemporaryFile screens;
    if (!screens.open())
        return 1;
    screens.write(R"({"screens": [{"name": "hidpi", "x": 0, "y": 0, "width": 1920, "height": 1080,
                      "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1.5}]})");
    screens.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screens.fileName()));
    QGuiApplication app(argc, argv);
    RenderEnvironmentTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_render_environment.moc"
