#pragma once

#include <QWidget>

struct TrackInfo;
class QLabel;
class MusicSeekBar;
class QPushButton;

// The 420 × 80 strip that stands in for the main window while music plays: cover, title,
// artist, codec, a thin seek bar and the transport, always on top and moved by dragging its
// body. It plays nothing itself; the host feeds it and acts on its signals. Closing it only
// hides it and says so, so the host can bring the main window back.
class MiniPlayerWidget : public QWidget
{
    Q_OBJECT
public:
    explicit MiniPlayerWidget(QWidget *parent = nullptr);

    void setTrack(const TrackInfo &track);
    void setPlaying(bool playing);
    // Leaves the seek bar alone while the user holds it.
    void updatePosition(double position, double duration);

    QString titleText() const;
    QString artistText() const;
    QString codecText() const;
    QString timeText() const;
    int seekValue() const;

signals:
    void playPauseRequested();
    void prevRequested();
    void nextRequested();
    void expandRequested();
    void closeRequested();
    void seekRequested(double seconds);

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QLabel *coverLabel_ = nullptr;
    QLabel *titleLabel_ = nullptr;
    QLabel *artistLabel_ = nullptr;
    QLabel *codecBadge_ = nullptr;
    MusicSeekBar *seekSlider_ = nullptr;
    QLabel *timeLabel_ = nullptr;
    QPushButton *playButton_ = nullptr;
};
