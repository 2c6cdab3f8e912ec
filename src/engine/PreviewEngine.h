#pragma once

#include "engine/SoftwareFrameRenderer.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QString>
#include <QTimer>

#include <optional>

class MpvCore;

// One picture of a file at a moment, as the preview engine drew it.
struct PreviewPicture {
    QString path;
    double askedSeconds = 0.0;
    // The moment the picture really shows: the keyframe at or before the asked one for a
    // keyframe seek, the asked moment itself for an exact one.
    double shownSeconds = 0.0;
    bool exact = false;
    QImage image;
};

// Pictures of a file at the moments asked for, for the seek-bar preview: a second engine of its
// own (MpvCore in preview mode), drawn by the software renderer at thumbnail size, all its
// threads at background priority. One request runs at a time and a newer one replaces the one
// waiting, so a pointer sweeping along the slider never builds a queue: the engine always works
// on the newest moment it was not yet asked about.
class PreviewEngine : public QObject
{
    Q_OBJECT
public:
    enum class Seek { Keyframe, Exact };
    // Pictures fit this box in the film's proportions (a 16:9 film is 240 × 135).
    static constexpr QSize kPictureBox{240, 160};

    // Starts the engine at once; isReady() says whether it came up.
    explicit PreviewEngine(QObject *parent = nullptr);
    ~PreviewEngine() override;

    bool isReady() const { return ready_; }
    // Pixels per picture point, for a sharp picture on a scaled screen.
    void setDevicePixelRatio(qreal ratio);
    void request(const QString &path, double seconds, Seek seek = Seek::Keyframe);

    // The box fitted to a film of `width` × `height` (the box itself for an unknown size).
    static QSize pictureSize(int width, int height);

signals:
    void pictureReady(const PreviewPicture &picture);
    // No picture of `path` will come: the engine cannot open it, or it has no video.
    void unavailable(const QString &path);

private:
    struct Job {
        QString path;
        double seconds = 0.0;
        Seek seek = Seek::Keyframe;
    };

    void startWaiting();
    void seekForRunningJob();
    void onFileLoaded();
    void onRestarted();
    void deliver();
    void giveUp(QString path);
    void onJobTimeout();
    void fitToFilm();

    MpvCore *core_ = nullptr;
    SoftwareFrameRenderer renderer_;
    bool ready_ = false;
    qreal pixelRatio_ = 1.0;
    QSize pictureSize_;
    QString loadedPath_;
    bool loadedOpened_ = false; // the loaded file has shown a picture
    bool opening_ = false;      // the loaded file has not restarted yet
    std::optional<Job> running_;
    std::optional<Job> waiting_;
    bool restarted_ = false;       // the running job's seek has finished
    quint64 framesAtStart_ = 0;    // frames drawn before the running job's seek
    QTimer jobTimer_;
};
