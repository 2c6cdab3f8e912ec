#pragma once

#include <QList>
#include <QString>

// One chapter start as the seek slider marks it.
struct ChapterInfo {
    double time = 0.0; // seconds from the start
    QString title;

    bool operator==(const ChapterInfo &) const = default;
};
