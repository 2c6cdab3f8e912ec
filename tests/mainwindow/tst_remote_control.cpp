// The phone remote: its request parsing, routing and answers, including what hostile or broken
// clients can send; then against the real player, the routes through real HTTP clients, hostile
// and broken clients next to a well-formed one, a bounded load while a clip plays, and the page
// in a real browser.
#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "mainwindow/RemoteProtocol.h"
#include "PlayerProcess.h"
#include "TestMedia.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

using Kind = RemoteProtocol::Route::Kind;

namespace {
constexpr quint16 kPort = 7373;
const QString kReadyLine = QStringLiteral("[Remote] HTTP 리모컨 서버 시작: 포트 7373");

void setRemoteEnabled(bool on)
{
    QSettings settings(QLatin1StringView(AppIdentity::kOrganisation), QLatin1StringView(AppIdentity::kSettingsApplication));
    writeSetting(settings, SettingsKeys::remoteEnabled, on);
}

struct HttpAnswer {
    QByteArray header;
    QByteArray body;
    bool complete = false;
};

// One raw exchange: sends `request` as it is and reads until the server closes.
HttpAnswer exchange(const QByteArray &request, int timeoutMs = 5000)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, kPort);
    if (!socket.waitForConnected(timeoutMs))
        return {};
    socket.write(request);
    QByteArray received;
    QElapsedTimer clock;
    clock.start();
    while (socket.state() == QAbstractSocket::ConnectedState && clock.elapsed() < timeoutMs) {
        socket.waitForReadyRead(100);
        received += socket.readAll();
    }
    received += socket.readAll();
    const qsizetype headerEnd = received.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return {received, {}, false};
    return {received.first(headerEnd), received.mid(headerEnd + 4), true};
}

HttpAnswer get(const QString &path)
{
    return exchange("GET " + path.toUtf8() + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
}

// Through Qt's own HTTP client, as a program on a phone would talk to it.
QJsonObject status()
{
    QNetworkAccessManager network;
    QNetworkReply *reply = network.get(QNetworkRequest(QUrl(QStringLiteral("http://127.0.0.1:7373/api/status"))));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    if (!finished.wait(5000))
        return {};
    const QJsonObject object = QJsonDocument::fromJson(reply->readAll()).object();
    reply->deleteLater();
    return object;
}

bool portAccepts()
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, kPort);
    return socket.waitForConnected(1000);
}
} // namespace

class RemoteControlTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<PlayerProcess> player_;
    QString first_, second_;

