#include "music/MusicSeekBar.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int kSeekRange = 1000;
} // namespace

MusicSeekBar::MusicSeekBar(QWidget *parent)
    : ClickSeekSlider(Qt::Horizontal, parent)
{
    setRange(0, kSeekRange);
    setFocusPolicy(Qt::NoFocus);
    // Pressing, every drag step and releasing each arrive as one sliderMoved.
    connect(this, &QSlider::sliderMoved, this, &MusicSeekBar::requestSeek);
    // The wheel moves the handle without pressing it; that is a seek too.
    connect(this, &QSlider::actionTriggered, this, [this] {
        if (!isSliderDown())
            requestSeek();
    });
}

void MusicSeekBar::setPosition(double position, double duration)
{
    duration_ = std::isfinite(duration) ? duration : 0.0;
    if (isSliderDown())
        return;
    const double fraction = duration_ > 0 && std::isfinite(position) ? std::clamp(position / duration_, 0.0, 1.0) : 0.0;
    setValue(int(std::round(fraction * kSeekRange)));
}

void MusicSeekBar::requestSeek()
{
    if (duration_ > 0)
        emit seekRequested(sliderPosition() * duration_ / kSeekRange);
}
