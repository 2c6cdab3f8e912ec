// A site page opened in the window fetches yt-dlp and plays on the real engine through the copy
// it downloaded.

#include "FakeHttpServer.h"
#include "TestMedia.h"
#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "mainwindow/MainWindow.h"

#include <QCryptographicHash>
#include <QFile>
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
};

QTEST_MAIN(OnlineWindowTest)
#include "tst_online_window.moc"
