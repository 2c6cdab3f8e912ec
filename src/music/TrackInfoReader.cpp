#include "music/TrackInfoReader.h"

#include "engine/MpvCore.h"
#include "library/AudioHeader.h"
#include "library/CoverReader.h"

#include <QDir>
#include <QFileInfo>

namespace TrackInfoReader {

int bitDepthFromEngineFormat(const QString &format)
{
    if (format.contains(QLatin1String("16")))
        return 16;
    if (format.contains(QLatin1String("24")))
        return 24;
    if (format.contains(QLatin1String("32")) || format.contains(QLatin1String("float"))
        || format.contains(QLatin1String("double")))
        return 32;
    return 16;
}

QString folderCoverPath(const QString &audioPath)
{
    static const char *const kNames[] = {"cover.jpg", "cover.png", "folder.jpg", "albumart.jpg", "front.jpg"};
    const QDir folder = QFileInfo(audioPath).absoluteDir();
    const QFileInfoList files = folder.entryInfoList(QDir::Files | QDir::Readable | QDir::Hidden);
    for (const char *name : kNames)
        for (const QFileInfo &file : files)
            if (file.fileName().compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return file.absoluteFilePath();
    return {};
}

namespace {

QPixmap coverOf(const QString &path)
{
    QImage cover = CoverReader::extractCover(path);
    if (cover.isNull()) {
        if (const QString folderCover = folderCoverPath(path); !folderCover.isEmpty())
            cover.load(folderCover);
    }
    return QPixmap::fromImage(cover);
}

} // namespace

TrackInfo readFormat(const MpvCore &engine, const QString &path)
{
    TrackInfo track;
    track.filePath = path;
    track.codec = engine.propertyText(QStringLiteral("audio-codec-name"));
    track.sampleRate = engine.getMpvProperty(QStringLiteral("audio-params/samplerate")).toInt();
    track.channels = engine.getMpvProperty(QStringLiteral("audio-params/channel-count")).toInt();
    track.bitDepth = AudioHeader::bitDepth(path);
    if (track.bitDepth == 0)
        track.bitDepth = bitDepthFromEngineFormat(engine.propertyText(QStringLiteral("audio-params/format")));
    return track;
}

TrackInfo read(const MpvCore &engine, const QString &path)
{
    TrackInfo track = readFormat(engine, path);
    track.title = engine.propertyText(QStringLiteral("media-title"));
    track.artist = engine.propertyText(QStringLiteral("metadata/by-key/artist"));
    track.album = engine.propertyText(QStringLiteral("metadata/by-key/album"));
    track.date = engine.propertyText(QStringLiteral("metadata/by-key/date"));
    track.genre = engine.propertyText(QStringLiteral("metadata/by-key/genre"));
    track.trackNumber = engine.propertyText(QStringLiteral("metadata/by-key/track"));
    if (const QFileInfo info(path); info.isFile())
        track.cover = coverOf(path);
    return track;
}

} // namespace TrackInfoReader
