#include "library/MediaLibraryWidget.h"

#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "library/CoverThumbnail.h"
#include "library/LibraryListModel.h"
#include "ui/controls/PanelParts.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSqlDatabase>
#include <QTabWidget>
#include <QThreadPool>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent>

namespace {

const QString kConnectionName = QStringLiteral("library");
constexpr int kControlHeight = 26;
// Long enough to let a typed word arrive whole, short enough to feel immediate.
constexpr int kSearchDelayMs = 150;
// Covers arriving together are drawn together.
constexpr int kIconRefreshMs = 50;
constexpr int kMaxCoverReads = 4;
constexpr int kMaxWantedCovers = 128;
// Views lay out this many rows per pass of the event loop, so a list of tens of thousands of
// files never holds the window still while it is placed.
constexpr int kLayoutBatch = 2000;

#define VELMORAN_LIBRARY_FONTS "font-family: 'Malgun Gothic', 'Segoe UI', 'Noto Sans CJK KR', sans-serif;"
const QString kPageStyle = QStringLiteral(
    "#MediaLibraryWidget { background: #141414; }"
    "QTabWidget::pane { border: none; border-top: 1px solid #2a2a2a; }"
    "QTabBar::tab { background: #1a1a1a; color: #9e9e9e; padding: 4px 12px; border: none; font-size: 11px; "
    VELMORAN_LIBRARY_FONTS " }"
    "QTabBar::tab:selected { color: #00c8b4; border-bottom: 2px solid #00c8b4; }"
    "QLabel { color: #9e9e9e; font-size: 11px; background: transparent; " VELMORAN_LIBRARY_FONTS " }"
    "QLineEdit, QComboBox { background: #1e1e1e; color: #dcdcdc; border: 1px solid #333333; border-radius: 3px;"
    "  padding: 0px 6px; font-size: 11px; }"
    "QLineEdit:focus { border-color: #00c8b4; }"
    "QPushButton { background: #1e1e1e; color: #dcdcdc; border: 1px solid #333333; border-radius: 3px;"
    "  padding: 0px 8px; font-size: 11px; " VELMORAN_LIBRARY_FONTS " }"
    "QPushButton:hover { border-color: #00c8b4; }"
    "QPushButton:disabled { color: #5a5a5a; }"
    "QListView { background: #101010; color: #dcdcdc; border: none; font-size: 11px; outline: none; "
    VELMORAN_LIBRARY_FONTS " }"
    "QProgressBar { background: #1e1e1e; border: none; max-height: 3px; }"
    "QProgressBar::chunk { background: #00c8b4; }");
#undef VELMORAN_LIBRARY_FONTS

QSettings appSettings()
{
    return QSettings(QLatin1StringView(AppIdentity::kOrganisation),
                     QLatin1StringView(AppIdentity::kSettingsApplication));
}

QListView *libraryView(bool grid)
{
    auto *view = new QListView;
    view->setUniformItemSizes(true);
    view->setLayoutMode(QListView::Batched);
    view->setBatchSize(kLayoutBatch);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    if (grid) {
        view->setViewMode(QListView::IconMode);
        view->setMovement(QListView::Static);
        view->setResizeMode(QListView::Adjust);
        view->setIconSize(QSize(48, 48));
        view->setGridSize(QSize(120, 96));
        view->setWordWrap(true);
    } else {
        view->setIconSize(QSize(MediaLibraryWidget::kThumbnailSize, MediaLibraryWidget::kThumbnailSize));
        view->setSpacing(1);
    }
    return view;
}

} // namespace

MediaLibraryWidget::MediaLibraryWidget(QWidget *parent)
    : QWidget(parent),
      videoIcon_(QStringLiteral(":/icons/video_file.svg")),
      audioIcon_(QStringLiteral(":/icons/audio_file.svg"))
{
    setObjectName(QStringLiteral("MediaLibraryWidget"));
    setAttribute(Qt::WA_StyledBackground);
    buildUi();
    initDatabase();
    libraryFolders_ = readSetting(appSettings(), SettingsKeys::libraryFolders);
    showFolders();
    // The library rescans on every start: the lists come from the folders, never from the database.
    if (!libraryFolders_.isEmpty())
        refresh();
}

