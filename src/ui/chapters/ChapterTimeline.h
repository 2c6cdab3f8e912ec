#pragma once

#include "ui/chapters/ChapterEntry.h"

#include <QWidget>

// The file's length as a track with a marker per chapter and bookmark, the played part and the
// position; a press seeks, hovering shows the entry under the pointer.
class ChapterTimeline : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kMargin = 10; // the track runs from kMargin to width − kMargin

    explicit ChapterTimeline(QWidget *parent = nullptr);

    void setEntries(const QList<ChapterEntry> &entries);
    void setDuration(double seconds);
    void setPosition(double seconds);

    // The time under pixel x of a track drawn `width` pixels wide, within [0, duration]; 0 when
    // there is no duration or no track to speak of.
    static double timeAt(int x, int width, double duration);

signals:
    void seekRequested(double seconds);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    int xOf(double seconds) const;
    void paintHoverCard(class QPainter &painter) const;

    QList<ChapterEntry> entries_;
    double duration_ = 0.0;
    double position_ = 0.0;
    int hoverX_ = -1;
    int hoverEntry_ = -1;
};
