#include "music/MusicLook.h"

namespace MusicLook {

QString transportStyle(QLatin1StringView colour, int radius, int fontSize)
{
    return QStringLiteral("QPushButton { background: transparent; color: %1; border: none; border-radius: %2px;"
                          " font-size: %3px; }"
                          "QPushButton:hover { background: rgba(255, 255, 255, 0.08); }")
        .arg(colour)
        .arg(radius)
        .arg(fontSize);
}

QString playStyle(int radius, int fontSize)
{
    return QStringLiteral("QPushButton { background: %1; color: #000000; border: none; border-radius: %2px;"
                          " font-size: %3px; }"
                          "QPushButton:hover { background: #1ee0cc; }")
        .arg(kTeal)
        .arg(radius)
        .arg(fontSize);
}

QString smallButtonStyle(QLatin1StringView colour, int fontSize)
{
    return QStringLiteral("QPushButton { background: transparent; color: %1; border: none; border-radius: 4px;"
                          " font-size: %2px; }"
                          "QPushButton:hover { background: rgba(255, 255, 255, 0.08); color: #ffffff; }")
        .arg(colour)
        .arg(fontSize);
}

QString sliderStyle(int handle)
{
    // The groove is 4 px high; a bigger handle reaches out of it evenly on both sides.
    return QStringLiteral("QSlider::groove:horizontal { height: 4px; background: rgba(255, 255, 255, 0.15);"
                          " border-radius: 2px; }"
                          "QSlider::sub-page:horizontal { background: %1; border-radius: 2px; }"
                          "QSlider::handle:horizontal { background: #ffffff; width: %2px; height: %2px;"
                          " margin: -%3px 0px; border-radius: %4px; }")
        .arg(kTeal)
        .arg(handle)
        .arg(qMax(0, (handle - 4) / 2))
        .arg(handle / 2);
}

QString badgeStyle(QLatin1StringView colour, int fontSize, int verticalPadding, int horizontalPadding)
{
    return QStringLiteral("QLabel { color: %1; border: 1px solid %1; border-radius: 3px; padding: %2px %3px;"
                          " font-size: %4px; font-weight: bold; font-family: %5; }")
        .arg(colour)
        .arg(verticalPadding)
        .arg(horizontalPadding)
        .arg(fontSize)
        .arg(kMonoFont);
}

QString clockStyle()
{
    return QStringLiteral("QLabel { color: #888888; font-size: 10px; font-family: %1; }").arg(kMonoFont);
}

} // namespace MusicLook