MediaLibraryWidget::~MediaLibraryWidget()
{
    cancelScan();
    alive_->store(false);
}

void MediaLibraryWidget::buildUi()
{
    setStyleSheet(kPageStyle);
    auto *add = PanelParts::button(QStringLiteral("+ 폴더 추가"), QStringLiteral("라이브러리에 폴더 추가"),
                                   kControlHeight);
    folderBox_ = new QComboBox;
    folderBox_->setFixedHeight(kControlHeight);
    folderBox_->setFocusPolicy(Qt::NoFocus);
    folderBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    folderBox_->setMinimumContentsLength(16);
    removeFolderButton_ = PanelParts::button(QStringLiteral("폴더 제거"),
                                             QStringLiteral("고른 폴더를 라이브러리에서 제거"), kControlHeight);
    auto *rescanButton = PanelParts::button(QStringLiteral("↺"), QStringLiteral("다시 스캔"), kControlHeight);
    searchEdit_ = new QLineEdit;
    searchEdit_->setFixedHeight(kControlHeight);
    searchEdit_->setPlaceholderText(QStringLiteral("검색"));
    searchEdit_->setClearButtonEnabled(true);

    auto *header = new QHBoxLayout;
    header->setSpacing(4);
    header->addWidget(add);
    header->addWidget(folderBox_, 1);
    header->addWidget(removeFolderButton_);
    header->addWidget(rescanButton);
    header->addWidget(searchEdit_, 1);

    progressBar_ = new QProgressBar;
    progressBar_->setTextVisible(false);
    progressBar_->hide();

    videoModel_ = new LibraryListModel([this](const QString &path) { return decorationFor(path, false); }, this);
    audioModel_ = new LibraryListModel([this](const QString &path) { return decorationFor(path, true); }, this);
    videoList_ = libraryView(true);
    videoList_->setModel(videoModel_);
    audioList_ = libraryView(false);
    audioList_->setModel(audioModel_);
    tabs_ = new QTabWidget;
    tabs_->setDocumentMode(true);
    tabs_->addTab(videoList_, QStringLiteral("비디오"));
    tabs_->addTab(audioList_, QStringLiteral("음악"));

    statusLabel_ = new QLabel(QStringLiteral("폴더를 추가하여 라이브러리를 구성하세요"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 6);
    layout->setSpacing(6);
    layout->addLayout(header);
    layout->addWidget(progressBar_);
    layout->addWidget(tabs_, 1);
    layout->addWidget(statusLabel_);

    searchDelay_ = new QTimer(this);
    searchDelay_->setSingleShot(true);
    searchDelay_->setInterval(kSearchDelayMs);
    iconRefresh_ = new QTimer(this);
    iconRefresh_->setSingleShot(true);
    iconRefresh_->setInterval(kIconRefreshMs);

    connect(add, &QPushButton::clicked, this, &MediaLibraryWidget::onAddFolder);
    connect(removeFolderButton_, &QPushButton::clicked, this, &MediaLibraryWidget::onRemoveFolder);
    connect(rescanButton, &QPushButton::clicked, this, &MediaLibraryWidget::refresh);
    connect(searchEdit_, &QLineEdit::textChanged, searchDelay_, qOverload<>(&QTimer::start));
    connect(searchDelay_, &QTimer::timeout, this, [this] { onSearch(searchEdit_->text()); });
    // The other tab takes up the search text when it is shown, so both always agree with the box.
    connect(tabs_, &QTabWidget::currentChanged, this, &MediaLibraryWidget::onTabChanged);
    connect(videoList_, &QListView::doubleClicked, this, &MediaLibraryWidget::onItemDoubleClicked);
    connect(audioList_, &QListView::doubleClicked, this, &MediaLibraryWidget::onItemDoubleClicked);
    connect(iconRefresh_, &QTimer::timeout, this, [this] {
        videoModel_->refreshDecorations();
        audioModel_->refreshDecorations();
    });
}

void MediaLibraryWidget::initDatabase()
{
    const QString path = LibraryScanner::defaultDatabasePath();
    QSqlDatabase db = QSqlDatabase::contains(kConnectionName)
                          ? QSqlDatabase::database(kConnectionName, false)
                          : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kConnectionName);
    if (!db.isOpen()) {
        db.setDatabaseName(path);
        db.open();
    }
    // Not opened: nothing is said, scans simply keep no record.
    if (db.isOpen() && LibraryScanner::createSchema(db))
        databasePath_ = path;
}

