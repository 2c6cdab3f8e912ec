#pragma once

#include "ui/chapters/ChapterEntry.h"

#include <QWidget>

class ChapterThumbnailer;
class ChapterTimeline;
class MpvCore;
class QLabel;
class QListWidget;
class QPushButton;
class ThumbnailStrip;

// The chapter and bookmark panel: the file's chapters merged with the user's bookmarks, shown as
// a timeline, a strip of cards with pictures and a list; each of them seeks.
class ChapterWidget : public QWidget
{
    Q_OBJECT
public:
    explicit ChapterWidget(MpvCore *engine, QWidget *parent = nullptr);

    void setDuration(double seconds);
    QList<ChapterEntry> entries() const { return entries_; }
    QListWidget *list() const { return list_; }

signals:
    void seekRequested(double seconds);
    void chaptersChanged();

public slots:
    void loadChapters();
    void addBookmark(double seconds);
    void removeBookmark(int index);
    void jumpToChapter(int index);
    void onPositionChanged(double seconds);
    void generateThumbnails(const QString &filePath);

private:
    void setEntries(const QList<ChapterEntry> &entries);
    void onThumbnailReady(const QString &path, double time, const QImage &picture);
    void updateDeleteButton();

    MpvCore *engine_ = nullptr;
    QList<ChapterEntry> entries_;
    QString filePath_;
    double position_ = 0.0;
    ChapterTimeline *timeline_ = nullptr;
    ThumbnailStrip *strip_ = nullptr;
    QListWidget *list_ = nullptr;
    QLabel *countLabel_ = nullptr;
    QPushButton *deleteButton_ = nullptr;
    ChapterThumbnailer *thumbnailer_ = nullptr;
};
