#pragma once

#include <QColor>
#include <QLatin1StringView>
#include <QString>

// The look the music views share (full view, mini strip, compact panel, equalizer, playlist): the
// teal accent, the fonts, and the style sheets of the controls they have in common.
namespace MusicLook {

// Constant-initialised, so style sheets built at start-up in any file can use them.
inline constexpr QLatin1StringView kTeal{"#00c8b4"};
inline constexpr QColor kTealColour{0x00, 0xc8, 0xb4};
inline constexpr QLatin1StringView kSansFont{"'Malgun Gothic', 'Segoe UI', 'Noto Sans CJK KR', sans-serif"};
inline constexpr QLatin1StringView kMonoFont{"Consolas, 'DejaVu Sans Mono', monospace"};

// A borderless round button showing its text in `colour`.
QString transportStyle(QLatin1StringView colour, int radius, int fontSize);
// The round teal play button.
QString playStyle(int radius, int fontSize);
// A small grey button that lights up under the pointer.
QString smallButtonStyle(QLatin1StringView colour, int fontSize);
// A thin horizontal slider filled teal up to a white round handle of `handle` px.
QString sliderStyle(int handle);
// A bold monospace label outlined in its own colour.
QString badgeStyle(QLatin1StringView colour, int fontSize, int verticalPadding, int horizontalPadding);
// The small players' clocks.
QString clockStyle();

} // namespace MusicLook
