#include "library/LibraryRecord.h"

#include <QDateTime>
#include <QFile>

#include <sqlite3.h>

#include <algorithm>
#include <string_view>
#include <vector>

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

QString problemText(const QString &stage, const QString &reason)
{
    return QStringLiteral("라이브러리 DB에 기록하지 못했습니다 (%1: %2)").arg(stage, reason);
}

struct Row {
    qsizetype offset; // of the path in the text of all rows
    qsizetype length;
    const char *type;
};

} // namespace

LibraryRecord::LibraryRecord(const QString &path)
{
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                        nullptr)
        != SQLITE_OK) {
        fail(QStringLiteral("열 수 없음"));
        return;
    }
    sqlite3_busy_timeout(db_, kBusyWaitMs);
    // A bulk write of rows the next scan would write again: no flush to the disk at the commit
    // (a crash of the player still rolls back through the journal; only a power cut in the middle
    // could cost the record). The rollback journal, not WAL: it keeps only the pages that existed
    // before, where WAL would write every new page twice.
    // Both only make the write faster: a database that refuses them is still written.
    sqlite3_exec(db_, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
    sqlite3_exec(db_, QByteArray("PRAGMA cache_size = -" + QByteArray::number(kCacheKiB)).constData(), nullptr, nullptr,
                 nullptr);
    // IMMEDIATE takes the write lock now: a database another window is writing to is found out
    // here, once, and not by every insert waiting out the busy time on its own.
    if (!exec("BEGIN IMMEDIATE", QStringLiteral("쓰기를 시작할 수 없음")))
        return;
    inTransaction_ = true;
    const QByteArray batch = insertStatement(kRowsPerStatement), single = insertStatement(1);
    if (sqlite3_prepare_v3(db_, batch.constData(), int(batch.size()), SQLITE_PREPARE_PERSISTENT, &batch_, nullptr) != SQLITE_OK
        || sqlite3_prepare_v3(db_, single.constData(), int(single.size()), SQLITE_PREPARE_PERSISTENT, &single_, nullptr)
               != SQLITE_OK) {
        fail(QStringLiteral("기록 문장을 준비할 수 없음"));
        return;
    }
    writing_ = true;
}

LibraryRecord::~LibraryRecord()
{
    finish(false);
    sqlite3_finalize(batch_);
    sqlite3_finalize(single_);
    sqlite3_close(db_);
}

bool LibraryRecord::exec(const char *sql, const QString &stage)
{
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    fail(stage);
    return false;
}

void LibraryRecord::add(const QStringList &videoFiles, const QStringList &audioFiles, const std::function<bool()> &stop)
{
    if (!writing_)
        return;
    // In path order: new rows then go to the end of the table's path index instead of splitting
    // its pages all over.
    QByteArray text;
    std::vector<Row> rows;
    rows.reserve(size_t(videoFiles.size() + audioFiles.size()));
    for (const auto &[files, type] : {std::pair{&videoFiles, "video"}, std::pair{&audioFiles, "audio"}}) {
        for (const QString &file : *files) {
            const QByteArray path = file.toUtf8();
            rows.push_back({text.size(), path.size(), type});
            text += path;
        }
    }
    const auto pathOf = [&text](const Row &row) { return std::string_view(text.constData() + row.offset, size_t(row.length)); };
    std::sort(rows.begin(), rows.end(), [&](const Row &a, const Row &b) { return pathOf(a) < pathOf(b); });

    const auto bind = [&](sqlite3_stmt *statement, int first, const Row &row, qint64 now) {
        const std::string_view path = pathOf(row);
        // The title is the name up to its first dot.
        const size_t name = path.rfind('/') + 1;
        const size_t dot = path.find('.', name);
        const size_t titleEnd = dot == std::string_view::npos ? path.size() : dot;
        sqlite3_bind_text(statement, first + 1, path.data(), int(path.size()), SQLITE_STATIC);
        sqlite3_bind_text(statement, first + 2, path.data() + name, int(titleEnd - name), SQLITE_STATIC);
        sqlite3_bind_text(statement, first + 3, row.type, 5, SQLITE_STATIC);
        sqlite3_bind_int64(statement, first + 4, now);
    };
    const auto run = [&](sqlite3_stmt *statement) {
        const bool done = sqlite3_step(statement) == SQLITE_DONE;
        sqlite3_reset(statement);
        if (!done)
            fail(QStringLiteral("기록 중 오류"));
        return done;
    };
    size_t next = 0;
    while (next < rows.size() && writing_) {
        if (stop && stop())
            return;
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        if (rows.size() - next >= size_t(kRowsPerStatement)) {
            for (int i = 0; i < kRowsPerStatement; ++i)
                bind(batch_, i * kColumns, rows[next + size_t(i)], now);
            next += kRowsPerStatement;
            run(batch_);
        } else {
            bind(single_, 0, rows[next++], now);
            run(single_);
        }
    }
}

void LibraryRecord::finish(bool keep)
{
    if (!inTransaction_)
        return;
    writing_ = inTransaction_ = false;
    if (keep && sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        problem_ = problemText(QStringLiteral("저장할 수 없음"), QString::fromUtf8(sqlite3_errmsg(db_)));
        keep = false;
    }
    if (!keep)
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void LibraryRecord::fail(const QString &stage)
{
    const QString reason = db_ ? QString::fromUtf8(sqlite3_errmsg(db_)) : QStringLiteral("out of memory");
    if (problem_.isEmpty())
        problem_ = problemText(stage, reason);
    finish(false);
}
