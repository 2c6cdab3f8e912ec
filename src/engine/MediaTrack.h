#pragma once

#include <QList>
#include <QString>

// One audio or subtitle track as the engine lists it in "track-list".
struct MediaTrack {
    int id = 0;
    QString language;
    QString title;
    QString codec;

    bool operator==(const MediaTrack &) const = default;
};
