#include "ui/playlist/M3uFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QUrl>

namespace M3uFile {

QByteArray text(const QStringList &paths, int *skipped)
{
    QByteArray out = "#EXTM3U\n";
    int left = 0;
    for (const QString &path : paths) {
        if (path.contains(QLatin1Char('\n')) || path.contains(QLatin1Char('\r'))) {
            ++left; // it would end the entry early and start one of its own
            continue;
        }
        out += "#EXTINF:-1," + QFileInfo(path).completeBaseName().toUtf8() + '\n' + path.toUtf8() + '\n';
    }
    if (skipped)
        *skipped = left;
    return out;
}

namespace {
// The entry a line names, or nothing for a line that names none.
std::optional<QString> entryOf(QString line, const QDir &base)
{
    static const QRegularExpression address(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    static const QRegularExpression windowsRoot(QStringLiteral(R"(^(?:[A-Za-z]:[\\/]|\\\\))"));
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')) || line.contains(QChar(0)))
        return std::nullopt;
    if (windowsRoot.match(trimmed).hasMatch())
        return trimmed;
    if (line.contains(QLatin1Char('\\')) && !line.contains(QLatin1Char('/')))
        line = QString(trimmed).replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (address.match(line).hasMatch()) {
        const QUrl url(line);
        if (!url.isLocalFile() || url.toLocalFile().isEmpty())
            return line;
        // Percent escapes may spell what a line cannot hold.
        const QString path = url.toLocalFile();
        const bool whole = !path.contains(QChar(0)) && !path.contains(QLatin1Char('\n')) && !path.contains(QLatin1Char('\r'));
        return whole ? std::optional(path) : std::nullopt;
    }
    return QDir::isAbsolutePath(line) ? line : QDir::cleanPath(base.absoluteFilePath(line));
}
} // namespace

QStringList entries(const QByteArray &text, const QString &folder)
{
    const QDir base(folder);
    QStringList paths;
    qsizetype start = text.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (start < text.size() && paths.size() < kMaxEntries) {
        qsizetype end = start;
        while (end < text.size() && text.at(end) != '\n' && text.at(end) != '\r')
            ++end;
        if (const auto entry = entryOf(QString::fromUtf8(text.constData() + start, end - start), base))
            paths << *entry;
        start = end + 1;
    }
    return paths;
}

Saved save(const QString &fileName, const QStringList &paths)
{
    Saved saved;
    const QByteArray body = text(paths, &saved.skipped);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(body) != body.size() || !file.commit()) {
        saved.error = QStringLiteral("재생목록을 저장할 수 없습니다: %1").arg(file.errorString());
        return saved;
    }
    saved.ok = true;
    return saved;
}

std::optional<QStringList> load(const QString &fileName, QString *error)
{
    const QFileInfo info(fileName);
    // A FIFO or device would block the reader, or never end.
    if (!info.isFile() || info.size() > kMaxBytes) {
        *error = info.isFile() ? QStringLiteral("재생목록 파일이 너무 큽니다.") : QStringLiteral("재생목록 파일이 아닙니다.");
        return std::nullopt;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("재생목록을 열 수 없습니다: %1").arg(file.errorString());
        return std::nullopt;
    }
    QStringList paths = entries(file.read(kMaxBytes), info.absolutePath());
    if (paths.size() == kMaxEntries)
        *error = QStringLiteral("재생목록이 너무 깁니다: 앞의 %1곡만 불러왔습니다.").arg(kMaxEntries);
    return paths;
}

} // namespace M3uFile
