#include "engine/RenderEnvironment.h"

#include <QGuiApplication>
#include <QTemporaryFile>
#include <QTest>

// Collects the log lines of one scope, so a case can state exactly which lines it expects.
class LogCapture
{
public:
    LogCapture() : previous_(qInstallMessageHandler(&LogCapture::handle)) { current_ = this; }
    ~LogCapture()
    {
        qInstallMessageHandler(previous_);
        current_ = nullptr;
    }
    QStringList lines;

private:
    static void handle(QtMsgType, const QMessageLogContext &, const QString &message) { current_->lines << message; }
    static inline LogCapture *current_ = nullptr;
    QtMessageHandler previous_;
};

class RenderEnvironmentTest : public QObject
{
    Q_OBJECT
private slots:
    void detectsThePrimaryScreenWithoutAContext()
    {
        LogCapture log;
        const RenderEnvironment env = detectRenderEnvironment();
        QCOMPARE(env.width, 2880);
        QCOMPARE(env.height, 1620);
        QCOMPARE(env.devicePixelRatio, 1.5);
        QVERIFY(env.hiDpi);
        QCOMPARE(env.displayClass, DisplayClass::Uhd4K);
        QCOMPARE(env.gpuRenderer, QStringLiteral("Unknown"));
        QCOMPARE(env.tier, GpuTier::Medium);
        QCOMPARE(env.scale, QStringLiteral("spline36"));
        QCOMPARE(env.vramMb, 0);
        QCOMPARE(env.lavcThreads, 4);
        QVERIFY(!env.gpuNextCapable);
        const QString summary = QStringLiteral(
            "화면: 2880×1620 (DPR=1.5, 60Hz, 4K) | GPU: Unknown [Medium (GTX 1070+)] | 렌더: scale=spline36, deband=ON×1");
        QCOMPARE(env.summary, summary);
        QCOMPARE(log.lines, QStringList{QStringLiteral("[RenderEnv] ") + summary});
    }

    void displayClasses_data()
    {
        QTest::addColumn<qint64>("pixels");
        QTest::addColumn<QString>("name");
        QTest::newRow("2560x1440") << qint64(2560) * 1440 << "QHD";
        QTest::newRow("3840x2160") << qint64(3840) * 2160 << "4K";
        QTest::newRow("5120x2880") << qint64(5120) * 2880 << "5K+";
        QTest::newRow("1920x1080 at 150%") << qint64(2880) * 1620 << "4K";
        QTest::newRow("FHD edge") << qint64(2073600) << "FHD";
        QTest::newRow("past FHD edge") << qint64(2073601) << "QHD";
        QTest::newRow("past QHD edge") << qint64(3686401) << "4K";
        QTest::newRow("past 4K edge") << qint64(8294401) << "5K+";
        QTest::newRow("beyond 32 bits") << qint64(100000) * 100000 << "5K+";
    }
    void displayClasses()
    {
        QFETCH(qint64, pixels);
        QFETCH(QString, name);
        QCOMPARE(displayClassName(displayClassFor(pixels)), name);
    }

