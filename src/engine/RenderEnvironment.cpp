#include "engine/RenderEnvironment.h"

#include <QDebug>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QScreen>

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace {

// Vendor extension enums; not every GL header in use defines them.
constexpr GLenum kNvxTotalAvailableMemoryKib = 0x9048;
constexpr GLenum kAtiTextureFreeMemory = 0x87FC;

bool containsAny(const QString &haystack, std::initializer_list<const char16_t *> needles)
{
    return std::any_of(needles.begin(), needles.end(), [&haystack](const char16_t *needle) {
        return haystack.contains(QStringView(needle));
    });
}

QString glString(QOpenGLFunctions *functions, GLenum name)
{
    const GLubyte *value = functions->glGetString(name);
    return value ? QString::fromUtf8(reinterpret_cast<const char *>(value)) : QString();
}

QString onOff(bool value)
{
    return value ? QStringLiteral("ON") : QStringLiteral("OFF");
}

struct ScalerRow {
    const char16_t *scale;
    const char16_t *cscale;
    int debandIterations;
    bool linearUpscaling;
    bool correctDownscaling;
    bool hdrComputePeak;
};

constexpr ScalerRow kSharpFhd{u"ewa_lanczossharp", u"sinc", 2, true, true, true};
constexpr ScalerRow kSharp{u"ewa_lanczossharp", u"sinc", 1, true, true, true};
constexpr ScalerRow kSpline{u"spline36", u"spline36", 1, false, true, false};
// At 4K the output is already dense, so only the strongest GPUs keep the expensive kernels, and
// linear-light upscaling is dropped even there.
constexpr ScalerRow kSharp4K{u"ewa_lanczossharp", u"sinc", 1, false, true, true};
constexpr ScalerRow kSplineCheap{u"spline36", u"spline36", 1, false, false, false};

ScalerRow scalerRowFor(DisplayClass displayClass, GpuTier tier)
{
    const bool strong = tier == GpuTier::Ultra || tier == GpuTier::High;
    switch (displayClass) {
    case DisplayClass::Fhd:
        if (strong)
            return kSharpFhd;
        return tier == GpuTier::Medium ? kSharp : kSpline;
    case DisplayClass::Qhd:
        return strong ? kSharp : kSpline;
    case DisplayClass::Uhd4K:
        if (tier == GpuTier::Ultra)
            return kSharp4K;
        return tier == GpuTier::High ? kSpline : kSplineCheap;
    case DisplayClass::Uhd5KPlus:
        break;
    }
    return kSplineCheap;
}

} // namespace

DisplayClass displayClassFor(qint64 pixelCount)
{
    if (pixelCount <= 2073600)
        return DisplayClass::Fhd;
    if (pixelCount <= 3686400)
        return DisplayClass::Qhd;
    if (pixelCount <= 8294400)
        return DisplayClass::Uhd4K;
    return DisplayClass::Uhd5KPlus;
}

QString displayClassName(DisplayClass displayClass)
{
    switch (displayClass) {
    case DisplayClass::Fhd:
        return QStringLiteral("FHD");
    case DisplayClass::Qhd:
        return QStringLiteral("QHD");
    case DisplayClass::Uhd4K:
        return QStringLiteral("4K");
    case DisplayClass::Uhd5KPlus:
        return QStringLiteral("5K+");
    }
    return QStringLiteral("FHD");
}

QString tierName(GpuTier tier)
{
    switch (tier) {
    case GpuTier::Ultra:
        return QStringLiteral("Ultra (RTX 4080+)");
    case GpuTier::High:
        return QStringLiteral("High (RTX 3070+)");
    case GpuTier::Medium:
        return QStringLiteral("Medium (GTX 1070+)");
    case GpuTier::Low:
        return QStringLiteral("Low (GTX 960+)");
    case GpuTier::Integrated:
        return QStringLiteral("Integrated GPU");
    }
    return QStringLiteral("Unknown");
}

