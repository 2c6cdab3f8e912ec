#pragma once

#include "ui/controls/ClickSeekSlider.h"

// The seek bar of every music view, on a fixed 0..1000 scale so its value does not depend on the
// track's length. Clicks jump, drags seek as they go, and the wheel seeks too.
class MusicSeekBar : public ClickSeekSlider
{
    Q_OBJECT
public:
    explicit MusicSeekBar(QWidget *parent = nullptr);

    // Leaves the handle alone while the user holds it.
    void setPosition(double position, double duration);

signals:
    // Every move the user makes: pressing, each drag step, releasing and the wheel.
    void seekRequested(double seconds);

private:
    void requestSeek();

    double duration_ = 0.0;
};
