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
// Entries read from one playlist at most: each becomes a row with a cover to read, and a file
// of millions of short lines (which fits in kMaxBytes) would hold the window for minutes.
inline constexpr int kMaxEntries = 20000;

// "#EXTM3U", then "#EXTINF:-1,<base name>" and the path for each entry, "\n" line ends. A path
// holding a line break cannot be written as one entry and is left out, counted in *skipped.
QByteArray text(const QStringList &paths, int *skipped = nullptr);
// The entries of a playlist's text, in order, at most kMaxEntries: lines end at LF, CR LF or CR;
// blank and "#" lines are skipped, a leading byte-order mark is ignored, and so are entries
// holding a NUL. A Linux name keeps its spaces. An entry in Windows form (backslashes and no
// slash) is trimmed, as Windows names never end in spaces, and its backslashes become slashes;
// a Windows drive or share path ("C:\…", "\\server\…") stays as written, since nothing here
// can resolve it. Relative entries are resolved against `folder`, the playlist's own; absolute
// paths and addresses ("scheme://…") stay as written, except "file://" ones, which become paths.
QStringList entries(const QByteArray &text, const QString &folder);

struct Saved {
    bool ok = false;
    int skipped = 0;   // entries left out for a line break in their path
    QString error;     // in Korean, for the user, when not ok
};
// Written whole or not at all: an existing playlist is never left half-written.
Saved save(const QString &fileName, const QStringList &paths);
// Only a regular file of at most kMaxBytes; nothing with *error set otherwise. A playlist cut at
// kMaxEntries gives its first entries, with *error set to a notice that says so.
std::optional<QStringList> load(const QString &fileName, QString *error);

} // namespace M3uFile
