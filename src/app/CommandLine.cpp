#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

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

// How many arguments one of the options the application object consumes itself takes up at
// `argument` (0: not one of them). Qt accepts them with one dash or two.
qsizetype qtOptionLength(const QString &argument)
{
    static const QStringList withValue{
        QStringLiteral("platform"), QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
        QStringLiteral("plugin"), QStringLiteral("qwindowgeometry"), QStringLiteral("geometry"),
        QStringLiteral("qwindowtitle"), QStringLiteral("title"), QStringLiteral("qwindowicon"),
        QStringLiteral("icon"), QStringLiteral("session"), QStringLiteral("display"), QStringLiteral("name"),
        QStringLiteral("visual"), QStringLiteral("style"), QStringLiteral("stylesheet")};
    static const QStringList flags{QStringLiteral("reverse"), QStringLiteral("testability"),
                                   QStringLiteral("widgetcount"), QStringLiteral("nograb"), QStringLiteral("dograb")};
    // Only these also take their value after "=".
    static const QStringList joinedValue{QStringLiteral("style"), QStringLiteral("stylesheet"),
                                         QStringLiteral("qmljsdebugger")};
    if (!argument.startsWith(QLatin1Char('-')))
        return 0;
    const QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
    if (withValue.contains(name))
        return 2;
    const bool joined = name.contains(QLatin1Char('=')) && joinedValue.contains(name.section(QLatin1Char('='), 0, 0));
    return joined || flags.contains(name) ? 1 : 0;
}

QStringList withoutQtOptions(const QStringList &arguments)
{
    QStringList kept = arguments.mid(0, 1);
    for (qsizetype i = 1; i < arguments.size();) {
        if (arguments[i] == QLatin1String("--")) // the rest are file names
            return kept + arguments.sliced(i);
        const qsizetype length = qtOptionLength(arguments[i]);
        if (length == 0)
            kept << arguments[i];
        i += qMax(length, qsizetype(1));
    }
    return kept;
}

} // namespace

StartupArguments parseStartupArguments(const QCoreApplication &app)
{
    QCommandLineParser parser;
    describeOptions(parser);
    parser.process(app);
    return {parser.isSet(newWindowOption()),
            normalisedFileArguments(parser.positionalArguments(), QDir::currentPath())};
}

bool endsWithTextOnly(const QStringList &arguments)
{
    QCommandLineParser parser;
    describeOptions(parser);
    if (!parser.parse(withoutQtOptions(arguments)))
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

bool isSchemeAddress(const QString &text)
{
    static const QRegularExpression address(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    return address.match(text).hasMatch();
}

QStringList normalisedFileArguments(const QStringList &arguments, const QString &workingDirectory)
{
    const QDir base(workingDirectory);
    QStringList normalised;
    for (const QString &argument : arguments) {
        QString path = argument;
        if (argument.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
            const QUrl url(argument);
            if (url.isLocalFile())
                path = url.toLocalFile();
        } else if (argument.isEmpty() || isSchemeAddress(argument)) {
            normalised << argument;
            continue;
        }
        normalised << QFileInfo(base, path).absoluteFilePath();
    }
    return normalised;
}

QStringList playableStartupArguments(const QStringList &arguments)
{
    QStringList playable;
    for (const QString &argument : arguments)
        if (isStreamUrl(argument) || QFileInfo(argument).isFile())
            playable << argument;
    return playable;
}
