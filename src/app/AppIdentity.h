#pragma once

#include <QString>

class QApplication;

// Names the process is known by: the application object, the settings store and the
// single-instance hand-over all have to agree on them.
namespace AppIdentity {

inline constexpr auto kApplicationName = "Velmoran";
inline constexpr auto kVersion = VELMORAN_VERSION; // from the project version in CMake
inline constexpr auto kOrganisation = "Velmoran";
inline constexpr auto kSettingsApplication = "VelmoranPlayer";
inline constexpr auto kWindowIcon = ":/icons/velmoran.ico";
// The installed velmoran.desktop (without ".desktop"): docks, media applets and Wayland
// compositors find the player's name and icon through it.
inline constexpr auto kDesktopEntry = "velmoran";

inline constexpr auto kInstanceMarkerName = "Velmoran_Instance.lock";
inline constexpr auto kHandoverServerName = "VelmoranIPC_v1";

// The folder that holds the instance marker and the hand-over socket. Only this user may enter
// it, so another user's player is never taken for ours and is never handed our files:
// $XDG_RUNTIME_DIR when it is such a folder, otherwise one of our own in the temporary folder,
// named by the user id. Empty when neither can be had; the player then runs alone.
QString instanceFolder();
// Full paths of the marker and the socket inside instanceFolder(); empty with it.
QString instanceMarkerPath();
QString handoverServerPath();

// Must run right after the application object exists, before anything reads settings.
void apply(QApplication &app);

// OpenGL 3.3 core, triple-buffered, vsync: installed before the application object so
// every GL widget, the video surface above all, gets it.
void installDefaultSurfaceFormat();

} // namespace AppIdentity
