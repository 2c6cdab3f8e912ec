#pragma once

#include "mainwindow/PlaybackHistory.h"

#include <QWidget>

class QLabel;
class QTableWidget;

// The most recently played local files with how often each was played. A snapshot taken when
// built: plays after that do not show until the next start.
class PlayStatisticsTable : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kMaxRows = 100;

    explicit PlayStatisticsTable(const PlaybackHistory &history, QWidget *parent = nullptr);
    // records: newest first, as PlaybackHistory::playRecords() gives them.
    explicit PlayStatisticsTable(const QList<PlaybackHistory::PlayRecord> &records, QWidget *parent = nullptr);

    // "2026-02-01T09:30:15" -> "2026-02-01 09:30".
    static QString lastPlayedText(const QString &isoDateTime);

    QTableWidget *table() const { return table_; }
    QLabel *totalNote() const { return totalNote_; }

private:
    QTableWidget *table_ = nullptr;
    QLabel *totalNote_ = nullptr;
};
