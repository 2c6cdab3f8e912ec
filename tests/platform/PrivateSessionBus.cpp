#include "PrivateSessionBus.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

PrivateSessionBus::PrivateSessionBus()
{
    QByteArray base = qgetenv("TMPDIR");
    if (base.isEmpty())
        base = "/tmp";
    QByteArray pattern = base + "/velmoran-bus.XXXXXX";
    if (!mkdtemp(pattern.data())) {
        error_ = QStringLiteral("cannot create the bus folder");
        return;
    }
    directory_ = pattern;
    const QByteArray config = directory_ + "/bus.conf";
    const QByteArray text = "<busconfig><type>session</type><listen>unix:dir=" + directory_
        + "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" "
          "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>";
    if (FILE *file = std::fopen(config.constData(), "w")) {
        std::fwrite(text.constData(), 1, size_t(text.size()), file);
        std::fclose(file);
    } else {
        error_ = QStringLiteral("cannot write the bus configuration");
        return;
    }

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        error_ = QStringLiteral("pipe failed");
        return;
    }
    const QByteArray configArgument = "--config-file=" + config;
    const QByteArray addressArgument = "--print-address=" + QByteArray::number(pipeFds[1]);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
        // The daemon dies with the test even if the test crashes.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(1);
        fcntl(pipeFds[1], F_SETFD, 0);
        execl("/usr/bin/dbus-daemon", "dbus-daemon", configArgument.constData(), addressArgument.constData(),
              "--nofork", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    if (pid_ < 0) {
        close(pipeFds[0]);
        error_ = QStringLiteral("fork failed");
        return;
    }
    QByteArray address;
    char buffer[256];
    pollfd waiting{pipeFds[0], POLLIN, 0};
    while (!address.endsWith('\n') && poll(&waiting, 1, 5000) > 0) {
        const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        address.append(buffer, n);
    }
    close(pipeFds[0]);
    address_ = address.trimmed();
    if (address_.isEmpty()) {
        error_ = QStringLiteral("dbus-daemon (Debian package dbus-daemon) gave no address");
        return;
    }
    setenv("DBUS_SESSION_BUS_ADDRESS", address_.constData(), 1);
}

PrivateSessionBus::~PrivateSessionBus()
{
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    if (!directory_.isEmpty()) {
        unlink((directory_ + "/bus.conf").constData());
        // The socket in unix:dir= has a random name; the isolated run removes whatever is left.
        rmdir(directory_.constData());
    }
}
