#include "subtitles/SubtitleNames.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

namespace SubtitleNames {

QString searchQuery(const QString &fileName)
{
    static const QRegularExpression extension(QStringLiteral("\\.(mkv|mp4|avi|mov|wmv|flac|mp3)$"),
                                              QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression separators(QStringLiteral("[._\\-]"));
    static const QRegularExpression releaseTags(
        QStringLiteral("\\b(1080p|720p|4k|bluray|bdrip|webrip|hdtv|x264|x265|hevc|aac|dts)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    QString query = fileName;
    query.remove(extension);
    query.replace(separators, QStringLiteral(" "));
    query.remove(releaseTags);
    return query.trimmed();
}

QString downloadName(const QString &serverName)
{
    static const QStringList subtitleExtensions{QStringLiteral("srt"), QStringLiteral("ass"), QStringLiteral("ssa"),
                                                QStringLiteral("sub"), QStringLiteral("vtt"), QStringLiteral("smi")};
    QString name = serverName;
    name.replace(u'\\', u'/');
    name = name.section(u'/', -1);
    // Control characters have no place in a file name and would garble the status line.
    name.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    while (name.startsWith(u'.') || name.startsWith(u' '))
        name.remove(0, 1);

    const QFileInfo info(name);
    if (info.completeBaseName().trimmed().isEmpty()
        || !subtitleExtensions.contains(info.suffix(), Qt::CaseInsensitive))
        return QStringLiteral("subtitle.srt");
    return name;
}

QString translatedPath(const QString &subtitlePath)
{
    static const QRegularExpression extension(QStringLiteral("\\.(srt|ass|ssa)$"),
                                              QRegularExpression::CaseInsensitiveOption);
    QString path = subtitlePath;
    if (path.contains(extension))
        return path.replace(extension, QStringLiteral("_ko.srt"));
    return path + QStringLiteral("_ko.srt");
}

} // namespace SubtitleNames
