#pragma once

#include <QStringList>

class QCoreApplication;

struct StartupArguments {
    bool newWindow = false;
    QStringList files; // positional arguments made absolute (normalisedFileArguments), unfiltered
};

// Parses the process arguments; "--help" and unknown options end the process here, as the
// parser does for any command-line tool.
StartupArguments parseStartupArguments(const QCoreApplication &app);

// True when the arguments (program name first) only ask for text: --help, --version or a
// mistake to report. The process then answers without a display, e.g. over ssh or in a build.
// Qt's own options (-platform, -display, -style, ...) are not mistakes: the application object
// takes them out later.
bool endsWithTextOnly(const QStringList &arguments);

// http, https, rtmp and rtsp addresses, which are played without a file check.
bool isStreamUrl(const QString &text);

// Any "scheme://" address (streams, shares, file URLs): for the engine to resolve, not the file system.
bool isSchemeAddress(const QString &text);

// Files named on the command line mean what they meant where the command was typed, not in the
// folder of the player that ends up opening them: local paths become absolute against
// workingDirectory and file: URLs (as the desktop entry passes them) become local paths.
// Addresses with another scheme stay as they are.
QStringList normalisedFileArguments(const QStringList &arguments, const QString &workingDirectory);

// What the player itself opens at start: stream URLs as they are, local paths only if they exist.
QStringList playableStartupArguments(const QStringList &arguments);
