#include "ui/controls/PreviewPictureCache.h"

#include <algorithm>
#include <cmath>

namespace {
// Times read back from the engine are rounded to its milliseconds.
constexpr double kSameMoment = 0.0005;
} // namespace

void PreviewPictureCache::setFile(const QString &path)
{
    if (path == path_)
        return;
    path_ = path;
    entries_.clear();
}

void PreviewPictureCache::insert(double keyframeSeconds, double askedSeconds, const QImage &picture)
{
    if (picture.isNull())
        return;
    // A seek just before the first frame lands after the moment asked: the span runs forward.
    const double from = std::min(keyframeSeconds, askedSeconds);
    const double to = std::max(keyframeSeconds, askedSeconds);
    const auto same = std::find_if(entries_.begin(), entries_.end(), [&](const Entry &entry) {
        return std::abs(entry.from - from) < kSameMoment;
    });
    if (same != entries_.end()) {
        Entry widened{from, std::max(same->to, to), picture};
        entries_.erase(same);
        entries_.prepend(widened);
        return;
    }
    entries_.prepend({from, to, picture});
    if (entries_.size() > kCapacity)
        entries_.removeLast();
}

QImage PreviewPictureCache::find(double seconds, double *keyframeSeconds)
{
    const auto hit = std::find_if(entries_.begin(), entries_.end(), [&](const Entry &entry) {
        return seconds >= entry.from - kSameMoment && seconds <= entry.to + kSameMoment;
    });
    if (hit == entries_.end())
        return {};
    const Entry entry = *hit;
    entries_.erase(hit);
    entries_.prepend(entry);
    if (keyframeSeconds)
        *keyframeSeconds = entry.from;
    return entry.picture;
}