void MediaLibraryWidget::refresh()
{
    if (scanning_)
        return;
    // The last scan may still be writing its record; this one writes the same files again.
    cancelScan();
    videoFiles_.clear();
    audioFiles_.clear();
    videoModel_->setFiles({});
    audioModel_->setFiles({});
    if (libraryFolders_.isEmpty()) {
        progressBar_->hide();
        statusLabel_->setText(QStringLiteral("폴더를 추가하여 라이브러리를 구성하세요"));
        return;
    }
    scanning_ = true;
    progressBar_->setValue(0);
    progressBar_->show();
    statusLabel_->setText(QStringLiteral("스캔 중..."));

    const quint64 generation = ++scanGeneration_;
    scanCancel_ = std::make_shared<std::atomic<bool>>(false);
    // What the worker reports travels by the application object, so nothing is ever posted to a
    // widget that may be going away; it is dropped when the widget is gone or has started
    // another scan since.
    const auto report = [self = QPointer<MediaLibraryWidget>(this),
                         generation](std::function<void(MediaLibraryWidget *)> call) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, generation, call = std::move(call)] {
                if (self && self->scanGeneration_ == generation)
                    call(self.data());
            },
            Qt::QueuedConnection);
    };
    QThreadPool::globalInstance()->start([folders = libraryFolders_, database = databasePath_,
                                          cancel = scanCancel_, report] {
        LibraryScanner scanner(database, cancel, [&](int done, int total) {
            if (!cancel->load())
                report([done, total](MediaLibraryWidget *w) { w->onScanProgress(done, total); });
        });
        const LibraryScanner::Result result = scanner.scan(folders, [&](const LibraryScanner::Result &listed) {
            report([listed](MediaLibraryWidget *w) { w->onScanFinished(listed.videoFiles, listed.audioFiles); });
        });
        // The record is written after the lists are shown; a failure to write it comes later.
        if (!result.cancelled && !result.databaseProblem.isEmpty())
            report([problem = result.databaseProblem](MediaLibraryWidget *w) {
                w->statusLabel_->setText(w->countsText() + QLatin1Char('\n') + problem);
            });
    });
}

void MediaLibraryWidget::cancelScan()
{
    if (scanCancel_)
        scanCancel_->store(true);
    scanCancel_.reset();
    ++scanGeneration_;
    scanning_ = false;
}

void MediaLibraryWidget::rescan()
{
    cancelScan();
    refresh();
}

void MediaLibraryWidget::onScanProgress(int current, int total)
{
    if (total <= 0)
        return;
    progressBar_->setMaximum(total);
    progressBar_->setValue(current);
}

void MediaLibraryWidget::onScanFinished(const QStringList &videoFiles, const QStringList &audioFiles)
{
    scanning_ = false;
    videoFiles_ = videoFiles;
    audioFiles_ = audioFiles;
    progressBar_->hide();
    // Filled under the text in the search box, so the lists never disagree with it.
    videoModel_->setFiles(videoFiles_);
    audioModel_->setFiles(audioFiles_);
    statusLabel_->setText(countsText());
}

QString MediaLibraryWidget::countsText() const
{
    return QStringLiteral("비디오 %1개  |  음악 %2개").arg(videoFiles_.size()).arg(audioFiles_.size());
}