namespace {
// "ATI" as a word: a bare substring would also match "Intel Corporation" and send Intel GPUs
// down the AMD path.
bool isAtiVendor(const QString &vendor)
{
    static const QRegularExpression ati(QStringLiteral("\\bati\\b"));
    return ati.match(vendor).hasMatch();
}

} // namespace

bool isSoftwareRasteriser(const QString &renderer)
{
    return containsAny(renderer.toLower(), {u"llvmpipe", u"softpipe", u"swrast", u"software rasterizer",
                                            u"basic render driver", u"swiftshader"});
}

void classifyGpu(RenderEnvironment &environment)
{
    const QString renderer = environment.gpuRenderer.toLower();
    const QString vendor = environment.gpuVendor.toLower();
    GpuFamily family = GpuFamily::Unknown;
    GpuTier tier = GpuTier::Medium;

    environment.softwareRenderer = isSoftwareRasteriser(renderer);
    if (environment.softwareRenderer) {
        // No GPU at all: the CPU that decodes also draws every pixel. The heavy kernels an unknown
        // GPU gets would hold the first frame for seconds (shader builds) and drop frames after.
        tier = GpuTier::Integrated;
    } else if (vendor.contains(u"nvidia") || containsAny(renderer, {u"nvidia", u"geforce", u"quadro"})) {
        if (renderer.contains(u"rtx")) {
            family = GpuFamily::NvidiaRtx;
            if (containsAny(renderer, {u"rtx 40", u"rtx 50"}))
                tier = GpuTier::Ultra;
            else if (renderer.contains(u"rtx 30"))
                tier = GpuTier::High;
            else if (renderer.contains(u"rtx 20") && !renderer.contains(u"rtx 2060"))
                tier = GpuTier::High;
            else
                tier = GpuTier::Medium;
        } else if (renderer.contains(u"gtx")) {
            family = GpuFamily::NvidiaGtx;
            if (containsAny(renderer, {u"gtx 1080", u"gtx 1070", u"gtx 1660", u"gtx 1650"})) {
                tier = GpuTier::Medium;
            } else if (containsAny(renderer, {u"gtx 1060", u"gtx 970", u"gtx 980", u"gtx 960"})) {
                tier = GpuTier::Low;
            } else {
                tier = GpuTier::Low;
                family = GpuFamily::NvidiaLegacy;
            }
        } else {
            family = GpuFamily::NvidiaGtx;
            tier = GpuTier::Medium;
        }
    } else if (isAtiVendor(vendor) || vendor.contains(u"amd") || containsAny(renderer, {u"radeon", u"amd"})) {
        if (renderer.contains(u"rx 7")) {
            family = GpuFamily::AmdRx6000Plus;
            tier = renderer.contains(u"rx 7900") ? GpuTier::Ultra : GpuTier::High;
        } else if (renderer.contains(u"rx 6")) {
            family = GpuFamily::AmdRx6000Plus;
            tier = containsAny(renderer, {u"rx 6700", u"rx 6800", u"rx 6900"}) ? GpuTier::High : GpuTier::Medium;
        } else if (renderer.contains(u"rx 5")) {
            family = GpuFamily::AmdRx5000;
            tier = GpuTier::Medium;
        } else {
            family = GpuFamily::AmdLegacy;
            tier = GpuTier::Low;
        }
    } else if (vendor.contains(u"intel") || renderer.contains(u"intel")) {
        if (renderer.contains(u"arc")) {
            // Arc is a discrete card: weak for the heavy kernels, but not the minimal-load profile.
            family = GpuFamily::IntelArc;
            tier = GpuTier::Low;
        } else if (containsAny(renderer, {u"iris xe", u"iris(r) xe", u"uhd 770", u"uhd 750", u"uhd",
                                          u"iris plus", u"iris(r) plus"})) {
            family = GpuFamily::IntelXe;
            tier = GpuTier::Integrated;
        } else {
            family = GpuFamily::IntelLegacy;
            tier = GpuTier::Integrated;
        }
    }

    environment.gpuFamily = family;
    environment.tier = tier;
}

