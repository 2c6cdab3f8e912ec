#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

// A dbus-daemon of the test's own, made the session bus of this process. It has to exist before
// anything asks Qt for the session bus, which reads the address once, and the application object
// of a GUI test may already do that; so this is plain POSIX and runs before QApplication.
// No service activation: nothing from the machine's service folders can start on it.
class PrivateSessionBus
{
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus &) = delete;
    PrivateSessionBus &operator=(const PrivateSessionBus &) = delete;

    bool isRunning() const { return pid_ > 0 && !address_.isEmpty(); }
    QString address() const { return QString::fromUtf8(address_); }
    QString error() const { return error_; }

private:
    pid_t pid_ = -1;
    QByteArray directory_;
    QByteArray address_;
    QString error_;
};
