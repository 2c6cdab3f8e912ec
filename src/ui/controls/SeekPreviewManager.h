#pragma once

#include "engine/PreviewEngine.h"
#include "ui/controls/PreviewPictureCache.h"
#include "ui/controls/SeekPreviewWidget.h"

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QTimer>

// What the seek slider shows while the pointer is over it: the card with the picture of the
// hovered moment (SeekPreviewWidget) and the engine that draws it (PreviewEngine). Both are built
// on the first hover, not before; the engine goes again after a while without hovers. Streams,
// audio files and files the engine cannot open show the time only.
class SeekPreviewManager : public QObject
{
    Q_OBJECT
public:
    // No hover for this long releases the engine (the cache of pictures stays).
    static constexpr int kReleaseAfterMs = 20000;
    // A pointer resting this long on a moment gets its exact frame when that is cheap: ...
    static constexpr int kExactAfterRestMs = 300;
    // ... at most this far after the keyframe shown (about 30 pictures to decode).
    static constexpr double kCheapExactSeconds = 1.0;

    // The card goes into the slider's window, above the slider.
    explicit SeekPreviewManager(QWidget *slider);
    ~SeekPreviewManager() override;

    // The file playing now (empty when none); the engine opens it on the next hover.
    void setFile(const QString &path);
    // The playing film's size, for the picture area before the first picture comes.
    void setVideoSize(int width, int height);
    // The pointer is over the slider at `sliderX` (slider coordinates), meaning `seconds`.
    void hoverAt(double seconds, const QString &chapterTitle, int sliderX);
    void leave();

    SeekPreviewWidget *card() const { return card_; }
    PreviewEngine *engine() const { return engine_; }

signals:
    // A picture of `seconds` is on screen (for the bench and the tests).
    void pictureShown(double seconds);

private:
    bool hasPictures() const;
    void ensureBuilt();
    void place();
    void ask();
    void showKeyframePicture(const QImage &picture, double keyframe);
    void onPicture(const PreviewPicture &picture);
    void onUnavailable(const QString &path);
    void askExact();
    void release();

    QWidget *slider_;
    QPointer<SeekPreviewWidget> card_;
    PreviewEngine *engine_ = nullptr;
    PreviewPictureCache cache_;
    QString file_;
    bool filePreviewable_ = false;
    QStringList unavailable_; // files of this session the engine could not show
    QSize videoSize_;
    double hovered_ = -1.0; // the moment under the pointer; negative when not hovering
    int lastX_ = 0;         // where on the slider
    QTimer releaseTimer_;
    QTimer exactTimer_;
};
