// The network page: UNC paths and favourites, smb:// addresses opened through a GVfs mount,
// cast-device discovery against fake devices, and what a cast request reports.
#include "FakeEngineSession.h"
#include "FakeHttpServer.h"
#include "TestFiles.h"
#include "online/CastSession.h"
#include "online/MediaStreamServer.h"
#include "settings/CastDiscovery.h"
#include "settings/NetworkBrowserWidget.h"

#include <QDir>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QProcess>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QtEndian>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

class NetworkBrowserTest : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir runtime_;
    QByteArray path_ = qgetenv("PATH");

private slots:
    void initTestCase()
    {
        QVERIFY(runtime_.isValid());
        qputenv("XDG_RUNTIME_DIR", runtime_.path().toUtf8());
    }
    void cleanup() { qputenv("PATH", path_); }

    void uncPaths_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("opened");
        QTest::newRow("server, share, file") << "\\\\nas\\media\\film.mkv" << "smb://nas/media/film.mkv";
        QTest::newRow("one backslash") << "\\nas\\media" << "\\nas\\media";
    }
    void uncPaths()
    {
        QFETCH(QString, typed);
        QTEST(NetworkBrowserWidget::toSmbUrl(typed), "opened");
    }

    void favouritesAreKeptOnceAsTyped()
    {
        {
            NetworkBrowserWidget page(nullptr);
            page.findChild<QListWidget *>()->clear();
            for (const char *typed : {"  \\\\nas\\media  ", "\\\\nas\\media", "smb://nas/music", ""}) {
                page.findChild<QLineEdit *>(QStringLiteral("smbPathEdit"))->setText(QString::fromUtf8(typed));
                buttonWithText(page, QStringLiteral("즐겨찾기 추가"))->click();
            }
        }
        NetworkBrowserWidget reopened(nullptr);
        auto *list = reopened.findChild<QListWidget *>();
        QStringList kept;
        for (int row = 0; row < list->count(); ++row)
            kept << list->item(row)->text();
        QCOMPARE(kept, (QStringList{"\\\\nas\\media", "smb://nas/music"}));

        list->setCurrentRow(0);
        buttonWithText(reopened, QStringLiteral("즐겨찾기 제거"))->click();
        QCOMPARE(NetworkBrowserWidget(nullptr).findChild<QListWidget *>()->count(), 1);
    }

    // What "gio" does decides whether the share's file is opened or the reason is shown.
    void smbThroughGvfs_data()
    {
        QTest::addColumn<QByteArray>("gio"); // empty: none on PATH
        QTest::addColumn<QString>("expected"); // the opened path, or a word of the status
        QTest::newRow("no gio") << QByteArray() << "gio";
        QTest::newRow("mount refused")
            << QByteArray("echo 'gio: smb://nas/media/: Failed to mount Windows share: Connection refused' >&2; exit 2")
            << "Connection refused";
        QTest::newRow("mounted without FUSE") << QByteArray("exit 0") << "gvfs-fuse";
        QTest::newRow("mounted")
            << QByteArray("[ \"$1 $2\" = 'mount smb://nas/my%20media' ] || exit 3\n"
                          "/bin/mkdir -p \"$XDG_RUNTIME_DIR/gvfs/smb-share:server=nas,share=my media/sub\"")
            << "gvfs/smb-share:server=nas,share=my media/sub/film 1.mkv";
    }
    void smbThroughGvfs()
    {
        QFETCH(QByteArray, gio);
        QFETCH(QString, expected);
        QTemporaryDir bin;
        if (!gio.isEmpty())
            writeTestFile(bin.filePath(QStringLiteral("gio")), "#!/bin/sh\n" + gio, -1, true);
        qputenv("PATH", bin.path().toUtf8());
        QDir(runtime_.filePath(QStringLiteral("gvfs"))).removeRecursively();

        NetworkBrowserWidget page(nullptr);
        QSignalSpy opened(&page, &NetworkBrowserWidget::openFileRequested);
        page.findChild<QLineEdit *>(QStringLiteral("smbPathEdit"))->setText(QStringLiteral("\\\\nas\\my media\\sub\\film 1.mkv"));
        buttonWithText(page, QStringLiteral("열기"))->click();
        if (expected.startsWith(QLatin1String("gvfs/"))) {
            QVERIFY(opened.wait(5000));
            QCOMPARE(opened.first().first().toString(), runtime_.filePath(expected));
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(page.smbStatusText().startsWith(QStringLiteral("네트워크 공유를 열 수 없습니다: ")), 5000);
        QVERIFY2(page.smbStatusText().contains(expected), qPrintable(page.smbStatusText()));
        QVERIFY(opened.isEmpty());
    }

    void interfacesWorthScanning()
    {
        const auto running = QNetworkInterface::IsUp | QNetworkInterface::IsRunning;
        QVERIFY(CastDiscovery::isLocalNetworkInterface(QStringLiteral("wlan0"), running));
        QVERIFY(!CastDiscovery::isLocalNetworkInterface(QStringLiteral("wlan0"), {}));
        QVERIFY(!CastDiscovery::isLocalNetworkInterface(QStringLiteral("lo"), running | QNetworkInterface::IsLoopBack));
        // Container bridges and VPN tunnels lead elsewhere.
        for (const char *name : {"docker0", "br-5f2c", "veth12ab", "tun0"})
            QVERIFY2(!CastDiscovery::isLocalNetworkInterface(QLatin1String(name), running), name);
    }

    // Only a device description is taken: not a web page naming something, not an answer too
    // big or too late.
    void discoveryTakesOnlyDevices_data()
    {
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<int>("device"); // index into answers; -1: none
        QTest::newRow("page first, then device") << QStringList{"html", "refused", "device"} << 2;
        QTest::newRow("no device") << QStringList{"html", "array", "huge", "slow", "endless", "refused"} << -1;
    }
    void discoveryTakesOnlyDevices()
    {
        QFETCH(QStringList, answers);
        QFETCH(int, device);
        const QHash<QString, FakeHttpServer::Response> kinds{
            {"device", FakeHttpServer::json(QJsonObject{{"name", "거실 TV"}, {"cast_build_revision", "1.56"}})},
            {"html", FakeHttpServer::text("<html><title>name</title>cast_build_revision</html>", 200, "text/html")},
            {"array", FakeHttpServer::json(QJsonArray{QJsonObject{{"name", "x"}}})},
            {"huge", FakeHttpServer::json("{\"name\":\"" + QByteArray(100 * 1024, 'a') + "\"}")},
            {"slow", [] { auto r = FakeHttpServer::json(QJsonObject{{"name", "late"}}); r.delayMs = 2000; return r; }()},
        };
        std::vector<std::unique_ptr<FakeHttpServer>> servers;
        QStringList hosts;
        // A body that never ends, fed faster than the reply timeout: only the cap on what has
        // arrived stops the scan from waiting for it.
        QTcpServer endless;
        QTimer feed;
        connect(&endless, &QTcpServer::newConnection, this, [&] {
            QTcpSocket *socket = endless.nextPendingConnection();
            socket->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n\r\n{\"name\":\"");
            connect(&feed, &QTimer::timeout, socket, [socket] { socket->write(QByteArray(16 * 1024, 'a')); });
        });
        feed.start(20);
        for (const QString &answer : answers) {
            if (answer == QLatin1String("refused")) {
                hosts << QStringLiteral("127.0.0.2:9"); // nothing listens there
                continue;
            }
            if (answer == QLatin1String("endless")) {
                QVERIFY(endless.listen(QHostAddress::LocalHost));
                hosts << QStringLiteral("127.0.0.1:%1").arg(endless.serverPort());
                continue;
            }
            servers.push_back(std::make_unique<FakeHttpServer>());
            QVERIFY(servers.back()->listen());
            servers.back()->route("GET", "/setup/eureka_info", kinds.value(answer));
            hosts << QStringLiteral("127.0.0.1:%1").arg(servers.back()->port());
        }
        qputenv("VELMORAN_CAST_DISCOVERY_HOSTS", hosts.join(QLatin1Char(',')).toUtf8());
        const auto unset = qScopeGuard([] { qunsetenv("VELMORAN_CAST_DISCOVERY_HOSTS"); });

        NetworkBrowserWidget page(nullptr);
        auto *address = page.findChild<QLineEdit *>(QStringLiteral("castIpEdit"));
        address->clear();
        buttonWithText(page, QStringLiteral("크롬캐스트 자동 검색"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(page.castStatusText().startsWith(QStringLiteral("크롬캐스트 발견:"))
                                     || page.castStatusText().contains(QStringLiteral("기기가 없습니다")), 5000);
        QCOMPARE(address->text(), device < 0 ? QString() : hosts.at(device));
        for (const auto &server : servers)
            QCOMPARE(server->requests().size(), 1);
    }

    void streamServerRanges_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("range"); // empty: none
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("whole") << "/stream" << QByteArray() << 200 << QByteArray("abcdefghij");
        QTest::newRow("middle") << "/stream" << QByteArray("bytes=1-3") << 206 << QByteArray("bcd");
        QTest::newRow("last two") << "/stream" << QByteArray("bytes=-2") << 206 << QByteArray("ij");
        QTest::newRow("open end") << "/stream" << QByteArray("bytes=8-") << 206 << QByteArray("ij");
        QTest::newRow("past the end") << "/stream" << QByteArray("bytes=10-") << 416 << QByteArray();
        QTest::newRow("other path") << "/etc/passwd" << QByteArray() << 404 << QByteArray();
    }
    void streamServerRanges()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, range);
        QTemporaryDir dir;
        MediaStreamServer server;
        QVERIFY(server.serve(writeTestFile(dir.filePath("a.mp3"), "abcdefghij")));
        QNetworkAccessManager network;
        QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(server.serverPort()).arg(path)));
        if (!range.isEmpty())
            request.setRawHeader("Range", range);
        QNetworkReply *reply = network.get(request);
        QTRY_VERIFY(reply->isFinished());
        QTEST(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), "status");
        QTEST(reply->readAll(), "body");
        delete reply;
    }

    // "재생 중" only once the device reports playing the stream it fetched from the player.
    void castSaysPlayingOnlyWhenTheDeviceDoes_data()
    {
        QTest::addColumn<bool>("deviceLoads");
        QTest::newRow("device plays") << true;
        QTest::newRow("device refuses") << false;
    }
    void castSaysPlayingOnlyWhenTheDeviceDoes()
    {
        QFETCH(bool, deviceLoads);
        QTemporaryDir dir;
        QProcess openssl;
        openssl.start("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj", "/CN=cast",
                                  "-keyout", dir.filePath("key.pem"), "-out", dir.filePath("cert.pem")});
        QVERIFY(openssl.waitForFinished(30000) && openssl.exitCode() == 0);
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setPrivateKey(QSslKey(readTestFile(dir.filePath("key.pem")), QSsl::Rsa));
        tls.setLocalCertificate(QSslCertificate(readTestFile(dir.filePath("cert.pem"))));
        QSslServer device;
        device.setSslConfiguration(tls);
        QVERIFY(device.listen(QHostAddress::LocalHost));
        qputenv("VELMORAN_CAST_PORT", QByteArray::number(device.serverPort()));
        const auto unset = qScopeGuard([] { qunsetenv("VELMORAN_CAST_PORT"); });

        FakeEngine engine = makeFakeEngine(true);
        engine.fake->properties.insert(QStringLiteral("path"),
                                       writeTestFile(dir.filePath("film.mp4"), QByteArray(300 * 1024, 'x') + "end"));

        // The device: starts the receiver on LAUNCH; on LOAD fetches the stream's last bytes by
        // range, as a player seeking would, and plays when they are right.
        QNetworkAccessManager network;
        QByteArray buffer;
        QUrl streamUrl;
        QPointer<QSslSocket> castPeer;
        connect(&device, &QSslServer::pendingConnectionAvailable, this, [&] {
            auto *peer = static_cast<QSslSocket *>(device.nextPendingConnection());
            castPeer = peer;
            auto reply = [peer](const QJsonObject &payload) {
                const QByteArray body = CastProtocol::encode({"receiver-0", "sender-velmoran", "urn:x-cast:com.google.cast.media",
                                                              QJsonDocument(payload).toJson()});
                QByteArray frame(4, '\0');
                qToBigEndian(quint32(body.size()), frame.data());
                peer->write(frame + body);
            };
            connect(peer, &QSslSocket::readyRead, this, [&, peer, reply] {
                buffer += peer->readAll();
                for (quint32 size; buffer.size() >= 4 && buffer.size() >= 4 + (size = qFromBigEndian<quint32>(buffer.data()));) {
                    const auto message = CastProtocol::decode(buffer.mid(4, size));
                    buffer.remove(0, 4 + size);
                    QVERIFY(message);
                    const QJsonObject request = QJsonDocument::fromJson(message->payload).object();
                    if (request["type"] == "LAUNCH")
                        reply({{"type", "RECEIVER_STATUS"}, {"status", QJsonObject{{"applications", QJsonArray{
                                   QJsonObject{{"appId", request["appId"]}, {"transportId", "web-7"}}}}}}});
                    if (request["type"] != "LOAD" || message->destination != "web-7")
                        continue;
                    if (!deviceLoads) {
                        reply({{"type", "LOAD_FAILED"}});
                        continue;
                    }
                    streamUrl = QUrl(request["media"]["contentId"].toString());
                    QNetworkRequest get(streamUrl);
                    get.setRawHeader("Range", "bytes=-3");
                    QNetworkReply *stream = network.get(get);
                    connect(stream, &QNetworkReply::finished, this, [&, stream, reply] {
                        if (stream->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 206 && stream->readAll() == "end")
                            reply({{"type", "MEDIA_STATUS"}, {"status", QJsonArray{QJsonObject{{"playerState", "PLAYING"}}}}});
                    });
                }
            });
        });

        NetworkBrowserWidget page(engine.core.get());
        page.findChild<QLineEdit *>(QStringLiteral("castIpEdit"))->setText(QStringLiteral("127.0.0.1"));
        buttonWithText(page, QStringLiteral("캐스팅 시작"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(!page.castStatusText().startsWith(QStringLiteral("스트리밍 URL")), 10000);
        QCOMPARE(page.castStatusText().contains(QStringLiteral("재생 중입니다")), deviceLoads);
        if (!deviceLoads)
            return;

        // The device closes the cast: the player's file is no longer offered on the network.
        castPeer->disconnectFromHost();
        QTRY_COMPARE(page.castStatusText(), QStringLiteral("캐스팅이 끝났습니다."));
        QNetworkReply *again = network.get(QNetworkRequest(streamUrl));
        QTRY_VERIFY(again->isFinished());
        QCOMPARE(again->error(), QNetworkReply::ConnectionRefusedError);
    }
};

QTEST_MAIN(NetworkBrowserTest)
#include "tst_network_browser.moc"
