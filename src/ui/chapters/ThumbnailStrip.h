#pragma once

#include "ui/chapters/ChapterEntry.h"

#include <QWidget>

// A row of cards, one per chapter or bookmark, with the picture of its moment; a press on a card
// asks for that entry. The row is centred while it fits and otherwise as wide as its cards, so a
// scroll area around it reaches every one.
class ThumbnailStrip : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kCardWidth = 120;
    static constexpr int kCardPitch = 128;
    static constexpr QSize kImageSize{120, 68};

    explicit ThumbnailStrip(QWidget *parent = nullptr);

    void setEntries(const QList<ChapterEntry> &entries);
    void setCurrent(int index);

    // Where the first of `count` cards starts in a strip `width` pixels wide.
    static int firstCardX(int count, int width);
    // The card under x, -1 for none.
    static int cardAt(int x, int count, int width);

    QSize sizeHint() const override;

signals:
    void chapterClicked(int index);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QList<ChapterEntry> entries_;
    int current_ = -1;
};
