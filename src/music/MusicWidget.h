#pragma once

#include "music/TrackInfo.h"

#include <QColor>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

class ClickSeekSlider;
class LyricsWidget;
class MpvCore;
class PlaylistPanel;
class QLabel;
class QPushButton;
class QSlider;
class QStackedWidget;
class QTimer;

// The full-window view of music mode: a spinning cover disc on a blurred copy of the cover, the
// track texts and format badges, a spectrum with falling peaks, transport and volume, a
// technical status line, and a right-hand panel with lyrics, equalizer and playlist pages.
// The host feeds it the track, output format, positions, play state and spectrum; user intent
// leaves as signals. The engine is touched only for the A-B loop.
class MusicWidget : public QWidget
{
    Q_OBJECT
public:
    enum RightPanelPage { LyricsPage = 0, EqualizerPage = 1, PlaylistPage = 2 };
    enum AbState { AbIdle = 0, AbASet = 1, AbLooping = 2 };

    explicit MusicWidget(QWidget *parent = nullptr);

    // Without an engine the A-B button does nothing.
    void setEngine(MpvCore *engine);
    // The equalizer page is built by its owner, who also carries its gains to the engine; until
    // one is given the "EQ" tab stays hidden. The view takes ownership.
    void setEqualizerPage(QWidget *page);

    void setTrack(const TrackInfo &info);
    void setOutputInfo(int outputRate, const QString &outputFormat, bool exclusive);
    // A warning in the status line, until the next track or output report replaces it.
    void showNotice(const QString &text);
    void setPlaying(bool playing);
    void updatePosition(double position, double duration);
    void setSpectrum(const QList<float> &bins);
    // Neither emits volumeChanged: the values come from the engine or the settings.
    void setVolume(int volume);
    void setSpeed(double speed);
    // Both emit their toggle signal only when the state really changes.
    void setShuffle(bool on);
    void setRepeat(bool on);

    const TrackInfo &track() const { return track_; }
    LyricsWidget *lyricsWidget() const { return lyrics_; }
    PlaylistPanel *playlistPanel() const { return playlist_; }
    int currentPage() const;
    QColor accentColour() const { return accent_; }
    QString statusText() const;
    // Codec, bit depth, sample rate, channels, in that order.
    QStringList badgeTexts() const;
    AbState abState() const { return abState_; }
    double rotationAngle() const { return angle_; }

signals:
    void seekRequested(double seconds);
    void playPauseRequested();
    void prevRequested();
    void nextRequested();
    void shuffleToggled(bool on);
    void repeatToggled(bool on);
    void volumeChanged(int volume);
    void settingsRequested();
    void miniModeRequested();
    void compactModeRequested();
    void addToPlaylistRequested(const QString &filePath);

public slots:
    void onRotationTick();
    void onRightPanelToggle(int panel);
    void onAbRepeatClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    QWidget *buildLeftColumn();
    QWidget *buildRightColumn();
    QWidget *buildBottomRow();
    QPushButton *makeRoundButton(const QString &text, const QString &toolTip, int width, int height);

    void paintDisc(QPainter &painter);
    void paintSpectrum(QPainter &painter);
    void rebuildBackground();
    void updateBadges();
    void setStatusLine(const QString &text, bool bitPerfect);
    void paintStatusLine(const QString &text, const QString &colour);
    void updateAnimationTimers();
    void onPeakTick();
    void onSeekSliderEvent();
    void onMuteClicked();
    void resetAbLoop();
    void showAbState();
    void showFileInfo();

    MpvCore *engine_ = nullptr;

    TrackInfo track_;
    double duration_ = 0.0;
    bool playing_ = false;
    bool shuffle_ = false;
    bool repeat_ = false;
    AbState abState_ = AbIdle;
    double abA_ = -1.0;
    double abB_ = -1.0;
    double angle_ = 0.0;
    QColor accent_;
    QImage blurred_;   // the cover's blur, kept so a resize only rescales it
    QPixmap background_;
    QList<float> levels_;
    QList<float> peaks_;
    // Shared by every music view, so unmuting in the mini player restores what the full view muted.
    static int preMuteVolume_;

    QTimer *rotationTimer_ = nullptr;
    QTimer *peakTimer_ = nullptr;

    QLabel *titleLabel_ = nullptr;
    QLabel *artistLabel_ = nullptr;
    QLabel *albumLabel_ = nullptr;
    QLabel *codecBadge_ = nullptr;
    QLabel *bitDepthBadge_ = nullptr;
    QLabel *sampleRateBadge_ = nullptr;
    QLabel *channelBadge_ = nullptr;
    QLabel *bitPerfectBadge_ = nullptr;
    QPushButton *shuffleButton_ = nullptr;
    QPushButton *playButton_ = nullptr;
    QPushButton *repeatButton_ = nullptr;
    QPushButton *abButton_ = nullptr;
    QList<QPushButton *> tabButtons_;
    QStackedWidget *pages_ = nullptr;
    LyricsWidget *lyrics_ = nullptr;
    QPointer<QWidget> equalizer_;
    PlaylistPanel *playlist_ = nullptr;
    QLabel *positionLabel_ = nullptr;
    ClickSeekSlider *seekSlider_ = nullptr;
    QLabel *durationLabel_ = nullptr;
    QPushButton *muteButton_ = nullptr;
    QSlider *volumeSlider_ = nullptr;
    QLabel *speedLabel_ = nullptr;
    QLabel *statusLine_ = nullptr;
};
