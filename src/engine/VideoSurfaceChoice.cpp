#include "engine/RenderEnvironment.h"

#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "engine/GraphicsDevices.h"

#include <QDebug>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>

std::optional<VideoSurfacePreference> videoSurfacePreferenceFrom(const QString &text)
{
    const QString word = text.trimmed().toLower();
    if (word == QLatin1String("auto"))
        return VideoSurfacePreference::Auto;
    if (word == QLatin1String("opengl"))
        return VideoSurfacePreference::OpenGl;
    if (word == QLatin1String("software"))
        return VideoSurfacePreference::Software;
    return std::nullopt;
}

QString videoSurfacePreferenceText(VideoSurfacePreference preference)
{
    switch (preference) {
    case VideoSurfacePreference::OpenGl:
        return QStringLiteral("opengl");
    case VideoSurfacePreference::Software:
        return QStringLiteral("software");
    case VideoSurfacePreference::Auto:
        break;
    }
    return QStringLiteral("auto");
}

VideoSurfaceKind chooseVideoSurface(VideoSurfacePreference preference, const OpenGlSupport &gl)
{
    // Without OpenGL an OpenGL widget cannot even be shown (Qt fails on the window's first paint),
    // so no preference can have it.
    if (!gl.usable || preference == VideoSurfacePreference::Software)
        return VideoSurfaceKind::Software;
    if (preference == VideoSurfacePreference::OpenGl)
        return VideoSurfaceKind::OpenGl;
    // A CPU rasteriser draws every pixel of the GL composition too: there the engine's own
    // conversion into an image costs a fraction of it.
    return isSoftwareRasteriser(gl.renderer) ? VideoSurfaceKind::Software : VideoSurfaceKind::OpenGl;
}

QString videoSurfaceName(VideoSurfaceKind kind)
{
    return kind == VideoSurfaceKind::OpenGl ? QStringLiteral("OpenGL") : QStringLiteral("소프트웨어");
}

OpenGlSupport probeOpenGl()
{
    static const OpenGlSupport support = [] {
        OpenGlSupport result;
        // These platforms draw windows into plain memory and cannot compose GL widgets.
        static const QStringList rasterOnlyPlatforms{QStringLiteral("offscreen"), QStringLiteral("minimal"),
                                                     QStringLiteral("vnc"), QStringLiteral("linuxfb")};
        // The context the window's GL widgets would share, or one made for the question alone
        // (a process without context sharing, such as a test).
        QOpenGLContext *shared = QOpenGLContext::globalShareContext();
        QOpenGLContext own;
        QOpenGLContext *context = shared && shared->isValid() ? shared : &own;
        if (context == &own && !own.create())
            return result;
        QOpenGLContext *previous = QOpenGLContext::currentContext();
        QSurface *previousSurface = previous ? previous->surface() : nullptr;
        QOffscreenSurface surface;
        surface.setFormat(context->format());
        surface.create();
        if (context->makeCurrent(&surface)) {
            QOpenGLFunctions *functions = context->functions();
            const auto text = [functions](GLenum name) {
                const GLubyte *value = functions->glGetString(name);
                return value ? QString::fromUtf8(reinterpret_cast<const char *>(value)) : QString();
            };
            result.renderer = text(GL_RENDERER);
            result.vendor = text(GL_VENDOR);
            context->doneCurrent();
            result.usable = !rasterOnlyPlatforms.contains(QGuiApplication::platformName());
        }
        if (previous)
            previous->makeCurrent(previousSurface);
        return result;
    }();
    return support;
}

std::optional<VideoSurfaceKind> videoSurfaceWithoutProbe(VideoSurfacePreference preference,
                                                         const GraphicsDevices &devices,
                                                         const std::optional<OpenGlSupport> &stored)
{
    if (preference == VideoSurfacePreference::Software)
        return VideoSurfaceKind::Software;
    if (stored)
        return chooseVideoSurface(preference, *stored);
    // Without a GPU the driver could only name its CPU rasteriser. A forced OpenGL surface
    // still asks: it falls back only when there is no OpenGL at all.
    if (preference == VideoSurfacePreference::Auto && (!devices.gpu || !devices.softwareForcedBy.isEmpty()))
        return VideoSurfaceKind::Software;
    return std::nullopt;
}

