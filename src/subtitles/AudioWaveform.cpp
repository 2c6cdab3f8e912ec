#include "subtitles/AudioWaveform.h"

#include "ui/controls/MediaText.h"

#include <QMouseEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int kHeight = 44;
constexpr int kBarCount = 120;
constexpr int kStepMs = 80;
constexpr int kTimeStripHeight = 12;
const QColor kAccent(0, 200, 180);
const QColor kBackground(24, 24, 24);

double randomLevel()
{
    return (QRandomGenerator::global()->bounded(70) + 20) / 100.0;
}

} // namespace

AudioWaveform::AudioWaveform(QWidget *parent) : QWidget(parent), timer_(new QTimer(this))
{
    setFixedHeight(kHeight);
    setCursor(Qt::PointingHandCursor);
    levels_.reserve(kBarCount);
    for (int i = 0; i < kBarCount; ++i)
        levels_ << randomLevel();
    timer_->setInterval(kStepMs);
    connect(timer_, &QTimer::timeout, this, &AudioWaveform::advance);
}

void AudioWaveform::setPosition(double seconds, double durationSec)
{
    const double position = std::max(seconds, 0.0);
    const double duration = std::max(durationSec, 0.0);
    // The strip shows the playhead to the pixel and the times to the second; the engine reports
    // the position far more often than either changes.
    const bool changed = playheadX(position, duration) != playheadX(position_, duration_)
        || MediaText::formatTime(position) != MediaText::formatTime(position_)
        || MediaText::formatTime(duration) != MediaText::formatTime(duration_);
    position_ = position;
    duration_ = duration;
    if (changed)
        update();
}

QRectF AudioWaveform::barArea() const
{
    return QRectF(4, 3, width() - 8, height() - kTimeStripHeight - 5);
}

int AudioWaveform::playheadX(double position, double duration) const
{
    if (duration <= 0)
        return -1;
    const QRectF bars = barArea();
    return int(bars.left() + bars.width() * std::min(position / duration, 1.0));
}

void AudioWaveform::setAnimated(bool animated)
{
    animated_ = animated;
    updateTimer();
}

bool AudioWaveform::isAnimating() const
{
    return timer_->isActive();
}

void AudioWaveform::advance()
{
    levels_.removeFirst();
    levels_ << randomLevel();
    update();
}

void AudioWaveform::updateTimer()
{
    if (animated_ && isVisible())
        timer_->start();
    else
        timer_->stop();
}

void AudioWaveform::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    updateTimer();
}

void AudioWaveform::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    updateTimer();
}

void AudioWaveform::mousePressEvent(QMouseEvent *event)
{
    if (duration_ <= 0 || width() <= 0)
        return;
    emit seekRequested(std::clamp(duration_ * event->position().x() / width(), 0.0, duration_));
}

void AudioWaveform::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBackground);
    painter.drawRoundedRect(rect(), 4, 4);

    const QRectF bars = barArea();
    const double played = duration_ > 0 ? std::min(position_ / duration_, 1.0) : 0.0;
    const double step = bars.width() / kBarCount;
    QColor upcoming = kAccent;
    upcoming.setAlpha(90);
    for (int i = 0; i < levels_.size(); ++i) {
        const double h = bars.height() * levels_[i];
        const double x = bars.left() + i * step;
        painter.setBrush(x < bars.left() + bars.width() * played ? kAccent : upcoming);
        painter.drawRect(QRectF(x, bars.center().y() - h / 2, std::max(step - 1, 1.0), h));
    }
    if (duration_ > 0) {
        // On a pixel column, as setPosition judges changes.
        const double x = playheadX(position_, duration_) + 0.5;
        painter.setPen(QPen(Qt::white, 1));
        painter.drawLine(QPointF(x, bars.top()), QPointF(x, bars.bottom()));
    }

    QFont font = painter.font();
    font.setPixelSize(9);
    painter.setFont(font);
    painter.setPen(kAccent);
    const QRect times(6, height() - kTimeStripHeight - 1, width() - 12, kTimeStripHeight);
    painter.drawText(times, Qt::AlignLeft | Qt::AlignVCenter, MediaText::formatTime(position_));
    painter.drawText(times, Qt::AlignRight | Qt::AlignVCenter, MediaText::formatTime(duration_));
}
