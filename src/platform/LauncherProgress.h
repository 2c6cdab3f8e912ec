#pragma once

#include <QDBusConnection>
#include <QObject>

// Shows playback progress on the application's launcher or dock entry (the Unity launcher
// protocol, understood by several docks). Position updates come several times a second, so a
// signal goes out only when the shown value moves by a visible step or the bar appears or goes.
// Without a session bus every call returns at once.
class LauncherProgress : public QObject
{
    Q_OBJECT
public:
    explicit LauncherProgress(QObject *parent = nullptr);
    ~LauncherProgress() override;

    static constexpr const char *objectPath = "/com/canonical/unity/launcherentry/velmoran";
    static constexpr const char *appUri = "application://velmoran.desktop";

    void setProgress(double fraction);
    // The protocol has no paused colour; the last value stays on the entry.
    void setPaused();
    void clear();

private:
    void publish(bool visible, int perMille);

    QDBusConnection bus_;
    bool busUsable_ = false;
    bool visible_ = false;
    int perMille_ = -1;
};
