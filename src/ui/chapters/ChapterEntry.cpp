#include "ui/chapters/ChapterEntry.h"

#include "ui/controls/ChapterInfo.h"

#include <QVariant>

#include <algorithm>

namespace ChapterEntries {

namespace {
void sortByTime(QList<ChapterEntry> &entries)
{
    std::stable_sort(entries.begin(), entries.end(),
                     [](const ChapterEntry &a, const ChapterEntry &b) { return a.time < b.time; });
}
} // namespace

QString timeText(double seconds)
{
    const qint64 whole = seconds > 0 ? qint64(seconds) : 0;
    const auto twoDigits = [](qint64 value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); };
    if (whole < 3600)
        return twoDigits(whole / 60) + QLatin1Char(':') + twoDigits(whole % 60);
    return QString::number(whole / 3600) + QLatin1Char(':') + twoDigits(whole / 60 % 60) + QLatin1Char(':')
         + twoDigits(whole % 60);
}

QList<ChapterEntry> withFileChapters(const QList<ChapterEntry> &entries, const QVariant &chapterList)
{
    QList<ChapterEntry> merged;
    std::copy_if(entries.begin(), entries.end(), std::back_inserter(merged),
                 [](const ChapterEntry &entry) { return entry.isBookmark; });
    for (const QVariant &item : chapterList.toList()) {
        const QVariantMap chapter = item.toMap();
        QString title = chapter.value(QStringLiteral("title")).toString();
        if (isUntitledChapter(title))
            title = QStringLiteral("챕터 %1").arg(merged.size() + 1);
        merged << ChapterEntry{chapter.value(QStringLiteral("time")).toDouble(), title, {}, false};
    }
    sortByTime(merged);
    return merged;
}

QList<ChapterEntry> withBookmark(QList<ChapterEntry> entries, double seconds)
{
    entries << ChapterEntry{seconds, QStringLiteral("북마크 ") + timeText(seconds), {}, true};
    sortByTime(entries);
    return entries;
}

int entryAt(const QList<ChapterEntry> &entries, double seconds)
{
    int found = -1;
    for (int i = 0; i < entries.size() && entries.at(i).time <= seconds; ++i)
        found = i;
    return found;
}

} // namespace ChapterEntries
