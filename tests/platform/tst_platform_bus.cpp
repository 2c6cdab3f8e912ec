#include "platform/KeepAwake.h"
#include "platform/LauncherProgress.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <signal.h>
#include <sys/prctl.h>

namespace {

const QString kScreenSaver = QStringLiteral("org.freedesktop.ScreenSaver");

// Stands in for the desktop's screen saver service, on a connection of its own so that calls
// really travel through the bus. Replies can be held back to open the window in which the player
// changes its mind before the cookie arrives.
class FakeScreenSaver : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    explicit FakeScreenSaver(const QDBusConnection &bus) : bus_(bus) {}

    QStringList inhibitCallers;
    QList<uint> releasedCookies;
    bool holdReplies = false;
    QList<QDBusMessage> heldCalls;
    uint nextCookie = 41;

    void answerHeld()
    {
        for (const QDBusMessage &call : std::as_const(heldCalls))
            bus_.send(call.createReply(++nextCookie));
        heldCalls.clear();
    }

public slots:
    uint Inhibit(const QString &application, const QString &reason)
    {
        inhibitCallers << application + QLatin1Char('|') + reason;
        if (holdReplies) {
            setDelayedReply(true);
            heldCalls << message();
            return 0;
        }
        return ++nextCookie;
    }
    void UnInhibit(uint cookie) { releasedCookies << cookie; }

private:
    QDBusConnection bus_;
};

struct LauncherUpdate
{
    QString uri;
    QVariantMap properties;
};

class LauncherListener : public QObject
{
    Q_OBJECT
public:
    QList<LauncherUpdate> updates;
public slots:
    void onUpdate(const QString &uri, const QVariantMap &properties) { updates << LauncherUpdate{uri, properties}; }
};

} // namespace

class TestPlatformBus : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void keepAwakeHoldsOneRequestAndReleasesItsCookie();
    void keepAwakeSettlesARequestStillInFlight();
    void keepAwakeReleasesOnDestruction_data();
    void keepAwakeReleasesOnDestruction();
    void keepAwakeWithoutTheService();
    void launcherProgressSendsOnlyVisibleChanges();
    void launcherProgressHidesWhenDestroyed();
    void withoutSessionBus();

private:
    bool withBus() const { return daemon_.state() == QProcess::Running; }

    QTemporaryDir busDir_;
    QProcess daemon_;
    QDBusConnection fakeBus_{QString()};
    std::unique_ptr<FakeScreenSaver> screenSaver_;
    std::unique_ptr<LauncherListener> listener_;
};

void TestPlatformBus::initTestCase()
{
    if (qEnvironmentVariableIsSet("VELMORAN_TEST_WITHOUT_BUS"))
        return;
    // A private configuration: no service activation from the machine's service folders, which
    // could start a real screen saver service, and the socket stays inside the test's folder.
    QVERIFY(busDir_.isValid());
    const QString config = busDir_.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral(
        "<busconfig><type>session</type><listen>unix:dir=%1</listen><auth>EXTERNAL</auth>"
        "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
        "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>")
                   .arg(busDir_.path()).toUtf8());
    file.close();

    // The daemon dies with this process even if a test crashes before cleanupTestCase.
    daemon_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    daemon_.start(QStringLiteral("/usr/bin/dbus-daemon"),
                  {QStringLiteral("--config-file=") + config, QStringLiteral("--print-address"),
                   QStringLiteral("--nofork")});
    QVERIFY2(daemon_.waitForStarted(), "dbus-daemon (Debian package dbus-daemon) is missing");
    QByteArray address;
    while (!address.endsWith('\n') && daemon_.waitForReadyRead(5000))
        address += daemon_.readAllStandardOutput();
    address = address.trimmed();
    QVERIFY2(!address.isEmpty(), daemon_.readAllStandardError().constData());
    // Must happen before the first sessionBus(), which reads the address once.
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    QVERIFY(QDBusConnection::sessionBus().isConnected());

    fakeBus_ = QDBusConnection::connectToBus(QString::fromUtf8(address), QStringLiteral("fake-desktop"));
    QVERIFY(fakeBus_.isConnected());
}

