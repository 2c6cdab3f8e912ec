#include "app/AppIdentity.h"
#include "app/AppLook.h"
#include "app/CommandLine.h"
#include "app/HandoverServer.h"
#include "app/SingleInstanceGuard.h"
#include "engine/RenderEnvironment.h"
#include "mainwindow/MainWindow.h"
#include "platform/MemoryRelease.h"
#include "platform/UnixSignalWatcher.h"

#include <QApplication>
#include <QDir>

namespace {
constexpr int kHandoverTimeoutMs = 1500;
// A live owner that does not answer yet is still building its window, and listens only once the
// window is up: with software OpenGL on a busy machine that takes seconds, not the 1500 ms a
// single connection is given.
constexpr int kOwnerStartingMs = 10000;
} // namespace

int main(int argc, char *argv[])
{
    MemoryRelease::configureAllocator();
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

    // The shared context is made with the application and loads the GL driver: on a machine
    // whose video is drawn in software nothing else would load it.
    if (videoSurfaceMayUseOpenGl())
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    AppIdentity::apply(app);
    const StartupArguments arguments = parseStartupArguments(app);

    const QString serverName = AppIdentity::handoverServerPath();
    SingleInstanceGuard instanceGuard(AppIdentity::instanceMarkerPath());
    if (!arguments.newWindow) {
        switch (instanceGuard.claim()) {
        case SingleInstanceGuard::Claim::Claimed:
            break;
        case SingleInstanceGuard::Claim::Unavailable:
            qWarning() << "[Instance] 실행 표식을 만들 수 없음: 단일 실행 확인 없이 엽니다";
            break;
        case SingleInstanceGuard::Claim::HeldByLiveOwner:
            if (handOverToOwner(instanceGuard, serverName, arguments.files, kHandoverTimeoutMs, kOwnerStartingMs)
                != HandoverResult::OwnerGone)
                return 0;
            qInfo() << "[Instance] 이전 실행이 끝남: 이 프로세스가 플레이어를 엽니다";
            break;
        }
    }

    // Which surface draws the video, decided before the window exists: every surface of this
    // process uses it.
    videoSurfaceForProcess();

    AppLook::applyDarkLook(app);
    MainWindow window;
    // Handed over before the window is shown: the engine starts opening the file while the
    // window comes up.
    const QStringList startupFiles = playableStartupArguments(arguments.files);
    if (!startupFiles.isEmpty())
        window.openFiles(startupFiles);
    else
        window.resumeLastFile();
    window.show();

    HandoverServer handoverServer;
    QObject::connect(&handoverServer, &HandoverServer::filesReceived, &window, [&window](const QStringList &files) {
        window.raise();
        window.activateWindow();
        window.openFiles(files);
    });
    if (!serverName.isEmpty())
        handoverServer.listen(serverName);

    UnixSignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &UnixSignalWatcher::terminationRequested, &window, &QWidget::close);

    return app.exec();
}
