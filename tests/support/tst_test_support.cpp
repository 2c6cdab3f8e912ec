// Checks the test harness itself: that the generated media really has the properties other tests
// assume, and that FakeHttpServer speaks HTTP well enough for a real QNetworkAccessManager.

#include "FakeHttpServer.h"
#include "TestMedia.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

#include <memory>

namespace {

// What other tests rely on, as one line: each stream ("h264 320x240", "aac 2ch", "cover png 300x300"),
// whole seconds and chapters; "unreadable" when ffprobe cannot open the file.
QString mediaSummary(const QString &file)
{
    QProcess process;
    process.start(QStringLiteral("ffprobe"), {"-v", "error", "-print_format", "json", "-show_format",
                                              "-show_streams", "-show_chapters", file});
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return QStringLiteral("ffprobe did not run: ") + process.errorString();
    if (process.exitCode() != 0)
        return QStringLiteral("unreadable");
    const QJsonObject probe = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
    QStringList parts;
    for (const QJsonValue &value : probe.value("streams").toArray()) {
        const QJsonObject stream = value.toObject();
        const QString codec = stream.value("codec_name").toString();
        if (stream.value("codec_type").toString() == QLatin1String("audio"))
            parts << QStringLiteral("%1 %2ch").arg(codec).arg(stream.value("channels").toInt());
        else
            parts << QStringLiteral("%1%2 %3x%4")
                         .arg(stream.value("disposition").toObject().value("attached_pic").toInt() ? "cover " : "",
                              codec)
                         .arg(stream.value("width").toInt())
                         .arg(stream.value("height").toInt());
    }
    parts << QStringLiteral("%1s").arg(qRound(probe.value("format").toObject().value("duration").toString().toDouble()));
    if (const qsizetype chapters = probe.value("chapters").toArray().size())
        parts << QStringLiteral("%1 chapters").arg(chapters);
    return parts.join(QStringLiteral(", "));
}

// Runs a request to completion; the reply is owned by the caller.
std::unique_ptr<QNetworkReply> finish(QNetworkReply *reply)
{
    std::unique_ptr<QNetworkReply> owned(reply);
    if (!reply->isFinished() && !QSignalSpy(reply, &QNetworkReply::finished).wait(5000))
        qWarning("request to %s did not finish", qPrintable(reply->url().toString()));
    return owned;
}

} // namespace

class TestSupport : public QObject
{
    Q_OBJECT

    QNetworkAccessManager m_network;

private slots:
    void mediaFixtures_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("summary");
        const QString cover = QStringLiteral("mp3 2ch, cover mjpeg 300x300, 4s");
        QTest::newRow("small") << "clip_320x240.mp4" << "h264 320x240, aac 2ch, 6s";
        QTest::newRow("full hd") << "clip_1920x1080.mp4" << "h264 1920x1080, aac 2ch, 3s";
        QTest::newRow("long") << "clip_100s.mp4" << "h264 160x120, aac 2ch, 100s";
        QTest::newRow("surround") << "surround_51.mkv" << "h264 320x240, ac3 6ch, 5s";
        QTest::newRow("chapters") << "chapters_3.mkv" << "h264 320x240, aac 2ch, 9s, 3 chapters";
        QTest::newRow("flac cover") << "cover.flac" << "flac 2ch, cover png 300x300, 4s";
        QTest::newRow("id3v2.3 cover") << "cover_id3v23.mp3" << cover;
        QTest::newRow("id3v2.4 cover") << "cover_id3v24.mp3" << cover;
        QTest::newRow("m4a cover") << "cover.m4a" << "aac 2ch, cover mjpeg 300x300, 4s";
        QTest::newRow("no cover") << "plain.mp3" << "mp3 2ch, 4s";
        QTest::newRow("head without index") << "truncated.mp4" << "unreadable";
        QTest::newRow("head of a faststart file") << "truncated_faststart.mp4" << "h264 320x240, aac 2ch, 6s";
    }
    void mediaFixtures()
    {
        QFETCH(QString, file);
        QTEST(mediaSummary(TestMedia::path(file)), "summary");
    }

    void jsonRouteRecordsTheRequest()
    {
        FakeHttpServer server;
        QVERIFY(server.listen());
        server.route("GET", "/api/items", FakeHttpServer::json(QJsonObject{{"id", 7}}, 201));
        QNetworkRequest request(server.url("/api/items?q=%ED%85%8C%EC%8A%A4%ED%8A%B8&page=2"));
        request.setRawHeader("X-Api-Key", "secret");
        auto reply = finish(m_network.get(request));
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 201);
        QCOMPARE(reply->header(QNetworkRequest::ContentTypeHeader).toString(), "application/json");
        QCOMPARE(QJsonDocument::fromJson(reply->readAll()).object().value("id").toInt(), 7);
        QCOMPARE(server.requests().size(), 1);
        const FakeHttpServer::Request seen = server.requests().first();
        QCOMPARE(seen.method + ' ' + seen.path, "GET /api/items");
        QCOMPARE(seen.urlQuery().queryItemValue("q", QUrl::FullyDecoded), QStringLiteral("테스트"));
        QCOMPARE(seen.header("X-API-KEY"), "secret");
    }

    // Cuts fall inside the request line, inside a header, between head and body and mid-body.
    void requestSplitAcrossWrites()
    {
        FakeHttpServer server;
        QVERIFY(server.listen());
        server.route("PUT", "/split", [](const FakeHttpServer::Request &r) { return FakeHttpServer::text(r.body); });
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, server.port());
        QVERIFY(client.waitForConnected(5000));
        const QList<QByteArray> parts{"PU", "T /split HTTP/1.1\r\nHost: x\r\nContent-Le", "ngth: 11\r\n\r", "\n",
                                      "hello", " world"};
        for (const QByteArray &part : parts) {
            client.write(part);
            QVERIFY(client.waitForBytesWritten(5000));
            QTest::qWait(30);
            QVERIFY2(server.requests().isEmpty() || &part == &parts.last(), "answered too early");
        }
        QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
        const QByteArray answer = client.readAll();
        QVERIFY2(answer.startsWith("HTTP/1.1 200 OK\r\n") && answer.endsWith("\r\n\r\nhello world"), answer.constData());
    }

    // A delayed answer waits while the request itself is taken at once (stale-reply tests rely on it).
    void delayedAnswer()
    {
        FakeHttpServer server;
        QVERIFY(server.listen());
        FakeHttpServer::Response slow = FakeHttpServer::text("ok");
        slow.delayMs = 400;
        server.route("POST", "/slow", slow);
        QElapsedTimer clock;
        clock.start();
        QNetworkReply *raw = m_network.post(QNetworkRequest(server.url("/slow")), QByteArray("body"));
        QTRY_COMPARE(server.requests().size(), 1);
        QVERIFY(!raw->isFinished());
        auto reply = finish(raw);
        QVERIFY(reply->readAll() == "ok" && clock.elapsed() >= 390);
        QCOMPARE(server.requests().first().body, "body");
    }
};

QTEST_GUILESS_MAIN(TestSupport)
#include "tst_test_support.moc"
