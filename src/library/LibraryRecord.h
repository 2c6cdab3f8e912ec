#pragma once

#include <QString>
#include <QStringList>

#include <functional>

struct sqlite3;
struct sqlite3_stmt;

// Writes one scan's media files into the library database: one write transaction, the rows in
// path order many to a statement, on a connection of the scanning thread's own (a connection may
// only be used by the thread that opened it). Talks to SQLite directly: for a first scan of a
// large library the driver's per-value conversions cost more than the walk itself.
class LibraryRecord
{
public:
    // Opens `path` and takes the write lock; problem() says why when that fails.
    explicit LibraryRecord(const QString &path);
    ~LibraryRecord(); // rolls back what was not committed

    LibraryRecord(const LibraryRecord &) = delete;
    LibraryRecord &operator=(const LibraryRecord &) = delete;

    bool isWriting() const { return writing_; }
    QString problem() const { return problem_; }

    // Adds a row for each file not yet recorded (a recorded file keeps its first row).
    // `stop` is asked between batches; true leaves the rest out.
    void add(const QStringList &videoFiles, const QStringList &audioFiles, const std::function<bool()> &stop);
    // keep: commit what was added; otherwise leave the database as it was before the scan.
    void finish(bool keep);

private:
    bool exec(const char *sql, const QString &stage);
    void fail(const QString &stage);

    sqlite3 *db_ = nullptr;
    sqlite3_stmt *batch_ = nullptr;  // kRowsPerStatement rows
    sqlite3_stmt *single_ = nullptr; // the rest
    QString problem_;
    bool inTransaction_ = false;
    bool writing_ = false;
};
