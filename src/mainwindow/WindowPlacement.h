#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

struct WindowPlacement {
    QRect geometry;
    bool replacesStored = false; // the stored size/position was unusable; write the default back
};

// Where the main window opens, from the stored size and position (an invalid size when none
// was stored) and the screen's available area. A stored rectangle is kept only if it fits the
// screen and, unless it asks to be centred (negative x), still overlaps it.
WindowPlacement chooseWindowPlacement(const QRect &available, const QSize &storedSize, const QPoint &storedPos);
