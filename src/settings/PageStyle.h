#pragma once

#include <QString>
#include <QStringList>

// The dark look the pro panel's settings pages share (high-end audio and video, network):
// backgrounds of the named page widgets, text, fields, lists, tabs, check boxes and buttons.
// Labels take their looks from the "role" ("caption", "note") and "state" ("ok", "off",
// "error") properties.
namespace PageStyle {

QString sheet(const QStringList &pageObjectNames);

} // namespace PageStyle
