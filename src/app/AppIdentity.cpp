#include "app/AppIdentity.h"

#include <QApplication>
#include <QIcon>
#include <QSurfaceFormat>

namespace AppIdentity {

void apply(QApplication &app)
{
    app.setApplicationName(kApplicationName);
    app.setApplicationDisplayName(kApplicationName);
    app.setApplicationVersion(kVersion);
    app.setOrganizationName(kOrganisation);
    app.setDesktopFileName(QLatin1String(kDesktopEntry));
    app.setWindowIcon(QIcon(kWindowIcon));
}

void installDefaultSurfaceFormat()
{
    QSurfaceFormat format;
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setSwapBehavior(QSurfaceFormat::TripleBuffer);
    format.setSwapInterval(1);
    QSurfaceFormat::setDefaultFormat(format);
}

} // namespace AppIdentity
