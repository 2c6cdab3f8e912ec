// yt-dlp: which addresses need it, and its download into the per-user data folder from a fake
// release server that redirects like the real one.

#include "FakeHttpServer.h"
#include "online/YtdlpManager.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray sumsFor(const QByteArray &binary, const QByteArray &name = "yt-dlp")
{
    return "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef  yt-dlp.exe\n"
           + QCryptographicHash::hash(binary, QCryptographicHash::Sha256).toHex() + "  " + name + "\n";
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeExecutable(const QString &path, const QByteArray &bytes)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    QVERIFY(file.setPermissions(file.permissions() | QFileDevice::ExeOwner));
}

const QByteArray kOldCopy = "#!/bin/sh\necho old\n";

} // namespace

class YtdlpDownloadTest : public QObject
{
    Q_OBJECT
    FakeHttpServer server_;
    QString installed_;

    // The release answers with a redirect to a content host, as the real one does.
    void serveRelease(const FakeHttpServer::Response &binary, const QByteArray &sums)
    {
        server_.route("GET", "/releases/latest/download/yt-dlp",
                      FakeHttpServer::redirect(server_.url(QStringLiteral("/cdn/yt-dlp")).toEncoded()));
        server_.route("GET", "/cdn/yt-dlp", binary);
        server_.route("GET", "/releases/latest/download/SHA2-256SUMS", FakeHttpServer::text(sums));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(server_.listen());
        qputenv("VELMORAN_YTDLP_URL", server_.url(QStringLiteral("/releases/latest/download")).toEncoded());
        installed_ = QDir(YtdlpManager::downloadFolder()).filePath(QStringLiteral("yt-dlp"));
        QVERIFY2(QStandardPaths::findExecutable(QStringLiteral("yt-dlp")).isEmpty(), "a yt-dlp on PATH hides the download");
    }

    void init()
    {
        server_.clearRequests();
        QDir(YtdlpManager::downloadFolder()).removeRecursively();
    }