private slots:
    void requestLine_data()
    {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<QString>("path"); // "<none>": still waiting for the line
        QTest::newRow("query ignored") << QByteArray("GET /api/status?x=1 HTTP/1.1\r\n") << "/api/status";
        QTest::newRow("line still arriving") << QByteArray("GET /api/sta") << "<none>";
        QTest::newRow("bare newline") << QByteArray("GET /api/next HTTP/1.0\n") << "/api/next";
        QTest::newRow("no spaces") << QByteArray("GARBAGE\r\n") << "";
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe \x01\x02\r\n", 9) << QString::fromUtf8("\x01\x02");
        QTest::newRow("method ignored") << QByteArray("POST /api/pause HTTP/1.1\r\n") << "/api/pause";
    }
    void requestLine()
    {
        QFETCH(QByteArray, received);
        QFETCH(QString, path);
        const std::optional<QString> parsed = RemoteProtocol::requestPath(received);
        QCOMPARE(parsed.value_or(QStringLiteral("<none>")), path);
    }

    void routes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("volume");
        QTest::newRow("seek fraction") << "/api/seek/90.5" << Kind::Seek << 90.5 << 0;
        QTest::newRow("seek not a number") << "/api/seek/abc" << Kind::Seek << 0.0 << 0;
        QTest::newRow("seek nan") << "/api/seek/nan" << Kind::Seek << 0.0 << 0;
        QTest::newRow("volume above") << "/api/volume/250" << Kind::Volume << 0.0 << 200;
        QTest::newRow("volume below") << "/api/volume/-5" << Kind::Volume << 0.0 << 0;
        QTest::newRow("volume not a number") << "/api/volume/loud" << Kind::Volume << 0.0 << 0;
        QTest::newRow("volume overflow") << "/api/volume/99999999999999999999" << Kind::Volume << 0.0 << 0;
        QTest::newRow("prefix is case-sensitive") << "/API/volume/80" << Kind::Page << 0.0 << 0;
        QTest::newRow("exact paths only") << "/api/play/" << Kind::Page << 0.0 << 0;
    }
    void routes()
    {
        QFETCH(QString, path);
        QFETCH(Kind, kind);
        QFETCH(double, seconds);
        QFETCH(int, volume);
        const RemoteProtocol::Route route = RemoteProtocol::routeFor(path);
        QCOMPARE(route.kind, kind);
        QCOMPARE(route.seconds, seconds);
        QCOMPARE(route.volume, volume);
    }

    void statusIsJsonForAnyTitle_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("shown");
        QTest::newRow("quotes") << R"(a "quoted" name.mkv)" << "a 'quoted' name.mkv";
        QTest::newRow("backslash") << R"(C:\films\x.mkv)" << R"(C:\films\x.mkv)";
        QTest::newRow("control characters") << QString::fromUtf8("a\tb\nc\x01.mp4") << QString::fromUtf8("a\tb\nc\x01.mp4");
        QTest::newRow("markup stays text") << "<script>x</script>.mp4" << "<script>x</script>.mp4";
        QTest::newRow("nothing loaded") << "" << "";
    }
    void statusIsJsonForAnyTitle()
    {
        QFETCH(QString, title);
        QFETCH(QString, shown);
        const QByteArray body = RemoteProtocol::statusBody({12.345, qQNaN(), false, 85, title});
        QJsonParseError error;
        const QJsonObject status = QJsonDocument::fromJson(body, &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, body.constData());
        QCOMPARE(status.value("title").toString(), shown);
        QVERIFY(body.startsWith(R"({"pos":12.3,"dur":0.0,"paused":false,"vol":85,)"));
    }

    void answersCountUtf8Bytes()
    {
        const QByteArray answer = RemoteProtocol::pageAnswer();
        const qsizetype headerEnd = answer.indexOf("\r\n\r\n");
        const QByteArray header = answer.first(headerEnd);
        const QByteArray body = answer.mid(headerEnd + 4);
        QCOMPARE(body, RemoteProtocol::page());
        QVERIFY(body.size() > QString::fromUtf8(body).size()); // Korean text: more bytes than characters
        QVERIFY(header.startsWith("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"));
        QVERIFY(header.contains("\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n"));
        QVERIFY(header.endsWith("Access-Control-Allow-Origin: *\r\nConnection: close"));
        // Every button of the page is a route, not the page again.
        QRegularExpressionMatchIterator links = QRegularExpression(QStringLiteral("href=\"([^\"]+)\"")).globalMatch(QString::fromUtf8(body));
        QVERIFY(links.hasNext());
        while (links.hasNext())
            QVERIFY(RemoteProtocol::routeFor(links.next().captured(1)).kind != Kind::Page);
        // The status line is filled in as text only: no title ever becomes markup.
        QVERIFY(body.contains("textContent"));
        QVERIFY(!body.contains("innerHTML"));
    }
    void initTestCase()
    {
        first_ = TestMedia::path(QStringLiteral("clip_100s.mp4"));
        second_ = TestMedia::path(QStringLiteral("clip_320x240.mp4"));
    }

    void nothingListensWhileDisabled()
    {
        setRemoteEnabled(false);
        PlayerProcess player({first_});
        QVERIFY2(player.waitForLoads(first_), qPrintable(player.console()));
        QTest::qWait(1500);
        QVERIFY(!portAccepts());
        QVERIFY(!player.console().contains(QStringLiteral("[Remote]")));
    }

    void aTakenPortLeavesThePlayerWorking()
    {
        setRemoteEnabled(true);
        QTcpServer squatter;
        QVERIFY(squatter.listen(QHostAddress::Any, kPort));
        PlayerProcess player({first_});
        QVERIFY2(player.waitForLoads(first_), qPrintable(player.console()));
        QTest::qWait(1500);
        QCOMPARE(player.process().state(), QProcess::Running);
        QVERIFY(!player.console().contains(kReadyLine));
        QVERIFY(player.waitForLine(QStringLiteral("[MPV] PLAYBACK_RESTART - 재생 시작")));
    }

    void startTheSharedPlayer()
    {
        setRemoteEnabled(true);
        player_ = std::make_unique<PlayerProcess>(QStringList{first_, second_});
        QVERIFY2(player_->waitForLoads(first_, {second_}), qPrintable(player_->console()));
        QVERIFY2(player_->waitForLine(kReadyLine), qPrintable(player_->console()));
        QTRY_COMPARE_WITH_TIMEOUT(status().value("title").toString(), QStringLiteral("clip_100s.mp4"), 10000);
    }

    // The routes' rules are checked above; here, that each kind of route reaches the engine.
    void routesReachTheEngine()
    {
        QVERIFY(player_);
        const HttpAnswer paused = get(QStringLiteral("/api/pause"));
        QCOMPARE(paused.body, QByteArray(R"({"ok":true})"));
        QVERIFY(paused.header.contains("Content-Type: application/json\r\n"));
        QTRY_VERIFY(status().value("paused").toBool());
        get(QStringLiteral("/api/seek/90.5"));
        QTRY_COMPARE(status().value("pos").toDouble(), 90.5);
        get(QStringLiteral("/api/volume/80?loud=1"));
        QTRY_COMPARE(status().value("vol").toInt(), 80);
        get(QStringLiteral("/api/toggle"));
        QTRY_VERIFY(!status().value("paused").toBool());
        get(QStringLiteral("/api/next"));
        QTRY_COMPARE_WITH_TIMEOUT(status().value("title").toString(), QStringLiteral("clip_320x240.mp4"), 10000);
        get(QStringLiteral("/api/prev"));
        QTRY_COMPARE_WITH_TIMEOUT(status().value("title").toString(), QStringLiteral("clip_100s.mp4"), 10000);
    }

    void brokenClientsNeverBlockARealRequest()
    {
        QVERIFY(player_);
        // Answered on their first line, whatever it holds.
        QVERIFY(exchange("NOSPACESATALL\r\n").header.startsWith("HTTP/1.1 200 OK"));
        QVERIFY(exchange(QByteArray("\x00\xff\xfe\x80 \x01 \r\n\r\n", 10)).header.startsWith("HTTP/1.1 200 OK"));

        // Hostile ones held open at the same time: idle connections, half a request, an endless line.
        std::vector<std::unique_ptr<QTcpSocket>> hostile;
        for (int i = 0; i < 150; ++i) {
            auto socket = std::make_unique<QTcpSocket>();
            socket->connectToHost(QHostAddress::LocalHost, kPort);
            hostile.push_back(std::move(socket));
        }
        hostile.front()->waitForConnected(2000);
        hostile.at(1)->write("GET /api/pau");
        auto *flood = hostile.at(2).get();
        flood->waitForConnected(2000);
        flood->write(QByteArray(20000, 'A'));
        flood->flush();

        QElapsedTimer clock;
        clock.start();
        const HttpAnswer real = get(QStringLiteral("/api/status"));
        QVERIFY(real.complete);
        // Served next to them, not after their time-outs (five seconds each).
        qInfo("well-formed request among hostile ones answered in %lld ms", clock.elapsed());
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(QJsonDocument::fromJson(real.body).isObject());

        // The oversized line and, a few seconds later, the silent ones are closed by the server.
        QTRY_COMPARE_WITH_TIMEOUT(flood->state(), QAbstractSocket::UnconnectedState, 3000);
        QTRY_COMPARE_WITH_TIMEOUT(hostile.at(1)->state(), QAbstractSocket::UnconnectedState, 8000);
        QCOMPARE(player_->process().state(), QProcess::Running);
        QVERIFY(!status().value("paused").toBool()); // half a pause request did nothing
    }

    void boundedLoadCompletesWhilePlaying()
    {
        QVERIFY(player_);
        constexpr int kRequests = 2000;
        constexpr int kConcurrency = 50;
        // From the start of the long clip, so it is still playing when the load is over.
        get(QStringLiteral("/api/seek/0"));
        QTRY_VERIFY(status().value("pos").toDouble() < 5);
        const double positionBefore = status().value("pos").toDouble();

        int started = 0, answered = 0, failed = 0;
        std::function<void()> startNext = [&] {
            if (started++ >= kRequests)
                return;
            auto *socket = new QTcpSocket(this);
            const QByteArray path = started % 10 == 0 ? "/api/volume/80" : "/api/status";
            connect(socket, &QTcpSocket::connected, socket, [socket, path] {
                socket->write("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
            });
            // The whole answer stays buffered until the server closes.
            connect(socket, &QTcpSocket::disconnected, socket, [&, socket] {
                const QByteArray received = socket->readAll();
                received.startsWith("HTTP/1.1 200 OK") && received.endsWith("}") ? ++answered : ++failed;
                socket->deleteLater();
                startNext();
            });
            connect(socket, &QTcpSocket::errorOccurred, socket, [&, socket](QAbstractSocket::SocketError error) {
                if (error == QAbstractSocket::RemoteHostClosedError)
                    return;
                ++failed;
                socket->disconnect();
                socket->deleteLater();
                startNext();
            });
            socket->connectToHost(QHostAddress::LocalHost, kPort);
        };
        for (int i = 0; i < kConcurrency; ++i)
            startNext();
        QTRY_VERIFY_WITH_TIMEOUT(answered + failed == kRequests, 120000);
        QCOMPARE(failed, 0);
        // The clip kept playing throughout.
        QVERIFY(status().value("pos").toDouble() > positionBefore);
        QCOMPARE(player_->process().state(), QProcess::Running);
    }

    // The page's own script fills in its status line within two seconds of page time.
    void pageWorksInABrowser()
    {
        QVERIFY(player_);
        QProcess browser;
        browser.start(QStringLiteral("chromium"),
                      {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
                       QStringLiteral("--no-first-run"), QStringLiteral("--user-data-dir=") + QDir::tempPath() + QStringLiteral("/chromium"),
                       QStringLiteral("--virtual-time-budget=2000"), QStringLiteral("--dump-dom"),
                       QStringLiteral("http://127.0.0.1:7373/")});
        QVERIFY2(browser.waitForFinished(60000), "chromium (Debian package) must be installed");
        const QString page = QString::fromUtf8(browser.readAllStandardOutput());
        const QString line = page.section(QStringLiteral("<div id=\"status\">"), 1).section(QStringLiteral("</div>"), 0, 0);
        const QString title = status().value("title").toString();
        QVERIFY2(!title.isEmpty() && line.contains(title) && line.contains(QStringLiteral("볼륨 80%")), qPrintable(page));
        QVERIFY2(QRegularExpression(QStringLiteral("\\| \\d+:\\d\\d / \\d+:\\d\\d \\|")).match(line).hasMatch(), qPrintable(line));
    }
};

QTEST_MAIN(RemoteControlTest)
#include "tst_remote_control.moc"
