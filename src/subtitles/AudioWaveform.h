#pragma once

#include <QList>
#include <QWidget>

class QTimer;

// A strip of level bars that drifts while speech is being recognised, with the playhead and the
// times under it. A click seeks: the strip stands for the whole media.
class AudioWaveform : public QWidget
{
    Q_OBJECT
public:
    explicit AudioWaveform(QWidget *parent = nullptr);

    void setPosition(double seconds, double durationSec);
    // Drifts only while animated and shown; a still strip costs nothing.
    void setAnimated(bool animated);
    bool isAnimating() const;
    const QList<double> &levels() const { return levels_; }

signals:
    void seekRequested(double seconds);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void advance();
    void updateTimer();
    QRectF barArea() const;
    // The playhead's column; -1 without a duration.
    int playheadX(double position, double duration) const;

    QList<double> levels_;
    QTimer *timer_ = nullptr;
    bool animated_ = false;
    double position_ = 0;
    double duration_ = 0;
};
