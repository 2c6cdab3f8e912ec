#include "engine/RenderEnvironment.h"

#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"

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

VideoSurfaceKind videoSurfaceForProcess()
{
    static const VideoSurfaceKind kind = [] {
        const QString forced = qEnvironmentVariable("VELMORAN_VIDEO_SURFACE");
        const QSettings settings(QLatin1StringView(AppIdentity::kOrganisation),
                                 QLatin1StringView(AppIdentity::kSettingsApplication));
        const QString stored = readSetting(settings, SettingsKeys::videoSurface);
        const VideoSurfacePreference preference = videoSurfacePreferenceFrom(forced)
                                                      .value_or(videoSurfacePreferenceFrom(stored)
                                                                    .value_or(VideoSurfacePreference::Auto));
        const OpenGlSupport gl = probeOpenGl();
        const VideoSurfaceKind chosen = chooseVideoSurface(preference, gl);
        qInfo().noquote() << "[RenderEnv] 비디오 화면:" << videoSurfaceName(chosen) << "(설정:"
                          << videoSurfacePreferenceText(preference) << "| OpenGL:"
                          << (gl.usable ? gl.renderer : QStringLiteral("사용 불가")) << ")";
        if (preference == VideoSurfacePreference::OpenGl && chosen != VideoSurfaceKind::OpenGl)
            qWarning().noquote() << "[RenderEnv] OpenGL을 사용할 수 없는 화면입니다 → 소프트웨어 화면으로 그립니다";
        return chosen;
    }();
    return kind;
}
