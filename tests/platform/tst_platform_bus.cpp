// Keep-awake and launcher progress against a desktop on a private session bus, and without any bus.
#include "FakeDesktop.h"
#include "PrivateSessionBus.h"
#include "platform/KeepAwake.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QTest>

#include <memory>

class TestPlatformBus : public QObject
{
    Q_OBJECT
public:
    explicit TestPlatformBus(const QString &busAddress) : address_(busAddress) {}

private slots:
    void initTestCase()
    {
        if (!withBus())
            return;
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        desktop_ = QDBusConnection::connectToBus(address_, QStringLiteral("fake-desktop"));
        QVERIFY(desktop_.isConnected());
    }

    void init()
    {
        if (!withBus()) {
            if (qstrcmp(QTest::currentTestFunction(), "withoutSessionBus") != 0)
                QSKIP("needs the private bus");
            return;
        }
        screenSaver_ = std::make_unique<FakeScreenSaver>(desktop_);
        QVERIFY(screenSaver_->publish());
        listener_ = std::make_unique<LauncherListener>();
        QVERIFY(listener_->listen(desktop_));
        // A blocking round trip after the match rule makes sure the bus has installed it.
        QVERIFY(desktop_.interface()->isServiceRegistered(kScreenSaver).value());
    }

    void cleanup()
    {
        if (!withBus())
            return;
        screenSaver_->withdraw();
        listener_->stop(desktop_);
        screenSaver_.reset();
        listener_.reset();
    }

    void keepAwakeHoldsOneRequestAndReleasesItsCookie()
    {
        KeepAwake keepAwake;
        keepAwake.setActive(true);
        QTRY_COMPARE(screenSaver_->inhibitCallers, QStringList{QStringLiteral("Velmoran|미디어 재생 중")});
        keepAwake.setActive(true);
        keepAwake.setActive(false);
        // Calls from one connection arrive in order: once the release is here, a second request
        // would have been seen already.
        QTRY_COMPARE(screenSaver_->releasedCookies, QList<uint>{42});
        QCOMPARE(screenSaver_->inhibitCallers.size(), 1);

        keepAwake.setActive(false);
        keepAwake.setActive(true);
        keepAwake.setActive(false);
        QTRY_COMPARE(screenSaver_->releasedCookies, (QList<uint>{42, 43}));
    }

    void keepAwakeSettlesARequestStillInFlight()
    {
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

    void keepAwakeReleasesOnDestruction_data()
    {
        QTest::addColumn<bool>("answerBeforeDestruction");
        QTest::newRow("cookie held") << true;
        QTest::newRow("answer still on its way") << false;
    }
    void keepAwakeReleasesOnDestruction()
    {
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

    void keepAwakeWithoutTheService()
    {
        screenSaver_->withdraw();
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

    void launcherProgressSendsOnlyVisibleChanges()
    {
        {
            LauncherProgress hidden; // never shown: nothing to take back when it goes
        }
        LauncherProgress progress;
        progress.setProgress(0.25);
        for (double same : {0.2504, 0.2496, 0.25})
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
        const QList<Expected> expected{{true, 0.25}, {true, 0.251}, {true, 1.0}, {false, 0}, {true, 1.0}, {true, 0.0}};
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

    void launcherProgressHidesWhenDestroyed()
    {
        {
            LauncherProgress progress;
            progress.setProgress(0.5);
        }
        QTRY_COMPARE(listener_->updates.size(), 2);
        QCOMPARE(listener_->last("progress-visible"), QVariant(false));
        QTest::qWait(50);
        QCOMPARE(listener_->updates.size(), 2);
    }

    // Registered as a test of its own, with no session bus in the environment.
    void withoutSessionBus()
    {
        if (withBus())
            QSKIP("runs as a test of its own");
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

private:
    bool withBus() const { return !address_.isEmpty(); }

    QString address_;
    QDBusConnection desktop_{QString()};
    std::unique_ptr<FakeScreenSaver> screenSaver_;
    std::unique_ptr<LauncherListener> listener_;
};

int main(int argc, char *argv[])
{
    const bool withBus = !qEnvironmentVariableIsSet("VELMORAN_TEST_WITHOUT_BUS");
    if (withBus)
        runOnPrivateSessionBus(argv);
    QCoreApplication app(argc, argv);
    TestPlatformBus test(withBus ? qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS") : QString());
    return QTest::qExec(&test, argc, argv);
}

#include "tst_platform_bus.moc"
