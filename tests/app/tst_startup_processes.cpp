// Real player processes: the single-instance decision, the hand-over between two starts, the
// command line and termination by signal, observed through exit codes, console lines and the
// settings file.
#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "PlayerProcess.h"
#include "TestFiles.h"
#include "TestMedia.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <csignal>

namespace {
// The player listens once its window is up.
bool waitUntilListening()
{
    return QTest::qWaitFor([] { return QFile::exists(AppIdentity::handoverServerPath()); }, 15000);
}

// A second start of the player with `arguments`, run to its end; its exit code, -1 if it crashed.
int secondStart(const QStringList &arguments, const QString &folder = QString())
{
    QProcess second;
    second.setWorkingDirectory(folder);
    second.start(TestMedia::playerBinary(), arguments);
    if (!second.waitForFinished(10000) || second.exitStatus() != QProcess::NormalExit)
        return -1;
    return second.exitCode();
}
} // namespace

class StartupProcessesTest : public QObject
{
    Q_OBJECT
    QTemporaryDir media_;
    QString fileA_, fileB_;
    QString makeFile(const QString &name) { return writeTestFile(media_.filePath(name), {}); }

private slots:
    void initTestCase()
    {
        fileA_ = makeFile(QStringLiteral("첫번째.mp4"));
        fileB_ = makeFile(QStringLiteral("second.mkv"));
    }

    void cleanup() { QFile::remove(AppIdentity::handoverServerPath()); }

    // A display without OpenGL gets the software surface and the player stays up, instead of
    // crashing on the first paint.
    void missingOpenGlDrawsInSoftware()
    {
        PlayerProcess noGl({QStringLiteral("-platform"), QStringLiteral("offscreen")});
        QVERIFY2(noGl.waitFor([](const QString &line) {
            // Without a GPU device the driver is not even asked; with one, offscreen has no OpenGL.
            return line.startsWith(QStringLiteral("[RenderEnv] 비디오 화면: 소프트웨어"))
                && (line.contains(QStringLiteral("OpenGL: 사용 불가")) || line.contains(QStringLiteral("GPU 장치 없음")));
        }), qPrintable(noGl.console()));
        // Its engine came up to draw in that surface.
        QVERIFY(noGl.waitFor([](const QString &line) { return line.startsWith(QStringLiteral("[MPV] 초기화 완료")); }));
    }

    // The running player resolves nothing against its own folder: a name typed in another folder,
    // and a file URL from the desktop, reach it as the files that were meant, in order.
    void secondStartHandsOverItsFiles()
    {
        PlayerProcess first({});
        QVERIFY(waitUntilListening());
        // It listens in this user's runtime folder, not in the shared temporary folder.
        QVERIFY(AppIdentity::handoverServerPath().startsWith(qEnvironmentVariable("XDG_RUNTIME_DIR") + QLatin1Char('/')));

        const QString spaced = makeFile(QStringLiteral("a b.mkv"));
        QCOMPARE(secondStart({QStringLiteral("second.mkv"), QUrl::fromLocalFile(spaced).toString(QUrl::FullyEncoded)},
                             media_.path()),
                 0);
        // The second start names the folder as the system reports it, links resolved.
        const QString typedFile = QFileInfo(media_.path()).canonicalFilePath() + QStringLiteral("/second.mkv");
        QVERIFY2(first.waitForLoads(typedFile, {spaced}), qPrintable(first.console()));

        // Without files the second start only leaves; the first is not disturbed.
        QCOMPARE(secondStart({}), 0);
        QTest::qWait(500);
        QCOMPARE(first.console().count(QStringLiteral("[MPV] loadFile:")), 2);
        QCOMPARE(first.process().state(), QProcess::Running);
    }

    // Two starts at once: the one that loses the marker finds the other still building its window,
    // not yet listening. It waits and hands over instead of opening a second window.
    void simultaneousStartsOpenOneWindow()
    {
        PlayerProcess plain({});
        PlayerProcess withFile({fileA_});
        (void)QTest::qWaitFor([&] {
            return plain.process().state() == QProcess::NotRunning || withFile.process().state() == QProcess::NotRunning;
        }, 20000);
        const bool plainLeft = plain.process().state() == QProcess::NotRunning;
        PlayerProcess &left = plainLeft ? plain : withFile;
        PlayerProcess &stayed = plainLeft ? withFile : plain;
        QVERIFY2(left.process().state() == QProcess::NotRunning, "both starts opened a window");
        QCOMPARE(left.process().exitCode(), 0);
        QVERIFY2(stayed.waitForLoads(fileA_), qPrintable(stayed.console()));
    }

    void newWindowFlagOpensItsOwnWindow()
    {
        PlayerProcess first({});
        QVERIFY(waitUntilListening());
        PlayerProcess own({QStringLiteral("-n"), fileB_});
        QVERIFY2(own.waitForLoads(fileB_), qPrintable(own.console()));
        QTest::qWait(300);
        QCOMPARE(own.process().state(), QProcess::Running);
        QVERIFY(!first.console().contains(fileB_));
    }

    // The marker and the socket file of a killed instance are both still there; the next start
    // becomes a proper first instance all the same. Its command line also carries Qt's own options,
    // which the application object takes, and names it cannot play, which are dropped.
    void killedFirstInstanceDoesNotBlockTheNextStart()
    {
        {
            PlayerProcess crashed({});
            QVERIFY(waitUntilListening());
            ::kill(crashed.process().processId(), SIGKILL);
            QVERIFY(crashed.process().waitForFinished(5000));
        }
        PlayerProcess next({QStringLiteral("-platform"), QStringLiteral("xcb"),
                            media_.filePath(QStringLiteral("missing.mp4")), fileA_});
        QVERIFY2(next.waitForLoads(fileA_), qPrintable(next.console()));
        QVERIFY(!next.console().contains(QStringLiteral("missing.mp4 | mode")));

        QVERIFY(waitUntilListening());
        QCOMPARE(secondStart({fileB_}), 0);
        QVERIFY2(next.waitForLoads(fileB_), qPrintable(next.console()));
    }

    void terminationSignalClosesAndSavesTheWindowState()
    {
        {
            QSettings settings = playerSettings();
            settings.clear();
            writeSetting(settings, SettingsKeys::windowSize, QSize(900, 600));
            writeSetting(settings, SettingsKeys::windowPos, QPoint(-1, -1));
        }
        PlayerProcess player({});
        QVERIFY(waitUntilListening());
        QCOMPARE(readSetting(playerSettings(), SettingsKeys::windowPos), QPoint(-1, -1));

        ::kill(player.process().processId(), SIGTERM);
        QVERIFY(player.process().waitForFinished(10000));
        QCOMPARE(player.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(player.process().exitCode(), 0);
        QCOMPARE(readSetting(playerSettings(), SettingsKeys::windowSize), QSize(900, 600));
        QVERIFY(readSetting(playerSettings(), SettingsKeys::windowPos).x() >= 0);
    }
};

QTEST_GUILESS_MAIN(StartupProcessesTest)
#include "tst_startup_processes.moc"
