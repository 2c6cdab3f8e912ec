// Checks the test harness itself: that the generated media really has the properties other tests
// assume, and that FakeHttpServer speaks HTTP well enough for a real QNetworkAccessManager.

#include "FakeHttpServer.h"
#include "TestMedia.h"

#include <QElapsedTimer>
#include <QFileInfo>
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

struct Probe
{
    int exitCode = -1;
    QJsonObject result;
    QByteArray errors;
};

Probe ffprobe(const QString &file)
{
    QProcess process;
    process.start(QStringLiteral("ffprobe"),
                  {"-v", "error", "-print_format", "json", "-show_format", "-show_streams",
                   "-show_chapters", file});
    Probe probe;
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit) {
        probe.errors = "ffprobe did not run: " + process.errorString().toUtf8();
        return probe;
    }
    probe.exitCode = process.exitCode();
    probe.result = QJsonDocument::fromJson(process.readAllStandardOutput()).object();
    probe.errors = process.readAllStandardError();
    return probe;
}

// The first stream of a type; cover art counts as its own kind, not as video.
QJsonObject streamOf(const Probe &probe, const QString &type, bool coverArt = false)
{
    for (const QJsonValue &value : probe.result.value("streams").toArray()) {
        const QJsonObject stream = value.toObject();
        const bool isCover = stream.value("disposition").toObject().value("attached_pic").toInt();
        if (stream.value("codec_type").toString() == type && isCover == coverArt)
            return stream;
    }
    return {};
}

double number(const QJsonObject &object, const char *key)
{
    return object.value(key).toVariant().toDouble(); // ffprobe writes many numbers as strings
}

} // namespace

class TestSupport : public QObject
{
    Q_OBJECT

private:
    // Runs a request to completion; the reply is owned by the caller.
    std::unique_ptr<QNetworkReply> finish(QNetworkReply *reply, int timeoutMs = 5000)
    {
        std::unique_ptr<QNetworkReply> owned(reply);
        if (!reply->isFinished()) {
            QSignalSpy finished(reply, &QNetworkReply::finished);
            if (!finished.wait(timeoutMs))
                qWarning("request to %s did not finish", qPrintable(reply->url().toString()));
        }
        return owned;
    }

    QNetworkAccessManager m_network;

private slots:
    void videoFixtures_data();
    void videoFixtures();
    void chapters();
    void coverArtFixtures_data();
    void coverArtFixtures();
    void truncatedFixtures();

    void jsonRouteWithStatusAndHeaders();
    void bodyInPiecesArrivesWhole();
    void delayedReply();
    void droppedConnectionIsAnError();
    void postBodyReceivedIntact();
    void requestSplitAcrossSegments();
};

void TestSupport::videoFixtures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<double>("fps");
    QTest::addColumn<QString>("audioCodec");
    QTest::addColumn<int>("channels");
    QTest::addColumn<double>("seconds");

    QTest::newRow("small") << "clip_320x240.mp4" << 320 << 240 << 25.0 << "aac" << 2 << 6.0;
    QTest::newRow("full hd") << "clip_1920x1080.mp4" << 1920 << 1080 << 25.0 << "aac" << 2 << 3.0;
    QTest::newRow("long") << "clip_100s.mp4" << 160 << 120 << 10.0 << "aac" << 2 << 100.0;
    QTest::newRow("surround") << "surround_51.mkv" << 320 << 240 << 25.0 << "ac3" << 6 << 5.0;
    QTest::newRow("chapters") << "chapters_3.mkv" << 320 << 240 << 25.0 << "aac" << 2 << 9.0;
}

void TestSupport::videoFixtures()
{
    QFETCH(QString, file);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(double, fps);
    QFETCH(QString, audioCodec);
    QFETCH(int, channels);
    QFETCH(double, seconds);

    const Probe probe = ffprobe(TestMedia::path(file));
    QVERIFY2(probe.exitCode == 0, probe.errors.constData());

    const QJsonObject video = streamOf(probe, "video");
    QCOMPARE(video.value("codec_name").toString(), "h264");
    QCOMPARE(video.value("pix_fmt").toString(), "yuv420p");
    QCOMPARE(video.value("width").toInt(), width);
    QCOMPARE(video.value("height").toInt(), height);
    const QStringList rate = video.value("r_frame_rate").toString().split('/');
    QCOMPARE(rate.value(0).toDouble() / rate.value(1).toDouble(), fps);

    const QJsonObject audio = streamOf(probe, "audio");
    QCOMPARE(audio.value("codec_name").toString(), audioCodec);
    QCOMPARE(audio.value("channels").toInt(), channels);
    QCOMPARE(number(audio, "sample_rate"), 48000.0);

    const double duration = number(probe.result.value("format").toObject(), "duration");
    QVERIFY2(qAbs(duration - seconds) < 0.1, qPrintable(QString::number(duration)));
}

