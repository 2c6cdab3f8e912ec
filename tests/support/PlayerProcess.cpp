#include "PlayerProcess.h"

#include "TestMedia.h"

#include <algorithm>

namespace {
// What the engine logs for each file it is given; the first file replaces, later ones queue.
QString loadLine(const QString &path, const char *mode)
{
    return QStringLiteral("[MPV] loadFile: %1 | mode: %2").arg(path, QLatin1String(mode));
}
} // namespace

PlayerProcess::PlayerProcess(const QStringList &arguments) : PlayerProcess(TestMedia::playerBinary(), arguments) {}

PlayerProcess::PlayerProcess(const QString &program, const QStringList &arguments)
{
    process_.setProgram(program);
    process_.setArguments(arguments);
    process_.start();
}

bool PlayerProcess::waitForExit(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (process_.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        process_.waitForReadyRead(100);
        console();
    }
    console();
    return process_.state() == QProcess::NotRunning && process_.exitStatus() == QProcess::NormalExit;
}

PlayerProcess::~PlayerProcess()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(5000)) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QString PlayerProcess::console()
{
    output_ += QString::fromUtf8(process_.readAllStandardError() + process_.readAllStandardOutput());
    return output_;
}

bool PlayerProcess::waitForLoads(const QString &first, const QStringList &queued)
{
    if (!waitForLine(loadLine(first, "replace")))
        return false;
    return std::ranges::all_of(queued, [this](const QString &path) { return waitForLine(loadLine(path, "append")); });
}

bool PlayerProcess::waitForLine(const QString &line, int timeoutMs)
{
    return waitFor([&](const QString &candidate) { return candidate == line; }, timeoutMs);
}
