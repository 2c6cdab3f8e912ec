#include "subtitles/SpeechScript.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {

const QString kScriptName = QStringLiteral("whisper_server.py");
const QString kDataFolder = QStringLiteral("velmoran");

#ifndef VELMORAN_DATA_FROM_BIN
#define VELMORAN_DATA_FROM_BIN "../share/velmoran"
#endif

// Runs a short command and returns its first output line, or nothing when it failed or overran.
QString firstLineOf(const QString &program, const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(std::max(timeoutMs, 1))) {
        // A program that never started is already gone; only a slow one needs stopping.
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(500);
        }
        return {};
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput()).section(QLatin1Char('\n'), 0, 0).trimmed();
}

} // namespace

namespace SpeechScript {

QString scriptPath()
{
    const QString fromEnvironment = qEnvironmentVariable("VELMORAN_WHISPER_SCRIPT");
    if (!fromEnvironment.isEmpty())
        return QFileInfo(fromEnvironment).isFile() ? QFileInfo(fromEnvironment).absoluteFilePath() : QString();
    const QDir programDir(QCoreApplication::applicationDirPath());
    for (const QString &candidate : {programDir.filePath(kScriptName),
                                     programDir.filePath(QStringLiteral(VELMORAN_DATA_FROM_BIN "/") + kScriptName)}) {
        if (QFileInfo(candidate).isFile())
            return QFileInfo(candidate).canonicalFilePath();
    }
    return QStandardPaths::locate(QStandardPaths::GenericDataLocation, kDataFolder + QLatin1Char('/') + kScriptName);
}

QStringList interpreterCandidates()
{
    const QString chosen = qEnvironmentVariable("VELMORAN_PYTHON");
    if (!chosen.isEmpty())
        return {chosen};
    QStringList candidates;
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (!onPath.isEmpty())
        candidates << onPath;
    const QString system = QStringLiteral("/usr/bin/python3");
    if (QFileInfo(system).isExecutable()
        && (onPath.isEmpty() || QFileInfo(onPath).canonicalFilePath() != QFileInfo(system).canonicalFilePath()))
        candidates << system;
    return candidates;
}

Engine probe(const QString &script, int timeoutMs)
{
    if (script.isEmpty())
        return {};
    const QDeadlineTimer deadline(timeoutMs);
    for (const QString &interpreter : interpreterCandidates()) {
        if (deadline.hasExpired())
            break;
        const QString name = firstLineOf(interpreter, {QStringLiteral("-u"), script, QStringLiteral("--probe")},
                                         int(deadline.remainingTime()));
        if (name == QLatin1String("faster-whisper") || name == QLatin1String("pocketsphinx"))
            return {interpreter, name};
    }
    return {};
}

QStringList arguments(const QString &script, const Request &request)
{
    QStringList arguments{QStringLiteral("-u"),         script,
                          QStringLiteral("--file"),     request.mediaPath,
                          QStringLiteral("--model"),    request.model,
                          QStringLiteral("--language"), request.language};
    if (request.saveSrt)
        arguments << QStringLiteral("--save-srt");
    return arguments;
}

QString gpuName(int timeoutMs)
{
    return firstLineOf(QStringLiteral("nvidia-smi"),
                       {QStringLiteral("--query-gpu=name"), QStringLiteral("--format=csv,noheader")}, timeoutMs);
}

} // namespace SpeechScript