    void classifiesRenderers_data()
    {
        QTest::addColumn<QString>("vendor");
        QTest::addColumn<QString>("renderer");
        QTest::addColumn<GpuFamily>("family");
        QTest::addColumn<GpuTier>("tier");
        const QString nv = QStringLiteral("NVIDIA Corporation");
        const QString amd = QStringLiteral("ATI Technologies Inc.");
        const QString intel = QStringLiteral("Intel");
        QTest::newRow("RTX 2060") << nv << "NVIDIA GeForce RTX 2060/PCIe/SSE2" << GpuFamily::NvidiaRtx << GpuTier::Medium;
        QTest::newRow("RTX 2080") << nv << "NVIDIA GeForce RTX 2080/PCIe/SSE2" << GpuFamily::NvidiaRtx << GpuTier::High;
        QTest::newRow("RTX 3070") << nv << "NVIDIA GeForce RTX 3070" << GpuFamily::NvidiaRtx << GpuTier::High;
        QTest::newRow("RTX 4090") << nv << "NVIDIA GeForce RTX 4090" << GpuFamily::NvidiaRtx << GpuTier::Ultra;
        QTest::newRow("GTX 750 Ti") << nv << "NVIDIA GeForce GTX 750 Ti" << GpuFamily::NvidiaLegacy << GpuTier::Low;
        QTest::newRow("GTX 1660") << nv << "NVIDIA GeForce GTX 1660" << GpuFamily::NvidiaGtx << GpuTier::Medium;
        QTest::newRow("GTX 970 by renderer only") << "Unknown" << "GeForce GTX 970" << GpuFamily::NvidiaGtx
                                                  << GpuTier::Low;
        QTest::newRow("Quadro") << nv << "Quadro P2000" << GpuFamily::NvidiaGtx << GpuTier::Medium;
        QTest::newRow("RX 580") << amd << "AMD Radeon RX 580 Series" << GpuFamily::AmdRx5000 << GpuTier::Medium;
        QTest::newRow("RX 7900 XTX") << amd << "AMD Radeon RX 7900 XTX" << GpuFamily::AmdRx6000Plus << GpuTier::Ultra;
        QTest::newRow("RX 6600") << amd << "AMD Radeon RX 6600" << GpuFamily::AmdRx6000Plus << GpuTier::Medium;
        QTest::newRow("Radeon APU") << "AMD" << "AMD Radeon Graphics (renoir, LLVM 15.0.6)" << GpuFamily::AmdLegacy
                                    << GpuTier::Low;
        QTest::newRow("Arc A770") << intel << "Intel(R) Arc(TM) A770 Graphics" << GpuFamily::IntelArc << GpuTier::Low;
        QTest::newRow("UHD 630") << intel << "Intel(R) UHD Graphics 630" << GpuFamily::IntelXe << GpuTier::Integrated;
        QTest::newRow("HD 4000") << intel << "Intel HD Graphics 4000" << GpuFamily::IntelLegacy << GpuTier::Integrated;
        // "Corporation" contains "ati", yet this is an Intel GPU.
        QTest::newRow("Intel Corporation") << "Intel Corporation" << "Intel(R) UHD Graphics 630"
                                           << GpuFamily::IntelXe << GpuTier::Integrated;
        QTest::newRow("ATI vendor") << "ATI Technologies Inc." << "Radeon HD 5770" << GpuFamily::AmdLegacy
                                    << GpuTier::Low;
        QTest::newRow("llvmpipe") << "Mesa" << "llvmpipe (LLVM 15.0.6, 256 bits)" << GpuFamily::Unknown
                                  << GpuTier::Medium;
    }
    void classifiesRenderers()
    {
        QFETCH(QString, vendor);
        QFETCH(QString, renderer);
        RenderEnvironment env;
        env.gpuVendor = vendor;
        env.gpuRenderer = renderer;
        env.gpuFamily = GpuFamily::IntelArc;
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
        const QString sharp = QStringLiteral("ewa_lanczossharp/mitchell/sinc deband=ON");
        const QString spline = QStringLiteral("spline36/mitchell/spline36 deband=ON×1 sigmoid");
        QTest::newRow("FHD Ultra") << D::Fhd << T::Ultra << sharp + "×2 sigmoid linear correct peak dither=fruit";
        QTest::newRow("FHD Medium") << D::Fhd << T::Medium << sharp + "×1 sigmoid linear correct peak dither=fruit";
        QTest::newRow("FHD Low") << D::Fhd << T::Low << spline + " correct dither=fruit";
        QTest::newRow("QHD High") << D::Qhd << T::High << sharp + "×1 sigmoid linear correct peak dither=fruit";
        QTest::newRow("QHD Medium") << D::Qhd << T::Medium << spline + " correct dither=fruit";
        QTest::newRow("4K Ultra") << D::Uhd4K << T::Ultra << sharp + "×1 sigmoid correct peak dither=fruit";
        QTest::newRow("4K High") << D::Uhd4K << T::High << spline + " correct dither=fruit";
        QTest::newRow("4K Low") << D::Uhd4K << T::Low << spline + " dither=fruit";
        QTest::newRow("5K+ Ultra") << D::Uhd5KPlus << T::Ultra << "lanczos/mitchell/lanczos deband=OFF×0 dither=no";
        QTest::newRow("Integrated FHD") << D::Fhd << T::Integrated << "bilinear/bilinear/bilinear deband=OFF×0 dither=no";
        QTest::newRow("Integrated 5K+") << D::Uhd5KPlus << T::Integrated
                                        << "bilinear/bilinear/bilinear deband=OFF×0 dither=no";
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
            LogCapture log;
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
            QCOMPARE(env.framedrop, QStringLiteral("vo"));
            QCOMPARE(env.videoSync, QStringLiteral("audio"));
            const QStringList integrated{QStringLiteral("[RenderEnv] 통합 GPU 감지 → 최소 부하 설정 적용")};
            QCOMPARE(log.lines, tier == GpuTier::Integrated ? integrated : QStringList());
        }
    }

    void adjustsTierForVideoMemory_data()
    {
        QTest::addColumn<GpuTier>("tier");
        QTest::addColumn<int>("vram");
        QTest::addColumn<GpuTier>("expected");
        QTest::addColumn<QString>("scale");
        QTest::addColumn<int>("deband");
        QTest::addColumn<QString>("log");
        const QString raised = QStringLiteral("[RenderEnv] VRAM 8GB+ 감지 → GPU 등급 Medium→High 상향");
        const QString lowered = QStringLiteral("[RenderEnv] VRAM 2GB 미만 감지 → GPU 등급 Low 강등");
        const QString sharp = QStringLiteral("ewa_lanczossharp");
        const QString spline = QStringLiteral("spline36");
        QTest::newRow("8192 raises Medium") << GpuTier::Medium << 8192 << GpuTier::High << sharp << 2 << raised;
        QTest::newRow("High is not raised") << GpuTier::High << 16384 << GpuTier::High << sharp << 2 << "";
        QTest::newRow("2048 keeps Medium") << GpuTier::Medium << 2048 << GpuTier::Medium << sharp << 1 << "";
        QTest::newRow("2047 lowers Medium") << GpuTier::Medium << 2047 << GpuTier::Low << spline << 1 << lowered;
        QTest::newRow("1 lowers Ultra") << GpuTier::Ultra << 1 << GpuTier::Low << spline << 1 << lowered;
        QTest::newRow("unknown keeps Medium") << GpuTier::Medium << 0 << GpuTier::Medium << sharp << 1 << "";
        QTest::newRow("Low with little") << GpuTier::Low << 1024 << GpuTier::Low << spline << 1 << "";
        QTest::newRow("Low with plenty") << GpuTier::Low << 16384 << GpuTier::Low << spline << 1 << "";
        QTest::newRow("Integrated with little") << GpuTier::Integrated << 1024 << GpuTier::Integrated
                                                << "bilinear" << 0 << "";
        QTest::newRow("Integrated with plenty") << GpuTier::Integrated << 8192 << GpuTier::Integrated
                                                << "bilinear" << 0 << "";
    }
    void adjustsTierForVideoMemory()
    {
        QFETCH(GpuTier, tier);
        QFETCH(int, vram);
        QFETCH(QString, log);
        RenderEnvironment env;
        env.tier = tier;
        env.vramMb = vram;
        {
            LogCapture setup;
            chooseScalers(env);
        }
        LogCapture capture;
        adjustTierForVram(env);
        QTEST(env.tier, "expected");
        QTEST(env.scale, "scale");
        QTEST(env.debandIterations, "deband");
        QCOMPARE(capture.lines, log.isEmpty() ? QStringList() : QStringList{log});
    }

    void videoSync_data()
    {
        QTest::addColumn<double>("fps");
        QTest::addColumn<double>("refresh");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("log");
        QTest::newRow("23.976 @ 60") << 23.976 << 60.0 << "audio"
                                     << "[RenderEnv] video-sync=audio (fps= 23.976 , refresh= 60 , ratio= 2.5025  "
                                        "비정수 60Hz → audio 안전)";
        QTest::newRow("24 @ 120") << 24.0 << 120.0 << "display-resample"
                                  << "[RenderEnv] video-sync=display-resample (fps= 24 , refresh= 120 , ratio= 5  ≈  "
                                     "5 배)";
        QTest::newRow("25 @ 144") << 25.0 << 144.0 << "display-resample"
                                  << "[RenderEnv] video-sync=display-resample (fps= 25 , refresh= 144 , ratio= 5.76  "
                                     "비정수이나 120Hz+)";
        QTest::newRow("120 @ 240") << 120.0 << 240.0 << "audio" << "[RenderEnv] video-sync=audio (고프레임 fps= 120 )";
        QTest::newRow("30 @ 60") << 30.0 << 60.0 << "display-resample"
                                 << "[RenderEnv] video-sync=display-resample (fps= 30 , refresh= 60 , ratio= 2  ≈  2 배)";
        QTest::newRow("23.976 @ 24 is close enough")
            << 23.976 << 24.0 << "display-resample"
            << "[RenderEnv] video-sync=display-resample (fps= 23.976 , refresh= 24 , ratio= 1.001  ≈  1 배)";
        QTest::newRow("refresh far below fps") << 50.0 << 2.0 << "audio"
                                               << "[RenderEnv] video-sync=audio (fps= 50 , refresh= 2 , ratio= 0.04  "
                                                  "비정수 60Hz → audio 안전)";
        QTest::newRow("0 fps") << 0.0 << 60.0 << "audio" << "";
    }
    void videoSync()
    {
        QFETCH(double, fps);
        QFETCH(double, refresh);
        QFETCH(QString, log);
        LogCapture capture;
        QTEST(videoSyncFor(fps, refresh), "expected");
        QCOMPARE(capture.lines, log.isEmpty() ? QStringList() : QStringList{log});
    }

    void scaleForVideo_data()
    {
        QTest::addColumn<QSize>("video");
        QTest::addColumn<QSize>("display");
        QTest::addColumn<GpuTier>("tier");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("log");
        const QSize fhd(1920, 1080);
        const QSize uhd(3840, 2160);
        const QString sharpMiddle =
            QStringLiteral("[RenderEnv] 중간 업스케일 (ratio=2) → scale=ewa_lanczossharp (고성능 GPU)");
        QTest::newRow("FHD on 4K, Medium") << fhd << uhd << GpuTier::Medium << "ewa_lanczossharp" << sharpMiddle;
        QTest::newRow("FHD on 4K, Low") << fhd << uhd << GpuTier::Low << "spline36"
                                        << "[RenderEnv] 중간 업스케일 (ratio=2) → scale=spline36 (중급 GPU)";
        QTest::newRow("4K on FHD") << uhd << fhd << GpuTier::Medium << "bilinear"
                                   << "[RenderEnv] 다운스케일 감지 (ratio=0.5) → scale=bilinear (부하 최소화)";
        QTest::newRow("720p on FHD") << QSize(1280, 720) << fhd << GpuTier::Medium << "spline36"
                                     << "[RenderEnv] 소폭 업스케일 (ratio=1.5) → scale=spline36";
        QTest::newRow("360p on FHD is still middle") << QSize(640, 360) << fhd << GpuTier::Integrated << "spline36"
                                                     << "[RenderEnv] 중간 업스케일 (ratio=3) → scale=spline36 (중급 GPU)";
        QTest::newRow("360p on 4K") << QSize(640, 360) << uhd << GpuTier::Low << "ewa_lanczossharp"
                                    << "[RenderEnv] 대폭 업스케일 (ratio=6) → scale=ewa_lanczossharp (효과 극대화)";
        QTest::newRow("portrait takes the larger ratio")
            << QSize(1080, 1920) << fhd << GpuTier::Medium << "ewa_lanczossharp"
            << "[RenderEnv] 중간 업스케일 (ratio=1.77778) → scale=ewa_lanczossharp (고성능 GPU)";
        QTest::newRow("no width") << QSize(0, 1080) << fhd << GpuTier::Medium << "" << "";
    }
    void scaleForVideo()
    {
        QFETCH(QSize, video);
        QFETCH(QSize, display);
        QFETCH(GpuTier, tier);
        QFETCH(QString, log);
        RenderEnvironment env;
        env.width = display.width();
        env.height = display.height();
        env.tier = tier;
        LogCapture capture;
        QTEST(::scaleForVideo(video.width(), video.height(), env), "expected");
        QCOMPARE(capture.lines, log.isEmpty() ? QStringList() : QStringList{log});
    }

    void hardwareDecoder_data()
    {
        QTest::addColumn<QString>("codec");
        QTest::addColumn<GpuFamily>("family");
        QTest::addColumn<GpuTier>("tier");
        QTest::addColumn<QString>("expected");
        QTest::newRow("AV1 on Xe") << "av1" << GpuFamily::IntelXe << GpuTier::Integrated << "no";
        QTest::newRow("AV1 on RTX") << "AV1" << GpuFamily::NvidiaRtx << GpuTier::Ultra << "d3d11va";
        QTest::newRow("av01 on RX 6000") << "av01" << GpuFamily::AmdRx6000Plus << GpuTier::High << "d3d11va";
        QTest::newRow("HEVC on old Intel") << "hevc" << GpuFamily::IntelLegacy << GpuTier::Integrated << "no";
        QTest::newRow("HEVC on Xe") << "HEVC" << GpuFamily::IntelXe << GpuTier::Integrated << "d3d11va";
        QTest::newRow("VC-1") << "VC-1" << GpuFamily::NvidiaGtx << GpuTier::Medium << "dxva2";
        QTest::newRow("h264") << "h264" << GpuFamily::IntelLegacy << GpuTier::Integrated << "d3d11va";
        QTest::newRow("prores") << "prores" << GpuFamily::NvidiaRtx << GpuTier::Ultra << "auto-safe";
    }
    void hardwareDecoder()
    {
        QFETCH(QString, codec);
        QFETCH(GpuFamily, family);
        QFETCH(GpuTier, tier);
        QTEST(hwdecForCodec(codec, family, tier), "expected");
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
