#pragma once

#include <QImage>
#include <QList>
#include <QString>

// The seek-bar preview's recent pictures of the current file, so that a pointer coming back
// shows them at once. A keyframe picture stands for every moment whose keyframe seek lands on it:
// from its keyframe up to the furthest moment asked that gave it (no other keyframe lies
// between). Bounded: the least recently shown go first; another file empties it.
class PreviewPictureCache
{
public:
    // About 130 KB each at 240 × 135: a few MB at most.
    static constexpr int kCapacity = 32;

    void setFile(const QString &path);
    // The picture a keyframe seek to `askedSeconds` gave, showing `keyframeSeconds`.
    void insert(double keyframeSeconds, double askedSeconds, const QImage &picture);
    // The picture for `seconds`, or a null image; a hit becomes the most recent. `keyframeSeconds`
    // receives the moment the picture shows.
    QImage find(double seconds, double *keyframeSeconds = nullptr);
    int size() const { return int(entries_.size()); }

private:
    struct Entry {
        double from;
        double to;
        QImage picture;
    };

    QString path_;
    QList<Entry> entries_; // most recently shown first
};
