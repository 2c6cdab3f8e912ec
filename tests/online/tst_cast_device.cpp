// Casting from the network page to a Cast device written by other hands: the castv2 package's
// TLS server and framing, driven by cast-device/device.js. The session must connect, launch,
// load and see PLAYING with the device holding the very bytes of the file; the file is served
// only to that cast, under a secret address on the interface toward the device, and no longer
// once the cast fails, ends or is stopped; a second cast stops the first on the device first.
#include "FakeEngineSession.h"
#include "TestFiles.h"
#include "engine/MpvCore.h"
#include "settings/NetworkBrowserWidget.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace {

// The device process and what it reported, one JSON object per step.
class CastDevice
{
public:
    ~CastDevice()
    {
        process_.kill();
        process_.waitForFinished(3000);
    }

    // Empty when it runs; otherwise why not.
    QString start(const QString &folder, const QStringList &flags = {})
    {
        if (QStandardPaths::findExecutable(QStringLiteral("node")).isEmpty())
            return QStringLiteral("node is missing: run scripts/install-deps.sh --tests");
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"), {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                                                  "/CN=cast", "-keyout", folder + "/key.pem", "-out", folder + "/cert.pem"});
        if (!openssl.waitForFinished(30000) || openssl.exitCode() != 0)
            return QStringLiteral("openssl could not make the device's certificate");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("NODE_PATH"), qEnvironmentVariable("VELMORAN_CAST_DEVICE_MODULES"));
        process_.setProcessEnvironment(environment);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&process_, &QProcess::readyReadStandardOutput, [this] {
            while (process_.canReadLine())
                events_ << QJsonDocument::fromJson(process_.readLine()).object();
        });
        const QStringList arguments{qEnvironmentVariable("VELMORAN_CAST_DEVICE_SCRIPT"), folder + "/key.pem", folder + "/cert.pem"};
        process_.start(QStringLiteral("node"), arguments + flags);
        if (!QTest::qWaitFor([this] { return !events("listening").isEmpty() || process_.state() == QProcess::NotRunning; }, 20000)
            || events("listening").isEmpty())
            return QStringLiteral("the device did not start");
        qputenv("VELMORAN_CAST_PORT", QByteArray::number(events("listening").first().value("port").toInt()));
        return {};
    }

    QList<QJsonObject> events(const QString &kind, const QString &type = {}) const
    {
        QList<QJsonObject> found;
        for (const QJsonObject &event : events_)
            if (event.value("event").toString() == kind && (type.isEmpty() || event.value("type").toString() == type))
                found << event;
        return found;
    }
    // The position of the first event of that kind and type after `from`; -1 when none.
    qsizetype indexOf(const QString &kind, const QString &type, qsizetype from = 0) const
    {
        for (qsizetype i = from; i < events_.size(); ++i)
            if (events_.at(i).value("event").toString() == kind && events_.at(i).value("type").toString() == type)
                return i;
        return -1;
    }
    void tell(const QByteArray &line) { process_.write(line + '\n'); }

private:
    QProcess process_;
    QList<QJsonObject> events_;
};

// The HTTP status a plain GET of `url` gets; 0 when nothing answers there.
int statusOf(const QString &url)
{
    QNetworkAccessManager network;
    QNetworkReply *reply = network.get(QNetworkRequest(QUrl(url)));
    const int status = QTest::qWaitFor([reply] { return reply->isFinished(); }, 5000)
                           ? reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt()
                           : -1;
    delete reply;
    return status;
}

} // namespace

class CastDeviceTest : public QObject
{
    Q_OBJECT
    QTemporaryDir dir_;
    QByteArray film_;
    FakeEngine engine_ = makeFakeEngine(true);

    void cast(NetworkBrowserWidget &page)
    {
        page.findChild<QLineEdit *>(QStringLiteral("castIpEdit"))->setText(QStringLiteral("127.0.0.1"));
        buttonWithText(page, QStringLiteral("캐스팅 시작"))->click();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        for (int i = 0; i < 40000; ++i)
            film_ += QByteArray::number(i) + ' ';
        engine_.fake->properties.insert(QStringLiteral("path"), writeTestFile(dir_.filePath(QStringLiteral("film.mp4")), film_));
    }

