#pragma once

#include <QSharedMemory>
#include <QStringList>

// Decides whether this process is the player's first instance. The marker is a 1-byte shared
// memory segment; on Linux such a segment outlives a crashed owner, so a failed hand-over is
// taken as proof that the owner is gone and the marker is claimed anew.
class SingleInstanceGuard
{
public:
    explicit SingleInstanceGuard(const QString &memoryKey);

    // True when no other instance holds the marker (this process now does).
    bool claim();
    // Takes over a marker whose owner no longer answers. The process runs as first instance
    // even if the segment cannot be recreated.
    void reclaimStale();

private:
    QSharedMemory memory_;
};

enum class HandoverResult { Delivered, NotDelivered, NoListener };

// Sends the files to the running instance, waiting at most timeoutMs for the connection and
// again for the write. NoListener means nobody accepted the connection at all.
HandoverResult sendHandover(const QString &serverName, const QStringList &files, int timeoutMs);
