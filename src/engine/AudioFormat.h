#pragma once

#include <QString>

// Channel count from the engine's "audio-channels" text ("stereo", "5.1(side)", "7.1", "3"...);
// 0 when the text names a layout without a known count.
int channelCountFromText(const QString &channels);
