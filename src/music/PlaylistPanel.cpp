#include "music/PlaylistPanel.h"

#include "music/MusicLook.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

namespace {

const QString kPanelStyle = QStringLiteral(
    "#PlaylistPanel { background: #141414; }"
    "#PlaylistPanel QLabel { color: #ffffff; background: transparent; font-size: 13px; font-weight: bold;"
    " letter-spacing: 2px; }"
    "#PlaylistPanel QLineEdit { background: #1e1e1e; color: #ffffff; border: 1px solid #2a2a2a;"
    " border-radius: 12px; padding: 4px 10px; }"
    "#PlaylistPanel QListWidget { background: #141414; color: #ffffff; border: none; outline: none; }"
    "#PlaylistPanel QListWidget::item { padding: 4px 6px; border-bottom: 1px solid #1c1c1c; }"
    "#PlaylistPanel QListWidget::item:hover { background: #1e1e1e; }"
    "#PlaylistPanel QListWidget::item:selected { background: #1a3030; color: #ffffff;"
    " border-left: 3px solid %1; }")
                                  .arg(MusicLook::kTeal);

} // namespace

PlaylistPanel::PlaylistPanel(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("PlaylistPanel"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(kPanelStyle);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(8);

    auto *header = new QLabel(QStringLiteral("PLAYLIST"), this);
    column->addWidget(header);

    search_ = new QLineEdit(this);
    search_->setPlaceholderText(QStringLiteral("곡 검색..."));
    search_->setClearButtonEnabled(true);
    connect(search_, &QLineEdit::textChanged, this, &PlaylistPanel::onSearchTextChanged);
    column->addWidget(search_);

    list_ = new QListWidget(this);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setTextElideMode(Qt::ElideRight);
    connect(list_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *item) { emit trackSelected(list_->row(item)); });
    column->addWidget(list_, 1);
}

void PlaylistPanel::setTracks(const QStringList &tracks)
{
    list_->clear();
    for (const QString &track : tracks)
        addTrack(track);
}

void PlaylistPanel::addTrack(const QString &track)
{
    list_->addItem(track);
    applySearch(list_->count() - 1);
}

void PlaylistPanel::clear()
{
    list_->clear();
}

void PlaylistPanel::setCurrentIndex(int index)
{
    const QSignalBlocker blocker(list_);
    list_->setCurrentRow(index);
}

int PlaylistPanel::count() const
{
    return list_->count();
}

QStringList PlaylistPanel::tracks() const
{
    QStringList texts;
    for (int row = 0; row < list_->count(); ++row)
        texts << list_->item(row)->text();
    return texts;
}

bool PlaylistPanel::isRowShown(int index) const
{
    return index >= 0 && index < list_->count() && !list_->isRowHidden(index);
}

void PlaylistPanel::onSearchTextChanged(const QString &)
{
    for (int row = 0; row < list_->count(); ++row)
        applySearch(row);
}

void PlaylistPanel::applySearch(int row)
{
    const QString text = search_->text();
    list_->setRowHidden(row, !list_->item(row)->text().contains(text, Qt::CaseInsensitive));
}
