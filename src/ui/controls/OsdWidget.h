#pragma once

#include <QWidget>

class QGraphicsOpacityEffect;
class QLabel;
class QPropertyAnimation;
class QTimer;

// A small translucent box over the video that briefly confirms a command (volume, seek, speed or
// a message) and fades out. It reports only; it never touches playback.
class OsdWidget : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(qreal opacity READ opacity WRITE setOpacity)
public:
    enum Kind { Volume = 0, Seek = 1, Speed = 3, Message = 4 };

    static constexpr int kBoxWidth = 220;
    static constexpr int kBoxHeight = 64;
    static constexpr qreal kShownOpacity = 0.88;
    static constexpr int kVolumeMs = 1600;
    static constexpr int kSeekMs = 1200;
    static constexpr int kSpeedMs = 1600;
    static constexpr int kFadeMs = 300;

    explicit OsdWidget(QWidget *parent = nullptr);

    using QWidget::show;
    void showVolume(int volume, bool muted);
    void showSeek(double position, double duration);
    void showSpeed(double speed);
    void showMessage(const QString &text, int ms);

    qreal opacity() const { return opacity_; }
    void setOpacity(qreal opacity);

    int kind() const { return kind_; }
    int barValue() const { return barValue_; }
    bool isBarDrawn() const { return barDrawn_; }
    QString iconText() const;
    QString text() const;
    // Time left before the fade starts; -1 when no hide is pending.
    int remainingMs() const;
    bool isFading() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void setContent(int kind, const QString &icon, const QString &text, int barValue, bool barDrawn);
    void show(int ms);
    void fitToText();
    void placeOverParent();
    void startFade();

    int kind_ = Message;
    int barValue_ = -1;
    bool barDrawn_ = false;
    qreal opacity_ = kShownOpacity;
    QLabel *iconLabel_ = nullptr;
    QLabel *textLabel_ = nullptr;
    QGraphicsOpacityEffect *effect_ = nullptr;
    QTimer *hideTimer_ = nullptr;
    QPropertyAnimation *fade_ = nullptr;
};
