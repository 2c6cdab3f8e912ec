#include "ui/controls/ChapterInfo.h"

#include <QVariant>

bool isUntitledChapter(const QString &title)
{
    return title.isEmpty() || title == QLatin1String("(unnamed)");
}

QList<ChapterInfo> chaptersFromEngineList(const QVariant &chapterList)
{
    QList<ChapterInfo> chapters;
    const QVariantList entries = chapterList.toList();
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QVariantMap chapter = entries.at(i).toMap();
        QString title = chapter.value(QStringLiteral("title")).toString();
        if (isUntitledChapter(title))
            title = QStringLiteral("챕터 %1").arg(i + 1);
        chapters << ChapterInfo{chapter.value(QStringLiteral("time")).toDouble(), title};
    }
    return chapters;
}

QString chapterTitleAt(const QList<ChapterInfo> &chapters, double seconds)
{
    const ChapterInfo *current = nullptr;
    for (const ChapterInfo &chapter : chapters)
        if (chapter.time <= seconds && (!current || chapter.time >= current->time))
            current = &chapter;
    return current ? current->title : QString();
}
