#pragma once

#include "music/MusicCanvas.h"
#include "music/MusicViewHelpers.h"
#include "music/TrackInfo.h"

#include <QColor>
#include <QList>
#include <QPointer>
#include <QWidget>

class LyricsWidget;
class MpvCore;
class MusicSeekBar;
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
// leaves as signals. The engine is touched only for the A-B loop. Painting is MusicCanvas's;
// the A-B loop, the context menu and the mute button live in MusicWidgetCommands.cpp.
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
    // The audio format once the engine knows it, which may be well after the track was set:
    // the codec, rate, depth and channels of `format` replace the track's; nothing else does.
    void setTrackFormat(const TrackInfo &format);
    void setOutputInfo(const MusicView::OutputPath &output);
    // A warning in the status line, until the next track or output report replaces it.
    void showNotice(const QString &text);
    void setPlaying(bool playing);
    void updatePosition(double position, double duration);
    void setSpectrum(const QList<float> &bins);
    // Neither emits volumeChanged: the values come from the engine or the settings.
    void setVolume(int volume);
    void setSpeed(double speed);
    // The engine's modes, shown on the buttons; neither emits. A click on a button (or its menu
    // entry) asks for the other state with shuffleToggled / repeatToggled.
    void setShuffle(bool on);
    void setRepeat(bool on);
    bool isShuffleOn() const { return shuffle_; }
    bool isRepeatOn() const { return repeat_; }

    const TrackInfo &track() const { return track_; }
    LyricsWidget *lyricsWidget() const { return lyrics_; }
    PlaylistPanel *playlistPanel() const { return playlist_; }
    int currentPage() const;
    QColor accentColour() const { return canvas_.accent(); }
    QString statusText() const;
    // Codec, bit depth, sample rate, channels, in that order.
    QStringList badgeTexts() const;
    AbState abState() const { return abState_; }
    double rotationAngle() const { return canvas_.angle(); }

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

    void updateBadges();
    void setStatusLine(const QString &text, bool bitPerfect);
    void paintStatusLine(const QString &text, const QString &colour);
    void updateAnimationTimers();
    void onPeakTick();
    void showSpectrumChange();
    void onMuteClicked();
    void toggleShuffle();
    void toggleRepeat();
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
    MusicCanvas canvas_;
    bool spectrumChanged_ = false; // new bars wait for the disc's next turn
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
    MusicSeekBar *seekSlider_ = nullptr;
    QLabel *durationLabel_ = nullptr;
    QPushButton *muteButton_ = nullptr;
    QSlider *volumeSlider_ = nullptr;
    QLabel *speedLabel_ = nullptr;
    QLabel *statusLine_ = nullptr;
};
