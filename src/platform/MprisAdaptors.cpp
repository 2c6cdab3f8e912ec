#include "platform/MprisAdaptors.h"

#include "app/AppIdentity.h"
#include "platform/MediaTypes.h"

MprisRootAdaptor::MprisRootAdaptor(MprisService *service)
    : QDBusAbstractAdaptor(service)
    , service_(service)
{
}

QString MprisRootAdaptor::identity() const
{
    return QLatin1String(AppIdentity::kApplicationName);
}

QString MprisRootAdaptor::desktopEntry() const
{
    return QLatin1String(AppIdentity::kDesktopEntry);
}

QStringList MprisRootAdaptor::supportedUriSchemes() const
{
    return MediaTypes::supportedUriSchemes();
}

QStringList MprisRootAdaptor::supportedMimeTypes() const
{
    return MediaTypes::supportedMimeTypes();
}

void MprisRootAdaptor::Raise()
{
    service_->raise();
}

void MprisRootAdaptor::Quit()
{
    service_->quit();
}

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService *service)
    : QDBusAbstractAdaptor(service)
    , service_(service)
{
    connect(service, &MprisService::seeked, this, &MprisPlayerAdaptor::Seeked);
}
