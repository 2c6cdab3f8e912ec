#include "ui/playlist/PlaylistWidget.h"

#include "library/CoverThumbnail.h"
#include "ui/controls/MediaText.h"
#include "ui/playlist/M3uFile.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <QtConcurrent>

namespace {

constexpr int kHeaderHeight = 36;
const QString kAudioIcon = QStringLiteral(":/icons/audio.svg");

QPushButton *headerButton(const QString &text, const char *style)
{
    auto *button = new QPushButton(text);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QLatin1String(style));
    return button;
}

const char *const kPlainButton = "QPushButton { background: transparent; color: #888; border: none; padding: 4px 6px; }"
                                 "QPushButton:hover { color: #e57373; }";

} // namespace

PlaylistWidget::PlaylistWidget(QWidget *parent) : QWidget(parent)
{
    auto *add = headerButton(QStringLiteral("+ 추가"),
                             "QPushButton { background: #1a3a5c; color: #4fc3f7; border: none; border-radius: 3px;"
                             "  padding: 4px 8px; }");
    auto *save = headerButton(QStringLiteral("저장"), kPlainButton);
    auto *load = headerButton(QStringLiteral("불러오기"), kPlainButton);
    auto *clear = headerButton(QStringLiteral("전체 삭제"), kPlainButton);
    auto *header = new QWidget;
    header->setFixedHeight(kHeaderHeight);
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(6, 0, 6, 0);
    row->setSpacing(4);
    row->addWidget(add);
    row->addWidget(save);
    row->addWidget(load);
    row->addStretch();
    row->addWidget(clear);

    list_ = new QListWidget;
    list_->setIconSize(QSize(kIconSize, kIconSize));
    list_->setSpacing(2);
    list_->setAlternatingRowColors(false);
    list_->setDragEnabled(true);
    list_->setAcceptDrops(true);
    list_->setDropIndicatorShown(true);
    list_->setDragDropMode(QAbstractItemView::InternalMove);
    list_->setDefaultDropAction(Qt::MoveAction);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(header);
    layout->addWidget(list_, 1);

    connect(add, &QPushButton::clicked, this, &PlaylistWidget::openFileRequested);
    connect(save, &QPushButton::clicked, this, &PlaylistWidget::onSavePlaylist);
    connect(load, &QPushButton::clicked, this, &PlaylistWidget::onLoadPlaylist);
    connect(clear, &QPushButton::clicked, this, &PlaylistWidget::clearPlaylist);
    connect(list_, &QListWidget::itemDoubleClicked, this, &PlaylistWidget::onItemDoubleClicked);
    connect(list_->model(), &QAbstractItemModel::rowsMoved, this,
            [this](const QModelIndex &, int from, int, const QModelIndex &, int destination) {
                onRowsMoved(from, destination);
            });
}

bool PlaylistWidget::isAudioFile(const QString &path)
{
    static const QSet<QString> audio = {"mp3", "flac", "aac", "wav", "m4a", "ogg", "opus",
                                        "wma", "ape", "alac", "dsd", "dsf", "dff"};
    return audio.contains(QFileInfo(path).suffix().toLower());
}

void PlaylistWidget::addFile(const QString &path)
{
    auto *item = new QListWidgetItem(QFileInfo(path).fileName());
    // A name is shown as it is: "<b>Live</b>.mp3" is a file name, not markup.
    item->setToolTip(MediaText::plainToolTip(path));
    item->setForeground(QColor(QStringLiteral("#ccc")));
    if (!isAudioFile(path)) {
        item->setIcon(QIcon::fromTheme(QStringLiteral("video-x-generic"), QIcon(kAudioIcon)));
    } else if (const QPixmap *cached = thumbnailCache_.find(path)) {
        item->setIcon(*cached);
    } else {
        item->setIcon(QIcon(kAudioIcon));
        loadThumbnailAsync(path);
    }
    list_->addItem(item);
    files_ << path;
}

