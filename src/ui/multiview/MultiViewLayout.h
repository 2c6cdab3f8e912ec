#pragma once

#include <QList>
#include <QMetaType>
#include <QRect>

enum class MultiViewLayout { Single = 0, PIP, DualHorizontal, DualVertical, Quad };
Q_DECLARE_METATYPE(MultiViewLayout)

// Where the layout bar and the surfaces go in a multi-view of rectangle `area`.
struct MultiViewGeometry {
    QRect bar;
    QRect main;
    QList<QRect> secondaries; // as many as the layout shows
};

namespace MultiView {

inline constexpr int kBarHeight = 34;
inline constexpr int kBarSpace = 42; // the strip under the videos that holds the bar

int secondariesNeeded(MultiViewLayout layout);
MultiViewGeometry geometry(MultiViewLayout layout, const QRect &area);

} // namespace MultiView
