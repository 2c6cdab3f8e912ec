#include "ui/chapters/ChapterWidget.h"

#include "engine/MpvCore.h"
#include "ui/chapters/ChapterThumbnailer.h"
#include "ui/chapters/ChapterTimeline.h"
#include "ui/chapters/ThumbnailStrip.h"
#include "ui/controls/PanelParts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {
constexpr int kButtonHeight = 22;
const QColor kBookmarkColour(0xf0, 0xc0, 0x40);

#define VELMORAN_CHAPTER_FONTS "font-family: 'Malgun Gothic', 'Segoe UI', 'Noto Sans CJK KR', sans-serif;"
const QString kPageStyle = QStringLiteral(
    "ChapterWidget { background: #141414; }"
    "QLabel { color: #9e9e9e; font-size: 11px; background: transparent; " VELMORAN_CHAPTER_FONTS " }"
    "#header { color: #00c8b4; font-size: 12px; font-weight: 700; }"
    "#hint { color: #6f6f6f; }"
    "QListWidget { background: #1a1a1a; color: #dcdcdc; border: 1px solid #262626; font-size: 11px; "
    VELMORAN_CHAPTER_FONTS " }"
    "QListWidget::item:selected { background: #1f3d3a; }");
#undef VELMORAN_CHAPTER_FONTS

QString rowText(const ChapterEntry &entry)
{
    return QStringLiteral("%1  %2  %3")
        .arg(entry.isBookmark ? QStringLiteral("🔖") : QStringLiteral("▶"), ChapterEntries::timeText(entry.time),
             entry.title);
}
} // namespace

