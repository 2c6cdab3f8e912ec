#pragma once

class QImage;
class QWidget;

// What draws the picture inside the video surface (MpvWidget): OpenGL or the software renderer.
// The surface owns the engine, the logo and the caption; a view only draws, filling the surface.
class VideoView
{
public:
    virtual ~VideoView() = default;

    virtual QWidget *widget() = 0;
    // Attaches the engine's render context as soon as the view can draw, then tells the surface
    // (MpvWidget::onRenderContextReady). The engine must be initialised.
    virtual void attachWhenReady() = 0;
    virtual bool isAttached() const = 0;
    // Re-runs the engine's GPU and display detection where the view can answer it.
    virtual void redetectGpu() = 0;
    // The picture drawn last, at physical pixel size.
    virtual QImage grabFramebuffer() = 0;
};