void TestSupport::chapters()
{
    const Probe probe = ffprobe(TestMedia::path("chapters_3.mkv"));
    QVERIFY2(probe.exitCode == 0, probe.errors.constData());
    const QJsonArray chapters = probe.result.value("chapters").toArray();
    QCOMPARE(chapters.size(), 3);

    const QStringList titles{QStringLiteral("첫째"), QStringLiteral("둘째"), QStringLiteral("셋째")};
    for (int i = 0; i < 3; ++i) {
        const QJsonObject chapter = chapters[i].toObject();
        QCOMPARE(number(chapter, "start_time"), 3.0 * i);
        QCOMPARE(number(chapter, "end_time"), 3.0 * (i + 1));
        QCOMPARE(chapter.value("tags").toObject().value("title").toString(), titles[i]);
    }
}

void TestSupport::coverArtFixtures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("audioCodec");
    QTest::addColumn<QString>("coverCodec"); // empty: the file must have no cover

    QTest::newRow("flac") << "cover.flac" << "flac" << "png";
    QTest::newRow("id3v2.3") << "cover_id3v23.mp3" << "mp3" << "mjpeg";
    QTest::newRow("id3v2.4") << "cover_id3v24.mp3" << "mp3" << "mjpeg";
    QTest::newRow("m4a") << "cover.m4a" << "aac" << "mjpeg";
    QTest::newRow("no cover") << "plain.mp3" << "mp3" << "";
}

void TestSupport::coverArtFixtures()
{
    QFETCH(QString, file);
    QFETCH(QString, audioCodec);
    QFETCH(QString, coverCodec);

    const Probe probe = ffprobe(TestMedia::path(file));
    QVERIFY2(probe.exitCode == 0, probe.errors.constData());
    QCOMPARE(streamOf(probe, "audio").value("codec_name").toString(), audioCodec);

    const QJsonObject tags = probe.result.value("format").toObject().value("tags").toObject();
    QCOMPARE(tags.value("title").toString(), QStringLiteral("테스트 곡"));
    QCOMPARE(tags.value("artist").toString(), QStringLiteral("Velmoran 테스터"));
    QCOMPARE(tags.value("album").toString(), QStringLiteral("픽스처 앨범"));

    const QJsonObject cover = streamOf(probe, "video", true);
    QCOMPARE(cover.value("codec_name").toString(), coverCodec);
    QVERIFY(streamOf(probe, "video").isEmpty());
    if (!coverCodec.isEmpty()) {
        QCOMPARE(cover.value("width").toInt(), 300);
        QCOMPARE(cover.value("height").toInt(), 300);
    }
}

void TestSupport::truncatedFixtures()
{
    const Probe cut = ffprobe(TestMedia::path("truncated.mp4"));
    QVERIFY2(cut.exitCode != 0, "a head of an mp4 without its index should not open");

    const Probe faststart = ffprobe(TestMedia::path("truncated_faststart.mp4"));
    QVERIFY2(faststart.exitCode == 0, faststart.errors.constData());
    QCOMPARE(streamOf(faststart, "video").value("width").toInt(), 320);

    const qint64 whole = QFileInfo(TestMedia::path("clip_320x240.mp4")).size();
    for (const char *file : {"truncated.mp4", "truncated_faststart.mp4"}) {
        const qint64 size = QFileInfo(TestMedia::path(file)).size();
        QVERIFY2(size > whole / 4 && size < whole / 2, file);
    }
}

void TestSupport::jsonRouteWithStatusAndHeaders()
{
    FakeHttpServer server;
    QVERIFY(server.listen());
    FakeHttpServer::Response created = FakeHttpServer::json(QJsonObject{{"id", 7}}, 201);
    created.headers.append({QByteArray("X-Velmoran-Test"), QByteArray("yes")});
    server.route("GET", "/api/items", created);
    QSignalSpy received(&server, &FakeHttpServer::requestReceived);

    QNetworkRequest request(server.url("/api/items?q=%ED%85%8C%EC%8A%A4%ED%8A%B8&page=2"));
    request.setRawHeader("X-Api-Key", "secret");
    auto reply = finish(m_network.get(request));

    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 201);
    QCOMPARE(reply->header(QNetworkRequest::ContentTypeHeader).toString(), "application/json");
    QCOMPARE(reply->rawHeader("X-Velmoran-Test"), "yes");
    QCOMPARE(QJsonDocument::fromJson(reply->readAll()).object().value("id").toInt(), 7);

    QCOMPARE(received.size(), 1);
    const auto seen = received.first().first().value<FakeHttpServer::Request>();
    QCOMPARE(seen.method, "GET");
    QCOMPARE(seen.path, "/api/items");
    QCOMPARE(seen.urlQuery().queryItemValue("q", QUrl::FullyDecoded), QStringLiteral("테스트"));
    QCOMPARE(seen.urlQuery().queryItemValue("page"), "2");
    QCOMPARE(seen.header("X-API-KEY"), "secret");
    QCOMPARE(server.requests().size(), 1);
}

