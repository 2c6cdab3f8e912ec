#include "mainwindow/WindowPlacement.h"

namespace {
QRect centred(const QSize &size, const QRect &area)
{
    QRect rect(QPoint(0, 0), size);
    rect.moveCenter(area.center());
    return rect;
}
} // namespace

WindowPlacement chooseWindowPlacement(const QRect &available, const QSize &storedSize, const QPoint &storedPos)
{
    const bool fits = storedSize.isValid() && !storedSize.isEmpty()
                      && storedSize.width() <= available.width() && storedSize.height() <= available.height();
    if (fits) {
        if (storedPos.x() < 0)
            return {centred(storedSize, available), false};
        const QRect stored(storedPos, storedSize);
        if (stored.intersects(available))
            return {stored, false};
    }
    const QSize defaultSize(available.width() * 3 / 5, available.height() * 3 / 5);
    return {centred(defaultSize, available), true};
}
