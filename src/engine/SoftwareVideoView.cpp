#include "engine/SoftwareVideoView.h"

#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"

#include <QDebug>
#include <QPainter>

SoftwareVideoView::SoftwareVideoView(MpvWidget *surface) : QWidget(surface), surface_(surface)
{
    // Every pixel is the frame's: nothing beneath needs painting first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The surface and its overlays handle the pointer; the view only draws.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // Repainted only when the engine has drawn a new frame (or the caption changed).
    connect(&renderer_, &SoftwareFrameRenderer::frameReady, this, qOverload<>(&QWidget::update));
}

SoftwareVideoView::~SoftwareVideoView()
{
    renderer_.detach();
}

void SoftwareVideoView::attachWhenReady()
{
    MpvCore *core = surface_->core();
    if (renderer_.isAttached() || !core->isInitialized())
        return;
    renderer_.setTargetSize(pixelSize());
    if (!renderer_.attach(core->handle())) {
        qCritical().noquote() << "[MpvWidget] MPV render context 생성 실패";
        return;
    }
    core->redetectGpu();
    surface_->onRenderContextReady();
}

void SoftwareVideoView::redetectGpu()
{
    surface_->core()->redetectGpu();
}

QImage SoftwareVideoView::grabFramebuffer()
{
    return grab().toImage();
}

QSize SoftwareVideoView::pixelSize() const
{
    return size() * devicePixelRatioF();
}

void SoftwareVideoView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    renderer_.setTargetSize(pixelSize());
}

void SoftwareVideoView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QImage frame = renderer_.takeFrame();
    if (frame.size() != pixelSize())
        painter.fillRect(rect(), Qt::black); // before the first frame, or one still at the old size
    if (frame.size() == size()) {
        painter.drawImage(QPoint(0, 0), frame); // a plain copy into the window's memory
    } else if (!frame.isNull()) {
        // One frame pixel per physical pixel on a scaled screen; stretched only while a resize
        // waits for its first frame at the new size.
        painter.drawImage(QRectF(rect()), frame);
    }
    surface_->paintCaption(painter);
}
