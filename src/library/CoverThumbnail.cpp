#include "library/CoverThumbnail.h"

#include "library/CoverReader.h"

#include <QPainter>
#include <QPainterPath>

namespace CoverThumbnail {

QImage rounded(const QString &path, int side, qreal cornerRadius)
{
    const QImage cover = CoverReader::extractCover(path);
    if (cover.isNull())
        return {};
    const QImage scaled = cover.scaled(side, side, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    QImage icon(side, side, QImage::Format_ARGB32_Premultiplied);
    icon.fill(Qt::transparent);
    QPainter painter(&icon);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(0, 0, side, side), cornerRadius, cornerRadius);
    painter.setClipPath(clip);
    painter.drawImage(QPoint(-(scaled.width() - side) / 2, -(scaled.height() - side) / 2), scaled);
    return icon;
}

} // namespace CoverThumbnail
