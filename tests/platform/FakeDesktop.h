#pragma once
// Stand-ins for the desktop services the player talks to over the session bus: the screen saver
// (whose replies can be held back, to open the window in which the player changes its mind before
// the cookie arrives) and a dock listening for launcher progress.
#include "platform/LauncherProgress.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QVariantMap>

inline const QString kScreenSaver = QStringLiteral("org.freedesktop.ScreenSaver");

class FakeScreenSaver : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    explicit FakeScreenSaver(const QDBusConnection &bus) : bus_(bus) {}

    QStringList inhibitCallers; // "application|reason"
    QList<uint> releasedCookies;
    bool holdReplies = false;
    QList<QDBusMessage> heldCalls;
    uint nextCookie = 41;

    // Registers the service on its own connection, so that calls really travel through the bus.
    bool publish()
    {
        return bus_.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), this, QDBusConnection::ExportAllSlots)
            && bus_.registerService(kScreenSaver);
    }
    void withdraw()
    {
        bus_.unregisterService(kScreenSaver);
        bus_.unregisterObject(QStringLiteral("/org/freedesktop/ScreenSaver"));
    }
    void answerHeld()
    {
        for (const QDBusMessage &call : std::as_const(heldCalls))
            bus_.send(call.createReply(++nextCookie));
        heldCalls.clear();
    }

public slots:
    uint Inhibit(const QString &application, const QString &reason)
    {
        inhibitCallers << application + QLatin1Char('|') + reason;
        if (holdReplies) {
            setDelayedReply(true);
            heldCalls << message();
            return 0;
        }
        return ++nextCookie;
    }
    void UnInhibit(uint cookie) { releasedCookies << cookie; }

private:
    QDBusConnection bus_;
};

struct LauncherUpdate {
    QString uri;
    QVariantMap properties;
};

class LauncherListener : public QObject
{
    Q_OBJECT
public:
    QList<LauncherUpdate> updates;

    bool listen(QDBusConnection bus)
    {
        return bus.connect(QString(), QLatin1String(LauncherProgress::objectPath),
                           QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"), this,
                           SLOT(onUpdate(QString,QVariantMap)));
    }
    void stop(QDBusConnection bus)
    {
        bus.disconnect(QString(), QLatin1String(LauncherProgress::objectPath),
                       QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"), this,
                       SLOT(onUpdate(QString,QVariantMap)));
    }
    QVariant last(const char *property) const { return updates.constLast().properties.value(QLatin1String(property)); }

public slots:
    void onUpdate(const QString &uri, const QVariantMap &properties) { updates << LauncherUpdate{uri, properties}; }
};
