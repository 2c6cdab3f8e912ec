// Feeds arbitrary bytes to the M3U reader as a playlist in /lists/mine. Beyond "no crash": it
// gives at most the cap of entries, each one a whole line of its own (no line break or NUL, not
// blank, not a comment) that is an address, an absolute path or a Windows one (drive or share)
// left as written, whatever the file looked like.
#include "ui/playlist/M3uFile.h"

#include <QDir>
#include <QRegularExpression>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QRegularExpression address(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    static const QRegularExpression windows(QStringLiteral(R"(^(?:[A-Za-z]:[\\/]|\\\\))"));
    const QStringList entries =
        M3uFile::entries(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), QStringLiteral("/lists/mine"));
    if (entries.size() > M3uFile::kMaxEntries)
        abort();
    for (const QString &entry : entries) {
        if (entry.trimmed().isEmpty() || entry.trimmed().startsWith(QLatin1Char('#')) || entry.contains(QLatin1Char('\n'))
            || entry.contains(QLatin1Char('\r')) || entry.contains(QChar(0)))
            abort();
        if (!QDir::isAbsolutePath(entry) && !address.match(entry).hasMatch() && !windows.match(entry).hasMatch())
            abort();
    }
    return 0;
}
