// MpvCore: the shared video filter chain and the 360° view that lives in it.
#include "engine/MpvCore.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

namespace {
// Even a small picture gets one view change per frame at most.
constexpr qint64 kMinVr360StepMs = 30;
} // namespace

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
        if (vr360Timer_)
            vr360Timer_->stop();
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
    vr360Shown_ = view;
    return true;
}

void MpvCore::turnVr360View(double yawDegrees, double pitchDegrees)
{
    if (!initialized_ || !vr360_)
        return;
    vr360_->turn(yawDegrees, pitchDegrees);
    sendVr360View();
}

void MpvCore::zoomVr360View(double fovDegrees)
{
    if (!initialized_ || !vr360_)
        return;
    vr360_->zoom(fovDegrees);
    sendVr360View();
}

void MpvCore::sendVr360View()
{
    // The filter rebuilds its whole lookup table for every change (hundreds of milliseconds
    // for a 1080p picture here), and the engine waits for it. A drag makes far more changes
    // than that; they are gathered and only the latest view is sent, as often as the last
    // rebuild allows.
    if (!vr360Timer_) {
        vr360Timer_ = new QTimer(this);
        vr360Timer_->setSingleShot(true);
        connect(vr360Timer_, &QTimer::timeout, this, &MpvCore::sendVr360View);
    }
    if (vr360Timer_->isActive() || !vr360_
        || (vr360Shown_.yaw == vr360_->yaw && vr360Shown_.pitch == vr360_->pitch && vr360Shown_.fov == vr360_->fov))
        return;
    QElapsedTimer took;
    took.start();
    // The filter takes these while it runs, and reports an error even when it has taken them,
    // so the result code is not judged here.
    const auto sendIfChanged = [this](const char *option, double shown, double wanted) {
        if (shown != wanted)
            videoFilters_->sendCommand(VideoFilterSlot::Vr360, QLatin1String(option), QString::number(wanted, 'f', 2));
    };
    sendIfChanged("yaw", vr360Shown_.yaw, vr360_->yaw);
    sendIfChanged("pitch", vr360Shown_.pitch, vr360_->pitch);
    sendIfChanged("d_fov", vr360Shown_.fov, vr360_->fov);
    vr360Shown_ = *vr360_;
    vr360Timer_->start(std::max<qint64>(kMinVr360StepMs, 2 * took.elapsed()));
}
