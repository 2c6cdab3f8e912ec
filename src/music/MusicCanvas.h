#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QRect>

class QPainter;

// What the music view paints itself under its controls: the blurred, darkened cover behind
// everything, the spinning disc and the spectrum with its falling peak marks. Each of the three
// is drawn only where the repaint asks, so a turn of the disc or new bars cost their own
// rectangle and no more; the backdrop is built once per cover and size.
class MusicCanvas
{
public:
    // Where the disc and the spectrum sit; the view's layout keeps room for them there.
    static constexpr QRect kDiscRect{40, 16, 280, 280};
    // The texts and badges between disc and spectrum.
    static constexpr int kInfoHeight = 128;
    static constexpr QRect kSpectrumRect{20, 16 + 280 + kInfoHeight, 320, 60};
    static constexpr int kPeakCount = 64;

    MusicCanvas();

    // The disc's picture, the backdrop and the accent; a null cover gives the placeholder.
    void setCover(const QPixmap &cover);
    // The backdrop follows the view's size.
    void resize(const QSize &size);
    QColor accent() const { return accent_; }

    void turn(double degrees);
    double angle() const { return angle_; }

    // New bars; each peak mark rises to its bar.
    void setLevels(const QList<float> &levels);
    bool peaksFalling() const;
    // One step of the marks' fall; false when none was left to fall.
    bool fallPeaks();

    void paint(QPainter &painter, const QRect &dirty) const;

private:
    void paintDisc(QPainter &painter) const;
    void paintSpectrum(QPainter &painter) const;

    QPixmap disc_;    // the cover cut to fill the disc, made once per cover
    QImage blurred_;  // the cover's blur, so a resize only rescales it
    QPixmap backdrop_;
    QSize size_;
    QColor accent_;
    double angle_ = 0.0;
    QList<float> levels_;
    QList<float> peaks_;
};
