#pragma once

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Writes one scan's media files into the library database while the walk goes on: the walk
// hands over each directory's files as it leaves the directory, and a thread of the record's
// own writes them (the machine's second core), so the record costs the scan little more than
// the walk. One write transaction, rows in path order many to a statement, through SQLite
// itself: for a first scan of a large library the driver's per-value conversions cost more
// than the walk.
class LibraryRecord
{
public:
    enum class Type { Video, Audio };
    // The media files of one directory, as UTF-8 paths one after the other.
    struct Batch {
        struct File {
            qsizetype offset; // of the path in `paths`
            qsizetype length;
            qsizetype name;   // where its name starts, from `offset`
            Type type;
        };
        QByteArray paths;
        std::vector<File> files;
    };

    // Opens `path` on its own thread and takes the write lock there. `stop` is asked between
    // batches (from that thread): true leaves the rest out.
    LibraryRecord(const QString &path, std::function<bool()> stop);
    ~LibraryRecord(); // rolls back what was not committed

    LibraryRecord(const LibraryRecord &) = delete;
    LibraryRecord &operator=(const LibraryRecord &) = delete;

    // Queued; a file already recorded keeps its first row.
    void add(Batch &&batch);
    // Waits until every batch is written, then commits (keep) or leaves the database as it was.
    // Empty unless the database could not take the rows: why not, for the user.
    QString finish(bool keep);

private:
    void run(const QString &path);

    std::function<bool()> stop_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> queue_;
    bool closed_ = false;
    bool keep_ = false;
    QString problem_;
    std::thread thread_;
};
