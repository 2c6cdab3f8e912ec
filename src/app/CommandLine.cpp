#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

namespace {

const QCommandLineOption &newWindowOption()
{
    static const QCommandLineOption option(QStringList{QStringLiteral("n"), QStringLiteral("new-window")},
                                           QStringLiteral("새 창에서 실행합니다."));
    return option;
}

void describeOptions(QCommandLineParser &parser)
{
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(newWindowOption());
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("재생할 파일 경로"));
}

} // namespace

StartupArguments parseStartupArguments(const QCoreApplication &app)
{
    QCommandLineParser parser;
    describeOptions(parser);
    parser.process(app);
    return {parser.isSet(newWindowOption()), parser.positionalArguments()};
}

bool endsWithTextOnly(const QStringList &arguments)
{
    QCommandLineParser parser;
    describeOptions(parser);
    if (!parser.parse(arguments))
        return true;
    return parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))
        || parser.isSet(QStringLiteral("version"));
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
