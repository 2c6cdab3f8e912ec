// Which addresses need yt-dlp, which copy on the machine is used, and the download into the
// per-user data folder from a fake release server that redirects like the real one. (The window
// fetching it for a site page, and cancelling that, are shown in the window tests.)

#include "FakeHttpServer.h"
#include "TestFiles.h"
#include "online/YtdlpManager.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {
// A stand-in copy of yt-dlp that prints `version` (anything, for a broken one).
void writeCopy(const QString &path, const QByteArray &version, bool executable = true)
{
    QDir().mkpath(QFileInfo(path).path());
    writeTestFile(path, "#!/bin/sh\necho '" + version + "'\n", -1, executable);
}

QByteArray sumsFor(const QByteArray &binary)
{
    return QByteArray(64, 'f') + "  yt-dlp.exe\n" + QCryptographicHash::hash(binary, QCryptographicHash::Sha256).toHex()
        + "  yt-dlp\n";
}
} // namespace

class YtdlpDownloadTest : public QObject
{
    Q_OBJECT
    FakeHttpServer server_;
    QString installed_;
    QTemporaryDir bin_; // the test's whole PATH

    // The release answers with a redirect to a content host, as the real one does.
    void serveRelease(const FakeHttpServer::Response &binary, const QByteArray &sums)
    {
        server_.route("GET", "/download/yt-dlp", FakeHttpServer::redirect(server_.url(QStringLiteral("/cdn/yt-dlp")).toEncoded()));
        server_.route("GET", "/cdn/yt-dlp", binary);
        server_.route("GET", "/download/SHA2-256SUMS", FakeHttpServer::text(sums));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(server_.listen());
        qputenv("VELMORAN_YTDLP_URL", server_.url(QStringLiteral("/download")).toEncoded());
        installed_ = QDir(YtdlpManager::downloadFolder()).filePath(QStringLiteral("yt-dlp"));
        // What the machine has on PATH plays no part: only the copies this test makes.
        QVERIFY(bin_.isValid());
        qputenv("PATH", bin_.path().toUtf8());
    }
    void init()
    {
        QDir(YtdlpManager::downloadFolder()).removeRecursively();
        QFile::remove(bin_.filePath(QStringLiteral("yt-dlp")));
    }

