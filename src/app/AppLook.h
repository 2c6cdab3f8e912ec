#pragma once

class QApplication;

namespace AppLook {

// Fusion with the player's dark palette, for every colour group.
void applyDarkLook(QApplication &app);

} // namespace AppLook