ChapterWidget::ChapterWidget(MpvCore *engine, QWidget *parent)
    : QWidget(parent)
    , engine_(engine)
    , timeline_(new ChapterTimeline)
    , strip_(new ThumbnailStrip)
    , list_(new QListWidget)
    , countLabel_(new QLabel(QStringLiteral("챕터 0개")))
    , thumbnailer_(new ChapterThumbnailer(this))
{
    setObjectName(QStringLiteral("ChapterWidget"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(kPageStyle);

    auto *header = new QLabel(QStringLiteral("📚  챕터 & 북마크"));
    header->setObjectName(QStringLiteral("header"));
    auto *headerRow = new QHBoxLayout;
    headerRow->addWidget(header);
    headerRow->addStretch();
    headerRow->addWidget(countLabel_);

    // Many cards are wider than the panel: the strip scrolls sideways instead of starting
    // off-screen.
    auto *stripScroller = PanelParts::sidewaysScroller(strip_);
    stripScroller->setFixedHeight(strip_->height() + 8);

    auto *left = new QVBoxLayout;
    left->addLayout(headerRow);
    left->addWidget(timeline_);
    left->addWidget(stripScroller);
    left->addStretch();

    auto *addButton = PanelParts::button(QStringLiteral("⊕  현재 위치 북마크"), QString(), kButtonHeight);
    addButton->setObjectName(QStringLiteral("btnAdd"));
    deleteButton_ = PanelParts::button(QStringLiteral("✕  북마크 삭제"), QString(), kButtonHeight);
    deleteButton_->setObjectName(QStringLiteral("btnDel"));
    deleteButton_->setEnabled(false);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(addButton);
    buttons->addWidget(deleteButton_);
    // B is the A-B loop's second point; a bookmark is the button's or Ctrl+B's.
    auto *hint = new QLabel(QStringLiteral("단축키: Ctrl+B 북마크 추가  |  [ ] 챕터 이동"));
    hint->setObjectName(QStringLiteral("hint"));

    auto *right = new QVBoxLayout;
    right->addWidget(list_, 1);
    right->addLayout(buttons);
    right->addWidget(hint);

    auto *columns = new QHBoxLayout(this);
    columns->setContentsMargins(8, 6, 8, 6);
    columns->addLayout(left, 3);
    columns->addLayout(right, 2);

    list_->setFocusPolicy(Qt::NoFocus); // the main window's keys keep driving playback

    connect(timeline_, &ChapterTimeline::seekRequested, this, &ChapterWidget::seekRequested);
    connect(strip_, &ThumbnailStrip::chapterClicked, this, &ChapterWidget::jumpToChapter);
    connect(list_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem *item) { jumpToChapter(list_->row(item)); });
    connect(list_, &QListWidget::currentRowChanged, this, &ChapterWidget::updateDeleteButton);
    connect(addButton, &QPushButton::clicked, this, [this] { addBookmark(position_); });
    connect(deleteButton_, &QPushButton::clicked, this, [this] { removeBookmark(list_->currentRow()); });
    connect(thumbnailer_, &ChapterThumbnailer::thumbnailReady, this, &ChapterWidget::onThumbnailReady);
}

void ChapterWidget::setDuration(double seconds)
{
    timeline_->setDuration(seconds);
}

void ChapterWidget::loadChapters()
{
    if (!engine_)
        return;
    setEntries(ChapterEntries::withFileChapters(entries_, engine_->getMpvProperty(QStringLiteral("chapter-list"))));
}

void ChapterWidget::addBookmark(double seconds)
{
    setEntries(ChapterEntries::withBookmark(entries_, seconds));
    generateThumbnails(filePath_);
}

void ChapterWidget::removeBookmark(int index)
{
    if (index < 0 || index >= entries_.size() || !entries_.at(index).isBookmark)
        return; // the file's own chapters stay
    QList<ChapterEntry> remaining = entries_;
    remaining.removeAt(index);
    setEntries(remaining);
}

void ChapterWidget::jumpToChapter(int index)
{
    if (index >= 0 && index < entries_.size())
        emit seekRequested(entries_.at(index).time);
}

void ChapterWidget::onPositionChanged(double seconds)
{
    position_ = seconds;
    timeline_->setPosition(seconds);
    strip_->setCurrent(ChapterEntries::entryAt(entries_, seconds));
}

void ChapterWidget::generateThumbnails(const QString &filePath)
{
    if (filePath != filePath_) {
        // Bookmarks outlive their file; their pictures do not.
        for (ChapterEntry &entry : entries_)
            entry.thumbnail = QPixmap();
        filePath_ = filePath;
    }
    QList<double> missing;
    for (const ChapterEntry &entry : std::as_const(entries_))
        if (entry.thumbnail.isNull())
            missing << entry.time;
    if (filePath_.isEmpty() || missing.isEmpty())
        thumbnailer_->cancel();
    else
        thumbnailer_->start(filePath_, missing);
}

void ChapterWidget::onThumbnailReady(const QString &path, double time, const QImage &picture)
{
    // Matched by file and moment, not by row: the list may have been merged or sorted anew.
    if (path != filePath_)
        return;
    bool changed = false;
    for (ChapterEntry &entry : entries_) {
        if (entry.time == time && entry.thumbnail.isNull()) {
            entry.thumbnail = QPixmap::fromImage(picture);
            changed = true;
        }
    }
    if (changed) {
        timeline_->setEntries(entries_);
        strip_->setEntries(entries_);
        strip_->setCurrent(ChapterEntries::entryAt(entries_, position_));
    }
}

void ChapterWidget::setEntries(const QList<ChapterEntry> &entries)
{
    entries_ = entries;
    list_->clear();
    for (const ChapterEntry &entry : std::as_const(entries_)) {
        auto *item = new QListWidgetItem(rowText(entry), list_);
        if (entry.isBookmark)
            item->setForeground(kBookmarkColour);
    }
    countLabel_->setText(QStringLiteral("챕터 %1개").arg(entries_.size()));
    timeline_->setEntries(entries_);
    strip_->setEntries(entries_);
    strip_->setCurrent(ChapterEntries::entryAt(entries_, position_));
    updateDeleteButton();
    emit chaptersChanged();
}

void ChapterWidget::updateDeleteButton()
{
    const int row = list_->currentRow();
    deleteButton_->setEnabled(row >= 0 && row < entries_.size() && entries_.at(row).isBookmark);
}
