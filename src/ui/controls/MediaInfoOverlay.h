#pragma once

#include <QMetaObject>
#include <QPointer>
#include <QWidget>

class MpvCore;
class QLabel;
class QPropertyAnimation;
class QVBoxLayout;

// The 180-px column that slides in over the left edge of the video: how the current audio
// leaves the machine and what the current picture is.
class MediaInfoOverlay : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kWidth = 180;
    static constexpr int kSlideMs = 220;

    explicit MediaInfoOverlay(QWidget *parent = nullptr);

    void connectToCore(MpvCore *core);
    // Slides in when hidden or on its way out, out when shown or on its way in.
    void toggle();

    struct Card {
        QLabel *badge = nullptr;
        QLabel *source = nullptr;  // "원본"
        QLabel *output = nullptr;  // "출력"
        QLabel *third = nullptr;   // "WASAPI" / "색공간"
        QLabel *fourth = nullptr;  // "비트퍼펙트" / "HDR"
        QLabel *fifth = nullptr;   // video only: "화면", the surface that draws the picture
    };
    const Card &audioCard() const { return audio_; }
    const Card &videoCard() const { return video_; }
    QPropertyAnimation *slideAnimation() const { return slide_; }

public slots:
    void updateAudioInfo(const QString &codec, int channels, int sampleRate, const QString &output);
    void updateVideoInfo(int width, int height, double fps, const QString &codec);
    void onFileLoaded(const QString &path);

private:
    QWidget *buildSectionList();
    QWidget *buildCard(const QString &caption, const QStringList &rowCaptions, Card &card);
    QString readString(const char *name) const;
    void slideTo(const QRect &from, const QRect &to, bool hideAtEnd);

    QPointer<MpvCore> core_;
    Card audio_;
    Card video_;
    QPropertyAnimation *slide_ = nullptr;
    QMetaObject::Connection slideFinished_;
    bool slidingOut_ = false;
};
