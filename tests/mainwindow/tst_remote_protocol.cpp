// The remote control's request parsing, routing and answers, including what hostile or broken
// clients can send.
#include "mainwindow/RemoteProtocol.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace RemoteProtocol;
using Kind = Route::Kind;

class RemoteProtocolTest : public QObject
{
    Q_OBJECT

private slots:
    void requestLine_data()
    {
        QTest::addColumn<QByteArray>("received");
        QTest::addColumn<QString>("path"); // "<none>": still waiting for the line
        QTest::newRow("whole request") << QByteArray("GET /api/status HTTP/1.1\r\nHost: x\r\n\r\n") << "/api/status";
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
        const std::optional<QString> parsed = requestPath(received);
        QCOMPARE(parsed.value_or(QStringLiteral("<none>")), path);
    }

    void routes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("volume");
        QTest::newRow("toggle") << "/api/toggle" << Kind::Toggle << 0.0 << 0;
        QTest::newRow("seek fraction") << "/api/seek/90.5" << Kind::Seek << 90.5 << 0;
        QTest::newRow("seek not a number") << "/api/seek/abc" << Kind::Seek << 0.0 << 0;
        QTest::newRow("seek nan") << "/api/seek/nan" << Kind::Seek << 0.0 << 0;
        QTest::newRow("volume above") << "/api/volume/250" << Kind::Volume << 0.0 << 200;
        QTest::newRow("volume below") << "/api/volume/-5" << Kind::Volume << 0.0 << 0;
        QTest::newRow("volume not a number") << "/api/volume/loud" << Kind::Volume << 0.0 << 0;
        QTest::newRow("volume overflow") << "/api/volume/99999999999999999999" << Kind::Volume << 0.0 << 0;
        QTest::newRow("prefix is case-sensitive") << "/API/volume/80" << Kind::Page << 0.0 << 0;
        QTest::newRow("exact paths only") << "/api/play/" << Kind::Page << 0.0 << 0;
        QTest::newRow("root") << "/" << Kind::Page << 0.0 << 0;
    }
    void routes()
    {
        QFETCH(QString, path);
        QFETCH(Kind, kind);
        QFETCH(double, seconds);
        QFETCH(int, volume);
        const Route route = routeFor(path);
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
        QTest::newRow("korean") << QString::fromUtf8("기생충 (2019).mkv") << QString::fromUtf8("기생충 (2019).mkv");
        QTest::newRow("control characters") << QString::fromUtf8("a\tb\nc\x01.mp4") << QString::fromUtf8("a\tb\nc\x01.mp4");
        QTest::newRow("markup stays text") << "<script>x</script>.mp4" << "<script>x</script>.mp4";
        QTest::newRow("nothing loaded") << "" << "";
    }
    void statusIsJsonForAnyTitle()
    {
        QFETCH(QString, title);
        QFETCH(QString, shown);
        const QByteArray body = statusBody({12.345, qQNaN(), false, 85, title});
        QJsonParseError error;
        const QJsonObject status = QJsonDocument::fromJson(body, &error).object();
        QVERIFY2(error.error == QJsonParseError::NoError, body.constData());
        QCOMPARE(status.value("title").toString(), shown);
        QVERIFY(body.startsWith(R"({"pos":12.3,"dur":0.0,"paused":false,"vol":85,)"));
    }

    void titleIsTheLastPathPart()
    {
        QCOMPARE(titleFor(QStringLiteral("/home/a/영화.mkv")), QString::fromUtf8("영화.mkv"));
        QCOMPARE(titleFor(QStringLiteral("https://host/v/clip.mp4")), QStringLiteral("clip.mp4"));
        QCOMPARE(titleFor(QString()), QString());
    }

    void answersCountUtf8Bytes()
    {
        const QByteArray answer = pageAnswer();
        const qsizetype headerEnd = answer.indexOf("\r\n\r\n");
        const QByteArray header = answer.first(headerEnd);
        const QByteArray body = answer.mid(headerEnd + 4);
        QCOMPARE(body, page());
        QVERIFY(body.size() > QString::fromUtf8(body).size()); // Korean text: more bytes than characters
        QVERIFY(header.startsWith("HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"));
        QVERIFY(header.contains("\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n"));
        QVERIFY(header.endsWith("Access-Control-Allow-Origin: *\r\nConnection: close"));
        // The status line is filled in as text only: no title ever becomes markup.
        QVERIFY(body.contains("textContent"));
        QVERIFY(!body.contains("innerHTML"));
    }
};

QTEST_APPLESS_MAIN(RemoteProtocolTest)
#include "tst_remote_protocol.moc"
