#pragma once

#include <QLockFile>
#include <QStringList>

// Decides whether this process is the player's first instance. The marker is a lock file that
// records its owner's process id, so a marker left by a crashed owner is told apart from one
// whose owner is alive but still building its window and not yet listening.
class SingleInstanceGuard
{
public:
    enum class Claim {
        Claimed,         // this process now holds the marker (nobody did, or its owner had died)
        HeldByLiveOwner, // a running player holds it
        Unavailable,     // no marker can be made here; the process runs alone
    };

    explicit SingleInstanceGuard(const QString &markerPath);

    Claim claim();

private:
    QString markerPath_;
    QLockFile lock_;
};

enum class HandoverResult { Delivered, NotDelivered, OwnerGone };

// Sends the files to the player that holds the marker. Each connection attempt waits at most
// connectTimeoutMs, and the write as long again. While the owner lives but does not listen yet,
// the attempt is repeated until ownerStartingMs have passed (NotDelivered after that). If the
// owner goes away meanwhile, the guard claims the marker and the result is OwnerGone: this
// process is then the first instance.
HandoverResult handOverToOwner(SingleInstanceGuard &guard, const QString &serverName, const QStringList &files,
                               int connectTimeoutMs, int ownerStartingMs);
