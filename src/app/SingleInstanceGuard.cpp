#include "app/SingleInstanceGuard.h"

#include "app/HandoverProtocol.h"

#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QThread>

namespace {
// A refused connection fails at once, so the retries need a pause of their own.
constexpr int kRetryPauseMs = 50;
}

SingleInstanceGuard::SingleInstanceGuard(const QString &markerPath)
    : markerPath_(markerPath), lock_(markerPath)
{
    // Only a dead owner makes a marker stale. The default would also take the marker of a
    // player that has simply been running for more than 30 seconds.
    lock_.setStaleLockTime(0);
}

SingleInstanceGuard::Claim SingleInstanceGuard::claim()
{
    if (markerPath_.isEmpty())
        return Claim::Unavailable;
    if (lock_.tryLock(0))
        return Claim::Claimed;
    return lock_.error() == QLockFile::LockFailedError ? Claim::HeldByLiveOwner : Claim::Unavailable;
}

HandoverResult handOverToOwner(SingleInstanceGuard &guard, const QString &serverName, const QStringList &files,
                               int connectTimeoutMs, int ownerStartingMs)
{
    const QDeadlineTimer deadline(ownerStartingMs);
    for (;;) {
        QLocalSocket socket;
        socket.connectToServer(serverName);
        if (socket.waitForConnected(connectTimeoutMs)) {
            socket.write(Handover::encodeFrame(files));
            socket.flush();
            const bool written = socket.bytesToWrite() == 0 || socket.waitForBytesWritten(connectTimeoutMs);
            socket.disconnectFromServer();
            return written ? HandoverResult::Delivered : HandoverResult::NotDelivered;
        }
        if (guard.claim() == SingleInstanceGuard::Claim::Claimed)
            return HandoverResult::OwnerGone;
        if (deadline.hasExpired())
            return HandoverResult::NotDelivered;
        QThread::msleep(kRetryPauseMs);
    }
}
