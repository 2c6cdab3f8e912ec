#include "library/LibraryScanner.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using Kind = LibraryScanner::Kind;

constexpr std::string_view kVideoSuffixes[] = {"mkv", "mp4", "avi", "mov", "wmv", "flv", "ts",
                                               "m2ts", "m4v", "webm", "mpg", "mpeg", "rmvb"};
constexpr std::string_view kAudioSuffixes[] = {"mp3", "flac", "aac", "wav", "m4a", "ogg", "opus",
                                               "wma", "dts", "ac3", "truehd", "ape", "alac"};
constexpr qsizetype kLongestSuffix = 6;
constexpr int kProgressEvery = 50;
// The progress bar's maximum runs this far ahead of the count: the walk never knows the total.
constexpr int kProgressLead = 100;
// Another player window may hold the database for its own scan; waiting longer than this would
// only make this scan late, and it can list its files without the database.
constexpr int kBusyWaitMs = 1000;
// Enough for the rows of about 100,000 files; taken only as the transaction grows.
constexpr int kCacheKiB = 32768;

const QString kSchema = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS media (  path TEXT PRIMARY KEY,  title TEXT,  type TEXT,  duration REAL,  added_at INTEGER)");
const QString kInsert = QStringLiteral("INSERT OR IGNORE INTO media (path, title, type, added_at) VALUES (?, ?, ?, ?)");

// Shared by the byte names the walk reads and the QString names of the public helper, so both
// classify alike: only ASCII letters are folded, and no suffix in the tables has anything else.
template <typename Char>
Kind classifyName(const Char *name, qsizetype length)
{
    qsizetype dot = length;
    while (dot > 0 && name[dot - 1] != Char('.'))
        --dot;
    const qsizetype suffixLength = length - dot;
    if (dot == 0 || suffixLength == 0 || suffixLength > kLongestSuffix)
        return Kind::None;
    char lower[kLongestSuffix];
    for (qsizetype i = 0; i < suffixLength; ++i) {
        const auto c = static_cast<std::make_unsigned_t<Char>>(name[dot + i]);
        if (c > 0x7f)
            return Kind::None;
        lower[i] = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    }
    const std::string_view suffix(lower, static_cast<size_t>(suffixLength));
    for (std::string_view video : kVideoSuffixes)
        if (suffix == video)
            return Kind::Video;
    for (std::string_view audio : kAudioSuffixes)
        if (suffix == audio)
            return Kind::Audio;
    return Kind::None;
}

QString databaseProblem(const QString &stage, const QSqlError &error)
{
    const QString reason = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    return QStringLiteral("라이브러리 DB에 기록하지 못했습니다 (%1: %2)").arg(stage, reason);
}

