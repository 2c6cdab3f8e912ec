// Real player processes: the single-instance decision, the hand-over between two starts, the
// command line and termination by signal, observed through exit codes, console lines and the
// settings file.
#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "PlayerProcess.h"
#include "TestMedia.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <csignal>

namespace {
// The player listens once its window is up.
bool waitUntilListening(int timeoutMs = 15000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!QFile::exists(AppIdentity::handoverServerPath())) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(50);
    }
    return true;
}

QSettings store()
{
    return QSettings(QLatin1StringView(AppIdentity::kOrganisation), QLatin1StringView(AppIdentity::kSettingsApplication));
}
} // namespace

class StartupProcessesTest : public QObject
{
    Q_OBJECT
    QTemporaryDir media_;
    QString fileA_, fileB_;

    QString makeFile(const QString &name)
    {
        const QString path = media_.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        return path;
    }

private slots:
    void initTestCase()
    {
        fileA_ = makeFile(QStringLiteral("첫번째.mp4"));
        fileB_ = makeFile(QStringLiteral("second.mkv"));
    }

    void cleanup()
    {
        QFile::remove(AppIdentity::handoverServerPath());
    }

    void helpIsKorean()
    {
        QProcess help;
        help.start(TestMedia::playerBinary(), {QStringLiteral("--help")});
        QVERIFY(help.waitForFinished(10000));
        QCOMPARE(help.exitCode(), 0);
        const QString text = QString::fromUtf8(help.readAllStandardOutput());
        QVERIFY2(text.contains(QStringLiteral("새 창에서 실행합니다.")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("재생할 파일 경로")));
        QVERIFY(text.contains(QStringLiteral("--new-window")));

        // A display without OpenGL is reported instead of crashing on the first paint.
        QProcess noGl;
        noGl.start(TestMedia::playerBinary(), {QStringLiteral("-platform"), QStringLiteral("offscreen")});
        QVERIFY(noGl.waitForFinished(10000));
        QCOMPARE(noGl.exitStatus(), QProcess::NormalExit);
        QCOMPARE(noGl.exitCode(), 1);
        QVERIFY(QString::fromUtf8(noGl.readAllStandardError()).contains(QStringLiteral("OpenGL")));
    }

    void startupFilesAreFiltered()
    {
        // Qt's own options are taken by the application object, not refused as unknown.
        PlayerProcess first({QStringLiteral("-platform"), QStringLiteral("xcb"),
                             media_.filePath(QStringLiteral("missing.mp4")), QStringLiteral("rtsp://cam/1"), fileA_,
                             QStringLiteral("ftp://x/y")});
        // The missing path is dropped, so the existing file is the one that plays.
        QVERIFY2(first.waitForLoads(fileA_), qPrintable(first.console()));
        QVERIFY(!first.console().contains(QStringLiteral("missing.mp4 | mode")));
    }

    void secondStartHandsOverItsFilesInOrder()
    {
        PlayerProcess first({});
        QVERIFY(waitUntilListening());

        QProcess second;
        second.start(TestMedia::playerBinary(), {fileA_, fileB_});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY2(first.waitForLoads(fileA_, {fileB_}), qPrintable(first.console()));

        // Without files the second start only leaves; the first is not disturbed.
        QProcess empty;
        empty.start(TestMedia::playerBinary(), {});
        QVERIFY(empty.waitForFinished(10000));
        QCOMPARE(empty.exitCode(), 0);
        QTest::qWait(500);
        QCOMPARE(first.console().count(QStringLiteral("[MPV] loadFile:")), 2);
        QCOMPARE(first.process().state(), QProcess::Running);
    }

    // The running player resolves nothing against its own folder: a name typed in another folder,
    // and a file URL from the desktop, reach it as the files that were meant.
    void secondStartFromAnotherFolderOpensTheFilesMeant()
    {
        PlayerProcess first({});
        QVERIFY(waitUntilListening());
        // It listens in this user's runtime folder, not in the shared temporary folder.
        const QString runtimeFolder = qEnvironmentVariable("XDG_RUNTIME_DIR") + QLatin1Char('/');
        QVERIFY(AppIdentity::handoverServerPath().startsWith(runtimeFolder));

        const QString spaced = makeFile(QStringLiteral("a b.mkv"));
        QProcess second;
        second.setWorkingDirectory(media_.path());
        second.start(TestMedia::playerBinary(),
                     {QStringLiteral("second.mkv"), QUrl::fromLocalFile(spaced).toString(QUrl::FullyEncoded)});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        // The second start names the folder as the system reports it, links resolved.
        const QString typedFile = QFileInfo(media_.path()).canonicalFilePath() + QStringLiteral("/second.mkv");
        QVERIFY2(first.waitForLoads(typedFile, {spaced}), qPrintable(first.console()));
    }

    // Two starts at once: the one that loses the marker finds the other still building its window,
    // not yet listening. It waits and hands over instead of opening a second window.
    void simultaneousStartsOpenOneWindow()
    {
        PlayerProcess plain({});
        PlayerProcess withFile({fileA_});
        QDeadlineTimer deadline(20000);
        while (plain.process().state() != QProcess::NotRunning && withFile.process().state() != QProcess::NotRunning
               && !deadline.hasExpired())
            QTest::qWait(50);
        const bool plainLeft = plain.process().state() == QProcess::NotRunning;
        PlayerProcess &left = plainLeft ? plain : withFile;
        PlayerProcess &stayed = plainLeft ? withFile : plain;
        QVERIFY2(left.process().state() == QProcess::NotRunning, "both starts opened a window");
        QCOMPARE(left.process().exitCode(), 0);
        QVERIFY2(stayed.waitForLoads(fileA_), qPrintable(stayed.console()));
        QCOMPARE(stayed.process().state(), QProcess::Running);
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

    void killedFirstInstanceDoesNotBlockTheNextStart()
    {
        {
            PlayerProcess crashed({});
            QVERIFY(waitUntilListening());
            ::kill(crashed.process().processId(), SIGKILL);
            QVERIFY(crashed.process().waitForFinished(5000));
        }
        // The marker and the socket file of the dead instance are both still there.
        PlayerProcess next({fileA_});
        QVERIFY2(next.waitForLoads(fileA_), qPrintable(next.console()));

        // The recovered instance is a proper first instance: later starts hand over to it.
        QVERIFY(waitUntilListening());
        QProcess third;
        third.start(TestMedia::playerBinary(), {fileB_});
        QVERIFY(third.waitForFinished(10000));
        QCOMPARE(third.exitCode(), 0);
        QVERIFY2(next.waitForLoads(fileB_), qPrintable(next.console()));
    }

    void terminationSignalClosesAndSavesTheWindowState()
    {
        {
            QSettings settings = store();
            settings.clear();
            writeSetting(settings, SettingsKeys::windowSize, QSize(900, 600));
            writeSetting(settings, SettingsKeys::windowPos, QPoint(-1, -1));
        }
        PlayerProcess player({});
        QVERIFY(waitUntilListening());
        QCOMPARE(readSetting(store(), SettingsKeys::windowPos), QPoint(-1, -1));

        ::kill(player.process().processId(), SIGTERM);
        QVERIFY(player.process().waitForFinished(10000));
        QCOMPARE(player.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(player.process().exitCode(), 0);
        const QSettings settings = store();
        QCOMPARE(readSetting(settings, SettingsKeys::windowSize), QSize(900, 600));
        QVERIFY(readSetting(settings, SettingsKeys::windowPos).x() >= 0);
    }
};

QTEST_GUILESS_MAIN(StartupProcessesTest)
#include "tst_startup_processes.moc"
