#pragma once

#include <QString>

#include <optional>

// What the player knows about the display and the GPU, and the render decisions derived from it.
// Detection runs where the video surface's OpenGL context is current.

enum class GpuTier : int { Ultra = 0, High = 1, Medium = 2, Low = 3, Integrated = 4 };

enum class GpuFamily : int {
    Unknown = 0,
    NvidiaRtx = 1,
    NvidiaGtx = 2,
    NvidiaLegacy = 3,
    AmdRx6000Plus = 4,
    AmdRx5000 = 5,
    AmdLegacy = 6,
    IntelArc = 7,
    IntelXe = 8,
    IntelLegacy = 9,
};

enum class DisplayClass : int { Fhd = 0, Qhd = 1, Uhd4K = 2, Uhd5KPlus = 3 };

struct RenderEnvironment {
    double devicePixelRatio = 1.0;
    int width = 1920;
    int height = 1080;
    double refreshRate = 60.0;
    bool hiDpi = false;
    GpuFamily gpuFamily = GpuFamily::Unknown;
    GpuTier tier = GpuTier::Medium;
    // The "GPU" is a software rasteriser (llvmpipe and the like): every pixel is CPU time.
    bool softwareRenderer = false;
    QString gpuRenderer = QStringLiteral("Unknown");
    QString gpuVendor = QStringLiteral("Unknown");
    DisplayClass displayClass = DisplayClass::Fhd;
    QString scale = QStringLiteral("spline36");
    QString dscale = QStringLiteral("mitchell");
    QString cscale = QStringLiteral("spline36");
    bool deband = true;
    int debandIterations = 1;
    bool sigmoidUpscaling = true;
    bool linearUpscaling = false;
    bool correctDownscaling = true;
    bool hdrComputePeak = false;
    QString dither = QStringLiteral("fruit");
    QString videoSync = QStringLiteral("audio");
    QString framedrop = QStringLiteral("vo");
    int vramMb = 0;
    bool hdrDisplay = false;
    bool gpuNextCapable = false;
    int lavcThreads = 0;
    QString summary = QStringLiteral("기본값 (화면 감지 실패)");
};

// One full detection pass: primary screen, GL strings of the current context, video memory,
// scalers, and the memory adjustment of the tier. Logs its decisions with "[RenderEnv]".
RenderEnvironment detectRenderEnvironment();

// The physical-pixel class of a display: FHD up to 1920x1080 pixels, QHD up to 2560x1440,
// 4K up to 3840x2160, larger 5K+.
DisplayClass displayClassFor(qint64 pixelCount);
QString displayClassName(DisplayClass displayClass);

void classifyGpu(RenderEnvironment &environment);
// The GL renderer string names a CPU rasteriser (llvmpipe, softpipe, swrast and the like).
bool isSoftwareRasteriser(const QString &renderer);
// Video memory in MiB from the current GL context's vendor extensions; 0 when unknown.
int queryVramMb();
void chooseScalers(RenderEnvironment &environment);
// Applies the video-memory adjustment of the tier (8 GiB+ raises Medium, under 2 GiB lowers).
void adjustTierForVram(RenderEnvironment &environment);
QString tierName(GpuTier tier);

// The "scale" for a video of this size on the detected display, by the upscaling ratio; always
// "bilinear" on a software rasteriser.
QString scaleForVideo(int videoWidth, int videoHeight, const RenderEnvironment &environment);
// "display-resample" when the frame rate divides the refresh rate (or the display is 120 Hz+),
// otherwise "audio".
QString videoSyncFor(double fps, double refresh);
// The hardware decoder for a codec on this GPU, in the decision table's own names.
QString hwdecForCodec(const QString &codec, GpuFamily family, GpuTier tier);

// How the video reaches the window: drawn by OpenGL into the window's GL composition, or
// converted and scaled by the engine on the CPU into an image that the window paints.
enum class VideoSurfaceKind : int { OpenGl = 0, Software = 1 };
// What the setting "video/surface" or the environment asks for.
enum class VideoSurfacePreference : int { Auto = 0, OpenGl = 1, Software = 2 };

// What this process's OpenGL offers, read once from Qt's shared context.
struct OpenGlSupport {
    bool usable = false; // a context exists and the platform can compose GL widgets
    QString renderer;
    QString vendor;
};

// "auto", "opengl", "software" (any case, trimmed); nothing for another text.
std::optional<VideoSurfacePreference> videoSurfacePreferenceFrom(const QString &text);
QString videoSurfacePreferenceText(VideoSurfacePreference preference);
// A software rasteriser or no usable OpenGL gets the software surface; a real GPU keeps OpenGL.
// A forced OpenGL surface still falls back when there is no OpenGL to draw with.
VideoSurfaceKind chooseVideoSurface(VideoSurfacePreference preference, const OpenGlSupport &gl);
QString videoSurfaceName(VideoSurfaceKind kind);
// Asks the driver through a context (which loads it): GUI thread, after the application object
// exists; cached.
OpenGlSupport probeOpenGl();
// What this process knows of its OpenGL without loading a driver where its surface was settled
// without one: the driver's kept answer, a CPU rasteriser where no GPU can draw, or nothing.
// Otherwise the probe's answer.
OpenGlSupport knownOpenGl();
// The surface every video surface of this process uses: "VELMORAN_VIDEO_SURFACE" over the
// setting, decided once and logged.
VideoSurfaceKind videoSurfaceForProcess();
// Before the application object exists: false when the surface is already known to be the
// software one. Only then may the process go without Qt's shared GL context, whose creation
// loads the driver.
bool videoSurfaceMayUseOpenGl();
