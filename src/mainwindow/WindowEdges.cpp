#include "mainwindow/WindowEdges.h"

WindowEdge edgeAt(const QSize &windowSize, const QPoint &pos)
{
    if (!QRect(QPoint(0, 0), windowSize).contains(pos))
        return WindowEdge::None;
    const bool left = pos.x() < kResizeBorder;
    const bool right = pos.x() >= windowSize.width() - kResizeBorder;
    const bool top = pos.y() < kResizeBorder;
    const bool bottom = pos.y() >= windowSize.height() - kResizeBorder;
    if (top && left)
        return WindowEdge::TopLeft;
    if (top && right)
        return WindowEdge::TopRight;
    if (bottom && left)
        return WindowEdge::BottomLeft;
    if (bottom && right)
        return WindowEdge::BottomRight;
    if (left)
        return WindowEdge::Left;
    if (right)
        return WindowEdge::Right;
    if (top)
        return WindowEdge::Top;
    if (bottom)
        return WindowEdge::Bottom;
    return WindowEdge::None;
}

Qt::CursorShape resizeCursorFor(WindowEdge edge)
{
    switch (edge) {
    case WindowEdge::Left:
    case WindowEdge::Right:
        return Qt::SizeHorCursor;
    case WindowEdge::Top:
    case WindowEdge::Bottom:
        return Qt::SizeVerCursor;
    case WindowEdge::TopLeft:
    case WindowEdge::BottomRight:
        return Qt::SizeFDiagCursor;
    case WindowEdge::TopRight:
    case WindowEdge::BottomLeft:
        return Qt::SizeBDiagCursor;
    case WindowEdge::None:
        break;
    }
    return Qt::ArrowCursor;
}

Qt::Edges qtEdgesFor(WindowEdge edge)
{
    switch (edge) {
    case WindowEdge::Left: return Qt::LeftEdge;
    case WindowEdge::Right: return Qt::RightEdge;
    case WindowEdge::Top: return Qt::TopEdge;
    case WindowEdge::Bottom: return Qt::BottomEdge;
    case WindowEdge::TopLeft: return Qt::TopEdge | Qt::LeftEdge;
    case WindowEdge::TopRight: return Qt::TopEdge | Qt::RightEdge;
    case WindowEdge::BottomLeft: return Qt::BottomEdge | Qt::LeftEdge;
    case WindowEdge::BottomRight: return Qt::BottomEdge | Qt::RightEdge;
    case WindowEdge::None: break;
    }
    return {};
}

QRect resizedGeometry(WindowEdge edge, const QRect &start, const QPoint &travel, const QSize &minimum)
{
    const Qt::Edges edges = qtEdgesFor(edge);
    QRect result = start;
    if (edges & Qt::LeftEdge)
        result.setLeft(start.left() + travel.x());
    if (edges & Qt::RightEdge)
        result.setRight(start.right() + travel.x());
    if (edges & Qt::TopEdge)
        result.setTop(start.top() + travel.y());
    if (edges & Qt::BottomEdge)
        result.setBottom(start.bottom() + travel.y());
    // Each direction stops on its own at the minimum, so a corner drag keeps following the pointer
    // along the axis that still has room.
    if (result.width() < minimum.width()) {
        result.setLeft(start.left());
        result.setRight(start.right());
    }
    if (result.height() < minimum.height()) {
        result.setTop(start.top());
        result.setBottom(start.bottom());
    }
    return result;
}
