#include "engine/GraphicsDevices.h"

#include "app/AppIdentity.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {
// What decides which driver OpenGL loads and where it draws, besides the hardware.
constexpr const char *kDriverVariables[] = {
    "LIBGL_ALWAYS_SOFTWARE", "GALLIUM_DRIVER", "MESA_LOADER_DRIVER_OVERRIDE", "LIBGL_DRIVERS_PATH",
    "__GLX_VENDOR_LIBRARY_NAME", "__EGL_VENDOR_LIBRARY_FILENAMES", "QT_QPA_PLATFORM", "QT_XCB_GL_INTEGRATION",
    // The same machine draws on its GPU on its own display and with the CPU on a virtual one.
    "DISPLAY", "WAYLAND_DISPLAY"};

QString firstLine(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readLine()).trimmed();
}

// Mesa reads its boolean variables this way: set and not one of the false words.
bool mesaFlagSet(const char *name)
{
    if (!qEnvironmentVariableIsSet(name))
        return false;
    static const QStringList falseWords{QStringLiteral("0"), QStringLiteral("n"), QStringLiteral("no"),
                                        QStringLiteral("f"), QStringLiteral("false")};
    return !falseWords.contains(qEnvironmentVariable(name).trimmed().toLower());
}

QString softwareForcedBy()
{
    if (mesaFlagSet("LIBGL_ALWAYS_SOFTWARE"))
        return QStringLiteral("LIBGL_ALWAYS_SOFTWARE");
    static const QStringList softwareDrivers{QStringLiteral("llvmpipe"), QStringLiteral("softpipe"),
                                             QStringLiteral("swr")};
    if (softwareDrivers.contains(qEnvironmentVariable("GALLIUM_DRIVER").trimmed().toLower()))
        return QStringLiteral("GALLIUM_DRIVER");
    return {};
}
} // namespace

GraphicsDevices scanGraphicsDevices(const QString &root)
{
    const QDir base(root);
    GraphicsDevices devices;
    QStringList facts;
    const QStringList renderNodes = QDir(base.filePath(QStringLiteral("dev/dri")))
                                        .entryList({QStringLiteral("renderD*")}, QDir::System | QDir::Files, QDir::Name);
    for (const QString &node : renderNodes) {
        const QString device = base.filePath(QStringLiteral("sys/class/drm/%1/device").arg(node));
        facts << node + QLatin1Char(' ') + QFileInfo(device + QStringLiteral("/driver")).symLinkTarget().section(QLatin1Char('/'), -1)
                  + QLatin1Char(' ') + firstLine(device + QStringLiteral("/vendor")) + QLatin1Char(':')
                  + firstLine(device + QStringLiteral("/device"));
    }
    const QString nvidia = firstLine(base.filePath(QStringLiteral("proc/driver/nvidia/version")));
    facts << nvidia;
    devices.gpu = !renderNodes.isEmpty() || !nvidia.isEmpty()
                  || QFileInfo::exists(base.filePath(QStringLiteral("dev/nvidiactl")));
    // Rewritten whenever a package brings or replaces libraries, GL drivers among them.
    const QFileInfo libraries(base.filePath(QStringLiteral("etc/ld.so.cache")));
    facts << QString::number(libraries.lastModified().toMSecsSinceEpoch()) + QLatin1Char(' ')
                 + QString::number(libraries.size());
    for (const char *name : kDriverVariables)
        facts << QLatin1String(name) + QLatin1Char('=') + qEnvironmentVariable(name);
    devices.softwareForcedBy = softwareForcedBy();
    devices.fingerprint = QString::fromLatin1(
        QCryptographicHash::hash(facts.join(QLatin1Char('\n')).toUtf8(), QCryptographicHash::Sha1).toHex());
    return devices;
}

std::optional<OpenGlSupport> storedOpenGlAnswer(const QString &file, const QString &fingerprint)
{
    if (!QFileInfo::exists(file))
        return std::nullopt;
    const QSettings stored(file, QSettings::IniFormat);
    if (fingerprint.isEmpty() || stored.value(QStringLiteral("fingerprint")).toString() != fingerprint)
        return std::nullopt;
    return OpenGlSupport{stored.value(QStringLiteral("usable")).toBool(),
                         stored.value(QStringLiteral("renderer")).toString(),
                         stored.value(QStringLiteral("vendor")).toString()};
}

void storeOpenGlAnswer(const QString &file, const QString &fingerprint, const OpenGlSupport &support)
{
    QSettings stored(file, QSettings::IniFormat);
    stored.setValue(QStringLiteral("fingerprint"), fingerprint);
    stored.setValue(QStringLiteral("usable"), support.usable);
    stored.setValue(QStringLiteral("renderer"), support.renderer);
    stored.setValue(QStringLiteral("vendor"), support.vendor);
}

QString openGlAnswerFile()
{
    // The application's own cache folder, named before the application object exists.
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation)
           + QStringLiteral("/%1/%2/opengl.ini")
                 .arg(QLatin1String(AppIdentity::kOrganisation), QLatin1String(AppIdentity::kApplicationName));
}
