#include "engine/AudioFormat.h"

int channelCountFromText(const QString &channels)
{
    if (channels == QLatin1String("mono"))
        return 1;
    if (channels == QLatin1String("stereo"))
        return 2;
    if (channels.contains(QLatin1String("5.1")))
        return 6;
    if (channels.contains(QLatin1String("7.1")))
        return 8;
    if (channels.contains(QLatin1String("6.1")))
        return 7;
    return channels.toInt(); // 0 when not a plain number, e.g. "4.0"
}
