#pragma once

#include "subtitles/SegmentLine.h"

#include <QList>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QPushButton;

// The "자막 히스토리" column of the "AI 자막" page: every recognised segment, newest first, kept
// for the page's life whatever plays, searchable and filtered by confidence; a double click seeks.
class SpeechHistoryView : public QWidget
{
    Q_OBJECT
public:
    // The newest segments kept; older ones drop out.
    static constexpr int kMaxHistory = 500;
    enum Filter { AllSegments = 0, HighConfidence = 1, LowConfidence = 2 };
    // The height of the page's small controls.
    static constexpr int kControlHeight = 20;

    explicit SpeechHistoryView(QWidget *parent = nullptr);

    void add(const QList<SubtitleSegment> &segments);
    const QList<SubtitleSegment> &segments() const { return segments_; }
    void setSearchText(const QString &text);
    void setFilter(int filter);
    // One line per segment, newest first: "clock  text", or the text alone.
    QString plainText(bool withTimes) const;

signals:
    void seekRequested(double startSec);
    void exportClicked();
    void copyClicked();

private:
    void rebuild();

    QList<SubtitleSegment> segments_;
    QString searchText_;
    int filter_ = AllSegments;
    QLineEdit *searchEdit_ = nullptr;
    QPushButton *highFilterButton_ = nullptr;
    QPushButton *lowFilterButton_ = nullptr;
    QListWidget *list_ = nullptr;
};
