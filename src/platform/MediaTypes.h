#pragma once

#include <QStringList>

// What the desktop is told the player opens. The desktop entry's MimeType line and the media
// player service announce the same list, so a file manager's "open with" and a media-key applet
// never disagree about the player.
namespace MediaTypes {

// The open dialog's file kinds by their shared-mime-info names, with the older aliases that
// some file managers still hand out. TrueHD has no registered type and is left out.
QStringList supportedMimeTypes();

// Address schemes the player plays: local files and the stream protocols.
QStringList supportedUriSchemes();

} // namespace MediaTypes
