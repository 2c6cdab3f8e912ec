// The window's online services on the real engine: a site page fetches yt-dlp and plays through
// the copy it downloaded, and the sponsored pop-up comes from the content server.

#include "FakeHttpServer.h"
#include "TestMedia.h"
#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "mainwindow/MainWindow.h"
#include "online/SplashAdWidget.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonObject>
#include <QLabel>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

class OnlineWindowTest : public QObject
{
    Q_OBJECT
    FakeHttpServer server_;

private slots:
    void initTestCase()
    {
        QVERIFY(server_.listen());
        QVERIFY2(QStandardPaths::findExecutable(QStringLiteral("yt-dlp")).isEmpty(), "a yt-dlp on PATH would be used");
    }

    void aSitePageFetchesYtdlpAndPlaysThroughIt()
    {
        // The engine gets the full path: a comma in it must not split the option.
        QTemporaryDir home;
        qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data, with commas")).toUtf8());
        qputenv("VELMORAN_YTDLP_URL", server_.url(QStringLiteral("/release")).toEncoded());

        QFile clip(TestMedia::path(QStringLiteral("chapters_3.mkv")));
        QVERIFY(clip.open(QIODevice::ReadOnly));
        server_.route("GET", "/clip.mkv", FakeHttpServer::text(clip.readAll(), 200, "video/x-matroska"));
        server_.route("GET", "/watch", FakeHttpServer::text("<html>a video page</html>", 200, "text/html"));
        // Stands in for yt-dlp: answers every page with the clip on the same server.
        const QByteArray ytdlp = "#!/bin/sh\necho '{\"id\": \"c\", \"title\": \"Fake clip\", \"url\": \""
                                 + server_.url(QStringLiteral("/clip.mkv")).toEncoded()
                                 + "\", \"ext\": \"mkv\", \"protocol\": \"http\"}'\n";
        server_.route("GET", "/release/yt-dlp", FakeHttpServer::text(ytdlp));
        server_.route("GET", "/release/SHA2-256SUMS",
                      FakeHttpServer::text(QCryptographicHash::hash(ytdlp, QCryptographicHash::Sha256).toHex()
                                           + "  yt-dlp\n"));

        MainWindow window;
        window.show();
        QTRY_VERIFY(window.videoSurface()->isInitialized());
        const QString page = server_.url(QStringLiteral("/watch")).toString();
        window.openUrl(page);
        auto *progress = window.findChild<QProgressDialog *>();
        QVERIFY(progress);
        QCOMPARE(progress->windowTitle(), QStringLiteral("yt-dlp 설치"));

        MpvCore *core = window.videoSurface()->core();
        QTRY_COMPARE_WITH_TIMEOUT(core->propertyText(QStringLiteral("media-title")), QStringLiteral("Fake clip"), 20000);
        QTRY_VERIFY(window.findChild<QProgressDialog *>() == nullptr);
    }

    void theSplashSlotIsShownAndItsClickReported()
    {
        qputenv("VELMORAN_ADS_URL", server_.url(QStringLiteral("/ads")).toEncoded());
        const QJsonObject item{{"id", 7}, {"slot", "splash"}, {"type", "image"}, {"duration_sec", 30}};
        server_.route("GET", "/ads/api/ad-api.php", [item](const FakeHttpServer::Request &request) {
            const QString slot = request.urlQuery().queryItemValue(QStringLiteral("slot"));
            return FakeHttpServer::json(QJsonObject{{"ad", slot == u"splash" ? item : QJsonObject()}});
        });
        server_.route("POST", "/ads/api/ad-api.php", FakeHttpServer::json(QByteArray("{}")));

        MainWindow window;
        window.show();
        auto *splash = window.findChild<SplashAdWidget *>();
        QVERIFY(splash);
        QTRY_VERIFY_WITH_TIMEOUT(splash->isVisible(), 10000);
        QTest::mouseClick(splash, Qt::LeftButton);
        QVERIFY(!splash->isVisible());
        QTRY_VERIFY(std::ranges::any_of(server_.requests(), [](const FakeHttpServer::Request &request) {
            return request.method == "POST" && request.query == "action=click"
                && request.body == R"({"ad_id":7,"slot":"splash","v":"6.2.0"})";
        }));
    }
};

QTEST_MAIN(OnlineWindowTest)
#include "tst_online_window.moc"
