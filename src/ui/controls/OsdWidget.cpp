#include "ui/controls/OsdWidget.h"

#include "ui/controls/MediaText.h"

#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPropertyAnimation>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kMarginH = 16;
constexpr int kMarginV = 10;
constexpr int kIconWidth = 28;
constexpr int kIconGap = 6;
// Keeps a widened box clear of the video's edges.
constexpr int kParentEdge = 24;
constexpr int kMaxWidthWithoutParent = 640;

QFont textFont()
{
    QFont font;
    // The last family is the usual Korean face of Linux desktops, where the first two are missing;
    // without it Latin and Hangul come from two unrelated fallback fonts.
    font.setFamilies({QStringLiteral("Segoe UI"), QStringLiteral("Malgun Gothic"), QStringLiteral("Noto Sans CJK KR")});
    font.setPixelSize(15);
    font.setWeight(QFont::DemiBold);
    return font;
}
} // namespace

OsdWidget::OsdWidget(QWidget *parent) : QWidget(parent)
{
    // Clicks and wheel turns belong to the video underneath.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    resize(kBoxWidth, kBoxHeight);

    iconLabel_ = new QLabel(this);
    iconLabel_->setFixedWidth(kIconWidth);
    iconLabel_->setAlignment(Qt::AlignCenter);
    QFont iconFont = font();
    iconFont.setPixelSize(20);
    iconLabel_->setFont(iconFont);

    textLabel_ = new QLabel(this);
    textLabel_->setFont(textFont());
    textLabel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Messages carry file names and engine errors, never markup of ours.
    textLabel_->setTextFormat(Qt::PlainText);
    for (QLabel *label : {iconLabel_, textLabel_})
        label->setStyleSheet(QStringLiteral("color: white; background: transparent;"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(kMarginH, kMarginV, kMarginH, kMarginV);
    layout->setSpacing(kIconGap);
    layout->addStretch();
    layout->addWidget(iconLabel_);
    layout->addWidget(textLabel_);
    layout->addStretch();

    // The labels fade together with the box, which a painter opacity alone would not do.
    effect_ = new QGraphicsOpacityEffect(this);
    effect_->setOpacity(opacity_);
    setGraphicsEffect(effect_);

    hideTimer_ = new QTimer(this);
    hideTimer_->setSingleShot(true);
    // A coarse timer may stretch the display time by 5 %, which is visible on short reports.
    hideTimer_->setTimerType(Qt::PreciseTimer);
    connect(hideTimer_, &QTimer::timeout, this, &OsdWidget::startFade);

    fade_ = new QPropertyAnimation(this, "opacity", this);
    fade_->setDuration(kFadeMs);
    fade_->setEndValue(0.0);
    connect(fade_, &QPropertyAnimation::finished, this, &QWidget::hide);

    hide();
}

void OsdWidget::setOpacity(qreal opacity)
{
    opacity_ = std::clamp<qreal>(opacity, 0.0, 1.0);
    effect_->setOpacity(opacity_);
}

QString OsdWidget::iconText() const { return iconLabel_->text(); }
QString OsdWidget::text() const { return textLabel_->text(); }

int OsdWidget::remainingMs() const
{
    return hideTimer_->isActive() ? hideTimer_->remainingTime() : -1;
}

bool OsdWidget::isFading() const
{
    return fade_->state() == QAbstractAnimation::Running;
}

void OsdWidget::showVolume(int volume, bool muted)
{
    QString icon;
    QString text;
    if (muted) {
        icon = QStringLiteral("🔇");
        text = QStringLiteral("음소거");
    } else {
        icon = volume < 21 ? QStringLiteral("🔈") : volume < 61 ? QStringLiteral("🔉") : QStringLiteral("🔊");
        text = QStringLiteral("볼륨  %1%").arg(volume);
    }
    setContent(Volume, icon, text, std::min(volume, 100), true);
    show(kVolumeMs);
}

void OsdWidget::showSeek(double position, double duration)
{
    // The engine reports nothing usable for streams of unknown length; never let that reach
    // the integer conversions below.
    if (!std::isfinite(position))
        position = 0.0;
    const bool hasDuration = std::isfinite(duration) && duration > 0;
    const qint64 seconds = std::llround(std::clamp(position, 0.0, 1e12));
    int value = -1;
    if (hasDuration)
        value = int(std::clamp<double>(std::round(position / duration * 100.0), 0.0, 100.0));
    setContent(Seek, QStringLiteral("⏩"), MediaText::formatTime(double(seconds)), value, hasDuration);
    show(kSeekMs);
}

void OsdWidget::showSpeed(double speed)
{
    const QString icon = speed > 1.0 ? QStringLiteral("⏩") : speed < 1.0 ? QStringLiteral("⏪") : QStringLiteral("▶");
    setContent(Speed, icon, QStringLiteral("속도  x%1").arg(speed, 0, 'f', 2), -1, false);
    show(kSpeedMs);
}

void OsdWidget::showMessage(const QString &text, int ms)
{
    setContent(Message, QStringLiteral("ℹ"), text, -1, false);
    show(ms);
}

void OsdWidget::setContent(int kind, const QString &icon, const QString &text, int barValue, bool barDrawn)
{
    kind_ = kind;
    barValue_ = barValue;
    barDrawn_ = barDrawn;
    iconLabel_->setText(icon);
    textLabel_->setText(text);
    fitToText();
    update();
}

void OsdWidget::fitToText()
{
    // Short read-outs keep the fixed box; a long message widens it (and wraps only when even the
    // widest box is too narrow) instead of being cut off mid-word.
    const int chrome = kMarginH + kIconWidth + kIconGap + kMarginH;
    const int textWidth = textLabel_->fontMetrics().horizontalAdvance(textLabel_->text()) + 2;
    const int maxWidth = parentWidget() ? std::max(kBoxWidth, parentWidget()->width() - 2 * kParentEdge)
                                        : kMaxWidthWithoutParent;
    const int width = std::clamp(chrome + textWidth, kBoxWidth, maxWidth);
    const bool wrap = chrome + textWidth > width;
    textLabel_->setWordWrap(wrap);
    // A wrapping label would otherwise settle for a narrow, taller shape between the stretches.
    textLabel_->setMinimumWidth(wrap ? width - chrome : 0);
    int height = kBoxHeight;
    if (wrap)
        height = std::max(kBoxHeight, textLabel_->heightForWidth(width - chrome) + 2 * kMarginV);
    resize(width, height);
}

void OsdWidget::placeOverParent()
{
    const QWidget *area = parentWidget();
    if (!area)
        return;
    move((area->width() - width()) / 2, area->height() * 2 / 3 - height() / 2);
}

void OsdWidget::show(int ms)
{
    fade_->stop();
    setOpacity(kShownOpacity);
    placeOverParent();
    QWidget::show();
    raise();
    hideTimer_->start(std::max(ms, 0));
}

void OsdWidget::startFade()
{
    fade_->stop();
    fade_->setStartValue(opacity_);
    fade_->start();
}

void OsdWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 170));
    painter.drawRoundedRect(QRectF(rect()), 12, 12);

    if (!barDrawn_ || barValue_ < 0)
        return;
    const qreal trackWidth = width() - 24;
    const qreal y = height() - 7 - 1.5;
    painter.setBrush(QColor(60, 60, 60));
    painter.drawRoundedRect(QRectF(12, y, trackWidth, 3), 1.5, 1.5);
    const qreal filled = trackWidth * barValue_ / 100.0;
    if (filled > 0) {
        painter.setBrush(QColor(79, 195, 247));
        painter.drawRoundedRect(QRectF(12, y, filled, 3), 1.5, 1.5);
    }
}
