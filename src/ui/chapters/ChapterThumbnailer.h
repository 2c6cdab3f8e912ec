#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QProcess;

// Pictures of moments of a file, for the chapter cards: one ffmpeg run per moment, one at a time,
// so the GUI thread only collects finished pictures. A new file or cancel() drops the pending
// moments and the picture of the running one.
class ChapterThumbnailer : public QObject
{
    Q_OBJECT
public:
    // A file with hundreds of chapters gets pictures for its first ones only.
    static constexpr int kMaxPictures = 100;

    explicit ChapterThumbnailer(QObject *parent = nullptr);
    ~ChapterThumbnailer() override;

    void start(const QString &path, const QList<double> &times);
    void cancel();

signals:
    // `picture` is the frame at `time` of `path`, scaled into the card's picture area.
    void thumbnailReady(const QString &path, double time, const QImage &picture);

private:
    void runNext();

    QString path_;
    QList<double> pending_;
    QPointer<QProcess> running_;
};
