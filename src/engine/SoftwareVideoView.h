#pragma once

#include "engine/SoftwareFrameRenderer.h"
#include "engine/VideoView.h"

#include <QWidget>

class MpvWidget;

// The software view of the video surface: the engine's frames, converted and scaled on the CPU
// by SoftwareFrameRenderer off the GUI thread, painted as an image by an ordinary raster widget.
// No OpenGL anywhere: on a machine without a GPU the window is composed as plain memory.
class SoftwareVideoView : public QWidget, public VideoView
{
    Q_OBJECT
public:
    explicit SoftwareVideoView(MpvWidget *surface);
    ~SoftwareVideoView() override;

    QWidget *widget() override { return this; }
    void attachWhenReady() override;
    bool isAttached() const override { return renderer_.isAttached(); }
    void redetectGpu() override;
    QImage grabFramebuffer() override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QSize pixelSize() const;

    MpvWidget *surface_;
    SoftwareFrameRenderer renderer_;
};
