#include "library/LibraryRecord.h"

#include <QDateTime>
#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <string_view>

namespace {

// Another player window may hold the database for its own scan; waiting longer than this would
// only make this scan late, and it lists its files without the database.
constexpr int kBusyWaitMs = 1000;
// Enough for the pages of about 100,000 files, so none is written twice within the transaction.
constexpr int kCacheKiB = 65536;
// Each statement costs its own round through the engine; past a few dozen rows that no longer shows.
constexpr int kRowsPerStatement = 64;
constexpr int kColumns = 4;

QByteArray insertStatement(int rows)
{
    QByteArray sql = "INSERT OR IGNORE INTO media (path, title, type, added_at) VALUES (?, ?, ?, ?)";
    for (int row = 1; row < rows; ++row)
        sql += ", (?, ?, ?, ?)";
    return sql;
}

// The connection, used on the record's thread only.
class Database
{
public:
    explicit Database(const QString &path)
    {
        if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr)
            != SQLITE_OK) {
            fail(QStringLiteral("열 수 없음"));
            return;
        }
        sqlite3_busy_timeout(db_, kBusyWaitMs);
        // A bulk write of rows the next scan would write again: no flush to the disk at the
        // commit (a crash of the player still rolls back through the journal; only a power cut
        // in the middle could cost the record). The rollback journal, not WAL: it keeps only the
        // pages that existed before, where WAL would write every new page twice. Both only make
        // the write faster: a database that refuses them is still written.
        sqlite3_exec(db_, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
        sqlite3_exec(db_, QByteArray("PRAGMA cache_size = -" + QByteArray::number(kCacheKiB)).constData(), nullptr,
                     nullptr, nullptr);
        // IMMEDIATE takes the write lock now: a database another window is writing to is found
        // out here, once, and not by every insert waiting out the busy time on its own.
        if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
            fail(QStringLiteral("쓰기를 시작할 수 없음"));
            return;
        }
        inTransaction_ = true;
        const QByteArray batch = insertStatement(kRowsPerStatement), single = insertStatement(1);
        if (sqlite3_prepare_v3(db_, batch.constData(), int(batch.size()), SQLITE_PREPARE_PERSISTENT, &batch_, nullptr)
                != SQLITE_OK
            || sqlite3_prepare_v3(db_, single.constData(), int(single.size()), SQLITE_PREPARE_PERSISTENT, &single_,
                                  nullptr)
                   != SQLITE_OK) {
            fail(QStringLiteral("기록 문장을 준비할 수 없음"));
            return;
        }
        writing_ = true;
    }

    ~Database()
    {
        finish(false);
        sqlite3_finalize(batch_);
        sqlite3_finalize(single_);
        sqlite3_close(db_);
    }

    bool writing() const { return writing_; }
    QString problem() const { return problem_; }

    void add(LibraryRecord::Batch &batch)
    {
        using File = LibraryRecord::Batch::File;
        // In path order (the walk enters directories in name order): new rows then go to the end
        // of the table's path index instead of splitting its pages all over.
        const auto name = [&batch](const File &file) {
            return std::string_view(batch.paths.constData() + file.offset + file.name, size_t(file.length - file.name));
        };
        std::sort(batch.files.begin(), batch.files.end(), [&](const File &a, const File &b) { return name(a) < name(b); });
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        const auto bind = [&](sqlite3_stmt *statement, int first, const File &file) {
            const std::string_view path(batch.paths.constData() + file.offset, size_t(file.length));
            // The title is the name up to its first dot.
            const size_t dot = path.find('.', size_t(file.name));
            const size_t titleEnd = dot == std::string_view::npos ? path.size() : dot;
            sqlite3_bind_text(statement, first + 1, path.data(), int(path.size()), SQLITE_STATIC);
            sqlite3_bind_text(statement, first + 2, path.data() + file.name, int(titleEnd - size_t(file.name)), SQLITE_STATIC);
            sqlite3_bind_text(statement, first + 3, file.type == LibraryRecord::Type::Video ? "video" : "audio", 5, SQLITE_STATIC);
            sqlite3_bind_int64(statement, first + 4, now);
        };
        size_t next = 0;
        while (next < batch.files.size() && writing_) {
            sqlite3_stmt *statement = batch.files.size() - next >= size_t(kRowsPerStatement) ? batch_ : single_;
            const int rows = statement == batch_ ? kRowsPerStatement : 1;
            for (int row = 0; row < rows; ++row)
                bind(statement, row * kColumns, batch.files[next++]);
            const bool done = sqlite3_step(statement) == SQLITE_DONE;
            sqlite3_reset(statement);
            if (!done)
                fail(QStringLiteral("기록 중 오류"));
        }
    }

    // keep: commit what was added; otherwise leave the database as it was before the scan.
    void finish(bool keep)
    {
        if (!inTransaction_)
            return;
        writing_ = inTransaction_ = false;
        if (keep && sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
            setProblem(QStringLiteral("저장할 수 없음"));
            keep = false;
        }
        if (!keep)
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }

private:
    void setProblem(const QString &stage)
    {
        if (problem_.isEmpty())
            problem_ = QStringLiteral("라이브러리 DB에 기록하지 못했습니다 (%1: %2)")
                           .arg(stage, db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QStringLiteral("out of memory"));
    }
    void fail(const QString &stage)
    {
        setProblem(stage);
        finish(false);
    }

    sqlite3 *db_ = nullptr;
    sqlite3_stmt *batch_ = nullptr;  // kRowsPerStatement rows
    sqlite3_stmt *single_ = nullptr; // the rest
    QString problem_;
    bool inTransaction_ = false;
    bool writing_ = false;
};

} // namespace

LibraryRecord::LibraryRecord(const QString &path, std::function<bool()> stop)
    : stop_(std::move(stop)), thread_([this, path] { run(path); })
{
}

LibraryRecord::~LibraryRecord()
{
    finish(false);
}

void LibraryRecord::add(Batch &&batch)
{
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(std::move(batch));
    }
    changed_.notify_one();
}

QString LibraryRecord::finish(bool keep)
{
    if (thread_.joinable()) {
        {
            const std::lock_guard lock(mutex_);
            closed_ = true;
            keep_ = keep;
        }
        changed_.notify_one();
        thread_.join();
    }
    return problem_;
}

void LibraryRecord::run(const QString &path)
{
    Database database(path);
    bool keep = false;
    for (;;) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return closed_ || !queue_.empty(); });
        if (queue_.empty()) {
            keep = keep_;
            break;
        }
        Batch batch = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        // A database that cannot be written still takes (and drops) the batches.
        if (database.writing() && !(stop_ && stop_()))
            database.add(batch);
    }
    database.finish(keep && !(stop_ && stop_()));
    problem_ = database.problem();
}
