#include "platform/MemoryRelease.h"

#include <QFutureWatcher>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <malloc.h>

namespace {
// glibc allows eight arenas per core. Each thread that once met a busy arena keeps one of its
// own, and memory freed in one arena serves only that arena, so the engine's demuxer, decoder,
// audio and render threads each hold their own high-water mark. The engine allocates in bursts
// (packets, frame pools), so a few arenas are not contended.
constexpr int kMaxArenas = 4;
// glibc raises its mapping threshold to the size of every mapped block freed (up to 32 MiB), so
// after the first file the decoders' frames and the textures of a few MiB each come from the
// arenas and stay there. Fixed here, every block of a MiB or more is mapped on its own and goes
// back to the system the moment it is freed; such blocks are made once per file or window size,
// so the extra mapping costs nothing that shows.
constexpr int kMapThresholdBytes = 1024 * 1024;
} // namespace

void MemoryRelease::configureAllocator()
{
    mallopt(M_ARENA_MAX, kMaxArenas);
    mallopt(M_MMAP_THRESHOLD, kMapThresholdBytes);
}

MemoryRelease::MemoryRelease(QObject *parent)
    : QObject(parent), settle_(new QTimer(this))
{
    settle_->setSingleShot(true);
    settle_->setInterval(kSettleMs);
    connect(settle_, &QTimer::timeout, this, &MemoryRelease::trim);
}

void MemoryRelease::releaseSoon()
{
    // Not restarted by later calls: while files change every fraction of a second, a trim still
    // runs once a second instead of waiting for the changes to stop.
    if (trimming_)
        wantedAgain_ = true;
    else if (!settle_->isActive())
        settle_->start();
}

void MemoryRelease::trim()
{
    trimming_ = true;
    auto *watcher = new QFutureWatcher<void>(this);
    connect(watcher, &QFutureWatcher<void>::finished, this, [this, watcher] {
        watcher->deleteLater();
        trimming_ = false;
        if (wantedAgain_) {
            wantedAgain_ = false;
            settle_->start();
        }
        emit released();
    });
    // Walking every arena takes a few milliseconds on a large heap: not on the GUI thread.
    watcher->setFuture(QtConcurrent::run([] { malloc_trim(0); }));
}
