#pragma once

#include "library/PictureCache.h"

#include <QImage>
#include <QPixmap>
#include <QSet>
#include <QStringList>
#include <QWidget>

class QListWidget;
class QListWidgetItem;

// A file playlist panel: add, save, load and clear over a list of files with cover icons,
// drag-to-reorder and a marked current row. It keeps the paths in row order and reports what
// the user wants by signals; it never talks to the engine.
class PlaylistWidget : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kIconSize = 48;
    // Covers kept for files added again (48 × 48 × 4 bytes, 9 KiB each); the least recently
    // shown is read again when it is wanted again.
    static constexpr int kMaxCachedCovers = 1000;
    static constexpr qsizetype kMaxCachedCoverBytes = 12 * 1024 * 1024;

    explicit PlaylistWidget(QWidget *parent = nullptr);

    void addFile(const QString &path);
    void clearPlaylist();
    void refreshHighlight();
    QStringList files() const { return files_; }
    int currentIndex() const { return currentIndex_; }
    QListWidget *list() const { return list_; }
    static bool isAudioFile(const QString &path);

    // What the dialogs lead to. False (with a message shown) when the file could not be used.
    bool savePlaylist(const QString &fileName);
    bool loadPlaylist(const QString &fileName);

signals:
    void itemDoubleClicked(int index);
    void openFileRequested();

public slots:
    void onItemDoubleClicked(QListWidgetItem *item);
    void onSavePlaylist();
    void onLoadPlaylist();

private:
    void loadThumbnailAsync(const QString &path);
    void onThumbnailLoaded(const QString &path, const QImage &cover);
    void onRowsMoved(int from, int destination);
    void showProblem(const QString &text);

    QListWidget *list_ = nullptr;
    QStringList files_;
    int currentIndex_ = -1;
    PictureCache thumbnailCache_{kMaxCachedCovers, kMaxCachedCoverBytes};
    QSet<QString> withoutCover_;   // read once and found without a cover
    QSet<QString> coversLoading_;  // one job per file, whatever rows show it
};