    // Site pages go through yt-dlp; media files, manifests and stream protocols play without it.
    void urlRule_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("needsYtdlp");
        QTest::newRow("site page, by subdomain") << "https://m.youtube.com/watch?v=abc" << true;
        QTest::newRow("any other page") << "https://example.org/videos/42" << true;
        QTest::newRow("site name inside another host") << "https://notyoutube.com/clip.mp4" << false;
        QTest::newRow("media file") << "http://example.org/film.MKV?token=1" << false;
        QTest::newRow("HLS manifest") << "https://cdn.example.org/live/index.m3u8" << false;
        QTest::newRow("rtsp") << "rtsp://camera.local/stream1" << false;
    }
    void urlRule()
    {
        QFETCH(QString, url);
        QTEST(YtdlpManager::isStreamingUrl(url), "needsYtdlp");
    }

    // The newest working copy is used wherever it lies; only an old one (or none) asks for the
    // download. Versions are release dates, nightlies with a fourth part.
    void newestCopyIsUsed_data()
    {
        QTest::addColumn<QByteArray>("perUser"); // printed version; empty: no copy
        QTest::addColumn<bool>("perUserExecutable");
        QTest::addColumn<QByteArray>("onPath");
        QTest::addColumn<QString>("used"); // "per-user", "path" or empty
        QTest::addColumn<bool>("download");
        QTest::newRow("only an old packaged copy") << QByteArray() << true << QByteArray("2023.03.04") << "path" << true;
        QTest::newRow("a newer per-user copy") << QByteArray("2999.01.01") << true << QByteArray("2023.03.04") << "per-user" << false;
        QTest::newRow("a newer one on PATH wins") << QByteArray("2020.01.01") << true << QByteArray("2999.02.01") << "path" << false;
        QTest::newRow("a nightly") << QByteArray("2999.01.01.123456") << true << QByteArray("2999.01.01") << "per-user" << false;
        QTest::newRow("saved by hand, not executable") << QByteArray("2999.01.01") << false << QByteArray() << "per-user" << false;
        QTest::newRow("tells no version") << QByteArray("Traceback (most recent call last)") << true << QByteArray() << "" << true;
    }
    void newestCopyIsUsed()
    {
        QFETCH(QByteArray, perUser);
        QFETCH(bool, perUserExecutable);
        QFETCH(QByteArray, onPath);
        QFETCH(QString, used);
        const QString packaged = bin_.filePath(QStringLiteral("yt-dlp"));
        if (!perUser.isEmpty())
            writeCopy(installed_, perUser, perUserExecutable);
        if (!onPath.isEmpty())
            writeCopy(packaged, onPath);

        YtdlpManager manager;
        QSignalSpy located(&manager, &YtdlpManager::located);
        manager.locate();
        QVERIFY(located.wait(30000));
        QCOMPARE(manager.ytdlpPath(), used == u"per-user" ? installed_ : used == u"path" ? packaged : QString());
        QTEST(manager.needsDownload(), "download");
        QVERIFY(used.isEmpty() || QFileInfo(manager.ytdlpPath()).isExecutable());
    }

    void downloadInstallsACheckedExecutable()
    {
        // Sent in pieces, so progress has steps between 0 and 100.
        FakeHttpServer::Response binary = FakeHttpServer::text("#!/bin/sh\n" + QByteArray(400 * 1024, '#'));
        binary.chunkSize = 64 * 1024;
        binary.chunkDelayMs = 20;
        serveRelease(binary, sumsFor(binary.body));
        server_.clearRequests();

        YtdlpManager manager;
        QVERIFY(!manager.isAvailable());
        QSignalSpy ready(&manager, &YtdlpManager::ytdlpReady);
        QSignalSpy progress(&manager, &YtdlpManager::downloadProgress);
        manager.downloadYtdlp();
        manager.downloadYtdlp(); // ignored while the first runs
        QVERIFY(ready.wait(10000));
        QCOMPARE(ready.first().first().toString(), installed_);
        QCOMPARE(readTestFile(installed_), binary.body);
        QVERIFY(QFileInfo(installed_).isExecutable());
        QCOMPARE(manager.ytdlpPath(), installed_);

        QList<int> percents;
        for (const QList<QVariant> &signal : progress)
            percents << signal.first().toInt();
        QVERIFY(std::ranges::is_sorted(percents));
        QVERIFY(percents.first() == 0 && percents.last() == 100);
        QVERIFY(std::ranges::any_of(percents, [](int p) { return p > 0 && p < 100; }));
        QCOMPARE(std::ranges::count_if(server_.requests(), [](const auto &r) { return r.path == "/cdn/yt-dlp"; }), 1);
        QCOMPARE(server_.requests().first().header("user-agent"), QByteArray("Velmoran/1.1"));
    }

    void failuresKeepTheWorkingCopy_data()
    {
        QTest::addColumn<QByteArray>("binary");
        QTest::addColumn<QByteArray>("sums");
        QTest::addColumn<QByteArray>("redirect");
        QTest::addColumn<QString>("error");
        const QByteArray binary = "#!/bin/sh\necho new\n" + QByteArray(256 * 1024, '#');
        QTest::newRow("empty body") << QByteArray() << sumsFor({}) << QByteArray() << "빈 응답";
        QTest::newRow("bad checksum") << binary << sumsFor("other") << QByteArray() << "체크섬 불일치";
        QTest::newRow("redirect to a local file")
            << binary << sumsFor(binary) << QByteArray("file:///etc/hostname") << "허용되지 않는 다운로드 주소";
        // Root ignores folder permissions, but not the file size limit set below.
        QTest::newRow("failed write") << binary << sumsFor(binary) << QByteArray() << "파일 쓰기 실패: ";
    }
    void failuresKeepTheWorkingCopy()
    {
        QFETCH(QByteArray, binary);
        QFETCH(QByteArray, sums);
        QFETCH(QByteArray, redirect);
        QFETCH(QString, error);
        const QByteArray oldCopy = "#!/bin/sh\necho old\n";
        QVERIFY(QDir().mkpath(YtdlpManager::downloadFolder()));
        writeTestFile(installed_, oldCopy);
        serveRelease(FakeHttpServer::text(binary), sums);
        if (!redirect.isEmpty())
            server_.route("GET", "/download/yt-dlp", FakeHttpServer::redirect(redirect));
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        if (error.startsWith(u"파일 쓰기"))
            limit.rlim_cur = 64 * 1024;

        YtdlpManager manager;
        QSignalSpy failed(&manager, &YtdlpManager::downloadFailed);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);
        manager.downloadYtdlp();
        const bool reported = failed.wait(10000);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        QVERIFY(reported);
        QVERIFY2(failed.first().first().toString().startsWith(error), qPrintable(failed.first().first().toString()));
        QCOMPARE(readTestFile(installed_), oldCopy);
        QCOMPARE(QDir(YtdlpManager::downloadFolder()).entryList(QDir::Files), QStringList{"yt-dlp"});
    }
};

QTEST_GUILESS_MAIN(YtdlpDownloadTest)
#include "tst_ytdlp_download.moc"
