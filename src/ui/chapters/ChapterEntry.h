#pragma once

#include <QList>
#include <QPixmap>
#include <QString>

class QVariant;

// One place on the chapter panel: a chapter of the file or a bookmark the user set.
struct ChapterEntry {
    double time = 0.0; // seconds from the start
    QString title;
    QPixmap thumbnail; // null until a picture of that moment is made
    bool isBookmark = false;
};

namespace ChapterEntries {

// "m:ss"-style text of a time, whole seconds: "07:05" below an hour, "1:02:03" above.
QString timeText(double seconds);

// The file's chapters (the engine's "chapter-list") merged with the bookmarks of `entries`,
// sorted by time. An untitled chapter is named "챕터 N" after the place it takes in the list.
QList<ChapterEntry> withFileChapters(const QList<ChapterEntry> &entries, const QVariant &chapterList);

// `entries` with a bookmark at `seconds`, sorted by time.
QList<ChapterEntry> withBookmark(QList<ChapterEntry> entries, double seconds);

// The last entry starting at or before `seconds`, -1 when `seconds` is before the first.
int entryAt(const QList<ChapterEntry> &entries, double seconds);

} // namespace ChapterEntries
