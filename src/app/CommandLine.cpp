#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

StartupArguments parseStartupArguments(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption newWindow(QStringList{QStringLiteral("n"), QStringLiteral("new-window")},
                                       QStringLiteral("새 창에서 실행합니다."));
    parser.addOption(newWindow);
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("재생할 파일 경로"));
    parser.process(app);
    return {parser.isSet(newWindow), parser.positionalArguments()};
}

QStringList playableStartupArguments(const QStringList &arguments)
{
    static const QStringList streamPrefixes{QStringLiteral("http://"), QStringLiteral("https://"),
                                            QStringLiteral("rtmp://"), QStringLiteral("rtsp://")};
    QStringList playable;
    for (const QString &argument : arguments) {
        const bool isStream = std::any_of(streamPrefixes.cbegin(), streamPrefixes.cend(),
                                          [&](const QString &prefix) { return argument.startsWith(prefix); });
        if (isStream || QFileInfo(argument).isFile())
            playable << argument;
    }
    return playable;
}
