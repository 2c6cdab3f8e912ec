#include "platform/LauncherProgress.h"

#include <QDBusMessage>
#include <QVariantMap>

#include <algorithm>
#include <cmath>

LauncherProgress::LauncherProgress(QObject *parent)
    : QObject(parent)
    , bus_(QDBusConnection::sessionBus())
    , busUsable_(bus_.isConnected())
{
}

LauncherProgress::~LauncherProgress()
{
    // A dock may keep the entry after we are gone; do not leave a stale bar on it.
    clear();
}

void LauncherProgress::setProgress(double fraction)
{
    if (!busUsable_ || !std::isfinite(fraction))
        return;
    const int perMille = int(std::lround(std::clamp(fraction, 0.0, 1.0) * 1000.0));
    if (visible_ && perMille == perMille_)
        return;
    publish(true, perMille);
}

void LauncherProgress::setPaused()
{
}

void LauncherProgress::clear()
{
    if (!busUsable_ || !visible_)
        return;
    publish(false, perMille_);
}

void LauncherProgress::publish(bool visible, int perMille)
{
    visible_ = visible;
    perMille_ = perMille;
    QVariantMap properties;
    properties.insert(QStringLiteral("progress-visible"), visible);
    if (visible)
        properties.insert(QStringLiteral("progress"), perMille / 1000.0);
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(objectPath),
                                                     QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                     QStringLiteral("Update"));
    signal << QLatin1String(appUri) << properties;
    bus_.send(signal);
}
