#pragma once

#include "subtitles/SegmentLine.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

// One run of the speech-recognition script: its segments as they are printed, and how it ended.
// Standard error is read as it comes (a talkative script would otherwise block on a full pipe);
// its last words explain a failure, and its "saved" note names the SRT file it wrote.
class SpeechProcess : public QObject
{
    Q_OBJECT
public:
    explicit SpeechProcess(QObject *parent = nullptr);
    ~SpeechProcess() override;

    void start(const QString &interpreter, const QStringList &arguments);
    // Kills the script; a run stopped on purpose reports nothing more.
    void stop();

signals:
    void segmentsArrived(const QList<SubtitleSegment> &segments);
    // The script could not be started at all; reported after start() has returned.
    void failedToStart(const QString &reason);
    // `detail`: on failure the script's last complaint (or the exit status), on success the SRT
    // file it saved, if any.
    void finished(bool succeeded, const QString &detail);

private:
    void readStandardError();
    void readSegments(bool toTheEnd);
    void onError(QProcess::ProcessError error);
    void onFinished(int exitCode);
    QString lastComplaint() const;

    QProcess *process_ = nullptr;
    QByteArray stderrTail_;
    QByteArray savedNote_;
};
