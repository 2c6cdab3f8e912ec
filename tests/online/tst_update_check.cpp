// The update offer: which manifest versions count as newer, what a manifest must hold to be
// offered, and the checks on the downloaded package before the desktop gets it.

#include "FakeHttpServer.h"
#include "app/AppIdentity.h"
#include "online/UpdateChecker.h"
#include "online/UpdateDialog.h"

#include <QCryptographicHash>
#include <QDesktopServices>
#include <QDir>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

class UpdateCheckTest : public QObject
{
    Q_OBJECT
    FakeHttpServer server_;
    QList<QUrl> opened_; // what reached the desktop's handler for local files

public slots:
    void open(const QUrl &url) { opened_ << url; }

private slots:
    void initTestCase()
    {
        QVERIFY(server_.listen());
        qputenv("VELMORAN_UPDATE_URL", server_.url(QStringLiteral("/")).toEncoded());
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open");
    }

    void versionRules_data()
    {
        QTest::addColumn<QString>("serverVersion");
        QTest::addColumn<bool>("newer");
        QTest::newRow("patch up") << "6.10.1" << true;
        QTest::newRow("minor down, compared as numbers") << "6.9.9" << false;
        QTest::newRow("two parts, same") << "6.10" << false;
        QTest::newRow("one part, major up") << "7" << true;
        QTest::newRow("fourth part ignored") << "6.10.0.5" << false;
    }
    void versionRules()
    {
        QFETCH(QString, serverVersion);
        QFETCH(bool, newer);
        QCOMPARE(UpdateChecker::isNewer(serverVersion, QLatin1String(AppIdentity::kVersion)), newer);
    }

    void anOfferNeedsAWebInstallerAddress()
    {
        const QJsonObject manifest{{"version", "6.11.0"}, {"installer_url", "file:///etc/hostname"}};
        server_.route("GET", "/downloads/version.json", FakeHttpServer::json(manifest));
        UpdateChecker checker;
        QSignalSpy offers(&checker, &UpdateChecker::updateAvailable);
        checker.checkForUpdates();
        QTRY_COMPARE_WITH_TIMEOUT(server_.requests().size(), 1, 10000);
        QTest::qWait(200);
        QCOMPARE(offers.size(), 0);
    }

    void installerChecks_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("announcedExtra"); // bytes the server claims but never sends
        QTest::addColumn<bool>("rightChecksum");
        QTest::addColumn<QString>("status"); // start of the status line; empty when opened
        constexpr int kMinimum = int(UpdateDialog::kMinInstallerBytes);
        QTest::newRow("one byte short") << kMinimum - 1 << 0 << true << "⚠ 다운로드된 파일이 손상됐습니다 (9 MB)";
        QTest::newRow("exactly the minimum") << kMinimum << 0 << true << "";
        QTest::newRow("cut off") << kMinimum << 4096 << true << "⚠ 다운로드";
        QTest::newRow("checksum mismatch") << kMinimum << 0 << false << "⚠ 설치 파일 검증 실패";
    }
    void installerChecks()
    {
        QFETCH(int, size);
        QFETCH(int, announcedExtra);
        QFETCH(bool, rightChecksum);
        QFETCH(QString, status);
        const QByteArray package(size, 'p');
        FakeHttpServer::Response response = FakeHttpServer::text(package, 200, "application/vnd.debian.binary-package");
        if (announcedExtra)
            response.headers.append({"Content-Length", QByteArray::number(size + announcedExtra)});
        server_.route("GET", "/velmoran_6.11.0_amd64.deb", response);
        const QByteArray sha = QCryptographicHash::hash(rightChecksum ? package : "other", QCryptographicHash::Sha256);
        opened_.clear();

        UpdateDialog dialog(QStringLiteral("6.11.0"), QString(), server_.url(QStringLiteral("/velmoran_6.11.0_amd64.deb")).toString(),
                            QString::fromLatin1(sha.toHex()));
        auto *statusLabel = dialog.findChild<QLabel *>(QStringLiteral("statusLabel"));
        auto *update = dialog.findChild<QPushButton *>();
        QVERIFY(statusLabel);
        QMetaObject::invokeMethod(&dialog, &UpdateDialog::onUpdateClicked);
        QTRY_VERIFY_WITH_TIMEOUT(!statusLabel->text().startsWith(QStringLiteral("다운로드 중")), 20000);

        const QString installed = QDir(UpdateDialog::downloadFolder()).filePath(QStringLiteral("velmoran_6.11.0_amd64.deb"));
        if (status.isEmpty()) {
            QCOMPARE(opened_, QList<QUrl>{QUrl::fromLocalFile(installed)});
            QCOMPARE(dialog.result(), int(QDialog::Accepted));
            QCOMPARE(QFileInfo(installed).size(), size);
            QCOMPARE(QFile::permissions(UpdateDialog::downloadFolder()) & 0x0077, QFileDevice::Permissions());
            QFile::remove(installed);
        } else {
            QVERIFY2(statusLabel->text().startsWith(status), qPrintable(statusLabel->text()));
            QVERIFY(opened_.isEmpty());
            QVERIFY(update->isEnabled());
            QCOMPARE(QDir(UpdateDialog::downloadFolder()).entryList(QDir::Files), QStringList());
        }
    }
};

QTEST_MAIN(UpdateCheckTest)
#include "tst_update_check.moc"
