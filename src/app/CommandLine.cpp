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

bool isStreamUrl(const QString &text)
{
    static const QStringList streamPrefixes{QStringLiteral("http://"), QStringLiteral("https://"),
                                            QStringLiteral("rtmp://"), QStringLiteral("rtsp://")};
    return std::any_of(streamPrefixes.cbegin(), streamPrefixes.cend(),
                       [&text](const QString &prefix) { return text.startsWith(prefix); });
}

QStringList playableStartupArguments(const QStringList &arguments)
{
    QStringList playable;
    for (const QString &argument : arguments)
        if (isStreamUrl(argument) || QFileInfo(argument).isFile())
            playable << argument;
    return playable;
}
