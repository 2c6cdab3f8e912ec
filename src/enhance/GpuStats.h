#pragma once

#include <QString>

#include <optional>

// What the kernel tells about the graphics card's load (amdgpu and some other drivers publish it
// under /sys/class/drm). Cards without it, and software rendering, tell nothing.
struct GpuStats {
    std::optional<double> busyPercent;
    std::optional<double> vramUsedGiB;
    std::optional<double> vramTotalGiB;

    // The first card that reports anything; `drmRoot` is /sys/class/drm outside tests.
    static GpuStats read(const QString &drmRoot = QStringLiteral("/sys/class/drm"));
};
