#pragma once

#include "engine/VideoView.h"

#include <QOpenGLWidget>

class MpvWidget;
struct mpv_render_context;

// The OpenGL view of the video surface: libmpv draws each frame into this widget's framebuffer
// on the GUI thread, with the caption painted over it.
class OpenGlVideoView : public QOpenGLWidget, public VideoView
{
    Q_OBJECT
public:
    explicit OpenGlVideoView(MpvWidget *surface);
    ~OpenGlVideoView() override;

    QWidget *widget() override { return this; }
    void attachWhenReady() override;
    bool isAttached() const override { return renderContext_ != nullptr; }
    void redetectGpu() override;
    QImage grabFramebuffer() override { return QOpenGLWidget::grabFramebuffer(); }

public slots:
    void maybeUpdate();

protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;

private:
    static void *getProcAddress(void *context, const char *name);
    static void onRenderUpdate(void *context);

    void createRenderContext();
    void renderFrame();
    void renderWaitingFrame();

    MpvWidget *surface_;
    mpv_render_context *renderContext_ = nullptr;
    bool wanted_ = false;
    bool rendering_ = false;
};
