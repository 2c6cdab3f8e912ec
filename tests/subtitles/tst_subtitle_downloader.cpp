// Subtitle search, download and translation, and the search dialog, against fakes answering like
// OpenSubtitles, DeepL and Papago.

#include "FakeHttpServer.h"
#include "TestFiles.h"
#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "subtitles/MovieHash.h"
#include "subtitles/ServiceReply.h"
#include "subtitles/SubtitleDownloader.h"
#include "subtitles/SubtitleSearchDialog.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

namespace {

using Request = FakeHttpServer::Request;
using Response = FakeHttpServer::Response;

QString field(const QByteArray &encoded, const char *key)
{
    return QUrlQuery(QString::fromLatin1(encoded)).queryItemValue(QLatin1StringView(key), QUrl::FullyDecoded);
}

Response searchAnswer(const QString &fileName)
{
    return FakeHttpServer::json(QStringLiteral(R"({"data":[{"id":"9","type":"subtitle","attributes":{"language":"en",
        "files":[{"file_id":77,"file_name":"%1"}]}}]})").arg(fileName).toUtf8());
}

// A film's worth of cues, two lines each, with characters that need encoding; the chunks are cut
// by size alone, so the times can all be alike.
QString film()
{
    QStringList cues;
    for (int i = 1; i <= 1000; ++i)
        cues << QStringLiteral("%1\n00:12:34,560 --> 00:12:37,560\nLine %1: well, I said \"this\" & that, 100% sure.\n"
                               "Second line of cue %1, again?\n").arg(i);
    return cues.join(u'\n');
}

} // namespace

class SubtitleDownloaderTest : public QObject
{
    Q_OBJECT
    FakeHttpServer server_;
    QTemporaryDir dir_;
    QString media_;

private slots:
    void initTestCase()
    {
        QVERIFY(server_.listen());
        qputenv("VELMORAN_OPENSUBTITLES_URL", server_.url(QStringLiteral("/api/v1")).toEncoded());
        qputenv("VELMORAN_DEEPL_URL", server_.url(QStringLiteral("/")).toEncoded());
        qputenv("VELMORAN_PAPAGO_URL", server_.url(QStringLiteral("/")).toEncoded());
        QSettings settings(QLatin1StringView(AppIdentity::kOrganisation), QLatin1StringView(AppIdentity::kSettingsApplication));
        writeSetting(settings, SettingsKeys::subtitleOpenSubtitlesApiKey, QStringLiteral("os-key"));
        media_ = writeTestFile(dir_.filePath(QStringLiteral("The.Movie.2019.1080p.BluRay.x264.mkv")), QByteArray(200 * 1024, 'v'));
    }
    void init() { server_.clearRequests(); }

    // The size plus the 64-bit words of the first and last 64 KiB, wrapping on overflow.
    void movieHash()
    {
        const QString path = dir_.filePath(QStringLiteral("hashed"));
        const auto hash = [&](const QByteArray &bytes, qint64 size = -1) {
            return computeMovieHash(writeTestFile(path, bytes, size)).hex;
        };
        QCOMPARE(hash(QByteArray(131072, '\xFF')), u"000000000001c000");
        QCOMPARE(hash({}, qint64(5) * 1024 * 1024 * 1024), u"0000000140000000");
        QCOMPARE(hash(QByteArray(131071, '\xFF')), QString());
        // Unlike bytes throughout: a word read in the wrong order or from the wrong place shows.
        QByteArray varied(150001, 0);
        for (qsizetype i = 0; i < varied.size(); ++i)
            varied[i] = char(i % 251);
        QCOMPARE(hash(varied), u"05c17731eda588ac");
    }

