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
    // Another program in the player's place: a test that builds the player's own window in a
    // process of its own (its executable started again with a role), so that a choice made
    // through the window is read back by a later process, as after a restart.
    PlayerProcess(const QString &program, const QStringList &arguments);
    // Waits for the process to end by itself; false when it did not within the time or crashed.
    bool waitForExit(int timeoutMs = 60000);
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
