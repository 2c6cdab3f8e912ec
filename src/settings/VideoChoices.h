#pragma once

#include <QSettings>
#include <QStringList>

// The video settings that compete with the player's automatic decisions for the machine and
// each video: only the ones the user picked are replayed at start and held across files.
namespace VideoChoices {

// Names in SettingsKeys::videoChosen.
inline constexpr auto kProfile = "render_profile";
inline constexpr auto kScaling = "scaling";
inline constexpr auto kDeband = "deband";
inline constexpr auto kHwdec = "hwdec";

// The user's picks in the store.
QStringList stored(const QSettings &settings);

// The scaler an upscaling combo text names ("bilinear (빠름)" → "bilinear").
QString scalerOf(const QString &comboText);
// The decoder a hardware-decoding combo text names; the "-copy" items select the same family
// as their plain items.
QString hwdecOf(const QString &comboText);

} // namespace VideoChoices
