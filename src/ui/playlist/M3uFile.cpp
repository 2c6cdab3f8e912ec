#include "ui/playlist/M3uFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

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

QStringList entries(const QByteArray &text, const QString &folder)
{
    static const QRegularExpression address(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    QByteArray body = text;
    if (body.startsWith("\xEF\xBB\xBF"))
        body.remove(0, 3);
    const QDir base(folder);
    QStringList paths;
    for (const QByteArray &raw : body.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const bool keptAsWritten = address.match(line).hasMatch() || QDir::isAbsolutePath(line);
        paths << (keptAsWritten ? line : QDir::cleanPath(base.absoluteFilePath(line)));
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
    return entries(file.read(kMaxBytes), info.absolutePath());
}

} // namespace M3uFile
