#include "platform/KeepAwake.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace {

const char *const kService = "org.freedesktop.ScreenSaver";
const char *const kPath = "/org/freedesktop/ScreenSaver";
const char *const kInterface = "org.freedesktop.ScreenSaver";

QDBusMessage unInhibitCall(uint cookie)
{
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       QStringLiteral("UnInhibit"));
    call << cookie;
    return call;
}

} // namespace

KeepAwake::KeepAwake(QObject *parent)
    : QObject(parent)
    , bus_(QDBusConnection::sessionBus())
    , busUsable_(bus_.isConnected())
{
}

KeepAwake::~KeepAwake()
{
    if (held_)
        release(cookie_);
    if (pending_) {
        // The reply is still on its way; let the watcher outlive us so that the cookie it brings
        // is handed back instead of keeping the screen awake until the program exits.
        disconnect(pending_, nullptr, this, nullptr);
        pending_->setParent(nullptr);
        QDBusConnection bus = bus_;
        connect(pending_, &QDBusPendingCallWatcher::finished, pending_,
                [bus](QDBusPendingCallWatcher *watcher) {
                    QDBusPendingReply<uint> reply = *watcher;
                    if (!reply.isError())
                        bus.send(unInhibitCall(reply.value()));
                    watcher->deleteLater();
                });
    }
}

void KeepAwake::setActive(bool on)
{
    if (!busUsable_)
        return;
    wanted_ = on;
    if (on) {
        if (held_ || pending_)
            return;
        QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                           QStringLiteral("Inhibit"));
        call << QStringLiteral("Velmoran") << QStringLiteral("미디어 재생 중");
        pending_ = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
        connect(pending_, &QDBusPendingCallWatcher::finished, this, &KeepAwake::onInhibitReply);
        return;
    }
    // A request still in flight is settled when its reply arrives (onInhibitReply).
    if (held_) {
        held_ = false;
        release(cookie_);
    }
}

void KeepAwake::onInhibitReply(QDBusPendingCallWatcher *watcher)
{
    pending_ = nullptr;
    watcher->deleteLater();
    QDBusPendingReply<uint> reply = *watcher;
    if (reply.isError())
        return; // no screen saver service: nothing to keep, nothing to retry
    if (wanted_) {
        held_ = true;
        cookie_ = reply.value();
    } else {
        release(reply.value());
    }
}

void KeepAwake::release(uint cookie)
{
    // Fire and forget: nobody waits for the answer to a release.
    bus_.send(unInhibitCall(cookie));
}
