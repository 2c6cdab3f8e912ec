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

#include <csignal>

namespace {
// The player listens once its window is up; the socket appears in the private TMPDIR.
bool waitUntilListening(int timeoutMs = 15000)
{
    const QString socketPath = QDir::tempPath() + QLatin1Char('/') + QLatin1String(AppIdentity::kHandoverServerName);
    QDeadlineTimer deadline(timeoutMs);
    while (!QFile::exists(socketPath)) {
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
        QDir(QDir::tempPath()).remove(QLatin1String(AppIdentity::kHandoverServerName));
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
    }

    void startupFilesAreFiltered()
    {
        PlayerProcess first({media_.filePath(QStringLiteral("missing.mp4")), QStringLiteral("rtsp://cam/1"), fileA_,
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
        // The marker segment and the socket file of the dead instance are both still there.
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
