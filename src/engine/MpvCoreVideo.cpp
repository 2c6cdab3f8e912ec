// MpvCore: the shared video filter chain and the 360° view that lives in it.
#include "engine/MpvCore.h"

#include <QDebug>

bool MpvCore::setVideoFilter(VideoFilterSlot slot, const QString &filters)
{
    return initialized_ && check(videoFilters_->set(slot, filters)) >= 0;
}

bool MpvCore::clearVideoFilter(VideoFilterSlot slot)
{
    return initialized_ && check(videoFilters_->clear(slot)) >= 0;
}

QString MpvCore::videoFilter(VideoFilterSlot slot) const
{
    return videoFilters_->filters(slot);
}

bool MpvCore::setVr360Projection(const QString &projection)
{
    if (!initialized_)
        return false;
    if (projection.isEmpty()) {
        vr360_.reset();
        return clearVideoFilter(VideoFilterSlot::Vr360);
    }
    const std::optional<QString> input = Vr360View::inputFor(projection);
    if (!input) {
        qWarning().noquote() << "[MPV] 알 수 없는 360° 투영:" << projection;
        return false;
    }
    // Another projection starts looking ahead again: the old direction meant another place.
    Vr360View view;
    view.input = *input;
    // The running entry was turned by commands since it was added: its stored text no longer
    // says where it looks, so it is rebuilt rather than judged unchanged.
    if (vr360_ && vr360_->filterText() != videoFilter(VideoFilterSlot::Vr360))
        clearVideoFilter(VideoFilterSlot::Vr360);
    if (!setVideoFilter(VideoFilterSlot::Vr360, view.filterText()))
        return false;
    vr360_ = view;
    return true;
}

void MpvCore::turnVr360View(double yawDegrees, double pitchDegrees)
{
    if (!initialized_ || !vr360_)
        return;
    const Vr360View before = *vr360_;
    vr360_->turn(yawDegrees, pitchDegrees);
    // The filter takes these while it runs, and reports an error even when it has taken them,
    // so the result code is not judged here.
    if (vr360_->yaw != before.yaw)
        videoFilters_->sendCommand(VideoFilterSlot::Vr360, QStringLiteral("yaw"), QString::number(vr360_->yaw, 'f', 2));
    if (vr360_->pitch != before.pitch)
        videoFilters_->sendCommand(VideoFilterSlot::Vr360, QStringLiteral("pitch"), QString::number(vr360_->pitch, 'f', 2));
}

void MpvCore::zoomVr360View(double fovDegrees)
{
    if (!initialized_ || !vr360_)
        return;
    const double before = vr360_->fov;
    vr360_->zoom(fovDegrees);
    if (vr360_->fov != before)
        videoFilters_->sendCommand(VideoFilterSlot::Vr360, QStringLiteral("d_fov"), QString::number(vr360_->fov, 'f', 2));
}
