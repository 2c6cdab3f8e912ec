#include "music/SmallPlayerParts.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyle>

#include <cmath>

namespace SmallPlayer {

namespace {

QPixmap roundedCover(const QPixmap &cover, int side, int radius, qreal ratio)
{
    const int pixels = int(std::ceil(side * ratio));
    QPixmap rounded(pixels, pixels);
    rounded.fill(Qt::transparent);
    QPainter painter(&rounded);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(0, 0, pixels, pixels), radius * ratio, radius * ratio);
    painter.setClipPath(clip);
    // Filled edge to edge, cropped rather than letterboxed.
    const QPixmap scaled = cover.scaled(pixels, pixels, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    painter.drawPixmap((pixels - scaled.width()) / 2, (pixels - scaled.height()) / 2, scaled);
    painter.end();
    rounded.setDevicePixelRatio(ratio);
    return rounded;
}

} // namespace

QString clockText(double seconds)
{
    const qint64 t = std::isfinite(seconds) && seconds > 0 ? qint64(seconds) : 0;
    return QStringLiteral("%1:%2").arg(t / 60).arg(t % 60, 2, 10, QLatin1Char('0'));
}

ElidedLabel::ElidedLabel(const QString &text, QWidget *parent)
    : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
    // Its text's width must not become the layout's minimum, or there would be nothing to cut.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect area = contentsRect();
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
    style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(), shown, foregroundRole());
}

void showCover(QLabel *label, const QPixmap &cover, int side, int radius)
{
    if (cover.isNull()) {
        label->setPixmap(QPixmap());
        label->setText(QStringLiteral("♪"));
    } else {
        label->setPixmap(roundedCover(cover, side, radius, label->devicePixelRatioF()));
    }
}

QPushButton *makeButton(const QString &text, const QString &toolTip, int side, const QString &style, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setToolTip(toolTip);
    button->setFixedSize(side, side);
    button->setFocusPolicy(Qt::NoFocus);
    button->setStyleSheet(style);
    return button;
}

void paintBody(QPainter &painter, const QRect &rect, qreal radius, int alpha)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(40, 40, 40), 1.0));
    painter.setBrush(QColor(18, 18, 18, alpha));
    // Half a pixel in, so the outline falls on whole pixels instead of blurring across two.
    painter.drawRoundedRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
}

WindowDragger::WindowDragger(QWidget *window)
    : QObject(window)
    , window_(window)
{
    window->installEventFilter(this);
}

bool WindowDragger::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != window_)
        return false;
    switch (event->type()) {
    // A double click stands for the second press, so a drag may start from it as well.
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        dragging_ = true;
        offset_ = mouse->globalPosition().toPoint() - window_->pos();
        mouse->accept();
        return true;
    }
    case QEvent::MouseMove: {
        if (!dragging_)
            return false;
        auto *mouse = static_cast<QMouseEvent *>(event);
        window_->move(mouse->globalPosition().toPoint() - offset_);
        mouse->accept();
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            dragging_ = false;
        return false;
    default:
        return false;
    }
}

} // namespace SmallPlayer