namespace {
// What the process knows before any OpenGL is loaded, and the surface when that settles it.
struct SurfaceDecision {
    VideoSurfacePreference preference = VideoSurfacePreference::Auto;
    GraphicsDevices devices;
    std::optional<OpenGlSupport> stored;
    std::optional<VideoSurfaceKind> kind;
};

const SurfaceDecision &decisionWithoutProbe()
{
    static const SurfaceDecision decision = [] {
        SurfaceDecision result;
        const QString forced = qEnvironmentVariable("VELMORAN_VIDEO_SURFACE");
        const QSettings settings(QLatin1StringView(AppIdentity::kOrganisation),
                                 QLatin1StringView(AppIdentity::kSettingsApplication));
        const QString setting = readSetting(settings, SettingsKeys::videoSurface);
        result.preference = videoSurfacePreferenceFrom(forced).value_or(
            videoSurfacePreferenceFrom(setting).value_or(VideoSurfacePreference::Auto));
        result.devices = scanGraphicsDevices();
        result.stored = storedOpenGlAnswer(openGlAnswerFile(), result.devices.fingerprint);
        result.kind = videoSurfaceWithoutProbe(result.preference, result.devices, result.stored);
        return result;
    }();
    return decision;
}

// Why no driver was asked, for the log line.
QString unaskedOpenGl(const SurfaceDecision &decision)
{
    if (decision.stored)
        return (decision.stored->usable ? decision.stored->renderer : QStringLiteral("사용 불가"))
               + QStringLiteral(" (저장된 확인 결과)");
    if (!decision.devices.gpu)
        return QStringLiteral("확인 생략, GPU 장치 없음");
    if (!decision.devices.softwareForcedBy.isEmpty())
        return QStringLiteral("확인 생략, ") + decision.devices.softwareForcedBy;
    return QStringLiteral("확인 생략");
}
} // namespace

bool videoSurfaceMayUseOpenGl()
{
    const std::optional<VideoSurfaceKind> kind = decisionWithoutProbe().kind;
    return !kind || *kind == VideoSurfaceKind::OpenGl;
}

OpenGlSupport knownOpenGl()
{
    const SurfaceDecision &decision = decisionWithoutProbe();
    if (!decision.kind)
        return probeOpenGl(); // asked once anyway, for the choice
    if (decision.stored)
        return *decision.stored;
    // Whatever OpenGL there is, the CPU draws it (named so that detection classes it as such).
    if (!decision.devices.gpu)
        return {false, QStringLiteral("software rasterizer (no GPU device)"), QString()};
    if (!decision.devices.softwareForcedBy.isEmpty())
        return {false, QStringLiteral("software rasterizer (%1)").arg(decision.devices.softwareForcedBy), QString()};
    return {};
}

VideoSurfaceKind videoSurfaceForProcess()
{
    static const VideoSurfaceKind kind = [] {
        const SurfaceDecision &decision = decisionWithoutProbe();
        VideoSurfaceKind chosen;
        QString openGl;
        if (decision.kind) {
            chosen = *decision.kind;
            openGl = unaskedOpenGl(decision);
        } else {
            const OpenGlSupport gl = probeOpenGl();
            // Asked once per machine and driver: the next start knows without loading it.
            storeOpenGlAnswer(openGlAnswerFile(), decision.devices.fingerprint, gl);
            chosen = chooseVideoSurface(decision.preference, gl);
            openGl = gl.usable ? gl.renderer : QStringLiteral("사용 불가");
        }
        qInfo().noquote() << "[RenderEnv] 비디오 화면:" << videoSurfaceName(chosen) << "(설정:"
                          << videoSurfacePreferenceText(decision.preference) << "| OpenGL:" << openGl << ")";
        if (decision.preference == VideoSurfacePreference::OpenGl && chosen != VideoSurfaceKind::OpenGl)
            qWarning().noquote() << "[RenderEnv] OpenGL을 사용할 수 없는 화면입니다 → 소프트웨어 화면으로 그립니다";
        return chosen;
    }();
    return kind;
}
