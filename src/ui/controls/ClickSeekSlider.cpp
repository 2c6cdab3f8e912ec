#include "ui/controls/ClickSeekSlider.h"

#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>

ClickSeekSlider::ClickSeekSlider(Qt::Orientation orientation, QWidget *parent)
    : QSlider(orientation, parent)
{
}

ClickSeekSlider::ClickSeekSlider(QWidget *parent)
    : ClickSeekSlider(Qt::Horizontal, parent)
{
}

int ClickSeekSlider::positionToValue(const QPoint &point) const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);

    int length, min, max, coordinate;
    if (orientation() == Qt::Horizontal) {
        length = handle.width();
        min = groove.x();
        max = groove.right() - length + 1;
        coordinate = point.x() - length / 2;
    } else {
        length = handle.height();
        min = groove.y();
        max = groove.bottom() - length + 1;
        coordinate = point.y() - length / 2;
    }
    return QStyle::sliderValueFromPosition(minimum(), maximum(), coordinate - min, max - min,
                                           option.upsideDown);
}

void ClickSeekSlider::moveTo(const QPoint &point)
{
    const int value = positionToValue(point);
    // While the slider is down, QAbstractSlider::setValue announces a changed position itself;
    // sliderMoved goes out exactly once per pointer event either way.
    const bool announcedBySetValue = isSliderDown() && sliderPosition() != value;
    setValue(value);
    if (!announcedBySetValue)
        emit sliderMoved(value);
}

void ClickSeekSlider::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QSlider::mousePressEvent(event);
        return;
    }
    moveTo(event->position().toPoint());
    // Down state after the move: the pressed handle is drawn, and sliderPressed follows sliderMoved.
    setSliderDown(true);
    event->accept();
}

void ClickSeekSlider::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || !isSliderDown()) {
        QSlider::mouseMoveEvent(event);
        return;
    }
    moveTo(event->position().toPoint());
    event->accept();
}

void ClickSeekSlider::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !isSliderDown()) {
        QSlider::mouseReleaseEvent(event);
        return;
    }
    moveTo(event->position().toPoint());
    setSliderDown(false);
    event->accept();
}