    void addressesThatNeedYtdlp_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("needsYtdlp");
        QTest::newRow("watch page") << "https://www.youtube.com/watch?v=abc" << true;
        QTest::newRow("short link") << "https://youtu.be/abc?t=30" << true;
        QTest::newRow("site page, no extension") << "https://example.org/videos/123" << true;
        QTest::newRow("php page") << "https://example.org/watch.php?id=1" << true;
        QTest::newRow("media file") << "http://example.org/clip.mp4" << false;
        QTest::newRow("HLS manifest") << "https://example.org/live/index.m3u8?token=1" << false;
        QTest::newRow("DASH manifest") << "https://example.org/live.mpd" << false;
        QTest::newRow("rtsp") << "rtsp://camera/stream" << false;
        QTest::newRow("rtmp") << "rtmp://live/app" << false;
    }
    void addressesThatNeedYtdlp()
    {
        QFETCH(QString, url);
        QFETCH(bool, needsYtdlp);
        QCOMPARE(YtdlpManager::isStreamingUrl(url), needsYtdlp);
    }

    void downloadInstallsACheckedExecutable()
    {
        // Big enough to arrive in several pieces, so progress has steps between 0 and 100.
        const QByteArray binary = "#!/bin/sh\necho new\n" + QByteArray(400 * 1024, '#');
        FakeHttpServer::Response pieces;
        pieces.body = binary;
        pieces.chunkSize = 64 * 1024;
        pieces.chunkDelayMs = 20;
        serveRelease(pieces, sumsFor(binary));

        YtdlpManager manager;
        QVERIFY(!manager.isAvailable());
        QSignalSpy ready(&manager, &YtdlpManager::ytdlpReady);
        QSignalSpy progress(&manager, &YtdlpManager::downloadProgress);
        manager.downloadYtdlp();
        manager.downloadYtdlp(); // ignored while the first runs
        QVERIFY(ready.wait(10000));

        QCOMPARE(ready.first().first().toString(), installed_);
        QCOMPARE(readAll(installed_), binary);
        QVERIFY(QFileInfo(installed_).isExecutable());
        QCOMPARE(manager.ytdlpPath(), installed_);
        QList<int> percents;
        for (const QList<QVariant> &signal : progress)
            percents << signal.first().toInt();
        QCOMPARE(percents.first(), 0);
        QCOMPARE(percents.last(), 100);
        QVERIFY(std::is_sorted(percents.cbegin(), percents.cend()));
        QVERIFY(std::any_of(percents.cbegin(), percents.cend(), [](int p) { return p > 0 && p < 100; }));
        int binaryRequests = 0;
        for (const FakeHttpServer::Request &request : server_.requests()) {
            QCOMPARE(request.header("user-agent"), QByteArray("Velmoran/1.1"));
            binaryRequests += request.path == "/cdn/yt-dlp";
        }
        QCOMPARE(binaryRequests, 1);
    }

    void failuresKeepTheWorkingCopy_data()
    {
        QTest::addColumn<QByteArray>("binary");
        QTest::addColumn<QByteArray>("sums");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error"); // empty: whatever the network layer says
        const QByteArray binary = "#!/bin/sh\necho new\n";
        QTest::newRow("empty body") << QByteArray() << sumsFor({}) << 200 << "빈 응답";
        QTest::newRow("bad checksum") << binary << sumsFor("something else") << 200 << "체크섬 불일치";
        QTest::newRow("no checksum for it") << binary << sumsFor(binary, "yt-dlp_linux") << 200
                                             << "체크섬을 찾을 수 없습니다";
        QTest::newRow("server error") << binary << sumsFor(binary) << 503 << "";
    }
    void failuresKeepTheWorkingCopy()
    {
        QFETCH(QByteArray, binary);
        QFETCH(QByteArray, sums);
        QFETCH(int, status);
        QFETCH(QString, error);
        writeExecutable(installed_, kOldCopy);
        serveRelease(FakeHttpServer::text(binary, status, "application/octet-stream"), sums);

        YtdlpManager manager;
        QSignalSpy failed(&manager, &YtdlpManager::downloadFailed);
        manager.downloadYtdlp();
        QVERIFY(failed.wait(10000));
        const QString reported = failed.first().first().toString();
        QVERIFY(!reported.isEmpty());
        if (!error.isEmpty())
            QCOMPARE(reported, error);
        QCOMPARE(readAll(installed_), kOldCopy);
        QCOMPARE(QDir(YtdlpManager::downloadFolder()).entryList(QDir::Files), QStringList{"yt-dlp"});
    }

    void aRedirectToALocalFileIsRefused()
    {
        const QByteArray binary = "#!/bin/sh\necho new\n";
        serveRelease(FakeHttpServer::text(binary), sumsFor(binary));
        server_.route("GET", "/releases/latest/download/yt-dlp", FakeHttpServer::redirect("file:///etc/hostname"));
        YtdlpManager manager;
        QSignalSpy failed(&manager, &YtdlpManager::downloadFailed);
        manager.downloadYtdlp();
        QVERIFY(failed.wait(10000));
        QCOMPARE(failed.first().first().toString(), QStringLiteral("허용되지 않는 다운로드 주소"));
        QVERIFY(!QFile::exists(installed_));
    }

    void aFailedWriteKeepsTheWorkingCopy()
    {
        // Root ignores folder permissions, but not the file size limit: writes past it fail.
        writeExecutable(installed_, kOldCopy);
        const QByteArray binary = "#!/bin/sh\necho new\n" + QByteArray(256 * 1024, '#');
        serveRelease(FakeHttpServer::text(binary), sumsFor(binary));
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 64 * 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);

        YtdlpManager manager;
        QSignalSpy failed(&manager, &YtdlpManager::downloadFailed);
        manager.downloadYtdlp();
        const bool reported = failed.wait(10000);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);

        QVERIFY(reported);
        QCOMPARE(failed.first().first().toString(), QStringLiteral("파일 쓰기 실패: ") + installed_);
        QCOMPARE(readAll(installed_), kOldCopy);
        QCOMPARE(QDir(YtdlpManager::downloadFolder()).entryList(QDir::Files), QStringList{"yt-dlp"});
    }
};

QTEST_GUILESS_MAIN(YtdlpDownloadTest)
#include "tst_ytdlp_download.moc"
