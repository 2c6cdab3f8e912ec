// The window's online services on the real engine: a site page fetches yt-dlp (also in place of
// an old packaged copy) and plays through the copy it downloaded; cancelling that download ends
// it; and only the splash slot's sponsored item is shown.

#include "FakeHttpServer.h"
#include "TestFiles.h"
#include "TestMedia.h"
#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "mainwindow/MainWindow.h"
#include "online/AdManager.h"
#include "online/SplashAdWidget.h"
#include "online/YtdlpManager.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {
// Stands in for yt-dlp: tells its version, and answers every page with `media` titled `title`.
QByteArray fakeYtdlp(const QByteArray &version, const QByteArray &title, const QUrl &media)
{
    return "#!/bin/sh\n[ \"$1\" = --version ] && { echo " + version + "; exit 0; }\n"
           "echo '{\"id\": \"c\", \"title\": \"" + title + "\", \"url\": \"" + media.toEncoded()
           + "\", \"ext\": \"mkv\", \"protocol\": \"http\"}'\n";
}
} // namespace

class OnlineWindowTest : public QObject
{
    Q_OBJECT
    FakeHttpServer server_;
    QTemporaryDir bin_; // PATH: only what a test puts there

    void serveRelease(const QByteArray &path, const FakeHttpServer::Response &binary)
    {
        server_.route("GET", path + "/yt-dlp", binary);
        server_.route("GET", path + "/SHA2-256SUMS",
                      FakeHttpServer::text(QCryptographicHash::hash(binary.body, QCryptographicHash::Sha256).toHex() + "  yt-dlp\n"));
        qputenv("VELMORAN_YTDLP_URL", server_.url(QString::fromLatin1(path)).toEncoded());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(server_.listen());
        QVERIFY(bin_.isValid());
        qputenv("PATH", bin_.path().toUtf8());
        server_.route("GET", "/watch", FakeHttpServer::text("<html>a video page</html>", 200, "text/html"));
    }

    void aSitePageFetchesYtdlpAndPlaysThroughIt_data()
    {
        QTest::addColumn<QByteArray>("packaged"); // version of a yt-dlp on PATH; empty: none
        QTest::newRow("none installed") << QByteArray();
        QTest::newRow("an old packaged copy on PATH") << QByteArray("2023.03.04");
    }
    void aSitePageFetchesYtdlpAndPlaysThroughIt()
    {
        QFETCH(QByteArray, packaged);
        // The engine gets the full path: a comma in it must not split the option.
        QTemporaryDir home;
        qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data, with commas")).toUtf8());
        QFile clip(TestMedia::path(QStringLiteral("chapters_3.mkv")));
        QVERIFY(clip.open(QIODevice::ReadOnly));
        server_.route("GET", "/clip.mkv", FakeHttpServer::text(clip.readAll(), 200, "video/x-matroska"));
        const QUrl media = server_.url(QStringLiteral("/clip.mkv"));
        serveRelease("/release", FakeHttpServer::text(fakeYtdlp("2999.01.01", "Fake clip", media)));
        QFile::remove(bin_.filePath(QStringLiteral("yt-dlp")));
        if (!packaged.isEmpty())
            writeTestFile(bin_.filePath(QStringLiteral("yt-dlp")), fakeYtdlp(packaged, "Old copy", media), -1, true);

        MainWindow window;
        window.show();
        QTRY_VERIFY(window.videoSurface()->isInitialized());
        window.openUrl(server_.url(QStringLiteral("/watch")).toString());
        // Played through the downloaded copy: the old one would have named it "Old copy".
        MpvCore *core = window.videoSurface()->core();
        QTRY_COMPARE_WITH_TIMEOUT(core->propertyText(QStringLiteral("media-title")), QStringLiteral("Fake clip"), 20000);
        QTRY_VERIFY(window.findChild<QProgressDialog *>() == nullptr);
    }

    // "취소" closes the dialog for good and stops the download: nothing is installed or played.
    void cancelStopsTheDownload()
    {
        QTemporaryDir home;
        qputenv("XDG_DATA_HOME", home.path().toUtf8());
        FakeHttpServer::Response slow = FakeHttpServer::text("#!/bin/sh\n" + QByteArray(1024 * 1024, '#'));
        slow.chunkSize = 16 * 1024;
        slow.chunkDelayMs = 100;
        serveRelease("/slow", slow);
        QFile::remove(bin_.filePath(QStringLiteral("yt-dlp")));
        MainWindow window;
        window.show();
        window.openUrl(server_.url(QStringLiteral("/watch")).toString());
        QTRY_VERIFY_WITH_TIMEOUT(window.findChild<QProgressDialog *>() && window.findChild<QProgressDialog *>()->value() > 0, 20000);
        window.findChild<QProgressDialog *>()->findChild<QPushButton *>()->click();
        const auto shown = [&] { return window.findChild<QProgressDialog *>() && window.findChild<QProgressDialog *>()->isVisible(); };
        QTRY_VERIFY(!shown());
        QTest::qWait(1500); // further pieces of the download would have shown it again
        QVERIFY(!shown());
        QVERIFY(!QFile::exists(QDir(YtdlpManager::downloadFolder()).filePath(QStringLiteral("yt-dlp"))));
        QVERIFY(window.videoSurface()->core()->currentPath().isEmpty());
    }

    void onlyTheSplashSlotIsShown()
    {
        server_.route("GET", "/ads/api/ad-api.php",
                      FakeHttpServer::json(QJsonObject{{"ad", QJsonObject{{"id", 3}, {"type", "none"}, {"duration_sec", 1}}}}));
        qputenv("VELMORAN_ADS_URL", server_.url(QStringLiteral("/ads")).toEncoded());
        MainWindow window;
        window.show();
        auto *splash = window.findChild<SplashAdWidget *>();
        QTRY_VERIFY_WITH_TIMEOUT(splash->isVisible(), 15000); // the splash request leaves 5 s after start
        QTRY_VERIFY_WITH_TIMEOUT(!splash->isVisible(), 5000);
        server_.clearRequests();
        window.findChild<AdManager *>()->fetchAd(QStringLiteral("ott"));
        QTRY_VERIFY(!server_.requests().isEmpty() && server_.requests().first().query.contains("slot=ott"));
        QTest::qWait(500);
        QVERIFY(!splash->isVisible());
    }
};

QTEST_MAIN(OnlineWindowTest)
#include "tst_online_window.moc"
