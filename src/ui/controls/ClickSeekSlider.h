#pragma once

#include <QSlider>

// A slider that jumps to the pressed point instead of paging towards it, and keeps the handle
// centred under the pointer while dragged. Left-button presses emit sliderMoved then
// sliderPressed; releases emit sliderMoved then sliderReleased.
class ClickSeekSlider : public QSlider
{
    Q_OBJECT
public:
    explicit ClickSeekSlider(Qt::Orientation orientation, QWidget *parent = nullptr);
    explicit ClickSeekSlider(QWidget *parent = nullptr);

    // The value whose handle centre sits under the point, as the current style lays it out.
    int positionToValue(const QPoint &point) const;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void moveTo(const QPoint &point);
};
