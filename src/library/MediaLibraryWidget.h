#pragma once

#include "library/LibraryScanner.h"
#include "library/PictureCache.h"

#include <QIcon>
#include <QPixmap>
#include <QSet>
#include <QStringList>
#include <QWidget>

#include <atomic>
#include <memory>

class LibraryListModel;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QModelIndex;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTimer;

// The "미디어 라이브러리" page: folders the user picked are scanned in the background for video
// and audio files, listed in two tabs, filtered by a search text, and opened on double-click.
// Each scan also records its files in the library database, which nothing reads back.
class MediaLibraryWidget : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kThumbnailSize = 40;

    explicit MediaLibraryWidget(QWidget *parent = nullptr);
    // Cancels a running scan and returns at once: closing the player never waits for a scan.
    ~MediaLibraryWidget() override;

    // What the folder picker and the folder list lead to. False when nothing changed (the
    // folder is already in the library, or not in it); otherwise saved and rescanned.
    bool addFolder(const QString &folder);
    bool removeFolder(const QString &folder);

    QStringList videoFiles() const { return videoFiles_; }
    QStringList audioFiles() const { return audioFiles_; }
    QStringList libraryFolders() const { return libraryFolders_; }
    bool isScanning() const { return scanning_; }
    QListView *videoList() const { return videoList_; }
    QListView *audioList() const { return audioList_; }
    QTabWidget *tabs() const { return tabs_; }
    QLineEdit *searchEdit() const { return searchEdit_; }
    QLabel *statusLabel() const { return statusLabel_; }
    QComboBox *folderList() const { return folderBox_; }
    bool hasThumbnail(const QString &path) const { return thumbnailCache_.contains(path); }

signals:
    void fileRequested(const QString &path);

public slots:
    void refresh();
    void onAddFolder();
    void onRemoveFolder();
    void onSearch(const QString &text);
    void onTabChanged(int);
    void onItemDoubleClicked(const QModelIndex &index);
    void onScanProgress(int current, int total);
    void onScanFinished(const QStringList &videoFiles, const QStringList &audioFiles);
    void onThumbnailLoaded(const QString &path, const QPixmap &thumb);

private:
    void buildUi();
    void initDatabase();
    void saveFolders();
    void showFolders();
    // Stops the running scan, if any, and starts over with the current folders.
    void rescan();
    void cancelScan();
    LibraryListModel *currentModel() const;
    QString countsText() const;
    QVariant decorationFor(const QString &path, bool audio);
    void loadThumbnailAsync(const QString &path);
    void startCoverReads();
    void onCoverRead(const QString &path, const QImage &cover);

    QTabWidget *tabs_ = nullptr;
    QListView *videoList_ = nullptr;
    QListView *audioList_ = nullptr;
    QLineEdit *searchEdit_ = nullptr;
    QProgressBar *progressBar_ = nullptr;
    QLabel *statusLabel_ = nullptr;
    QStringList videoFiles_;
    QStringList audioFiles_;
    QStringList libraryFolders_;
    bool scanning_ = false;
    // At most kThumbnailCacheSize covers (40 × 40 × 4 bytes ≈ 6.4 KiB each, about 13 MiB in
    // all) and never more than kThumbnailCacheBytes; the least recently drawn goes first and is
    // read again if it is shown again.
    static constexpr int kThumbnailCacheSize = 2000;
    static constexpr qsizetype kThumbnailCacheBytes = 16 * 1024 * 1024;
    PictureCache thumbnailCache_{kThumbnailCacheSize, kThumbnailCacheBytes};

    LibraryListModel *videoModel_ = nullptr;
    LibraryListModel *audioModel_ = nullptr;
    QComboBox *folderBox_ = nullptr;
    QPushButton *removeFolderButton_ = nullptr;
    QTimer *searchDelay_ = nullptr;
    QTimer *iconRefresh_ = nullptr;
    QIcon videoIcon_;
    QIcon audioIcon_;
    QString databasePath_; // empty when the database did not open: scans then write nothing

    // Each scan has its own flag and number; what a cancelled or superseded scan reports is
    // dropped by its number. The flag is kept after the lists arrive: the scan goes on to write
    // its record, which the next scan or the widget's end cancels.
    LibraryScanner::CancelFlag scanCancel_;
    quint64 scanGeneration_ = 0;

    // Covers are read for rows as they are drawn, once per file, a few at a time, newest wish
    // first: scrolling through thousands of songs queues no more than kMaxWantedCovers reads.
    QSet<QString> withoutCover_;   // read and found without a cover
    QSet<QString> coversLoading_;  // wanted or being read
    QStringList wantedCovers_;     // oldest first
    int coverReadsRunning_ = 0;
    // Cover reads still queued when the widget goes skip their work.
    std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
};
