#include "platform/CoverArtFile.h"

#include "library/CoverReader.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QStandardPaths>

namespace CoverArtFile {

QString cacheDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/mpris");
}

QString find(const QString &mediaPath, const QString &copyPath)
{
    // The file's own picture first: a folder of tracks often holds covers of several albums.
    const QImage embedded = CoverReader::extractCover(mediaPath);
    if (!embedded.isNull()) {
        const QImage shown = embedded.width() > kMaxSide || embedded.height() > kMaxSide
            ? embedded.scaled(kMaxSide, kMaxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation)
            : embedded;
        if (QDir().mkpath(QFileInfo(copyPath).path()) && shown.save(copyPath, "JPG", 90))
            return copyPath;
    }
    const QDir folder = QFileInfo(mediaPath).dir();
    for (const char *name : {"cover.jpg", "cover.png", "folder.jpg", "folder.png", "Cover.jpg", "Folder.jpg"}) {
        const QString candidate = folder.filePath(QLatin1String(name));
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
}

bool isCachedCopy(const QString &path)
{
    return !path.isEmpty() && path.startsWith(cacheDirectory() + QLatin1Char('/'));
}

} // namespace CoverArtFile
