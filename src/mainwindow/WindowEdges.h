#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <Qt>

// The borders a frameless window is resized by. The numbering is the one the hit-test uses.
enum class WindowEdge { None = 0, Left, Right, Top, Bottom, TopLeft, TopRight, BottomLeft, BottomRight };

// How close to the border, in pixels, the pointer must be to grab it.
inline constexpr int kResizeBorder = 6;

// The edge under a point given in window coordinates; corners win over sides.
WindowEdge edgeAt(const QSize &windowSize, const QPoint &pos);
Qt::CursorShape resizeCursorFor(WindowEdge edge);
Qt::Edges qtEdgesFor(WindowEdge edge);

// The window geometry after dragging `edge` by `travel` from `start`. Left and top edges move the
// window's origin so the opposite border stays put; a direction that would fall below `minimum`
// keeps its size from `start`.
QRect resizedGeometry(WindowEdge edge, const QRect &start, const QPoint &travel, const QSize &minimum);
