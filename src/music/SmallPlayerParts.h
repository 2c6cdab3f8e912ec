#pragma once

#include <QLabel>
#include <QObject>
#include <QPoint>
#include <QString>

class QPainter;
class QPixmap;
class QPushButton;

// What the mini strip and the compact panel have in common, so the two stand-ins for the main
// window look and behave alike.
namespace SmallPlayer {

// Minutes unpadded: the clocks are narrow, and "3:07" reads at a glance. Whole seconds passed;
// anything not a finite positive time reads as "0:00".
QString clockText(double seconds);

// Cuts its text with "…" at its own edge, so a long tag never widens the window. Only plain text:
// tags come from the file, and "<b>Live</b>" is a title, not markup.
class ElidedLabel : public QLabel
{
public:
    explicit ElidedLabel(const QString &text, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

// The cover cropped to fill a rounded side × side square at the label's pixel ratio, or the
// note when the track has none.
void showCover(QLabel *label, const QPixmap &cover, int side, int radius);

QPushButton *makeButton(const QString &text, const QString &toolTip, int side, const QString &style, QWidget *parent);

// The dark rounded body behind a translucent frameless window; alpha is its opacity.
void paintBody(QPainter &painter, const QRect &rect, qreal radius, int alpha);

// Lets a frameless window be moved by dragging its body with the left button. It watches the
// window's own mouse events, so a press that a button or slider takes never starts a drag.
class WindowDragger : public QObject
{
public:
    // Installs itself on the window, which owns it.
    explicit WindowDragger(QWidget *window);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *window_;
    bool dragging_ = false;
    QPoint offset_;
};

} // namespace SmallPlayer
