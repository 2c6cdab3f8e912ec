#include "mainwindow/MainWindow.h"

#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "mainwindow/WindowPlacement.h"

#include <QCloseEvent>
#include <QDebug>
#include <QGuiApplication>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent),
      settings_(QLatin1StringView(AppIdentity::kOrganisation), QLatin1StringView(AppIdentity::kSettingsApplication))
{
    setWindowTitle(QStringLiteral("Velmoran"));
    setMinimumSize(800, 540);
    setAcceptDrops(true);
    setWindowFlags(Qt::FramelessWindowHint | Qt::Window);

    buildWidgetTree();
    loadWindowState();
}

void MainWindow::buildWidgetTree()
{
    setFocusPolicy(Qt::StrongFocus);
    auto *central = new QWidget(this);
    central->setStyleSheet(QStringLiteral("QWidget { background: #0e0e0e; color: #ccc; }"));
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    mainStack_ = new QStackedWidget(central);
    auto *playerPage = new QWidget(mainStack_);
    mainStack_->addWidget(playerPage);
    layout->addWidget(mainStack_, 1);

    setCentralWidget(central);
}

void MainWindow::loadWindowState()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
    const WindowPlacement placement = chooseWindowPlacement(
        available, readSetting(settings_, SettingsKeys::windowSize), readSetting(settings_, SettingsKeys::windowPos));
    resize(placement.geometry.size());
    move(placement.geometry.topLeft());
    if (placement.replacesStored) {
        writeSetting(settings_, SettingsKeys::windowSize, placement.geometry.size());
        writeSetting(settings_, SettingsKeys::windowPos, placement.geometry.topLeft());
    }

    if (readSetting(settings_, SettingsKeys::windowAlwaysOnTop))
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
}

void MainWindow::openFiles(const QStringList &files)
{
    // Files wait here until the playback engine reports that it is ready.
    qInfo().noquote() << "[MainWindow] openFiles: MPV 초기화 전 → pendingStartupFiles_에 저장" << files;
    pendingStartupFiles_ = files;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    writeSetting(settings_, SettingsKeys::windowSize, size());
    writeSetting(settings_, SettingsKeys::windowPos, pos());
    event->accept();
}