    void hashSearchReadsResults()
    {
        server_.route("GET", "/api/v1/subtitles", FakeHttpServer::json(QByteArray(R"({"data":[
            {"attributes":{"language":"ko","download_count":5,"ratings":7.5,"files":[{"file_id":123,"file_name":"a.srt"}]}},
            {"attributes":{"language":null,"files":[{"file_id":124,"file_name":null}]}},
            {"attributes":{"language":"en","files":[{"file_id":null,"file_name":"no-id.srt"}]}},
            {"attributes":{"language":"en","files":[]}}, {"type":"subtitle"}]})")));
        SubtitleDownloader downloader;
        QSignalSpy finished(&downloader, &SubtitleDownloader::searchFinished);
        downloader.search(media_, {QStringLiteral("ko"), QStringLiteral("en")});
        QVERIFY(finished.wait());

        const auto results = finished.first().first().value<QList<SubtitleResult>>();
        QVERIFY(results.size() == 2 && server_.requests().size() == 1);
        const SubtitleResult &full = results[0], &sparse = results[1];
        QVERIFY(full.fileId == u"123" && full.fileName == u"a.srt" && full.language == u"ko" && full.downloadCount == 5 && full.rating == 7.5);
        QVERIFY(sparse.fileId == u"124" && sparse.fileName.isEmpty() && sparse.language.isEmpty() && sparse.rating == 0.0 && !sparse.hearingImpaired);

        const Request request = server_.requests().first();
        QCOMPARE(request.query, "moviehash=" + computeMovieHash(media_).hex.toLatin1()
                                    + "&moviebytesize=204800&languages=ko,en&order_by=download_count");
        QVERIFY(request.header("api-key") == "os-key" && request.header("user-agent") == "Velmoran v4.5"
                && request.header("content-type") == "application/json" && request.header("accept") == "application/json");
    }

    void nameSearch_data()
    {
        QTest::addColumn<QString>("media");
        QTest::addColumn<Response>("hashAnswer");
        QTest::addColumn<int>("requests");
        QTest::addColumn<QString>("query");
        QTest::newRow("nothing by hash") << media_ << FakeHttpServer::json(QByteArray(R"({"data":[]})")) << 2 << "The Movie 2019";
        QTest::newRow("hash search down") << media_ << FakeHttpServer::text("<html>down</html>", 503) << 2 << "The Movie 2019";
        QTest::newRow("too short for a hash") << writeTestFile(dir_.filePath(QStringLiteral("Show.720p.Part.Two.mp4")), "x")
                                              << Response() << 1 << "Show  Part Two";
    }
    void nameSearch()
    {
        QFETCH(QString, media);
        QFETCH(Response, hashAnswer);
        QFETCH(int, requests);
        QFETCH(QString, query);
        server_.route("GET", "/api/v1/subtitles", [hashAnswer](const Request &request) {
            return request.query.contains("moviehash") ? hashAnswer : searchAnswer(QStringLiteral("byname.srt"));
        });
        SubtitleDownloader downloader;
        QSignalSpy finished(&downloader, &SubtitleDownloader::searchFinished);
        downloader.search(media, {QStringLiteral("ko")});
        QVERIFY(finished.wait());
        QCOMPARE(finished.first().first().value<QList<SubtitleResult>>().value(0).fileName, u"byname.srt");
        QCOMPARE(server_.requests().size(), requests);
        const Request byName = server_.requests().last();
        QCOMPARE(byName.query, "query=" + QUrl::toPercentEncoding(query) + "&languages=ko&order_by=download_count");
        QVERIFY(byName.header("api-key") == "os-key" && !byName.headers.contains("content-type"));
    }

