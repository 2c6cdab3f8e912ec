#include "library/PictureCache.h"

#include <algorithm>

PictureCache::PictureCache(int maxCount, qsizetype maxBytes)
    : minCost_(maxBytes / (std::max(maxCount, 1) + 1) + 1), cache_(maxBytes)
{
}

void PictureCache::insert(const QString &path, const QPixmap &picture)
{
    const qsizetype bytes = qsizetype(picture.width()) * picture.height() * std::max(picture.depth(), 8) / 8;
    cache_.insert(path, new QPixmap(picture), std::max(bytes, minCost_));
}
