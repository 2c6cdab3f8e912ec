#pragma once

#include <QStringList>

class QCoreApplication;

struct StartupArguments {
    bool newWindow = false;
    QStringList files; // positional arguments as given, unfiltered
};

// Parses the process arguments; "--help" and unknown options end the process here, as the
// parser does for any command-line tool.
StartupArguments parseStartupArguments(const QCoreApplication &app);

// True when the arguments (program name first) only ask for text: --help, --version or a
// mistake to report. The process then answers without a display, e.g. over ssh or in a build.
bool endsWithTextOnly(const QStringList &arguments);

// http, https, rtmp and rtsp addresses, which are played without a file check.
bool isStreamUrl(const QString &text);

// What the player itself opens at start: stream URLs as they are, local paths only if they exist.
QStringList playableStartupArguments(const QStringList &arguments);