bool MediaLibraryWidget::addFolder(const QString &folder)
{
    if (folder.isEmpty() || libraryFolders_.contains(folder))
        return false;
    libraryFolders_.append(folder);
    saveFolders();
    rescan();
    return true;
}

bool MediaLibraryWidget::removeFolder(const QString &folder)
{
    if (!libraryFolders_.removeOne(folder))
        return false;
    saveFolders();
    rescan();
    return true;
}

void MediaLibraryWidget::saveFolders()
{
    QSettings settings = appSettings();
    writeSetting(settings, SettingsKeys::libraryFolders, libraryFolders_);
    showFolders();
}

void MediaLibraryWidget::showFolders()
{
    folderBox_->clear();
    for (const QString &folder : std::as_const(libraryFolders_))
        folderBox_->addItem(QDir::toNativeSeparators(folder), folder);
    folderBox_->setCurrentIndex(int(libraryFolders_.size()) - 1);
    removeFolderButton_->setEnabled(!libraryFolders_.isEmpty());
}

void MediaLibraryWidget::onAddFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("미디어 폴더 선택"), QDir::homePath(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    addFolder(folder);
}

void MediaLibraryWidget::onRemoveFolder()
{
    removeFolder(folderBox_->currentData().toString());
}

LibraryListModel *MediaLibraryWidget::currentModel() const
{
    return tabs_->currentWidget() == audioList_ ? audioModel_ : videoModel_;
}

void MediaLibraryWidget::onSearch(const QString &text)
{
    currentModel()->setFilter(text);
}

void MediaLibraryWidget::onTabChanged(int)
{
    currentModel()->setFilter(searchEdit_->text());
}

void MediaLibraryWidget::onItemDoubleClicked(const QModelIndex &index)
{
    const QString path = index.data(Qt::UserRole).toString();
    if (!path.isEmpty())
        emit fileRequested(path);
}

QVariant MediaLibraryWidget::decorationFor(const QString &path, bool audio)
{
    if (const QPixmap *thumb = thumbnailCache_.find(path))
        return *thumb;
    if (!audio)
        return videoIcon_;
    loadThumbnailAsync(path);
    return audioIcon_;
}

void MediaLibraryWidget::loadThumbnailAsync(const QString &path)
{
    if (withoutCover_.contains(path) || coversLoading_.contains(path))
        return;
    coversLoading_.insert(path);
    wantedCovers_.append(path);
    // Rows scrolled past long ago give up their place; they ask again when drawn again.
    if (wantedCovers_.size() > kMaxWantedCovers)
        coversLoading_.remove(wantedCovers_.takeFirst());
    startCoverReads();
}

void MediaLibraryWidget::startCoverReads()
{
    while (coverReadsRunning_ < kMaxCoverReads && !wantedCovers_.isEmpty()) {
        const QString path = wantedCovers_.takeLast(); // the rows drawn last are the ones on screen
        ++coverReadsRunning_;
        auto *watcher = new QFutureWatcher<QImage>(this);
        connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, path] {
            watcher->deleteLater();
            --coverReadsRunning_;
            onCoverRead(path, watcher->isCanceled() ? QImage() : watcher->result());
            startCoverReads();
        });
        watcher->setFuture(QtConcurrent::run([path, alive = alive_] {
            return alive->load() ? CoverThumbnail::rounded(path, kThumbnailSize, 4) : QImage();
        }));
    }
}

void MediaLibraryWidget::onCoverRead(const QString &path, const QImage &cover)
{
    coversLoading_.remove(path);
    if (cover.isNull())
        withoutCover_.insert(path);
    else
        onThumbnailLoaded(path, QPixmap::fromImage(cover));
}

void MediaLibraryWidget::onThumbnailLoaded(const QString &path, const QPixmap &thumb)
{
    thumbnailCache_.insert(path, thumb);
    // Rows look their icon up by path when drawn, so only rows showing this file take it.
    if (!iconRefresh_->isActive())
        iconRefresh_->start();
}
