#include "ui/multiview/MultiViewLayout.h"

namespace MultiView {

int secondariesNeeded(MultiViewLayout layout)
{
    switch (layout) {
    case MultiViewLayout::Single: return 0;
    case MultiViewLayout::Quad: return 3;
    default: return 1;
    }
}

MultiViewGeometry geometry(MultiViewLayout layout, const QRect &area)
{
    MultiViewGeometry result;
    result.bar = QRect(area.x() + 8, area.height() - kBarSpace, area.width() - 16, kBarHeight);
    const QRect videos(area.x(), area.y(), area.width(), area.height() - kBarSpace);
    const int halfWidth = videos.width() / 2;
    const int halfHeight = videos.height() / 2;
    const QRect left(videos.x(), videos.y(), halfWidth, videos.height());
    const QRect right(videos.x() + halfWidth, videos.y(), videos.width() - halfWidth, videos.height());
    const QRect top(videos.x(), videos.y(), videos.width(), halfHeight);
    const QRect bottom(videos.x(), videos.y() + halfHeight, videos.width(), videos.height() - halfHeight);
    switch (layout) {
    case MultiViewLayout::Single:
        result.main = videos;
        break;
    case MultiViewLayout::PIP: {
        result.main = videos;
        const QSize small(videos.width() / 4, videos.height() / 4);
        result.secondaries << QRect(QPoint(videos.right() - 12 - small.width(), videos.bottom() - 12 - small.height()), small);
        break;
    }
    case MultiViewLayout::DualHorizontal:
        result.main = left;
        result.secondaries << right;
        break;
    case MultiViewLayout::DualVertical:
        result.main = top;
        result.secondaries << bottom;
        break;
    case MultiViewLayout::Quad:
        result.main = QRect(left.topLeft(), QSize(halfWidth, halfHeight));
        result.secondaries << QRect(right.x(), top.y(), right.width(), halfHeight)
                           << QRect(left.x(), bottom.y(), halfWidth, bottom.height())
                           << QRect(right.x(), bottom.y(), right.width(), bottom.height());
        break;
    }
    return result;
}

} // namespace MultiView