int queryVramMb()
{
    QOpenGLContext *context = QOpenGLContext::currentContext();
    if (!context || !context->functions())
        return 0;
    QOpenGLFunctions *functions = context->functions();

    if (context->hasExtension(QByteArrayLiteral("GL_NVX_gpu_memory_info"))) {
        GLint kib = 0;
        functions->glGetIntegerv(kNvxTotalAvailableMemoryKib, &kib);
        if (kib > 0) {
            const int mib = kib / 1024;
            qInfo().noquote() << "[RenderEnv] NVIDIA VRAM:" << mib << "MB";
            return mib;
        }
    } else if (context->hasExtension(QByteArrayLiteral("GL_ATI_meminfo"))) {
        // The query writes four values (free, largest block, free auxiliary, largest auxiliary).
        GLint info[4] = {0, 0, 0, 0};
        functions->glGetIntegerv(kAtiTextureFreeMemory, info);
        if (info[0] > 0) {
            const int mib = info[0] / 1024;
            qInfo().noquote() << "[RenderEnv] AMD VRAM (free):" << mib << "MB";
            return mib;
        }
    }
    qInfo().noquote() << QStringLiteral("[RenderEnv] VRAM 감지 불가 (확장 미지원)");
    return 0;
}

void chooseScalers(RenderEnvironment &environment)
{
    // Re-running after a tier change must not keep the previous profile's reductions.
    environment.dscale = QStringLiteral("mitchell");
    environment.sigmoidUpscaling = true;
    environment.dither = QStringLiteral("fruit");
    environment.framedrop = QStringLiteral("vo");
    environment.videoSync = QStringLiteral("audio");

    if (environment.tier == GpuTier::Integrated) {
        environment.scale = QStringLiteral("bilinear");
        environment.dscale = QStringLiteral("bilinear");
        environment.cscale = QStringLiteral("bilinear");
        environment.deband = false;
        environment.debandIterations = 0;
        environment.sigmoidUpscaling = false;
        environment.linearUpscaling = false;
        environment.correctDownscaling = false;
        environment.hdrComputePeak = false;
        environment.dither = QStringLiteral("no");
        qInfo().noquote() << QStringLiteral("[RenderEnv] 통합 GPU 감지 → 최소 부하 설정 적용");
        return;
    }

    if (environment.displayClass == DisplayClass::Uhd5KPlus) {
        // So many output pixels that any per-pixel extra costs more than it shows.
        environment.scale = QStringLiteral("lanczos");
        environment.cscale = QStringLiteral("lanczos");
        environment.deband = false;
        environment.debandIterations = 0;
        environment.linearUpscaling = false;
        environment.correctDownscaling = false;
        environment.hdrComputePeak = false;
        environment.sigmoidUpscaling = false;
        environment.dither = QStringLiteral("no");
        return;
    }

    const ScalerRow row = scalerRowFor(environment.displayClass, environment.tier);
    environment.scale = QString::fromUtf16(row.scale);
    environment.cscale = QString::fromUtf16(row.cscale);
    environment.deband = true;
    environment.debandIterations = row.debandIterations;
    environment.linearUpscaling = row.linearUpscaling;
    environment.correctDownscaling = row.correctDownscaling;
    environment.hdrComputePeak = row.hdrComputePeak;
}

void adjustTierForVram(RenderEnvironment &environment)
{
    const int vram = environment.vramMb;
    const GpuTier tier = environment.tier;
    if (vram >= 8192 && tier == GpuTier::Medium) {
        environment.tier = GpuTier::High;
        qInfo().noquote() << QStringLiteral("[RenderEnv] VRAM 8GB+ 감지 → GPU 등급 Medium→High 상향");
        chooseScalers(environment);
    } else if (vram >= 1 && vram <= 2047
               && (tier == GpuTier::Ultra || tier == GpuTier::High || tier == GpuTier::Medium)) {
        environment.tier = GpuTier::Low;
        qInfo().noquote() << QStringLiteral("[RenderEnv] VRAM 2GB 미만 감지 → GPU 등급 Low 강등");
        chooseScalers(environment);
    }
}

