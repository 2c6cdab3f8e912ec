#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <algorithm>

// The real player binary, started with arguments and watched through its console output.
// The process is terminated (then killed) when the object goes.
class PlayerProcess
{
public:
    explicit PlayerProcess(const QStringList &arguments);
    ~PlayerProcess();

    // Everything the player has written to its console so far.
    QString console();
    // True once the engine was given `first` to play (replacing) and then each of `queued`.
    bool waitForLoads(const QString &first, const QStringList &queued = {});
    // True once a console line equals `line`.
    bool waitForLine(const QString &line, int timeoutMs = 15000);
    template <typename Predicate>
    bool waitFor(Predicate matches, int timeoutMs = 15000);
    QProcess &process() { return process_; }

private:
    QProcess process_;
    QString output_;
};

template <typename Predicate>
bool PlayerProcess::waitFor(Predicate matches, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (std::ranges::none_of(console().split(QLatin1Char('\n')), matches)) {
        if (deadline.hasExpired() || process_.state() == QProcess::NotRunning)
            return false;
        process_.waitForReadyRead(100);
    }
    return true;
}
