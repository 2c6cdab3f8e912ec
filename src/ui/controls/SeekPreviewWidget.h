#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

// The card above the seek slider: a picture of the hovered moment in the film's proportions
// (none for streams, audio and files without a preview), the time under it and, beside the
// time, the title of the chapter the moment lies in. Drawn in the control bar's look.
class SeekPreviewWidget : public QWidget
{
    Q_OBJECT
public:
    explicit SeekPreviewWidget(QWidget *parent);

    // The time line; the picture stays until another replaces it.
    void setMoment(const QString &timeText, const QString &chapterTitle);
    // The picture area's size in points; an empty size shows the time only.
    void setPictureArea(const QSize &area);
    // `picture` shows the moment `seconds`; a null image leaves the area dark until one comes.
    void setPicture(const QImage &picture, double seconds);

    QString timeText() const { return timeText_; }
    QString chapterTitle() const { return chapterTitle_; }
    bool showsPicture() const { return !area_.isEmpty(); }
    // The rectangle the picture fills, in the card's coordinates.
    QRect pictureRect() const;

signals:
    // The picture of `seconds` has been painted; once per picture.
    void pictureShown(double seconds);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void fitSize();

    QString timeText_;
    QString chapterTitle_;
    QSize area_;
    QImage picture_;
    double pictureSeconds_ = 0.0;
    bool announced_ = true;
};
