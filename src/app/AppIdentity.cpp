#include "app/AppIdentity.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QSurfaceFormat>

#include <sys/un.h>
#include <unistd.h>

namespace AppIdentity {

namespace {
QString inFolder(const QString &folder, const char *name)
{
    return folder.isEmpty() ? QString() : folder + QLatin1Char('/') + QLatin1String(name);
}

bool isPrivateFolder(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isAbsolute() || !info.isDir() || info.ownerId() != ::geteuid())
        return false;
    constexpr QFile::Permissions othersMayEnter = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
        | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    if (info.permissions() & othersMayEnter)
        return false;
    // A longer path cannot be bound as a Unix socket at all.
    return QFile::encodeName(inFolder(path, kHandoverServerName)).size() < qsizetype(sizeof(sockaddr_un::sun_path));
}
} // namespace

QString instanceFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivateFolder(runtime))
        return QDir::cleanPath(runtime);
    // The temporary folder is shared: a folder someone else made under our name, or one left
    // open to others, is not ours to trust, so it is refused rather than repaired.
    const QString own = QDir::tempPath() + QStringLiteral("/velmoran-%1").arg(::geteuid());
    QDir().mkdir(own, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return isPrivateFolder(own) ? own : QString();
}

QString instanceMarkerPath()
{
    return inFolder(instanceFolder(), kInstanceMarkerName);
}

QString handoverServerPath()
{
    return inFolder(instanceFolder(), kHandoverServerName);
}

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
