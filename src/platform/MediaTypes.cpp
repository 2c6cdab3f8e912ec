#include "platform/MediaTypes.h"

namespace MediaTypes {

QStringList supportedMimeTypes()
{
    return {
        QStringLiteral("video/x-matroska"), QStringLiteral("video/mp4"),      QStringLiteral("video/x-m4v"),
        QStringLiteral("video/x-msvideo"),  QStringLiteral("video/quicktime"), QStringLiteral("video/x-ms-wmv"),
        QStringLiteral("video/x-flv"),      QStringLiteral("video/mp2t"),      QStringLiteral("video/webm"),
        QStringLiteral("audio/mpeg"),       QStringLiteral("audio/flac"),      QStringLiteral("audio/x-flac"),
        QStringLiteral("audio/aac"),        QStringLiteral("audio/x-wav"),     QStringLiteral("audio/vnd.dts"),
        QStringLiteral("audio/ac3"),
    };
}

QStringList supportedUriSchemes()
{
    return {QStringLiteral("file"), QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("rtmp"),
            QStringLiteral("rtsp")};
}

} // namespace MediaTypes
