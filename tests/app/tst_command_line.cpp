#include "app/CommandLine.h"
#include "TestMedia.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class CommandLineTest : public QObject
{
    Q_OBJECT
private slots:
    void keepsStreamsAndExistingFilesInOrder()
    {
        QTemporaryDir dir;
        const QString existing = dir.filePath(QStringLiteral("영화 1.mkv"));
        QFile file(existing);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        const QStringList arguments{
            QStringLiteral("rtsp://camera/stream"), dir.filePath(QStringLiteral("missing.mkv")), existing,
            QStringLiteral("HTTPS://upper.case/x"), QStringLiteral("ftp://host/x"), dir.path(),
            QStringLiteral("https://example.org/v"), QStringLiteral("http://a"), QStringLiteral("rtmp://live/x"),
            QString()};
        const QStringList expected{QStringLiteral("rtsp://camera/stream"), existing,
                                   QStringLiteral("https://example.org/v"), QStringLiteral("http://a"),
                                   QStringLiteral("rtmp://live/x")};
        QCOMPARE(playableStartupArguments(arguments), expected);
    }

    void textOnlyRequestsAreRecognised_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("textOnly");
        QTest::newRow("files") << QStringList{"velmoran", "a.mkv", "-n"} << false;
        QTest::newRow("version") << QStringList{"velmoran", "a.mkv", "--version"} << true;
        QTest::newRow("short version") << QStringList{"velmoran", "-v"} << true;
        QTest::newRow("unknown option") << QStringList{"velmoran", "--bogus"} << true;
        QTest::newRow("file named like an option") << QStringList{"velmoran", "--", "--version"} << false;
        // Qt's own options, which the application object takes out, with their values.
        QTest::newRow("qt options") << QStringList{"velmoran", "-platform", "xcb", "--display", ":1", "-style=Fusion",
                                                   "-reverse", "a.mkv"} << false;
        QTest::newRow("qt option value is not a request") << QStringList{"velmoran", "-session", "--version"} << false;
        QTest::newRow("version after qt options") << QStringList{"velmoran", "-style", "Fusion", "-v"} << true;
        QTest::newRow("qt does not take every = form") << QStringList{"velmoran", "--platform=xcb"} << true;
    }
    void textOnlyRequestsAreRecognised()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, textOnly);
        QCOMPARE(endsWithTextOnly(arguments), textOnly);
    }

    void fileArgumentsMeanWhatTheyMeantWhereTyped_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("expected");
        QTest::newRow("relative") << "clip.mkv" << "/home/u/Videos/clip.mkv";
        QTest::newRow("relative upwards") << "../b/./c.mkv" << "/home/u/b/c.mkv";
        QTest::newRow("file url") << "file:///tmp/a%20b%ED%95%9C.mkv" << "/tmp/a b한.mkv";
        QTest::newRow("stream") << "https://example.org/a%20b" << "https://example.org/a%20b";
        QTest::newRow("other address") << "smb://nas/share/a.mkv" << "smb://nas/share/a.mkv";
    }
    void fileArgumentsMeanWhatTheyMeantWhereTyped()
    {
        QFETCH(QString, argument);
        QFETCH(QString, expected);
        QCOMPARE(normalisedFileArguments({argument}, QStringLiteral("/home/u/Videos")), QStringList{expected});
    }

    // Asked for its version the player answers on stdout without a display: the platform is
    // forced to X11 with no X server, which would abort any start that opens a window.
    void versionNeedsNoDisplay()
    {
        QProcess player;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        player.setProcessEnvironment(environment);
        player.start(TestMedia::playerBinary(), {QStringLiteral("--version")});
        QVERIFY(player.waitForFinished(10000));
        QCOMPARE(player.exitStatus(), QProcess::NormalExit);
        QCOMPARE(player.exitCode(), 0);
        QCOMPARE(player.readAllStandardOutput(), QByteArray("Velmoran " VELMORAN_VERSION "\n"));
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_command_line.moc"
