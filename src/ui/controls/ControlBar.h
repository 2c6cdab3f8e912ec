#pragma once

#include "ui/controls/ChapterInfo.h"

#include <QList>
#include <QWidget>

class ClickSeekSlider;
class MpvCore;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QSlider;
class SeekPreviewManager;

// The strip under the video: seek slider with time, transport and volume, the audio-format
// read-out, the mode buttons and settings. It plays nothing itself; every action leaves as a
// signal and the main window feeds the playback state back in.
class ControlBar : public QWidget
{
    Q_OBJECT
public:
    explicit ControlBar(QWidget *parent = nullptr);

    void setPlaying(bool playing);
    void setDuration(double seconds);
    void updatePosition(double position, double duration);
    // Does not emit volumeChanged: the value comes from the engine or the settings.
    void setVolume(int volume);
    // Replaces the markers; an empty list (or no duration) just removes the old ones.
    void setChapters(const QList<ChapterInfo> &chapters, double duration);
    // Places a widget between the two stretches of the button row; the bar becomes its parent.
    void insertCenterWidget(QWidget *widget);
    void connectToCore(MpvCore *core);

    // The main window marks the current mode through their "active" property.
    QPushButton *playerModeButton() const { return playerModeButton_; }
    QPushButton *ottModeButton() const { return ottModeButton_; }

    ClickSeekSlider *seekSlider() const { return seekSlider_; }
    // The picture of the hovered moment above the seek slider.
    SeekPreviewManager *seekPreview() const { return seekPreview_; }
    QSlider *volumeSlider() const { return volumeSlider_; }
    QString timeText() const;
    QString volumeText() const;
    QString formatText() const;
    QList<ChapterInfo> chapters() const { return chapters_; }
    bool isSeeking() const { return seeking; }
    bool isMuted() const { return muted; }

signals:
    void playPauseClicked();
    void stopClicked();
    void seeked(double seconds);
    void volumeChanged(int volume);
    void muteToggled(bool muted);
    void openFileClicked();
    void prevClicked();
    void nextClicked();
    void settingsClicked();
    void playerModeClicked();
    void ottModeClicked();

public slots:
    void onAudioFormatChanged(const QString &codec, int channels, int sampleRate, const QString &output);
    void onVideoInfoChanged(int width, int height);
    void onFileLoaded(const QString &path);
    void onPlaybackStopped();
    void onSeekMoved(int value);
    void onVolMoved(int value);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPushButton *makeIconButton(const QString &iconPath, const QString &toolTip, int width);
    QPushButton *makeModeButton(const QString &text, const QString &toolTip);
    void buildTopRow(QLayout *into);
    void buildBottomRow(QLayout *into);
    double secondsAt(int value) const;
    void onSeekPressed();
    void onSeekReleased();
    void onMuteClicked();
    void placeChapterMarkers();
    void previewAt(const QPoint &sliderPoint);

    ClickSeekSlider *seekSlider_ = nullptr;
    SeekPreviewManager *seekPreview_ = nullptr;
    QLabel *timeLabel_ = nullptr;
    QPushButton *playPauseButton_ = nullptr;
    QPushButton *muteButton_ = nullptr;
    QSlider *volumeSlider_ = nullptr;
    QLabel *volumeLabel_ = nullptr;
    QLabel *formatLabel_ = nullptr;
    QPushButton *playerModeButton_ = nullptr;
    QPushButton *ottModeButton_ = nullptr;
    QHBoxLayout *bottomRow_ = nullptr;

    double duration = 0.0;
    bool seeking = false;
    bool muted = false;
    QList<ChapterInfo> chapters_;
    double chapterDuration_ = 0.0;
};