void TestPlatformBus::cleanupTestCase()
{
    if (!withBus())
        return;
    QDBusConnection::disconnectFromBus(QStringLiteral("fake-desktop"));
    daemon_.terminate();
    QVERIFY(daemon_.waitForFinished(5000));
}

void TestPlatformBus::init()
{
    if (!withBus())
        return;
    screenSaver_ = std::make_unique<FakeScreenSaver>(fakeBus_);
    QVERIFY(fakeBus_.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), screenSaver_.get(),
                                    QDBusConnection::ExportAllSlots));
    QVERIFY(fakeBus_.registerService(kScreenSaver));

    listener_ = std::make_unique<LauncherListener>();
    QVERIFY(fakeBus_.connect(QString(), QLatin1String(LauncherProgress::objectPath),
                             QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"),
                             listener_.get(), SLOT(onUpdate(QString,QVariantMap))));
    // A blocking round trip after the match rule makes sure the bus has installed it.
    QVERIFY(fakeBus_.interface()->isServiceRegistered(kScreenSaver).value());
}

void TestPlatformBus::cleanup()
{
    if (!withBus())
        return;
    fakeBus_.unregisterService(kScreenSaver);
    fakeBus_.unregisterObject(QStringLiteral("/org/freedesktop/ScreenSaver"));
    fakeBus_.disconnect(QString(), QLatin1String(LauncherProgress::objectPath),
                        QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"),
                        listener_.get(), SLOT(onUpdate(QString,QVariantMap)));
    screenSaver_.reset();
    listener_.reset();
}

void TestPlatformBus::keepAwakeHoldsOneRequestAndReleasesItsCookie()
{
    if (!withBus())
        QSKIP("needs the private bus");
    KeepAwake keepAwake;
    keepAwake.setActive(true);
    QTRY_COMPARE(screenSaver_->inhibitCallers, QStringList{QStringLiteral("Velmoran|미디어 재생 중")});
    keepAwake.setActive(true);
    keepAwake.setActive(true);
    keepAwake.setActive(false);
    // Calls from one connection arrive in order: once the release is here, a second request
    // would have been seen already.
    QTRY_COMPARE(screenSaver_->releasedCookies, QList<uint>{42});
    QCOMPARE(screenSaver_->inhibitCallers.size(), 1);

    keepAwake.setActive(false);
    keepAwake.setActive(true);
    QTRY_COMPARE(screenSaver_->inhibitCallers.size(), 2);
    keepAwake.setActive(false);
    QTRY_COMPARE(screenSaver_->releasedCookies, (QList<uint>{42, 43}));
}

void TestPlatformBus::keepAwakeSettlesARequestStillInFlight()
{
    if (!withBus())
        QSKIP("needs the private bus");
    screenSaver_->holdReplies = true;
    KeepAwake keepAwake;
    QElapsedTimer clock;
    clock.start();
    keepAwake.setActive(true);
    // A call that waited for the answer would sit here until the bus timed it out.
    QVERIFY(clock.elapsed() < 1000);
    QTRY_COMPARE(screenSaver_->heldCalls.size(), 1);

    // Released before the cookie came: it is handed back the moment it arrives.
    keepAwake.setActive(false);
    screenSaver_->answerHeld();
    QTRY_COMPARE(screenSaver_->releasedCookies, QList<uint>{42});

    // Off and on again while waiting: the one request stands and is held.
    keepAwake.setActive(true);
    QTRY_COMPARE(screenSaver_->heldCalls.size(), 1);
    keepAwake.setActive(false);
    keepAwake.setActive(true);
    screenSaver_->answerHeld();
    keepAwake.setActive(false);
    QTRY_COMPARE(screenSaver_->releasedCookies, (QList<uint>{42, 43}));
    QCOMPARE(screenSaver_->inhibitCallers.size(), 2);
}

void TestPlatformBus::keepAwakeReleasesOnDestruction_data()
{
    QTest::addColumn<bool>("answerBeforeDestruction");
    QTest::newRow("cookie held") << true;
    QTest::newRow("answer still on its way") << false;
}

