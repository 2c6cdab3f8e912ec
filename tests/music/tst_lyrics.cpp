// The lyrics panel: LRC reading, the LRCLIB lookup against a fake service, and local files.

#include "FakeHttpServer.h"
#include "TestFiles.h"
#include "music/LrcParser.h"
#include "music/LyricsWidget.h"

#include <QTemporaryDir>
#include <QUrlQuery>
#include <QTest>

#include <sys/stat.h>

namespace {

QStringList describe(const QList<LyricLine> &lines)
{
    QStringList described;
    for (const LyricLine &line : lines)
        described << QStringLiteral("%1|%2").arg(line.timeMs).arg(line.text);
    return described;
}

// Decodes the way web servers read a query: a raw "+" is a space.
QString formValue(const FakeHttpServer::Request &request, const char *key)
{
    const QUrlQuery query(QString::fromLatin1(QByteArray(request.query).replace('+', "%20")));
    return query.queryItemValue(QLatin1StringView(key), QUrl::FullyDecoded);
}

// A lookup: the track's duration, the two answers, then the paths asked, the state, status and lines.
struct Lookup {
    double duration;
    int exactStatus;
    QByteArray exactBody;
    int searchStatus;
    QByteArray searchBody;
    QStringList paths;
    int state;
    QString status;
    QStringList lines;
};

const QString kTitle = QStringLiteral("C++ & 50%2B <b>Me</b>");

} // namespace

Q_DECLARE_METATYPE(Lookup)

class LyricsTest : public QObject
{
    Q_OBJECT
    FakeHttpServer server_;
    LyricsWidget widget_;

private slots:
    void initTestCase()
    {
        QVERIFY(server_.listen());
        qputenv("VELMORAN_LRCLIB_URL", server_.url(QStringLiteral("/")).toEncoded());
        widget_.resize(360, 420);
        widget_.show();
    }

    void parsing_data()
    {
        QTest::addColumn<bool>("plain");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("hundredths") << false << "[01:02.50]text" << QStringList{"62500|text"};
        QTest::newRow("milliseconds") << false << "[01:02.500]text" << QStringList{"62500|text"};
        QTest::newRow("colon before fraction") << false << "[01:02:05]text" << QStringList{"62050|text"};
        QTest::newRow("two stamps, sorted")
            << false << "[00:30.00]Bridge\n[00:10.00] [00:20.00]Chorus"
            << QStringList{"10000|Chorus", "20000|Chorus", "30000|Bridge"};
        QTest::newRow("tags, offset ignored, no text, no stamp, CRLF")
            << false << "[ti:Song]\r\n[offset:+500]\r\n[00:05.00]\r\nplain words\r\n[00:06.00]  b  \r\n" << QStringList{"6000|b"};
        QTest::newRow("overflowing number")
            << false << "[99999999999999999999:00.00]huge\n[00:01.00]ok" << QStringList{"1000|ok"};
        QTest::newRow("hostile") << false << QString::fromUtf8("[\n[]\n[1:\n[١:٠٢.٠٠]x\n[-1:00.00]neg\n]\n[00:01.]y")
                                 << QStringList{};
        QTest::newRow("plain keeps empty slots") << true << "a\n  \nc\n" << QStringList{"0|a", "6000|c"};
    }
    void parsing()
    {
        QFETCH(bool, plain);
        QFETCH(QString, text);
        QTEST(describe(plain ? LrcParser::plainLyricLines(text) : LrcParser::parseLrc(text)), "lines");
    }

