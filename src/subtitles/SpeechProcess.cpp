#include "subtitles/SpeechProcess.h"

#include <QDebug>
#include <QPointer>

#include <utility>

namespace {

constexpr int kStopWaitMs = 1000;
// The script's complaints are kept for the failure message; more would only be its earlier lines.
constexpr qsizetype kStderrTailBytes = 4096;
// A "line" this long without a newline is not a segment; it is dropped instead of piling up.
constexpr qint64 kMaxLineBytes = 64 * 1024;
// How much of the script's last complaint the page shows.
constexpr int kMaxDetailChars = 160;
// The script's note for the SRT file it wrote (whisper_server.py's save_srt).
constexpr QByteArrayView kSavedNote = "whisper_server: saved ";

} // namespace

SpeechProcess::SpeechProcess(QObject *parent) : QObject(parent)
{
}

SpeechProcess::~SpeechProcess()
{
    stop();
}

void SpeechProcess::start(const QString &interpreter, const QStringList &arguments)
{
    stop();
    stderrTail_.clear();
    savedNote_.clear();
    process_ = new QProcess(this);
    process_->setStandardInputFile(QProcess::nullDevice());
    connect(process_, &QProcess::readyReadStandardOutput, this, [this] { readSegments(false); });
    connect(process_, &QProcess::readyReadStandardError, this, &SpeechProcess::readStandardError);
    connect(process_, &QProcess::finished, this, &SpeechProcess::onFinished);
    connect(process_, &QProcess::errorOccurred, this, &SpeechProcess::onError);
    process_->start(interpreter, arguments);
}

void SpeechProcess::stop()
{
    QProcess *process = std::exchange(process_, nullptr);
    if (!process)
        return;
    process->disconnect(this);
    if (process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished(kStopWaitMs);
    }
    process->deleteLater();
}

void SpeechProcess::readStandardError()
{
    if (!process_)
        return;
    stderrTail_ += process_->readAllStandardError();
    // The note can sit anywhere in the output; kept apart so the tail's trimming never loses it.
    if (const qsizetype at = stderrTail_.lastIndexOf(kSavedNote); at >= 0) {
        const qsizetype end = stderrTail_.indexOf('\n', at);
        if (end > at)
            savedNote_ = stderrTail_.mid(at + kSavedNote.size(), end - at - kSavedNote.size());
    }
    if (stderrTail_.size() > kStderrTailBytes)
        stderrTail_.remove(0, stderrTail_.size() - kStderrTailBytes);
}

QString SpeechProcess::lastComplaint() const
{
    const QStringList lines = QString::fromUtf8(stderrTail_).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QString text = line->trimmed();
        if (!text.isEmpty())
            return text.size() > kMaxDetailChars ? text.left(kMaxDetailChars) + QStringLiteral("…") : text;
    }
    return {};
}

void SpeechProcess::readSegments(bool toTheEnd)
{
    if (!process_)
        return;
    QList<SubtitleSegment> arrived;
    const auto take = [&arrived](const QByteArray &line) {
        if (auto segment = SegmentLine::parse(QString::fromUtf8(line)))
            arrived << *segment;
    };
    while (process_->canReadLine())
        take(process_->readLine(kMaxLineBytes));
    if (toTheEnd)
        take(process_->readAll());
    else if (process_->bytesAvailable() > kMaxLineBytes)
        process_->readAll();
    // One signal for the whole batch: a burst of lines would otherwise rebuild the page per line.
    if (!arrived.isEmpty())
        emit segmentsArrived(arrived);
}

void SpeechProcess::onError(QProcess::ProcessError error)
{
    if (error != QProcess::FailedToStart || !process_)
        return;
    const QString reason = process_->errorString();
    qDebug().noquote() << "[Whisper] 시작 실패:" << process_->program() << reason;
    // Not from inside the signal: the failure can be reported while start() is still running.
    QMetaObject::invokeMethod(
        this,
        [this, reason, failed = QPointer<QProcess>(process_)] {
            if (failed && process_ == failed) {
                stop();
                emit failedToStart(reason);
            }
        },
        Qt::QueuedConnection);
}

void SpeechProcess::onFinished(int exitCode)
{
    if (!process_)
        return;
    readStandardError();
    readSegments(true);
    if (!process_)
        return; // a receiver of the last segments stopped the run
    const bool crashed = process_->exitStatus() == QProcess::CrashExit;
    const bool succeeded = !crashed && exitCode == 0;
    QString detail = succeeded ? QString::fromUtf8(savedNote_) : lastComplaint();
    if (!succeeded && detail.isEmpty())
        detail = crashed ? QStringLiteral("비정상 종료") : QStringLiteral("종료 코드 %1").arg(exitCode);
    if (!succeeded)
        qDebug().noquote() << "[Whisper] 실패:" << detail;
    std::exchange(process_, nullptr)->deleteLater();
    emit finished(succeeded, detail);
}
