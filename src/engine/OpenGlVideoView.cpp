#include "engine/OpenGlVideoView.h"

#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"

#include <QDebug>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPainter>
#include <QTimer>

#include <mpv/render_gl.h>

namespace {
constexpr int kGlRgba8 = 0x8058;
} // namespace

OpenGlVideoView::OpenGlVideoView(MpvWidget *surface) : QOpenGLWidget(surface), surface_(surface)
{
    setAutoFillBackground(false);
    setUpdateBehavior(QOpenGLWidget::NoPartialUpdate);
    // The surface and its overlays handle the pointer; the view only draws.
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

OpenGlVideoView::~OpenGlVideoView()
{
    // The render context uses the engine handle, so it must go first, with its GL context current.
    makeCurrent();
    if (renderContext_) {
        mpv_render_context_free(renderContext_);
        renderContext_ = nullptr;
    }
    doneCurrent();
}

void *OpenGlVideoView::getProcAddress(void *, const char *name)
{
    QOpenGLContext *context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void *>(context->getProcAddress(name)) : nullptr;
}

void OpenGlVideoView::onRenderUpdate(void *context)
{
    // Called on a libmpv thread: only queue the repaint for the GUI thread.
    QMetaObject::invokeMethod(static_cast<OpenGlVideoView *>(context), "maybeUpdate", Qt::QueuedConnection);
}

void OpenGlVideoView::attachWhenReady()
{
    wanted_ = true;
    if (isValid()) {
        makeCurrent();
        createRenderContext();
        doneCurrent();
    }
    // Otherwise the GL context comes with the first show: initializeGL.
}

void OpenGlVideoView::initializeGL()
{
    if (wanted_)
        createRenderContext();
}

// GL context current.
void OpenGlVideoView::createRenderContext()
{
    MpvCore *core = surface_->core();
    if (renderContext_ || !core->isInitialized())
        return;
    mpv_opengl_init_params glInit{&OpenGlVideoView::getProcAddress, nullptr};
    char apiType[] = MPV_RENDER_API_TYPE_OPENGL;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, apiType},
                                 {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (mpv_render_context_create(&renderContext_, core->handle(), params) < 0) {
        renderContext_ = nullptr;
        qCritical().noquote() << "[MpvWidget] MPV render context 생성 실패";
        return;
    }
    mpv_render_context_set_update_callback(renderContext_, &OpenGlVideoView::onRenderUpdate, this);
    core->setBeforeBlockingCall([this] { renderWaitingFrame(); });
    // The GPU strings and memory queries need the GL context that is current now.
    core->redetectGpu();
    // Receivers run after the GL initialisation has returned.
    QTimer::singleShot(0, surface_, &MpvWidget::onRenderContextReady);
}

void OpenGlVideoView::redetectGpu()
{
    // Detection reads the GL strings, so this context must be current.
    makeCurrent();
    surface_->core()->redetectGpu();
    doneCurrent();
}

void OpenGlVideoView::maybeUpdate()
{
    if (!renderContext_)
        return;
    if (!window()->isMinimized()) {
        update();
        return;
    }
    // A minimised window gets no paint events; render anyway so the engine's frame pacing
    // (and with it audio/video sync) keeps going.
    makeCurrent();
    paintGL();
    context()->swapBuffers(context()->surface());
    doneCurrent();
}

void OpenGlVideoView::paintGL()
{
    if (!renderContext_) {
        QOpenGLContext::currentContext()->functions()->glClearColor(0, 0, 0, 1);
        QOpenGLContext::currentContext()->functions()->glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    renderFrame();
    if (!surface_->overlayText().isEmpty()) {
        QPainter painter(this);
        surface_->paintCaption(painter);
    }
}

void OpenGlVideoView::renderFrame()
{
    rendering_ = true;
    mpv_opengl_fbo fbo{int(defaultFramebufferObject()), int(width() * devicePixelRatioF()),
                       int(height() * devicePixelRatioF()), kGlRgba8};
    int flipY = 1;
    // The engine hands each frame over at its display time, so drawing never has to sleep until
    // then on the GUI thread.
    int blockForTargetTime = 0;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
                                 {MPV_RENDER_PARAM_FLIP_Y, &flipY},
                                 {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &blockForTargetTime},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context_render(renderContext_, params);
    rendering_ = false;
}

// After a start or a seek the engine holds its first frame until it has been drawn, and answers
// no synchronous call meanwhile; such a call from this (the drawing) thread would stall both
// sides until the engine's 200 ms timeout, then the frame is dropped. Drawing the frame first
// lets the call through at once; the repaint that follows draws it again with the overlays.
void OpenGlVideoView::renderWaitingFrame()
{
    if (!renderContext_ || rendering_ || !isValid())
        return;
    if (!(mpv_render_context_update(renderContext_) & MPV_RENDER_UPDATE_FRAME))
        return;
    // The caller may already hold this context current (GPU re-detection reads GL strings
    // through it); it must still be current afterwards.
    const bool wasCurrent = QOpenGLContext::currentContext() == context();
    makeCurrent();
    renderFrame();
    if (!wasCurrent)
        doneCurrent();
    update();
}

void OpenGlVideoView::resizeGL(int, int)
{
    if (renderContext_)
        update();
}
