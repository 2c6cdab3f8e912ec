#include "engine/VideoFilterChain.h"

#include "engine/EngineSession.h"

#include <QDebug>

#include <algorithm>
#include <cmath>

namespace {
constexpr const char *kLabels[kVideoFilterSlotCount] = {"vr360"};

QString degrees(double value)
{
    return QString::number(value, 'f', 2);
}
} // namespace

QString VideoFilterChain::label(VideoFilterSlot slot)
{
    return QLatin1String(kLabels[int(slot)]);
}

int VideoFilterChain::set(VideoFilterSlot slot, const QString &filters)
{
    if (filters.isEmpty())
        return clear(slot);
    std::optional<QString> &entry = entries_[int(slot)];
    if (entry == filters)
        return 0;
    // "vf add" replaces an entry of the same label where it stands, or appends.
    const int result = session_.command({QStringLiteral("vf"), QStringLiteral("add"),
                                         QLatin1Char('@') + label(slot) + QLatin1Char(':') + filters});
    if (result < 0) {
        qWarning().noquote() << "[MPV] 비디오 필터 거부:" << label(slot) << filters;
        return result;
    }
    entry = filters;
    return result;
}

int VideoFilterChain::clear(VideoFilterSlot slot)
{
    std::optional<QString> &entry = entries_[int(slot)];
    if (!entry)
        return 0;
    const int result = session_.command({QStringLiteral("vf"), QStringLiteral("remove"), QLatin1Char('@') + label(slot)});
    if (result >= 0)
        entry.reset();
    return result;
}

QString VideoFilterChain::filters(VideoFilterSlot slot) const
{
    return entries_[int(slot)].value_or(QString());
}

int VideoFilterChain::sendCommand(VideoFilterSlot slot, const QString &option, const QString &value)
{
    if (!entries_[int(slot)])
        return -1;
    return session_.command({QStringLiteral("vf-command"), label(slot), option, value});
}

std::optional<QString> Vr360View::inputFor(const QString &projection)
{
    static const std::pair<const char *, const char *> kInputs[] = {
        {"equirectangular", "e"}, {"fisheye", "fisheye"}, {"hequirectangular", "hequirect"}, {"eac", "eac"}};
    for (const auto &[name, input] : kInputs)
        if (projection == QLatin1String(name))
            return QString::fromLatin1(input);
    return std::nullopt;
}

QString Vr360View::filterText() const
{
    return QStringLiteral("v360=input=%1:output=flat:yaw=%2:pitch=%3:d_fov=%4")
        .arg(input, degrees(yaw), degrees(pitch), degrees(fov));
}

void Vr360View::turn(double yawDegrees, double pitchDegrees)
{
    // Round and round sideways; up and down only as far as straight up or down.
    yaw = std::remainder(yaw + yawDegrees, 360.0);
    pitch = std::clamp(pitch + pitchDegrees, -90.0, 90.0);
}

void Vr360View::zoom(double fovDegrees)
{
    fov = std::clamp(fov + fovDegrees, kMinFov, kMaxFov);
}
