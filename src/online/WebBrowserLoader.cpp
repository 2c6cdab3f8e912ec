#include "online/WebBrowserLoader.h"

#include "online/WebBrowserModule.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>

#include <unistd.h>

#ifndef VELMORAN_MODULES_FROM_BIN
#define VELMORAN_MODULES_FROM_BIN "../lib/velmoran"
#endif

namespace {
constexpr auto kModuleFile = "velmoran_webbrowser.so";

QStringList moduleCandidates()
{
    if (const QString chosen = qEnvironmentVariable("VELMORAN_WEBBROWSER_MODULE"); !chosen.isEmpty())
        return {chosen};
    const QDir bin(QCoreApplication::applicationDirPath());
    return {bin.filePath(QLatin1String(kModuleFile)),
            QDir::cleanPath(bin.filePath(QStringLiteral(VELMORAN_MODULES_FROM_BIN "/") + QLatin1String(kModuleFile)))};
}

WebBrowserEngine *loadOnce(QString *error)
{
    // Chromium refuses to start its sandbox as root and exits the whole process instead. It reads
    // this when the engine starts, which is after the module is loaded.
    if (getuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QStringList failures;
    for (const QString &path : moduleCandidates()) {
        if (!QFileInfo::exists(path)) {
            failures << QStringLiteral("%1: 없음").arg(path);
            continue;
        }
        // Never unloaded: the engine's threads and profile live until the process ends.
        auto *loader = new QPluginLoader(path, qApp);
        if (auto *engine = qobject_cast<WebBrowserEngine *>(loader->instance()))
            return engine;
        failures << QStringLiteral("%1: %2").arg(path, loader->errorString());
        delete loader;
    }
    *error = failures.join(QStringLiteral("; "));
    return nullptr;
}
} // namespace

WebBrowserEngine *loadWebBrowserEngine(QString *error)
{
    static QString failure;
    static WebBrowserEngine *const engine = loadOnce(&failure);
    if (error)
        *error = failure;
    return engine;
}
