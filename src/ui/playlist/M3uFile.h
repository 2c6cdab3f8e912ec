#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// Reading and writing M3U playlists. Both ends are untrusted: a playlist may come from anywhere,
// and a file name may hold any character but "/" and NUL.
namespace M3uFile {

// Larger playlists are refused unread: a real one of 100,000 entries stays well below this.
inline constexpr qint64 kMaxBytes = 16 * 1024 * 1024;

// "#EXTM3U", then "#EXTINF:-1,<base name>" and the path for each entry, "\n" line ends. A path
// holding a line break cannot be written as one entry and is left out, counted in *skipped.
QByteArray text(const QStringList &paths, int *skipped = nullptr);
// The entries of a playlist's text, in order: trimmed, without blank and "#" lines, a leading
// byte-order mark ignored. Relative entries are resolved against `folder`, the playlist's own;
// absolute paths and addresses ("scheme://…") stay as written.
QStringList entries(const QByteArray &text, const QString &folder);

struct Saved {
    bool ok = false;
    int skipped = 0;   // entries left out for a line break in their path
    QString error;     // in Korean, for the user, when not ok
};
// Written whole or not at all: an existing playlist is never left half-written.
Saved save(const QString &fileName, const QStringList &paths);
// Only a regular file of at most kMaxBytes; nothing with *error set otherwise.
std::optional<QStringList> load(const QString &fileName, QString *error);

} // namespace M3uFile
