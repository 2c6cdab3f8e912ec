#pragma once

#include <QList>
#include <QString>

class QVariant;

// One chapter start as the seek slider marks it.
struct ChapterInfo {
    double time = 0.0; // seconds from the start
    QString title;

    bool operator==(const ChapterInfo &) const = default;
};

// A chapter without a name of its own: no title, or the one this engine gives an untitled
// Matroska chapter.
bool isUntitledChapter(const QString &title);

// The engine's "chapter-list" (maps with "time" and "title"). An untitled chapter is named
// "챕터 %1" after its place in the list, counted from 1, so its marker still says which it is.
QList<ChapterInfo> chaptersFromEngineList(const QVariant &chapterList);

// The title of the chapter `seconds` lies in: the latest one starting at or before it; empty
// before the first chapter or without chapters.
QString chapterTitleAt(const QList<ChapterInfo> &chapters, double seconds);