RenderEnvironment detectRenderEnvironment()
{
    RenderEnvironment environment;
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return environment;

    const double ratio = screen->devicePixelRatio();
    const QSize logical = screen->size();
    environment.devicePixelRatio = ratio;
    environment.refreshRate = screen->refreshRate();
    environment.width = static_cast<int>(logical.width() * ratio);
    environment.height = static_cast<int>(logical.height() * ratio);
    environment.hiDpi = ratio >= 1.5;
    environment.displayClass =
        displayClassFor(static_cast<qint64>(environment.width) * static_cast<qint64>(environment.height));

    if (QOpenGLContext *context = QOpenGLContext::currentContext(); context && context->functions()) {
        QOpenGLFunctions *functions = context->functions();
        const QString renderer = glString(functions, GL_RENDERER);
        const QString vendor = glString(functions, GL_VENDOR);
        if (!renderer.isNull())
            environment.gpuRenderer = renderer;
        if (!vendor.isNull())
            environment.gpuVendor = vendor;
        classifyGpu(environment);
    } else if (const OpenGlSupport gl = knownOpenGl(); !gl.renderer.isEmpty()) {
        // The software surface draws without a GL context; the GPU is the one the driver named.
        environment.gpuRenderer = gl.renderer;
        environment.gpuVendor = gl.vendor;
        classifyGpu(environment);
    }

    chooseScalers(environment);

    // The summary describes the first choice; a later memory adjustment logs itself separately.
    environment.summary =
        QStringLiteral("화면: %1×%2 (DPR=%3, %4Hz, %5) | GPU: %6 [%7] | 렌더: scale=%8, deband=%9×%10")
            .arg(QString::number(environment.width), QString::number(environment.height),
                 QString::number(ratio, 'f', 1), QString::number(static_cast<int>(environment.refreshRate)),
                 displayClassName(environment.displayClass), environment.gpuRenderer, tierName(environment.tier),
                 environment.scale, onOff(environment.deband), QString::number(environment.debandIterations));

    environment.vramMb = queryVramMb();

    if (environment.tier == GpuTier::Integrated) {
        environment.gpuNextCapable = false;
        environment.lavcThreads = 2;
    } else {
        environment.gpuNextCapable = environment.gpuFamily == GpuFamily::NvidiaRtx
                                     || environment.gpuFamily == GpuFamily::AmdRx6000Plus;
        environment.lavcThreads = (environment.displayClass == DisplayClass::Uhd4K
                                   || environment.displayClass == DisplayClass::Uhd5KPlus)
                                      ? 4
                                      : 0;
    }
    environment.hdrDisplay = false;

    adjustTierForVram(environment);

    qInfo().noquote() << "[RenderEnv]" << environment.summary;
    if (environment.vramMb > 0) {
        qInfo().noquote() << "[RenderEnv] VRAM:" << environment.vramMb << "MB"
                          << "| HDR:" << onOff(environment.hdrDisplay) << "| gpu-next:"
                          << (environment.gpuNextCapable ? QStringLiteral("가능") : QStringLiteral("불가"))
                          << "| lavc-threads:"
                          << (environment.lavcThreads == 0 ? QStringLiteral("자동")
                                                           : QString::number(environment.lavcThreads));
    }
    return environment;
}

