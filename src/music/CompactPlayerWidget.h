#pragma once

#include <QList>
#include <QPixmap>
#include <QStringList>
#include <QWidget>

struct TrackInfo;
class QLabel;
class QListWidget;
class QPushButton;
class QSlider;
class QTimer;
class MusicSeekBar;

// The tall 340 × 620 panel that stands in for the main window while music plays: cover, track
// texts and format, seek bar, transport and volume, the playlist and a small spectrum. It stays
// on top until unpinned and moves by dragging its body. Like the mini strip it plays nothing;
// closing it only hides it and says so.
class CompactPlayerWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CompactPlayerWidget(QWidget *parent = nullptr);

    void setTrack(const QString &title, const QString &artist, const QString &album, const QPixmap &cover,
                  const QString &codec, int sampleRate, int bitDepth, int channels, bool bitPerfect);
    void setTrack(const TrackInfo &track, bool bitPerfect = false);
    void setPlaying(bool playing);
    // Leaves the seek bar alone while the user holds it.
    void updatePosition(double position, double duration);
    // Replaces the rows and marks the playing one (-1 for none) without emitting trackSelected.
    void setPlaylist(const QStringList &names, int current);
    // Any number of bins, each 0..1; they fall back on their own between updates.
    void setSpectrum(const QList<float> &levels);
    // None of these emit: the values come from the host, not the user.
    void setVolume(int volume);
    void setShuffle(bool on);
    void setRepeat(bool on);

    QString titleText() const;
    QString artistText() const;
    QString formatText() const;
    // Position and duration as the two clocks show them.
    QString timeText() const;
    QString durationText() const;
    int seekValue() const;
    int volume() const;
    int playlistCount() const;
    // The rows' texts, top to bottom.
    QStringList tracks() const;
    int currentRow() const;
    QString playlistHeadingText() const;
    bool isPinned() const;

signals:
    void playPauseRequested();
    void prevRequested();
    void nextRequested();
    void seekRequested(double seconds);
    void volumeChanged(int volume);
    void trackSelected(int index);
    void expandRequested();
    void closeRequested();
    void alwaysOnTopToggled(bool onTop);
    void shuffleToggled(bool on);
    void repeatToggled(bool on);

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void onPinToggled(bool onTop);
    void onDecayTick();
    void paintHeading(QPainter &painter);
    void paintSpectrum(QPainter &painter);

    QList<float> levels_;
    QTimer *decayTimer_ = nullptr;

    QPushButton *pinButton_ = nullptr;
    QLabel *coverLabel_ = nullptr;
    QLabel *titleLabel_ = nullptr;
    QLabel *artistLabel_ = nullptr;
    QLabel *formatLabel_ = nullptr;
    QLabel *positionLabel_ = nullptr;
    MusicSeekBar *seekSlider_ = nullptr;
    QLabel *durationLabel_ = nullptr;
    QPushButton *shuffleButton_ = nullptr;
    QPushButton *playButton_ = nullptr;
    QPushButton *repeatButton_ = nullptr;
    QLabel *volumeIcon_ = nullptr;
    QSlider *volumeSlider_ = nullptr;
    // Empty widgets that hold the layout's room for what is painted on the body.
    QWidget *headingArea_ = nullptr;
    QWidget *spectrumArea_ = nullptr;
    QListWidget *playlist_ = nullptr;
};
