#pragma once

#include <QString>

// Engine traces for bug reports. Switched on for the whole process when VELMORAN_DEBUG is set
// at the first call; later changes to the environment are deliberately ignored.
void appLog(const QString &message);

// Where appLog writes: $XDG_STATE_HOME/velmoran/velmoran_app.log (~/.local/state/... by default).
QString appLogPath();

// The folder shared by the program's debug logs (the engine log lives beside appLog's file).
QString debugLogDirectory();
