#include "enhance/GpuStats.h"

#include <QDir>
#include <QFile>

namespace {
std::optional<double> readNumber(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool ok = false;
    const double value = file.read(64).trimmed().toDouble(&ok);
    return ok ? std::optional<double>(value) : std::nullopt;
}

std::optional<double> gibibytes(std::optional<double> bytes)
{
    return bytes ? std::optional<double>(*bytes / (1024.0 * 1024.0 * 1024.0)) : std::nullopt;
}
} // namespace

GpuStats GpuStats::read(const QString &drmRoot)
{
    // card0, card1...; connectors such as card0-HDMI-A-1 have no device counters of their own.
    const QStringList cards = QDir(drmRoot).entryList({QStringLiteral("card*")}, QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &card : cards) {
        if (card.contains(QLatin1Char('-')))
            continue;
        const QString device = drmRoot + QLatin1Char('/') + card + QStringLiteral("/device/");
        GpuStats stats;
        stats.busyPercent = readNumber(device + QStringLiteral("gpu_busy_percent"));
        stats.vramUsedGiB = gibibytes(readNumber(device + QStringLiteral("mem_info_vram_used")));
        stats.vramTotalGiB = gibibytes(readNumber(device + QStringLiteral("mem_info_vram_total")));
        if (stats.busyPercent || stats.vramUsedGiB)
            return stats;
    }
    return {};
}