QString scaleForVideo(int videoWidth, int videoHeight, const RenderEnvironment &environment)
{
    if (videoWidth < 1 || videoHeight < 1)
        return QString();
    if (environment.softwareRenderer) {
        // A polar or two-pass kernel drawn by the CPU halves the frame rate and delays the first
        // frame by its shader build; the one-pass sampler keeps up.
        qInfo().noquote() << QStringLiteral("[RenderEnv] 소프트웨어 렌더러 → scale=bilinear (부하 최소화)");
        return QStringLiteral("bilinear");
    }
    const double ratio = std::max(static_cast<double>(environment.height) / videoHeight,
                                  static_cast<double>(environment.width) / videoWidth);

    if (ratio <= 1.0) {
        qInfo().noquote()
            << QStringLiteral("[RenderEnv] 다운스케일 감지 (ratio=%1) → scale=bilinear (부하 최소화)").arg(ratio);
        return QStringLiteral("bilinear");
    }
    if (ratio <= 1.5) {
        qInfo().noquote() << QStringLiteral("[RenderEnv] 소폭 업스케일 (ratio=%1) → scale=spline36").arg(ratio);
        return QStringLiteral("spline36");
    }
    if (ratio <= 3.0) {
        const GpuTier tier = environment.tier;
        if (tier == GpuTier::Ultra || tier == GpuTier::High || tier == GpuTier::Medium) {
            qInfo().noquote()
                << QStringLiteral("[RenderEnv] 중간 업스케일 (ratio=%1) → scale=ewa_lanczossharp (고성능 GPU)")
                       .arg(ratio);
            return QStringLiteral("ewa_lanczossharp");
        }
        qInfo().noquote()
            << QStringLiteral("[RenderEnv] 중간 업스케일 (ratio=%1) → scale=spline36 (중급 GPU)").arg(ratio);
        return QStringLiteral("spline36");
    }
    qInfo().noquote()
        << QStringLiteral("[RenderEnv] 대폭 업스케일 (ratio=%1) → scale=ewa_lanczossharp (효과 극대화)").arg(ratio);
    return QStringLiteral("ewa_lanczossharp");
}

QString videoSyncFor(double fps, double refresh)
{
    if (fps <= 0.0 || refresh <= 0.0)
        return QStringLiteral("audio");
    const double ratio = refresh / fps;
    const int nearest = static_cast<int>(ratio + 0.5);
    const bool integral = std::abs(ratio - nearest) < 0.05 && nearest >= 1;

    if (fps > 60.0) {
        // Resampling high-frame-rate video to the display gains nothing and costs frames.
        qInfo().noquote() << QStringLiteral("[RenderEnv] video-sync=audio (고프레임 fps=") << fps << ")";
        return QStringLiteral("audio");
    }
    if (integral) {
        qInfo().noquote() << "[RenderEnv] video-sync=display-resample"
                          << "(fps=" << fps << ", refresh=" << refresh << ", ratio=" << ratio << " ≈ " << nearest
                          << QStringLiteral("배)");
        return QStringLiteral("display-resample");
    }
    if (refresh >= 120.0) {
        // At 120 Hz+ the judder of an uneven cadence outweighs the occasional resampling artefact.
        qInfo().noquote() << "[RenderEnv] video-sync=display-resample"
                          << "(fps=" << fps << ", refresh=" << refresh << ", ratio=" << ratio
                          << QStringLiteral(" 비정수이나 120Hz+)");
        return QStringLiteral("display-resample");
    }
    qInfo().noquote() << "[RenderEnv] video-sync=audio"
                      << "(fps=" << fps << ", refresh=" << refresh << ", ratio=" << ratio
                      << QStringLiteral(" 비정수 60Hz → audio 안전)");
    return QStringLiteral("audio");
}

QString hwdecForCodec(const QString &codec, GpuFamily family, GpuTier tier)
{
    const QString name = codec.toLower();
    if (containsAny(name, {u"av1", u"av01"})) {
        // Only these families decode AV1 in hardware; elsewhere the software decoder is the safe path.
        return (family == GpuFamily::NvidiaRtx || family == GpuFamily::AmdRx6000Plus) ? QStringLiteral("d3d11va")
                                                                                       : QStringLiteral("no");
    }
    if (containsAny(name, {u"hevc", u"h265", u"h.265"})) {
        return (tier == GpuTier::Integrated && family == GpuFamily::IntelLegacy) ? QStringLiteral("no")
                                                                                 : QStringLiteral("d3d11va");
    }
    if (containsAny(name, {u"mpeg2", u"mpeg-2", u"vc1", u"vc-1", u"wmv3"}))
        return QStringLiteral("dxva2");
    if (containsAny(name, {u"h264", u"h.264", u"avc", u"vp9", u"vp8"}))
        return QStringLiteral("d3d11va");
    return QStringLiteral("auto-safe");
}
