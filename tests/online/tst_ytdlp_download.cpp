// yt-dlp's download into the per-user data folder from a fake release server that redirects like
// the real one. (A site page needing it, and a media address not, are shown in the window tests.)

#include "FakeHttpServer.h"
#include "TestFiles.h"
#include "online/YtdlpManager.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

namespace {
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
        QVERIFY2(QStandardPaths::findExecutable(QStringLiteral("yt-dlp")).isEmpty(), "a yt-dlp on PATH hides the download");
    }

    void downloadInstallsACheckedExecutable()
    {
        QDir(YtdlpManager::downloadFolder()).removeRecursively();
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
