#pragma once

#include <QString>

class QFrame;
class QLabel;
class QPushButton;
class QScrollArea;
class QWidget;

// Pieces the pro panel's pages share. Their looks come from the page's style sheet, keyed on the
// "role" property ("caption", "rule").
namespace PanelParts {

QLabel *caption(const QString &text);
// The 1-px line between two sections of a page.
QFrame *rule();
// A button that leaves keyboard focus with the main window, whose keys drive playback.
QPushButton *button(const QString &text, const QString &toolTip, int height);
// Holds a page wider than a small window: it scrolls sideways rather than squeezing.
QScrollArea *sidewaysScroller(QWidget *page);
// Holds a page that may be taller or wider than the panel: it scrolls where it must rather
// than drawing its rows over each other.
QScrollArea *scroller(QWidget *page);

} // namespace PanelParts