// All rows of one scan go in through one write transaction and one prepared statement, on a
// connection of this thread's own (a connection may only be used by the thread that opened it).
class ScanDatabase
{
public:
    explicit ScanDatabase(const QString &path)
    {
        if (path.isEmpty())
            return;
        static std::atomic<quint64> serial{0};
        name_ = QStringLiteral("library-scan-%1").arg(serial.fetch_add(1));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyWaitMs));
        // A database that does not open is not reported: the library simply keeps no record.
        if (!db.open())
            return;
        query_.emplace(db);
        // The table and its path index of a first scan outgrow SQLite's small default cache, which
        // would then spill pages to disk in the middle of the transaction and write them twice.
        query_->exec(QStringLiteral("PRAGMA cache_size = -%1").arg(kCacheKiB));
        // IMMEDIATE takes the write lock now: a database another window is writing to is found
        // out here, once, and not by every insert waiting out the busy time on its own.
        if (!query_->exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            problem_ = databaseProblem(QStringLiteral("쓰기를 시작할 수 없음"), query_->lastError());
            return;
        }
        inTransaction_ = true;
        if (!query_->prepare(kInsert)) {
            fail(QStringLiteral("기록 문장을 준비할 수 없음"), query_->lastError());
            return;
        }
        writing_ = true;
    }

    ~ScanDatabase()
    {
        finish(false);
        query_.reset();
        if (!name_.isEmpty())
            QSqlDatabase::removeDatabase(name_);
    }

    bool writing() const { return writing_; }
    QString problem() const { return problem_; }

    // Bound values stay between executions, so the type is bound once per list and the time
    // once per second.
    void setType(const QString &type) { query_->bindValue(2, type); }

    void add(const QString &path)
    {
        const qint64 now = QDateTime::currentSecsSinceEpoch();
        if (now != boundTime_) {
            query_->bindValue(3, now);
            boundTime_ = now;
        }
        query_->bindValue(0, path);
        query_->bindValue(1, LibraryScanner::titleOf(QStringView(path).sliced(path.lastIndexOf(QLatin1Char('/')) + 1)));
        if (!query_->exec())
            fail(QStringLiteral("기록 중 오류"), query_->lastError());
    }

    // keep: commit what was added; otherwise leave the database as it was before the scan.
    void finish(bool keep)
    {
        if (!inTransaction_)
            return;
        writing_ = inTransaction_ = false;
        query_->finish();
        QSqlQuery end(QSqlDatabase::database(name_, false));
        if (keep && !end.exec(QStringLiteral("COMMIT"))) {
            problem_ = databaseProblem(QStringLiteral("저장할 수 없음"), end.lastError());
            keep = false;
        }
        if (!keep)
            end.exec(QStringLiteral("ROLLBACK"));
    }

private:
    void fail(const QString &stage, const QSqlError &error)
    {
        problem_ = databaseProblem(stage, error);
        finish(false);
    }

    QString name_;
    std::optional<QSqlQuery> query_;
    QString problem_;
    qint64 boundTime_ = -1;
    bool inTransaction_ = false;
    bool writing_ = false;
};

bool isInside(const QString &folder, const QString &outer)
{
    const QString prefix = outer.endsWith(QLatin1Char('/')) ? outer : outer + QLatin1Char('/');
    return folder != outer && folder.startsWith(prefix);
}

} // namespace

// Reads directories with readdir and classifies names as bytes: the type from the directory
// entry spares a stat per file, and only media files ever become QStrings. This keeps the scan
// of a large tree as fast as `find`.
class LibraryScanner::Walk
{
public:
    Walk(const LibraryScanner &scanner, Result &result) : scanner_(scanner), result_(result) {}

    bool cancelled() const { return scanner_.cancel_ && scanner_.cancel_->load(std::memory_order_relaxed); }

    void folder(const QString &root)
    {
        std::vector<QByteArray> pending{QFile::encodeName(root)};
        bool isRoot = true;
        while (!pending.empty() && !cancelled()) {
            const QByteArray dir = std::move(pending.back());
            pending.pop_back();
            // Below the root, a directory that turned into a link since it was listed is not entered.
            const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | (isRoot ? 0 : O_NOFOLLOW));
            isRoot = false;
            if (fd < 0)
                continue; // unreadable: the rest of the library is still scanned
            DIR *stream = ::fdopendir(fd);
            if (!stream) {
                ::close(fd);
                continue;
            }
            const qsizetype firstChild = qsizetype(pending.size());
            entries(stream, dir.endsWith('/') ? dir : dir + '/', pending);
            ::closedir(stream);
            // Entered in the order they were listed.
            std::reverse(pending.begin() + firstChild, pending.end());
        }
    }

