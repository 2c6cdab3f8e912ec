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
        QTest::newRow("nothing") << QStringList{"velmoran"} << false;
        QTest::newRow("version") << QStringList{"velmoran", "a.mkv", "--version"} << true;
        QTest::newRow("short version") << QStringList{"velmoran", "-v"} << true;
        QTest::newRow("help") << QStringList{"velmoran", "-h"} << true;
        QTest::newRow("unknown option") << QStringList{"velmoran", "--bogus"} << true;
        QTest::newRow("file named like an option") << QStringList{"velmoran", "--", "--version"} << false;
    }
    void textOnlyRequestsAreRecognised()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, textOnly);
        QCOMPARE(endsWithTextOnly(arguments), textOnly);
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