void TestSupport::bodyInPiecesArrivesWhole()
{
    FakeHttpServer server;
    QVERIFY(server.listen());
    QByteArray body;
    for (int i = 0; i < 4000; ++i)
        body += char('a' + i % 26);
    FakeHttpServer::Response slow = FakeHttpServer::text(body);
    slow.chunkSize = 1000;
    slow.chunkDelayMs = 50;
    server.route("GET", "/slow", slow);

    QNetworkReply *raw = m_network.get(QNetworkRequest(server.url("/slow")));
    QSignalSpy pieces(raw, &QNetworkReply::readyRead);
    QElapsedTimer clock;
    clock.start();
    auto reply = finish(raw);

    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(reply->readAll(), body);
    QVERIFY2(pieces.size() >= 2, "the body should not have been sent in one piece");
    QVERIFY(clock.elapsed() >= 3 * 50 - 10);
}

void TestSupport::delayedReply()
{
    FakeHttpServer server;
    QVERIFY(server.listen());
    FakeHttpServer::Response late = FakeHttpServer::text("late");
    late.delayMs = 800;
    server.route("GET", "/late", late);

    QElapsedTimer clock;
    clock.start();
    QNetworkReply *raw = m_network.get(QNetworkRequest(server.url("/late")));
    QTest::qWait(150);
    QVERIFY(!raw->isFinished());
    QCOMPARE(server.requests().size(), 1); // received at once, only the answer waits

    auto reply = finish(raw);
    QCOMPARE(reply->readAll(), "late");
    QVERIFY(clock.elapsed() >= 800 - 10);
}

void TestSupport::droppedConnectionIsAnError()
{
    FakeHttpServer server;
    QVERIFY(server.listen());
    FakeHttpServer::Response drop;
    drop.dropConnection = true;
    server.route("GET", "/drop", drop);

    auto reply = finish(m_network.get(QNetworkRequest(server.url("/drop"))));
    QVERIFY(reply->isFinished());
    QVERIFY(reply->error() != QNetworkReply::NoError);
    QVERIFY(!reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid());
    QVERIFY(!server.requests().isEmpty());
}

void TestSupport::postBodyReceivedIntact()
{
    FakeHttpServer server;
    QVERIFY(server.listen());
    server.route("POST", "/upload", [](const FakeHttpServer::Request &r) {
        return FakeHttpServer::json(QJsonObject{{"size", int(r.body.size())}});
    });

    // Large enough to span many TCP segments, with every byte value including NUL and CR/LF.
    QByteArray body;
    for (int i = 0; i < 300 * 1024; ++i)
        body += char((i * 7 + i / 256) & 0xff);
    QNetworkRequest request(server.url("/upload"));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/octet-stream");
    auto reply = finish(m_network.post(request, body));

    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(QJsonDocument::fromJson(reply->readAll()).object().value("size").toInt(),
             body.size());
    QCOMPARE(server.requests().size(), 1);
    const FakeHttpServer::Request received = server.requests().first();
    QCOMPARE(received.method, "POST");
    QCOMPARE(received.header("content-type"), "application/octet-stream");
    QVERIFY(received.body == body);
}

void TestSupport::requestSplitAcrossSegments()
{
    FakeHttpServer server;
    QVERIFY(server.listen());
    server.route("PUT", "/split",
                 [](const FakeHttpServer::Request &r) { return FakeHttpServer::text(r.body); });

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.port());
    QVERIFY(client.waitForConnected(5000));
    // Cuts fall inside the request line, inside a header, between head and body and mid-body.
    const QList<QByteArray> parts{"PU", "T /split HTTP/1.1\r\nHost: x\r\nContent-Le",
                                  "ngth: 11\r\n\r", "\n", "hello", " world"};
    for (const QByteArray &part : parts) {
        client.write(part);
        QVERIFY(client.waitForBytesWritten(5000));
        QTest::qWait(30);
        QVERIFY2(server.requests().isEmpty() || &part == &parts.last(), "answered too early");
    }
    QTRY_COMPARE(server.requests().size(), 1);
    QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
    const QByteArray answer = client.readAll();
    QVERIFY2(answer.startsWith("HTTP/1.1 200 OK\r\n"), answer.constData());
    QVERIFY(answer.endsWith("\r\n\r\nhello world"));
}

QTEST_GUILESS_MAIN(TestSupport)
#include "tst_test_support.moc"