private:
    void entries(DIR *stream, const QByteArray &prefix, std::vector<QByteArray> &subdirectories)
    {
        QString textPrefix; // made on the first media file of the directory
        while (const dirent *entry = ::readdir(stream)) {
            const char *name = entry->d_name;
            if (name[0] == '.')
                continue; // hidden, and the "." and ".." entries
            unsigned char type = entry->d_type;
            if (type == DT_UNKNOWN || type == DT_LNK)
                type = resolvedType(::dirfd(stream), name, type);
            if (type == DT_DIR) {
                subdirectories.push_back(prefix + name);
                continue;
            }
            if (type != DT_REG)
                continue;
            if (cancelled())
                return;
            visit(prefix, textPrefix, name);
        }
    }

    // A link counts as the file it points to, but a link to a directory is never entered: links
    // can form cycles. Sockets, pipes and devices are not files to list.
    static unsigned char resolvedType(int dirFd, const char *name, unsigned char type)
    {
        struct stat info;
        if (type == DT_UNKNOWN) {
            if (::fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
                return DT_UNKNOWN;
            if (S_ISDIR(info.st_mode))
                return DT_DIR;
            if (!S_ISLNK(info.st_mode))
                return S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (::fstatat(dirFd, name, &info, 0) != 0)
            return DT_UNKNOWN; // dangling
        return S_ISREG(info.st_mode) ? DT_REG : DT_LNK;
    }

    void visit(const QByteArray &prefix, QString &textPrefix, const char *name)
    {
        const qsizetype length = qsizetype(std::strlen(name));
        const Kind kind = classifyName(name, length);
        if (kind != Kind::None) {
            if (textPrefix.isEmpty())
                textPrefix = QFile::decodeName(prefix);
            const QString fileName = QFile::decodeName(QByteArray::fromRawData(name, length));
            (kind == Kind::Video ? result_.videoFiles : result_.audioFiles).append(textPrefix + fileName);
        }
        if (++result_.visited % kProgressEvery == 0 && scanner_.progress_)
            scanner_.progress_(result_.visited, result_.visited + kProgressLead);
    }

    const LibraryScanner &scanner_;
    Result &result_;
};

LibraryScanner::LibraryScanner(QString databasePath, CancelFlag cancel, Progress progress)
    : databasePath_(std::move(databasePath)), cancel_(std::move(cancel)), progress_(std::move(progress))
{
}

LibraryScanner::Result LibraryScanner::scan(const QStringList &folders, const Listed &listed)
{
    Result result;
    Walk walk(*this, result);
    for (qsizetype i = 0; i < folders.size() && !walk.cancelled(); ++i) {
        // A folder inside another library folder is walked once, as part of the outer one.
        const QString &folder = folders.at(i);
        const bool nested = std::any_of(folders.begin(), folders.end(),
                                        [&](const QString &outer) { return isInside(folder, outer); });
        if (!nested && folders.indexOf(folder) == i)
            walk.folder(folder);
    }
    if (walk.cancelled()) {
        result.cancelled = true;
        return result;
    }
    if (listed)
        listed(result);

    // Only now the record: writing a large first scan costs a few times the walk itself, and
    // nothing waits for it. A cancelled scan leaves the database as it found it.
    ScanDatabase db(databasePath_);
    for (Kind kind : {Kind::Video, Kind::Audio}) {
        if (!db.writing())
            break;
        db.setType(kindName(kind));
        // In discovery order: the files of one folder are neighbours in the path index already.
        for (const QString &path : kind == Kind::Video ? result.videoFiles : result.audioFiles) {
            if (!db.writing() || walk.cancelled())
                break;
            db.add(path);
        }
    }
    result.cancelled = walk.cancelled();
    db.finish(!result.cancelled);
    result.databaseProblem = db.problem();
    return result;
}

LibraryScanner::Kind LibraryScanner::classify(QStringView fileName)
{
    return classifyName(fileName.utf16(), fileName.size());
}

QString LibraryScanner::kindName(Kind kind)
{
    switch (kind) {
    case Kind::Video:
        return QStringLiteral("video");
    case Kind::Audio:
        return QStringLiteral("audio");
    case Kind::None:
        break;
    }
    return {};
}

QString LibraryScanner::titleOf(QStringView fileName)
{
    const qsizetype dot = fileName.indexOf(QLatin1Char('.'));
    return (dot < 0 ? fileName : fileName.first(dot)).toString();
}

QString LibraryScanner::defaultDatabasePath()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(folder);
    return folder + QStringLiteral("/velmoran_library.db");
}

bool LibraryScanner::createSchema(QSqlDatabase &database)
{
    QSqlQuery query(database);
    return query.exec(kSchema);
}
