// Checks the test harness itself where a fault would let other tests pass without testing: the
// generated clips other tests only play, and FakeHttpServer's delayed answers.

#include "FakeHttpServer.h"
#include "TestMedia.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// What other tests rely on, as one line: each stream ("h264 320x240", "aac 2ch"),
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
            parts << QStringLiteral("%1 %2x%3").arg(codec).arg(stream.value("width").toInt()).arg(stream.value("height").toInt());
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
        QTest::newRow("small") << "clip_320x240.mp4" << "h264 320x240, aac 2ch, 6s";
        QTest::newRow("surround") << "surround_51.mkv" << "h264 320x240, ac3 6ch, 5s";
        QTest::newRow("chapters") << "chapters_3.mkv" << "h264 320x240, aac 2ch, 9s, 3 chapters";
        QTest::newRow("head without index") << "truncated.mp4" << "unreadable";
        QTest::newRow("head of a faststart file") << "truncated_faststart.mp4" << "h264 320x240, aac 2ch, 6s";
    }
    void mediaFixtures()
    {
        QFETCH(QString, file);
        QTEST(mediaSummary(TestMedia::path(file)), "summary");
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
