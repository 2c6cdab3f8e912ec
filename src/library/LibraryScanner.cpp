#include "library/LibraryScanner.h"

#include "library/LibraryRecord.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardPaths>

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
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
// Set before the table is made, so only a new database gets it: a first scan writes tens of
// thousands of rows, and large pages split far less often on the way.
constexpr int kPageBytes = 65536;

const QString kSchema = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS media (  path TEXT PRIMARY KEY,  title TEXT,  type TEXT,  duration REAL,  added_at INTEGER)");

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

} // namespace

// Reads directories with readdir and classifies names as bytes: the type from the directory
// entry spares a stat per file, and only media files ever become QStrings. This keeps the scan
// of a large tree as fast as `find`.
class LibraryScanner::Walk
{
public:
    Walk(const LibraryScanner &scanner, Result &result, LibraryRecord *record)
        : scanner_(scanner), result_(result), record_(record)
    {
    }

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
            // Each directory once: library folders may lie inside one another, and the same folder
            // may be reached under two names.
            struct stat info;
            if (::fstat(fd, &info) != 0 || entered_.contains({quint64(info.st_dev), quint64(info.st_ino)})) {
                ::close(fd);
                continue;
            }
            entered_.insert({quint64(info.st_dev), quint64(info.st_ino)});
            DIR *stream = ::fdopendir(fd);
            if (!stream) {
                ::close(fd);
                continue;
            }
            const qsizetype firstChild = qsizetype(pending.size());
            entries(stream, dir.endsWith('/') ? dir : dir + '/', pending);
            ::closedir(stream);
            // Entered in name order (the last pushed is entered first): the record then gets the
            // files nearly in path order, which is what its index takes fastest.
            std::sort(pending.begin() + firstChild, pending.end(), std::greater<>());
        }
    }

private:
    void entries(DIR *stream, const QByteArray &prefix, std::vector<QByteArray> &subdirectories)
    {
        QString textPrefix; // made on the first media file of the directory
        LibraryRecord::Batch batch;
        const bool textPrefixIsUtf8 = QByteArrayView(prefix).isValidUtf8();
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
            visit(prefix, textPrefixIsUtf8, textPrefix, name, batch);
        }
        if (record_ && !batch.files.empty())
            record_->add(std::move(batch));
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

    void visit(const QByteArray &prefix, bool prefixIsUtf8, QString &textPrefix, const char *name,
               LibraryRecord::Batch &batch)
    {
        const qsizetype length = qsizetype(std::strlen(name));
        const Kind kind = classifyName(name, length);
        if (kind != Kind::None) {
            if (textPrefix.isEmpty())
                textPrefix = QFile::decodeName(prefix);
            const QByteArray bytes = QByteArray::fromRawData(name, length);
            const QString fileName = QFile::decodeName(bytes);
            (kind == Kind::Video ? result_.videoFiles : result_.audioFiles).append(textPrefix + fileName);
            if (record_)
                record(prefix, prefixIsUtf8, textPrefix, bytes, fileName, kind, batch);
        }
        if (++result_.visited % kProgressEvery == 0 && scanner_.progress_)
            scanner_.progress_(result_.visited, result_.visited + kProgressLead);
    }

    // The record keeps paths as UTF-8 text: the name's own bytes when they are that, else the
    // text the lists show.
    void record(const QByteArray &prefix, bool prefixIsUtf8, const QString &textPrefix, QByteArrayView name,
                const QString &fileName, Kind kind, LibraryRecord::Batch &batch)
    {
        const LibraryRecord::Type type = kind == Kind::Video ? LibraryRecord::Type::Video : LibraryRecord::Type::Audio;
        const qsizetype offset = batch.paths.size();
        if (prefixIsUtf8 && name.isValidUtf8()) {
            batch.paths += prefix;
            batch.paths += name;
            batch.files.push_back({offset, prefix.size() + name.size(), prefix.size(), type});
            return;
        }
        const QByteArray folder = textPrefix.toUtf8(), file = fileName.toUtf8();
        batch.paths += folder;
        batch.paths += file;
        batch.files.push_back({offset, folder.size() + file.size(), folder.size(), type});
    }

    const LibraryScanner &scanner_;
    Result &result_;
    LibraryRecord *record_; // null: nothing is recorded
    QSet<std::pair<quint64, quint64>> entered_; // (device, inode) of each directory read
};

LibraryScanner::LibraryScanner(QString databasePath, CancelFlag cancel, Progress progress)
    : databasePath_(std::move(databasePath)), cancel_(std::move(cancel)), progress_(std::move(progress))
{
}

LibraryScanner::Result LibraryScanner::scan(const QStringList &folders, const Listed &listed)
{
    Result result;
    const auto cancelled = [this] { return cancel_ && cancel_->load(std::memory_order_relaxed); };
    // Written while the walk goes on, on a thread of its own; a cancelled scan leaves the
    // database as it found it.
    std::optional<LibraryRecord> record;
    if (!databasePath_.isEmpty())
        record.emplace(databasePath_, cancelled);
    Walk walk(*this, result, record ? &*record : nullptr);
    // Each folder the user added is walked on its own: one inside another may be out of the
    // outer walk's reach (behind a link, or hidden). Directories already read are not read again.
    for (const QString &folder : folders) {
        if (cancelled())
            break;
        walk.folder(folder);
    }
    if (cancelled()) {
        result.cancelled = true;
        return result;
    }
    if (listed)
        listed(result);
    if (record) {
        result.databaseProblem = record->finish(!cancelled());
        result.cancelled = cancelled();
    }
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
    query.exec(QStringLiteral("PRAGMA page_size = %1").arg(kPageBytes));
    return query.exec(kSchema);
}