    void castPlaysAndStops()
    {
        CastDevice device;
        const QString problem = device.start(dir_.path());
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        NetworkBrowserWidget page(engine_.core.get());
        cast(page);
        QTRY_VERIFY_WITH_TIMEOUT(page.castStatusText().contains(QStringLiteral("재생 중입니다")), 20000);

        // The device took the whole file from the player, by an address nobody could guess, and
        // answered the device's ping on its heartbeat channel.
        const QJsonObject fetched = device.events("fetched").value(0);
        QCOMPARE(fetched.value("status").toInt(), 200);
        QCOMPARE(fetched.value("sha256").toString().toLatin1(), QCryptographicHash::hash(film_, QCryptographicHash::Sha256).toHex());
        const QUrl stream(fetched.value("url").toString());
        QCOMPARE(stream.host(), QStringLiteral("127.0.0.1")); // the connection's own address toward the device
        QVERIFY2(stream.path().size() > 30, qPrintable(stream.path()));
        QVERIFY(!device.events("message", "PONG").isEmpty());
        QUrl guessed = stream;
        guessed.setPath(QStringLiteral("/stream"));
        QCOMPARE(statusOf(guessed.toString()), 404);
        QUrl otherInterface = stream; // served on that one interface only
        otherInterface.setHost(QStringLiteral("127.0.0.2"));
        QCOMPARE(statusOf(otherInterface.toString()), 0);

        buttonWithText(page, QStringLiteral("캐스팅 중지"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(page.castStatusText(), QStringLiteral("캐스팅을 중지했습니다."), 10000);
        QTRY_COMPARE(device.events("message", "STOP").size(), 2); // the media and the receiver
        QCOMPARE(statusOf(stream.toString()), 0);
    }

    void aFailedCastServesNothing()
    {
        CastDevice device;
        const QString problem = device.start(dir_.path(), {QStringLiteral("--refuse-load")});
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        NetworkBrowserWidget page(engine_.core.get());
        cast(page);
        QTRY_VERIFY_WITH_TIMEOUT(page.castStatusText().startsWith(QStringLiteral("Cast 프로토콜 전송 실패")), 20000);
        QVERIFY(page.castStatusText().contains(QStringLiteral("LOAD_FAILED")));
        // The address the device was given no longer answers, and none is offered for a manual try.
        const QString offered = device.events("message", "LOAD").value(0).value("url").toString();
        QVERIFY(offered.startsWith(QStringLiteral("http://127.0.0.1:")));
        QCOMPARE(statusOf(offered), 0);
        QVERIFY(!page.castStatusText().contains(offered));
    }

    void aSecondCastStopsTheFirstAndAnEndStopsServing()
    {
        CastDevice device;
        const QString problem = device.start(dir_.path());
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        NetworkBrowserWidget page(engine_.core.get());
        cast(page);
        QTRY_VERIFY_WITH_TIMEOUT(device.events("fetched").size() == 1 && page.castStatusText().contains(QStringLiteral("재생 중")), 20000);
        const QString first = device.events("fetched").first().value("url").toString();
        cast(page);
        QTRY_VERIFY_WITH_TIMEOUT(device.events("fetched").size() == 2 && page.castStatusText().contains(QStringLiteral("재생 중")), 20000);
        // The first sender stopped its receiver and left before the second one launched.
        const qsizetype stop = device.indexOf("message", "STOP");
        const qsizetype secondLaunch = device.indexOf("message", "LAUNCH", device.indexOf("message", "LAUNCH") + 1);
        QVERIFY(stop >= 0 && secondLaunch > stop);
        QCOMPARE(statusOf(first), 404); // the new cast has a server, and a secret, of its own
        const QString second = device.events("fetched").last().value("url").toString();
        QVERIFY(second != first);

        device.tell("finish"); // the film is over on the device
        QTRY_COMPARE_WITH_TIMEOUT(page.castStatusText(), QStringLiteral("캐스팅이 끝났습니다."), 10000);
        QCOMPARE(statusOf(second), 0);
    }
};

QTEST_MAIN(CastDeviceTest)
#include "tst_cast_device.moc"
