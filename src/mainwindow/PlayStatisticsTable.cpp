#include "mainwindow/PlayStatisticsTable.h"

#include "ui/controls/MediaText.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The last family is the usual Korean face of Linux desktops, where the first two are missing.
#define VELMORAN_STATS_FONTS "font-family: 'Malgun Gothic', 'Segoe UI', 'Noto Sans CJK KR';"
const char *const kHeadingStyle = "color: #dddddd; font-size: 13px; font-weight: bold; " VELMORAN_STATS_FONTS;
const char *const kNoteStyle = "color: #888888; font-size: 11px; " VELMORAN_STATS_FONTS;
const char *const kTableStyle =
    "QTableWidget { background: #141414; color: #cccccc; gridline-color: #2a2a2a; border: 1px solid #2a2a2a;"
    "  font-size: 12px; selection-background-color: #1a3030; selection-color: #ffffff; " VELMORAN_STATS_FONTS " }"
    "QHeaderView::section { background: #1e1e1e; color: #aaaaaa; border: none; border-right: 1px solid #2a2a2a;"
    "  padding: 4px 6px; font-size: 11px; }";
#undef VELMORAN_STATS_FONTS

constexpr int kLastPlayedChars = 16; // date, space, hours and minutes

} // namespace

PlayStatisticsTable::PlayStatisticsTable(const PlaybackHistory &history, QWidget *parent)
    : PlayStatisticsTable(history.playRecords(), parent)
{
}

PlayStatisticsTable::PlayStatisticsTable(const QList<PlaybackHistory::PlayRecord> &records, QWidget *parent)
    : QWidget(parent)
{
    // Dark on its own, whichever panel or palette hosts it.
    setObjectName(QStringLiteral("PlayStatisticsTable"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#PlayStatisticsTable { background: #0e0e0e; }"));

    auto *layout = new QVBoxLayout(this);

    auto *heading = new QLabel(QStringLiteral("최근 감상 기록"), this);
    heading->setStyleSheet(QLatin1String(kHeadingStyle));
    layout->addWidget(heading);

    table_ = new QTableWidget(this);
    table_->setStyleSheet(QLatin1String(kTableStyle));
    table_->setColumnCount(3);
    table_->setHorizontalHeaderLabels({QStringLiteral("파일명"), QStringLiteral("재생 횟수"), QStringLiteral("마지막 재생")});
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->verticalHeader()->setVisible(false);

    const int rows = int(std::min<qsizetype>(records.size(), kMaxRows));
    table_->setRowCount(rows);
    for (int row = 0; row < rows; ++row) {
        const PlaybackHistory::PlayRecord &record = records.at(row);
        auto *name = new QTableWidgetItem(QFileInfo(record.path).fileName());
        name->setToolTip(MediaText::plainToolTip(record.path));
        table_->setItem(row, 0, name);
        table_->setItem(row, 1, new QTableWidgetItem(QStringLiteral("%1회").arg(record.count)));
        table_->setItem(row, 2, new QTableWidgetItem(lastPlayedText(record.lastPlayed)));
    }
    layout->addWidget(table_, 1);

    totalNote_ = new QLabel(QStringLiteral("전체 재생 기록: %1개 파일").arg(records.size()), this);
    totalNote_->setStyleSheet(QLatin1String(kNoteStyle));
    layout->addWidget(totalNote_);
}

QString PlayStatisticsTable::lastPlayedText(const QString &isoDateTime)
{
    return isoDateTime.left(kLastPlayedChars).replace(QLatin1Char('T'), QLatin1Char(' '));
}
