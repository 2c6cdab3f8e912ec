#pragma once

#include <QObject>

class QTimer;

// Gives back to the system what the engine's threads free when a file is left. glibc's allocator
// keeps freed memory inside its arenas for reuse and returns only the free space at the top of
// the main one; a file's demuxer cache, decoder pools and textures are freed from the middle of
// several arenas, so without a trim every file played leaves the process a little larger until
// each arena has reached its own high-water mark.
class MemoryRelease : public QObject
{
    Q_OBJECT
public:
    // Trims run at most this often, however fast files change.
    static constexpr int kSettleMs = 1000;

    // Caps how many allocator arenas the process may create and has large blocks mapped on their
    // own. Called first thing in main, before any thread exists: arenas made before are kept.
    static void configureAllocator();

    explicit MemoryRelease(QObject *parent = nullptr);

    // A file was left: trims once the engine has had a moment to free it, on a pool thread.
    void releaseSoon();

signals:
    // A trim has finished.
    void released();

private:
    void trim();

    QTimer *settle_ = nullptr;
    bool trimming_ = false;
    bool wantedAgain_ = false;
};