    void webLookup_data()
    {
        QTest::addColumn<Lookup>("lookup");

        const QByteArray notFound = R"({"statusCode":404,"name":"TrackNotFound","message":"Failed to find specified track"})";
        const QByteArray noLyrics = R"({"id":1,"duration":206.80805,"instrumental":false,"plainLyrics":null,"syncedLyrics":null})";
        const QByteArray hits = R"([{"id":2,"duration":180.5,"instrumental":true,"plainLyrics":null,"syncedLyrics":null},
            {"id":3,"duration":206.80805,"instrumental":false,"plainLyrics":null,"syncedLyrics":null},
            {"id":4,"duration":207.1,"instrumental":false,"plainLyrics":"one",
             "syncedLyrics":"[00:01.00] <i>one</i>\n[00:02.00] two\n[03:25.72] "}])";
        const QStringList both{"/api/get", "/api/search"};
        const QStringList synced{"1000|<i>one</i>", "2000|two"};

        const int shown = LyricsWidget::WebLyricsShown, message = LyricsWidget::MessageOnly;
        QTest::newRow("404, then search") << Lookup{206.5, 404, notFound, 200, hits, both, shown, "AI 가사 ✦", synced};
        QTest::newRow("instrumental")
            << Lookup{180.0, 200, R"({"id":5,"duration":180.0,"instrumental":true,"plainLyrics":null,"syncedLyrics":null})",
                      200, hits, {"/api/get"}, message, "연주곡 (가사 없음)", {}};
        QTest::newRow("plain only")
            << Lookup{206.8, 200, R"({"id":6,"duration":206.80805,"instrumental":false,"plainLyrics":"a\n\nc","syncedLyrics":null})",
                      200, hits, {"/api/get"}, shown, "AI 가사 (비동기화)", {"0|a", "6000|c"}};
        QTest::newRow("nothing anywhere") << Lookup{206.8, 200, noLyrics, 200, "[]", both, message, "가사를 찾을 수 없습니다", {}};
        QTest::newRow("server failing") << Lookup{206.8, 500, R"({"statusCode":500,"name":"UnknownError","message":"x"})",
                                                  502, "<html>Bad gateway</html>", both, message, "가사를 찾을 수 없습니다", {}};
    }
    void webLookup()
    {
        QFETCH(Lookup, lookup);
        const auto &[duration, exactStatus, exactBody, searchStatus, searchBody, paths, state, status, lines] = lookup;
        server_.clearRequests();
        server_.route("GET", "/api/get", FakeHttpServer::json(exactBody, exactStatus));
        server_.route("GET", "/api/search", FakeHttpServer::json(searchBody, searchStatus));

        widget_.loadTrack(kTitle, QStringLiteral("AC/DC"), QString(), duration, QStringLiteral("Live+"));
        QCOMPARE(widget_.lyricsState(), LyricsWidget::SearchingWeb);
        QTRY_COMPARE(int(widget_.lyricsState()), state);
        QCOMPARE(widget_.statusText(), status);
        QCOMPARE(describe(widget_.lyricLines()), lines);

        QStringList asked;
        for (const FakeHttpServer::Request &request : server_.requests()) {
            asked << QString::fromLatin1(request.path);
            QCOMPARE(formValue(request, "track_name"), kTitle);
            QCOMPARE(formValue(request, "artist_name"), QStringLiteral("AC/DC"));
            QVERIFY(request.header("user-agent").startsWith("Velmoran/6.4.0 ("));
            if (request.path == "/api/get") {
                QCOMPARE(formValue(request, "album_name"), QStringLiteral("Live+"));
                QCOMPARE(formValue(request, "duration"), QString::number(qRound(duration)));
            }
        }
        QCOMPARE(asked, paths);
    }

    void staleReplyDropped()
    {
        server_.route("GET", "/api/search", [](const FakeHttpServer::Request &request) {
            const bool old = formValue(request, "track_name") == u"Old";
            FakeHttpServer::Response response = FakeHttpServer::json(
                old ? QByteArray(R"([{"syncedLyrics":"[00:00.00]old words"}])") : QByteArray(R"([{"syncedLyrics":"[00:00.00]new words"}])"));
            response.delayMs = old ? 400 : 100;
            return response;
        });
        server_.clearRequests();
        widget_.loadTrack(QStringLiteral("Old"), QString(), QString(), 0, QString());
        QTRY_VERIFY(!server_.requests().isEmpty()); // the old request is on its way
        widget_.loadTrack(QStringLiteral("New"), QString(), QString(), 0, QString());
        QTRY_COMPARE(widget_.lyricsState(), LyricsWidget::WebLyricsShown);
        QTest::qWait(600);
        QCOMPARE(describe(widget_.lyricLines()), QStringList{"0|new words"});
    }

    void localFile()
    {
        QTemporaryDir dir;
        writeTestFile(dir.filePath("song.flac"), QByteArray());
        writeTestFile(dir.filePath("song.lrc"), "\xEF\xBB\xBF[ti:Song]\n[00:01.00]a\n[00:05.00]b\n");
        server_.clearRequests();
        widget_.loadTrack(QStringLiteral("Song"), QString(), dir.filePath("song.flac"), 200, QString());
        QCOMPARE(widget_.lyricsState(), LyricsWidget::LocalFileShown);
        QCOMPARE(describe(widget_.lyricLines()), (QStringList{"1000|a", "5000|b"}));

        const QList<QPair<double, int>> positions{{0.5, -1}, {1.0, 0}, {4.999, 0}, {5.0, 1}, {0, -1}};
        for (const auto &[seconds, line] : positions) {
            widget_.setPlaybackPosition(seconds);
            QCOMPARE(widget_.currentLine(), line);
        }
        QTest::qWait(100);
        QVERIFY(server_.requests().isEmpty());

        // A tag-only file and a named pipe count as absent; the pipe must not block the window.
        writeTestFile(dir.filePath("tags.lrc"), "[ti:Only tags]\n");
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("pipe.lrc")).constData(), 0600), 0);
        for (const char *audio : {"tags.mp3", "pipe.mp3"}) {
            widget_.loadTrack(QStringLiteral("Song"), QString(), dir.filePath(audio), 200, QString());
            QCOMPARE(widget_.lyricsState(), LyricsWidget::SearchingWeb);
        }
    }
};

QTEST_MAIN(LyricsTest)
#include "tst_lyrics.moc"