void PlaylistWidget::loadThumbnailAsync(const QString &path)
{
    // Files without a cover are remembered, and a file already being read is not read again.
    if (withoutCover_.contains(path) || coversLoading_.contains(path))
        return;
    coversLoading_.insert(path);
    auto *watcher = new QFutureWatcher<QImage>(this);
    connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, path] {
        watcher->deleteLater();
        onThumbnailLoaded(path, watcher->isCanceled() ? QImage() : watcher->result());
    });
    watcher->setFuture(QtConcurrent::run(CoverThumbnail::rounded, path, kIconSize, qreal(4)));
}

void PlaylistWidget::onThumbnailLoaded(const QString &path, const QImage &cover)
{
    coversLoading_.remove(path);
    if (cover.isNull()) {
        withoutCover_.insert(path);
        return;
    }
    const QPixmap icon = QPixmap::fromImage(cover);
    thumbnailCache_.insert(path, icon);
    // The rows showing this file now: rows cleared or moved meanwhile are matched by path, not
    // by the row the job started for.
    for (int row = 0; row < files_.size(); ++row)
        if (files_.at(row) == path)
            list_->item(row)->setIcon(icon);
}

void PlaylistWidget::clearPlaylist()
{
    list_->clear();
    files_.clear();
    currentIndex_ = -1;
}

void PlaylistWidget::refreshHighlight()
{
    for (int row = 0; row < list_->count(); ++row) {
        QListWidgetItem *item = list_->item(row);
        const bool current = row == currentIndex_;
        const QString name = QFileInfo(files_.value(row)).fileName();
        item->setText(current ? QStringLiteral("▶  ") + name : name);
        item->setForeground(QColor(current ? QStringLiteral("#4fc3f7") : QStringLiteral("#ccc")));
        QFont font = item->font();
        font.setWeight(current ? QFont::Bold : QFont::Normal);
        item->setFont(font);
    }
}

void PlaylistWidget::onItemDoubleClicked(QListWidgetItem *item)
{
    currentIndex_ = list_->row(item);
    refreshHighlight();
    emit itemDoubleClicked(currentIndex_);
}

void PlaylistWidget::onRowsMoved(int from, int destination)
{
    if (from < 0 || from >= files_.size())
        return;
    const QString path = files_.takeAt(from);
    const int to = std::max(0, std::min<int>(files_.size(), destination > from ? destination - 1 : destination));
    files_.insert(to, path);
    if (currentIndex_ == from)
        currentIndex_ = to;
    else if (from < currentIndex_ && to >= currentIndex_)
        --currentIndex_;
    else if (currentIndex_ < from && to <= currentIndex_)
        ++currentIndex_;
    refreshHighlight();
}

void PlaylistWidget::showProblem(const QString &text)
{
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("재생목록"), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

bool PlaylistWidget::savePlaylist(const QString &fileName)
{
    const M3uFile::Saved saved = M3uFile::save(fileName, files_);
    if (!saved.ok)
        showProblem(saved.error);
    else if (saved.skipped > 0)
        showProblem(QStringLiteral("이름에 줄바꿈이 든 파일 %1개는 재생목록에 저장하지 않았습니다.").arg(saved.skipped));
    return saved.ok;
}

bool PlaylistWidget::loadPlaylist(const QString &fileName)
{
    QString error;
    const std::optional<QStringList> paths = M3uFile::load(fileName, &error);
    if (!paths) {
        showProblem(error);
        return false;
    }
    for (const QString &path : *paths)
        addFile(path);
    if (!error.isEmpty())
        showProblem(error); // cut at the cap
    return true;
}

void PlaylistWidget::onSavePlaylist()
{
    if (files_.isEmpty())
        return;
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    const QString name = QFileDialog::getSaveFileName(this, QStringLiteral("재생목록 저장"), music + QStringLiteral("/playlist.m3u"),
                                                      QStringLiteral("M3U 재생목록 (*.m3u)"));
    if (!name.isEmpty())
        savePlaylist(name);
}

void PlaylistWidget::onLoadPlaylist()
{
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    const QString name = QFileDialog::getOpenFileName(this, QStringLiteral("재생목록 불러오기"), music,
                                                      QStringLiteral("M3U 재생목록 (*.m3u *.m3u8);;모든 파일 (*.*)"));
    if (!name.isEmpty())
        loadPlaylist(name);
}
