#pragma once
// Helpers shared by the tests that drive the real player window.
#include "TestMedia.h"
#include "app/AppIdentity.h"
#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "mainwindow/MainWindow.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSettings>
#include <QTest>
#include <QTimer>

// The player's own settings store, as the window reads and writes it.
inline QSettings store()
{
    return QSettings(QLatin1StringView(AppIdentity::kOrganisation), QLatin1StringView(AppIdentity::kSettingsApplication));
}

// True once the window has taken in `clip` (its title names it) and the engine knows its length.
inline bool openAndWait(MainWindow &window, const QString &clip)
{
    window.show();
    window.openFiles({TestMedia::path(clip)});
    MpvCore *core = window.videoSurface()->core();
    return QTest::qWaitFor([&] { return window.windowTitle() == QStringLiteral("Velmoran — ") + clip; }, 10000)
        && QTest::qWaitFor([core] { return core->duration() > 0; }, 5000);
}

// As openAndWait, then paused at `at` seconds so positions hold still.
inline bool openPausedAt(MainWindow &window, const QString &clip, double at)
{
    if (!openAndWait(window, clip))
        return false;
    MpvCore *core = window.videoSurface()->core();
    core->pause();
    core->seek(at);
    return QTest::qWaitFor([core, at] { return core->isPaused() && qAbs(core->position() - at) < 0.5; }, 5000);
}

// A mouse event at a point given in the window's coordinates, delivered to `target`.
inline void sendMouse(QWidget *target, QEvent::Type type, const QPoint &windowPos, Qt::MouseButton button,
                      Qt::MouseButtons buttons)
{
    const QPoint global = target->window()->mapToGlobal(windowPos);
    QMouseEvent event(type, target->mapFromGlobal(global), global, button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

// Modal dialogs run their own event loop; this rejects the ones of one kind as they appear and
// counts them, so a test never waits inside a dialog nobody answers.
template <typename Dialog>
class ModalCloser
{
public:
    ModalCloser()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget())) {
                ++count_;
                dialog->reject();
            }
        });
        timer_.start(50);
    }
    int count() const { return count_; }

private:
    QTimer timer_;
    int count_ = 0;
};