    void staleSearchDropped()
    {
        server_.route("GET", "/api/v1/subtitles", [](const Request &request) {
            const bool old = field(request.query, "moviebytesize") == u"204800";
            Response response = searchAnswer(old ? QStringLiteral("old.srt") : QStringLiteral("new.srt"));
            response.delayMs = old ? 400 : 50;
            return response;
        });
        SubtitleDownloader downloader;
        QSignalSpy finished(&downloader, &SubtitleDownloader::searchFinished);
        downloader.search(media_, {QStringLiteral("en")});
        QTRY_VERIFY(!server_.requests().isEmpty());
        downloader.search(writeTestFile(dir_.filePath(QStringLiteral("other.mkv")), QByteArray(300 * 1024, 'o')), {QStringLiteral("en")});
        QVERIFY(finished.wait());
        QTest::qWait(600);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().value<QList<SubtitleResult>>().value(0).fileName, u"new.srt");
    }

    // What OpenSubtitles says when it refuses must reach the user, after exactly one request each.
    void refusalsReachUser()
    {
        server_.route("GET", "/api/v1/subtitles", FakeHttpServer::json(QByteArray(R"({"message":"Throttle limit reached"})"), 429));
        server_.route("POST", "/api/v1/download", FakeHttpServer::json(QByteArray(
            R"({"requests":5,"remaining":0,"message":"You have downloaded your allowed 5 subtitles for 24h."})"), 406));
        SubtitleDownloader downloader;
        QSignalSpy failed(&downloader, &SubtitleDownloader::errorOccurred);
        downloader.search(media_, {QStringLiteral("en")});
        QVERIFY(failed.wait());
        downloader.downloadSubtitle(QStringLiteral("77"), dir_.path());
        QVERIFY(failed.wait());
        QCOMPARE(server_.requests().size(), 2);
        const QString search = failed[0][0].toString(), download = failed[1][0].toString();
        QVERIFY2(search.startsWith(u"자막 검색 실패: ") && search.endsWith(u"\nThrottle limit reached"), qPrintable(search));
        QVERIFY2(download.startsWith(u"자막 다운로드 링크 획득 실패: ") && download.endsWith(u"for 24h."), qPrintable(download));
    }

    // Whatever the server names or links, the subtitle lands in the folder under a subtitle
    // name, or nothing is written at all.
    void download_data()
    {
        QTest::addColumn<QJsonValue>("serverName");
        QTest::addColumn<QString>("link"); // on the fake when it starts with "/"
        QTest::addColumn<QByteArray>("body"); // empty: a small subtitle
        QTest::addColumn<QString>("outcome"); // the saved name, or how the error starts
        QTest::newRow("climbing") << QJsonValue("../../x.srt") << "/file/77" << QByteArray() << "x.srt";
        QTest::newRow("windows climbing") << QJsonValue("..\\..\\x.ass") << "/file/77" << QByteArray() << "x.ass";
        QTest::newRow("absolute") << QJsonValue("/etc/passwd") << "/file/77" << QByteArray() << "subtitle.srt";
        QTest::newRow("the media file") << QJsonValue("movie.mkv") << "/file/77" << QByteArray() << "subtitle.srt";
        QTest::newRow("null") << QJsonValue() << "/file/77" << QByteArray() << "subtitle.srt";
        QTest::newRow("link to the media") << QJsonValue("movie.srt") << "/file/77" << QByteArray() << "자막 파일 저장 실패: ";
        QTest::newRow("not a web link") << QJsonValue("x.srt") << "file:///etc/passwd" << QByteArray() << "자막 파일 다운로드 실패: ";
        QTest::newRow("20 MB") << QJsonValue("x.srt") << "/file/77" << QByteArray(20'000'000, 'x') << "자막 파일 다운로드 실패: ";
        QTest::newRow("an error page") << QJsonValue("x.srt") << "/file/77"
                                       << QByteArray("<html><!-- 00:00:01,000 --> --><body>Not found</body></html>") << "자막 파일 다운로드 실패: ";
    }
    void download()
    {
        QFETCH(QJsonValue, serverName);
        QFETCH(QString, link);
        QFETCH(QByteArray, body);
        QFETCH(QString, outcome);
        QTemporaryDir dir;
        const QString media = writeTestFile(dir.filePath(QStringLiteral("movie.mkv")), "media");
        const QString folder = dir.filePath(QStringLiteral("new/subs"));
        if (serverName == QJsonValue("movie.srt"))
            QVERIFY(QDir().mkpath(folder) && QFile::link(media, folder + QStringLiteral("/movie.srt")));
        const QString url = link.startsWith(u'/') ? server_.url(link).toString() : link;
        const QByteArray content = body.isEmpty() ? QByteArray("1\n00:00:01,000 --> 00:00:02,000\nHi\n") : body;
        server_.route("POST", "/api/v1/download", FakeHttpServer::json(QJsonObject{{"link", url}, {"file_name", serverName}}));
        server_.route("GET", "/file/77", FakeHttpServer::text(content));

        SubtitleDownloader downloader;
        QSignalSpy saved(&downloader, &SubtitleDownloader::downloadFinished);
        QSignalSpy failed(&downloader, &SubtitleDownloader::errorOccurred);
        downloader.downloadSubtitle(QStringLiteral("77"), folder);
        QTRY_VERIFY(saved.size() + failed.size() == 1);
        QCOMPARE(readTestFile(media), QByteArray("media"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("movie.mkv")});
        QStringList written = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
        written.removeOne(QStringLiteral("movie.srt")); // the planted link
        const bool refused = outcome.endsWith(u' ');
        QCOMPARE(written, refused ? QStringList() : QStringList{outcome});
        if (refused) {
            QVERIFY2(failed.value(0).value(0).toString().startsWith(outcome), qPrintable(failed.value(0).value(0).toString()));
            return;
        }
        QCOMPARE(saved.first().first().toString(), QDir(folder).filePath(outcome));
        QCOMPARE(readTestFile(QDir(folder).filePath(outcome)), content);
        const QList<Request> asked = server_.requests();
        QVERIFY(asked.size() == 2 && asked[0].body == R"({"file_id":77})" && asked[0].header("api-key") == "os-key");
        QVERIFY(asked[1].header("user-agent") == "Velmoran v4.5" && !asked[1].headers.contains("api-key"));
    }

    // A film goes out in pieces within each service's limit, cut between cues, and comes back
    // whole; a refused piece leaves no file and the service's word reaches the user. A small file
    // is a single request of the plain form.
    void translation_data()
    {
        QTest::addColumn<bool>("deepl");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("failAt");
        QTest::addColumn<QByteArray>("onlyBody"); // empty: the text takes several requests
        QTest::addColumn<bool>("cp949"); // the file as Korean Windows programs write it
        const QString small = QStringLiteral("1\n00:00:01,000 --> 00:00:02,000\nC++ & 100% 한\n");
        const QByteArray encoded = "1%0A00%3A00%3A01%2C000%20--%3E%2000%3A00%3A02%2C000%0AC%2B%2B%20%26%20100%25%20%ED%95%9C%0A";
        QTest::newRow("deepl, small") << true << small << -1 << "text=" + encoded + "&target_lang=KO" << false;
        QTest::newRow("papago, small CP949") << false << small << -1 << "source=en&target=ko&text=" + encoded << true;
        QTest::newRow("deepl, film") << true << film() << -1 << QByteArray() << false;
        QTest::newRow("deepl fails midway") << true << film() << 1 << QByteArray() << false;
        QTest::newRow("papago fails midway") << false << film() << 5 << QByteArray() << false;
    }
    void translation()
    {
        QFETCH(bool, deepl);
        QFETCH(QString, text);
        QFETCH(int, failAt);
        QFETCH(QByteArray, onlyBody);
        QFETCH(bool, cp949);
        QTemporaryDir dir;
        const QString input = writeTestFile(dir.filePath(QStringLiteral("film.en.SRT")),
                                            cp949 ? QStringEncoder("windows-949").encode(text) : text.toUtf8());
        auto answered = std::make_shared<int>(0);
        server_.route("POST", deepl ? "/v2/translate" : "/v1/papago/n2mt", [=](const Request &request) {
            const QString piece = field(request.body, "text");
            const bool fits = deepl ? request.body.size() <= 128 * 1024 : piece.size() <= 5000;
            const bool wholeCues = QRegularExpression(QStringLiteral("^\\d+\\n\\d\\d:")).match(piece).hasMatch();
            const bool signedIn = deepl ? request.header("authorization") == "DeepL-Auth-Key key:fx"
                                        : request.header("x-naver-client-id") == "id" && request.header("x-naver-client-secret") == "secret";
            if ((*answered)++ == failAt || !fits || !wholeCues || !signedIn)
                return FakeHttpServer::json(deepl ? QByteArray(R"({"message":"Quota exceeded"})")
                                                  : QByteArray(R"({"errorMessage":"Quota exceeded","errorCode":"010"})"), deepl ? 456 : 429);
            const QJsonValue upper(piece.toUpper());
            return FakeHttpServer::json(deepl ? QJsonObject{{"translations", QJsonArray{QJsonObject{{"text", upper}}}}}
                                              : QJsonObject{{"message", QJsonObject{{"result", QJsonObject{{"translatedText", upper}}}}}});
        });
        SubtitleDownloader downloader;
        QSignalSpy done(&downloader, &SubtitleDownloader::translateFinished);
        QSignalSpy failed(&downloader, &SubtitleDownloader::errorOccurred);
        downloader.translateSubtitle(input, QStringLiteral("ko"), deepl ? QStringLiteral("key:fx") : QString(),
                                     QStringLiteral("id"), QStringLiteral("secret"));
        QTRY_VERIFY_WITH_TIMEOUT(done.size() + failed.size() == 1, 30000);
        const QString output = dir.filePath(QStringLiteral("film.en_ko.srt"));
        if (failAt >= 0) {
            QCOMPARE(*answered, failAt + 1);
            QVERIFY(!QFile::exists(output));
            const QString shown = failed.value(0).value(0).toString();
            QVERIFY2(shown.startsWith(deepl ? u"DeepL 번역 실패: " : u"파파고 번역 실패: ") && shown.endsWith(u"\nQuota exceeded"), qPrintable(shown));
            return;
        }
        QVERIFY2(failed.isEmpty(), qPrintable(failed.value(0).value(0).toString()));
        QCOMPARE(done.first().first().toString(), output);
        QCOMPARE(QString::fromUtf8(readTestFile(output)), text.toUpper());
        if (onlyBody.isEmpty())
            QVERIFY(*answered > (deepl ? 1 : 10));
        else
            QVERIFY(server_.requests().size() == 1 && server_.requests().first().body == onlyBody
                    && server_.requests().first().header("content-type") == "application/x-www-form-urlencoded");
    }

    // A reply is held to a size and an overall time, not only to an idle time-out, and the user
    // is told which; a compressed body that would unpack beyond reason is named as such.
    void replyLimits_data()
    {
        QTest::addColumn<Response>("response");
        QTest::addColumn<QString>("failure"); // a part of the message
        Response trickle = FakeHttpServer::text(QByteArray(1000, 'x'));
        trickle.chunkSize = 100;
        trickle.chunkDelayMs = 100;
        Response bomb = FakeHttpServer::text(qCompress(QByteArray(50'000'000, ' ')).mid(4));
        bomb.headers << qMakePair(QByteArray("Content-Encoding"), QByteArray("deflate"));
        QTest::newRow("trickling past the deadline") << trickle << "응답이 0.3초 안에 끝나지 않았습니다.";
        QTest::newRow("compression bomb") << bomb << "압축";
    }
    void replyLimits()
    {
        QFETCH(Response, response);
        QFETCH(QString, failure);
        server_.route("GET", "/limited", response);
        QNetworkAccessManager network;
        const ServiceReply::Limits limits{2'000'000, 5000, 300};
        QNetworkReply *reply = network.get(ServiceReply::request(server_.url(QStringLiteral("/limited")), limits, false));
        ServiceReply::watch(reply, limits);
        QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 20000);
        const QString message = ServiceReply::failure("실패: ", reply);
        QVERIFY2(message.startsWith(u"실패: ") && message.contains(failure), qPrintable(message));
        QVERIFY(ServiceReply::body(reply).isEmpty());
    }

    // The dialog's own part: the cells, the way to the file it hands over, and a failure that
    // leaves it open and usable, the download button enabled again.
    void searchDialog_data()
    {
        QTest::addColumn<bool>("translate");
        QTest::addColumn<QString>("deeplKey");
        QTest::addColumn<int>("linkStatus");
        QTest::addColumn<QString>("refusal"); // what the window's loader answers
        QTest::addColumn<QString>("outcome"); // the accepted file's name, or how the status starts
        QTest::newRow("no key to translate") << true << QString() << 200 << QString() << "found.srt";
        QTest::newRow("translated") << true << "key:fx" << 200 << QString() << "found_ko.srt";
        QTest::newRow("the engine refuses") << false << QString() << 200 << "재생 엔진이 자막 파일을 읽지 못했습니다" << "오류: 재생 엔진이";
        QTest::newRow("the link fails") << false << QString() << 503 << QString() << "오류: 자막 다운로드 링크 획득 실패: ";
    }
    void searchDialog()
    {
        QFETCH(bool, translate);
        QFETCH(QString, deeplKey);
        QFETCH(int, linkStatus);
        QFETCH(QString, refusal);
        QFETCH(QString, outcome);
        {
            QSettings settings(QLatin1StringView(AppIdentity::kOrganisation), QLatin1StringView(AppIdentity::kSettingsApplication));
            writeSetting(settings, SettingsKeys::subtitleDeeplApiKey, deeplKey);
        }
        server_.route("GET", "/api/v1/subtitles", FakeHttpServer::json(QByteArray(R"({"data":[
            {"attributes":{"language":"ko","download_count":12,"ratings":8,"hearing_impaired":true,"files":[{"file_id":7,"file_name":"found.srt"}]}},
            {"attributes":{"language":"en","download_count":3,"ratings":0,"files":[{"file_id":8,"file_name":"other.srt"}]}}]})")));
        server_.route("POST", "/api/v1/download", FakeHttpServer::json(QJsonObject{{"link", server_.url(QStringLiteral("/file/7")).toString()},
                                                                                   {"file_name", "found.srt"}}, linkStatus));
        server_.route("GET", "/file/7", FakeHttpServer::text("1\n00:00:01,000 --> 00:00:02,000\nHello\n"));
        server_.route("POST", "/v2/translate", FakeHttpServer::json(QJsonObject{{"translations", QJsonArray{QJsonObject{{"text", "안녕"}}}}}));
        QTemporaryDir dir;
        const QString media = writeTestFile(dir.filePath(QStringLiteral("movie.mkv")), QByteArray(200 * 1024, 'm'));

        SubtitleSearchDialog dialog(media);
        dialog.setLoader([&](const QString &) { return refusal; });
        dialog.findChild<QCheckBox *>()->setChecked(translate);
        dialog.show();
        auto *table = dialog.findChild<QTableWidget *>();
        QPushButton *download = buttonWithText(dialog, QStringLiteral("선택한 자막 다운로드"));
        QTRY_COMPARE(table->rowCount(), 2);
        QStringList cells;
        for (int cell = 0; cell < 10; ++cell)
            cells << table->item(cell / 5, cell % 5)->text();
        QCOMPARE(cells, (QStringList{"found.srt", "KO", "12", "8.0", "CC", "other.srt", "EN", "3", "-", ""}));
        QVERIFY(table->item(0, 4)->foreground().color() == QColor("#4fc3f7")
                && table->item(1, 0)->foreground().color() != QColor("#4fc3f7"));
        download->click();

        if (!outcome.startsWith(u"오류")) {
            QTRY_COMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(dialog.resultPath(), dir.filePath(outcome));
            return;
        }
        QTRY_VERIFY(dialog.findChild<QMessageBox *>());
        const QString status = dialog.findChild<QLabel *>(QStringLiteral("status"))->text();
        QVERIFY2(status.startsWith(outcome), qPrintable(status));
        QVERIFY(dialog.isVisible() && dialog.result() != QDialog::Accepted && download->isEnabled());
    }
};

QTEST_MAIN(SubtitleDownloaderTest)
#include "tst_subtitle_downloader.moc"
