#include "app/AppIdentity.h"
#include "app/AppLook.h"
#include "app/CommandLine.h"
#include "app/HandoverServer.h"
#include "app/SingleInstanceGuard.h"
#include "mainwindow/MainWindow.h"
#include "platform/UnixSignalWatcher.h"

#include <QApplication>
#include <QDir>

namespace {
constexpr int kHandoverTimeoutMs = 1500;
}

int main(int argc, char *argv[])
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    AppIdentity::installDefaultSurfaceFormat();
    QCoreApplication::addLibraryPath(QDir::currentPath());

    QStringList rawArguments;
    for (int i = 0; i < argc; ++i)
        rawArguments << QString::fromLocal8Bit(argv[i]);
    if (endsWithTextOnly(rawArguments)) {
        QCoreApplication textOnly(argc, argv);
        QCoreApplication::setApplicationName(QLatin1String(AppIdentity::kApplicationName));
        QCoreApplication::setApplicationVersion(QLatin1String(AppIdentity::kVersion));
        parseStartupArguments(textOnly); // prints and ends the process
        return 0;
    }

    QApplication app(argc, argv);
    AppIdentity::apply(app);
    const StartupArguments arguments = parseStartupArguments(app);

    SingleInstanceGuard instanceGuard(QString::fromLatin1(AppIdentity::kInstanceMemoryKey));
    if (!arguments.newWindow && !instanceGuard.claim()) {
        const HandoverResult handover = sendHandover(QString::fromLatin1(AppIdentity::kHandoverServerName),
                                                     arguments.files, kHandoverTimeoutMs);
        if (handover != HandoverResult::NoListener)
            return 0;
        // Nobody listens behind the marker: its owner died without cleaning up.
        qInfo() << "[Instance] 이전 실행이 응답하지 않음: 이 프로세스가 플레이어를 엽니다";
        instanceGuard.reclaimStale();
    }

    AppLook::applyDarkLook(app);
    MainWindow window;
    window.show();

    HandoverServer handoverServer;
    QObject::connect(&handoverServer, &HandoverServer::filesReceived, &window, [&window](const QStringList &files) {
        window.raise();
        window.activateWindow();
        window.openFiles(files);
    });
    handoverServer.listen(QString::fromLatin1(AppIdentity::kHandoverServerName));

    UnixSignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &UnixSignalWatcher::terminationRequested, &window, &QWidget::close);

    const QStringList startupFiles = playableStartupArguments(arguments.files);
    if (!startupFiles.isEmpty())
        window.openFiles(startupFiles);

    return app.exec();
}
