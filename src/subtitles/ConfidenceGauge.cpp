#include "subtitles/ConfidenceGauge.h"

#include <QPainter>

#include <algorithm>

namespace {

constexpr int kSide = 88;
constexpr int kDiscRadius = 36;
constexpr int kArcSide = 72;
constexpr int kArcWidth = 5;

} // namespace

ConfidenceGauge::ConfidenceGauge(QWidget *parent) : QWidget(parent)
{
    setFixedSize(kSide, kSide);
}

void ConfidenceGauge::setValue(int percent)
{
    const int clamped = std::clamp(percent, 0, 100);
    if (clamped == value_)
        return;
    value_ = clamped;
    update();
}

QColor ConfidenceGauge::colourFor(int percent)
{
    if (percent >= 90)
        return QColor(0, 200, 180);
    if (percent >= 80)
        return QColor(240, 192, 64);
    return QColor(224, 112, 32);
}

QString ConfidenceGauge::gradeFor(int percent)
{
    if (percent >= 90)
        return QStringLiteral("높음");
    if (percent >= 80)
        return QStringLiteral("보통");
    return QStringLiteral("낮음");
}

void ConfidenceGauge::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = rect().center() + QPointF(0.5, 0.5);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(42, 42, 42));
    painter.drawEllipse(centre, kDiscRadius, kDiscRadius);

    QRectF arc(0, 0, kArcSide, kArcSide);
    arc.moveCenter(centre);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(58, 58, 58), kArcWidth));
    painter.drawEllipse(arc);
    if (value_ > 0) {
        painter.setPen(QPen(colourFor(value_), kArcWidth, Qt::SolidLine, Qt::RoundCap));
        // Qt counts angles anticlockwise in sixteenths of a degree: start at the top, sweep clockwise.
        painter.drawArc(arc, 90 * 16, -value_ * 360 * 16 / 100);
    }

    QFont number = font();
    number.setPixelSize(17);
    number.setBold(true);
    painter.setFont(number);
    painter.setPen(Qt::white);
    const QRectF upper(centre.x() - kDiscRadius, centre.y() - 14, 2 * kDiscRadius, 20);
    painter.drawText(upper, Qt::AlignCenter, QStringLiteral("%1%").arg(value_));

    QFont grade = font();
    grade.setPointSize(9);
    painter.setFont(grade);
    painter.setPen(QColor(150, 150, 150));
    const QRectF lower(centre.x() - kDiscRadius, centre.y() + 6, 2 * kDiscRadius, 14);
    painter.drawText(lower, Qt::AlignCenter, gradeFor(value_));
}
