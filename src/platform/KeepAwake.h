#pragma once

#include <QDBusConnection>
#include <QObject>

class QDBusPendingCallWatcher;

// Keeps the desktop from blanking or locking the screen while something plays, through the
// session's screen saver service. Every bus call is asynchronous: a slow or hung service must
// never stall the window. Without a session bus or without the service it quietly does nothing.
class KeepAwake : public QObject
{
    Q_OBJECT
public:
    explicit KeepAwake(QObject *parent = nullptr);
    ~KeepAwake() override;

    void setActive(bool on);
    bool isActive() const { return wanted_; }
    // True once the service has granted the request and until it is handed back.
    bool isInhibiting() const { return held_; }

private:
    void onInhibitReply(QDBusPendingCallWatcher *watcher);
    void release(uint cookie);

    QDBusConnection bus_;
    bool busUsable_ = false;
    bool wanted_ = false;
    bool held_ = false;
    uint cookie_ = 0;
    QDBusPendingCallWatcher *pending_ = nullptr;
};
