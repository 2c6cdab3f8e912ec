#pragma once

#include <QCache>
#include <QPixmap>
#include <QString>

// Pictures made from files (cover icons and the like), kept by path and bounded both in number
// and in bytes: the least recently used goes first and is made again when it is wanted again.
// A picture larger than the whole byte budget is not kept at all.
class PictureCache
{
public:
    PictureCache(int maxCount, qsizetype maxBytes);

    // The picture kept for `path`, now counted as the most recently used; null when there is none.
    const QPixmap *find(const QString &path) const { return cache_.object(path); }
    bool contains(const QString &path) const { return cache_.contains(path); }
    void insert(const QString &path, const QPixmap &picture);
    int count() const { return int(cache_.count()); }

private:
    // Each entry costs at least maxBytes / (maxCount + 1) + 1: maxCount + 1 small pictures never
    // fit together, while maxCount of them do (budgets are far larger than the count squared).
    qsizetype minCost_;
    QCache<QString, QPixmap> cache_;
};
