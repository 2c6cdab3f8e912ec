#pragma once
// A dbus-daemon of the test's own as its session bus. Qt reads the bus address once, and the
// application object of a GUI test may already ask for it, so main() calls this first: the test
// starts itself again under dbus-run-session, with a configuration that activates no services
// (nothing from the machine's service folders can start on the bus) and keeps the socket in TMPDIR.
#include <QByteArray>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

inline void runOnPrivateSessionBus(char *argv[])
{
    if (qEnvironmentVariableIsSet("VELMORAN_PRIVATE_BUS"))
        return;
    const QByteArray folder = qEnvironmentVariableIsEmpty("TMPDIR") ? QByteArray("/tmp") : qgetenv("TMPDIR");
    QByteArray config = "--config-file=" + folder + "/velmoran-bus.conf";
    const QByteArray text = "<busconfig><type>session</type><listen>unix:dir=" + folder
        + "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" "
          "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>";
    char self[4096] = {};
    FILE *file = std::fopen(config.constData() + 14, "w");
    if (!file || std::fwrite(text.constData(), 1, size_t(text.size()), file) != size_t(text.size())
        || std::fclose(file) != 0 || readlink("/proc/self/exe", self, sizeof self - 1) <= 0) {
        std::perror("private session bus");
        std::exit(1);
    }
    setenv("VELMORAN_PRIVATE_BUS", "1", 1);
    std::vector<char *> arguments{const_cast<char *>("dbus-run-session"), config.data(), const_cast<char *>("--"), self};
    for (char **argument = argv + 1; *argument; ++argument)
        arguments.push_back(*argument);
    arguments.push_back(nullptr);
    execvp(arguments.front(), arguments.data());
    std::perror("dbus-run-session (Debian package dbus-daemon)");
    std::exit(1);
}
