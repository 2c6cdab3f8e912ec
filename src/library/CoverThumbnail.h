#pragma once

#include <QImage>
#include <QString>

namespace CoverThumbnail {

// The embedded cover of an audio file as a `side` × `side` icon with rounded corners: the
// picture is scaled to cover the square and its middle kept. Null when the file has no cover.
// Uses only QImage, so it runs on pool threads.
QImage rounded(const QString &path, int side, qreal cornerRadius);

} // namespace CoverThumbnail