void TestPlatformBus::keepAwakeReleasesOnDestruction()
{
    if (!withBus())
        QSKIP("needs the private bus");
    QFETCH(bool, answerBeforeDestruction);
    screenSaver_->holdReplies = true;
    {
        KeepAwake keepAwake;
        keepAwake.setActive(true);
        QTRY_COMPARE(screenSaver_->heldCalls.size(), 1);
        if (answerBeforeDestruction) {
            screenSaver_->answerHeld();
            QTRY_VERIFY(keepAwake.isInhibiting());
        }
    }
    if (!answerBeforeDestruction)
        screenSaver_->answerHeld();
    QTRY_COMPARE(screenSaver_->releasedCookies, QList<uint>{42});
    QCOMPARE(screenSaver_->inhibitCallers.size(), 1);
}

void TestPlatformBus::keepAwakeWithoutTheService()
{
    if (!withBus())
        QSKIP("needs the private bus");
    fakeBus_.unregisterService(kScreenSaver);
    {
        KeepAwake keepAwake;
        keepAwake.setActive(true);
        QTest::qWait(100); // let the error come back
        keepAwake.setActive(false);
        keepAwake.setActive(true);
    }
    QTest::qWait(100);
    QVERIFY(screenSaver_->inhibitCallers.isEmpty());
    QVERIFY(screenSaver_->releasedCookies.isEmpty());
}

void TestPlatformBus::launcherProgressSendsOnlyVisibleChanges()
{
    if (!withBus())
        QSKIP("needs the private bus");
    LauncherProgress progress;
    progress.setProgress(0.25);
    for (double same : {0.2501, 0.2504, 0.2496, 0.25})
        progress.setProgress(same);
    progress.setProgress(0.2506);
    progress.setPaused();
    progress.setProgress(0.251); // still what the entry shows after the pause
    progress.setProgress(qQNaN());
    progress.setProgress(1.7);
    progress.clear();
    progress.clear();
    progress.setProgress(1.0); // same value, but the bar has to come back
    progress.setProgress(-0.5);

    struct Expected { bool visible; double progress; };
    const QList<Expected> expected{{true, 0.25}, {true, 0.251}, {true, 1.0}, {false, 0},
                                   {true, 1.0}, {true, 0.0}};
    // One signal after the expected ones proves nothing else was sent in between.
    progress.clear();
    QTRY_COMPARE(listener_->updates.size(), expected.size() + 1);
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const LauncherUpdate &update = listener_->updates.at(i);
        QCOMPARE(update.uri, QStringLiteral("application://velmoran.desktop"));
        QCOMPARE(update.properties.value(QStringLiteral("progress-visible")).toBool(), expected[i].visible);
        if (expected[i].visible)
            QCOMPARE(update.properties.value(QStringLiteral("progress")).toDouble(), expected[i].progress);
    }
}

void TestPlatformBus::launcherProgressHidesWhenDestroyed()
{
    if (!withBus())
        QSKIP("needs the private bus");
    {
        LauncherProgress hidden; // never shown: nothing to take back
        LauncherProgress progress;
        progress.setProgress(0.5);
    }
    QTRY_COMPARE(listener_->updates.size(), 2);
    QCOMPARE(listener_->updates.at(1).properties.value(QStringLiteral("progress-visible")), QVariant(false));
    QTest::qWait(50);
    QCOMPARE(listener_->updates.size(), 2);
}

void TestPlatformBus::withoutSessionBus()
{
    if (withBus())
        QSKIP("runs as its own test, with no session bus in the environment");
    QVERIFY(!QDBusConnection::sessionBus().isConnected());
    QElapsedTimer clock;
    clock.start();
    {
        KeepAwake keepAwake;
        LauncherProgress progress;
        for (int i = 0; i < 1000; ++i) {
            keepAwake.setActive(i % 2 == 0);
            progress.setProgress(i / 1000.0);
        }
        progress.setPaused();
        progress.clear();
    }
    QVERIFY(clock.elapsed() < 1000);
}

QTEST_GUILESS_MAIN(TestPlatformBus)
#include "tst_platform_bus.moc"
