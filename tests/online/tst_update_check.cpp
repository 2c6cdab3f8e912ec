// The update offer: which manifest versions count as newer, what a manifest must hold to be
// offered, the checks on the downloaded package, and the player quitting only when an installer
// took the package.

#include "FakeHttpServer.h"
#include "TestFiles.h"
#include "app/AppIdentity.h"
#include "online/UpdateChecker.h"
#include "online/UpdateDialog.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class UpdateCheckTest : public QObject
{
    Q_OBJECT
    FakeHttpServer server_;
    QTemporaryDir bin_; // PATH, with the desktop's xdg-open stand-in

private slots:
    void initTestCase()
    {
        QVERIFY(server_.listen() && bin_.isValid());
        qputenv("VELMORAN_UPDATE_URL", server_.url(QStringLiteral("/")).toEncoded());
        qputenv("PATH", bin_.path().toUtf8());
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

    // What a manifest must hold to be offered: a newer version and a package this platform
    // installs (a Debian package, or whatever its own entry names), with its checksum.
    void manifests_data()
    {
        QTest::addColumn<QByteArray>("manifest");
        QTest::addColumn<QStringList>("offer"); // version, installer, checksum; empty: none
        const QString deb = server_.url(QStringLiteral("/velmoran_6.11.0_amd64.deb")).toString();
        const QString exe = server_.url(QStringLiteral("/Velmoran-Setup.exe")).toString();
        const QString sha(64, u'a');
        const auto manifest = [](const QJsonObject &object) { return QJsonDocument(object).toJson(); };
        const QJsonObject linux{{"installer_url", deb}, {"sha256", sha}};
        QTest::newRow("a Debian package")
            << manifest({{"version", "6.11.0"}, {"installer_url", deb}, {"sha256", sha}}) << QStringList{"6.11.0", deb, sha};
        QTest::newRow("this platform's own entry")
            << manifest({{"version", "7"}, {"installer_url", exe}, {"platforms", QJsonObject{{"linux", linux}}}}) << QStringList{"7", deb, sha};
        QTest::newRow("only a Windows installer") << manifest({{"version", "6.11.0"}, {"installer_url", exe}}) << QStringList();
        QTest::newRow("a local file") << manifest({{"version", "6.11.0"}, {"installer_url", "file:///etc/x.deb"}}) << QStringList();
        QTest::newRow("no version") << manifest({{"installer_url", deb}}) << QStringList();
        QTest::newRow("not JSON") << QByteArray("{\"version\": \"6.11.0\",") << QStringList();
        QTest::newRow("over 1 MiB")
            << manifest({{"version", "6.11.0"}, {"installer_url", deb}, {"notes", QString(1100 * 1024, u'x')}}) << QStringList();
    }
    void manifests()
    {
        QFETCH(QByteArray, manifest);
        QFETCH(QStringList, offer);
        server_.route("GET", "/downloads/version.json", FakeHttpServer::json(manifest));
        server_.clearRequests();
        UpdateChecker checker;
        QSignalSpy offers(&checker, &UpdateChecker::updateAvailable);
        checker.checkForUpdates();
        QTRY_COMPARE_WITH_TIMEOUT(server_.requests().size(), 1, 10000);
        QTest::qWait(300);
        QCOMPARE(offers.size(), offer.isEmpty() ? 0 : 1);
        const QList<QVariant> made = offers.value(0);
        QCOMPARE(offer.isEmpty() ? offer : (QStringList{made.at(0).toString(), made.at(2).toString(), made.at(3).toString()}), offer);
    }

    void installerChecks_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("announcedExtra"); // bytes the server claims but never sends
        QTest::addColumn<bool>("rightChecksum");
        QTest::addColumn<int>("opener");     // exit status of xdg-open
        QTest::addColumn<QString>("status"); // start of the status line
        constexpr int kMinimum = int(UpdateDialog::kMinInstallerBytes);
        QTest::newRow("one byte short") << kMinimum - 1 << 0 << true << 0 << "⚠ 다운로드된 파일이 손상됐습니다 (9 MB)";
        QTest::newRow("exactly the minimum") << kMinimum << 0 << true << 0 << "설치 중...";
        QTest::newRow("cut off") << kMinimum << 4096 << true << 0 << "⚠ 다운로드";
        QTest::newRow("checksum mismatch") << kMinimum << 0 << false << 0 << "⚠ 설치 파일 검증 실패";
        // xdg-open's "no handler": the player keeps running and says where the package is.
        QTest::newRow("nothing installs it") << kMinimum << 0 << true << 3 << "⚠ 설치 프로그램을 열 수 없습니다";
    }
    void installerChecks()
    {
        QFETCH(int, size);
        QFETCH(int, announcedExtra);
        QFETCH(bool, rightChecksum);
        QFETCH(int, opener);
        QFETCH(QString, status);
        writeTestFile(bin_.filePath(QStringLiteral("xdg-open")),
                      "#!/bin/sh\necho \"$1\" >> '" + bin_.filePath(QStringLiteral("opened")).toUtf8() + "'\nexit "
                          + QByteArray::number(opener) + "\n",
                      -1, true);
        QFile::remove(bin_.filePath(QStringLiteral("opened")));
        const QByteArray package(size, 'p');
        FakeHttpServer::Response response = FakeHttpServer::text(package, 200, "application/vnd.debian.binary-package");
        if (announcedExtra)
            response.headers.append({"Content-Length", QByteArray::number(size + announcedExtra)});
        server_.route("GET", "/velmoran_6.11.0_amd64.deb", response);
        const QByteArray sha = QCryptographicHash::hash(rightChecksum ? package : "other", QCryptographicHash::Sha256);

        UpdateDialog dialog(QStringLiteral("6.11.0"), QString(), server_.url(QStringLiteral("/velmoran_6.11.0_amd64.deb")).toString(),
                            QString::fromLatin1(sha.toHex()));
        auto *statusLabel = dialog.findChild<QLabel *>(QStringLiteral("statusLabel"));
        auto *update = dialog.findChild<QPushButton *>();
        QVERIFY(statusLabel);
        QMetaObject::invokeMethod(&dialog, &UpdateDialog::onUpdateClicked);
        QTRY_VERIFY_WITH_TIMEOUT(!statusLabel->text().startsWith(QStringLiteral("다운로드 중"))
                                     && !statusLabel->text().startsWith(QStringLiteral("설치 프로그램을 여는 중")), 20000);

        const QString installed = QDir(UpdateDialog::downloadFolder()).filePath(QStringLiteral("velmoran_6.11.0_amd64.deb"));
        const bool tookOver = !status.startsWith(u'⚠');
        const bool checked = tookOver || opener != 0; // the package passed every check
        QCOMPARE(dialog.result(), int(tookOver ? QDialog::Accepted : QDialog::Rejected));
        const QStringList opened = QString::fromUtf8(readTestFile(bin_.filePath("opened"))).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(opened, checked ? QStringList{installed} : QStringList()); // what xdg-open was given
        QCOMPARE(QFileInfo(installed).size(), checked ? size : 0); // kept only when it is whole
        if (checked)
            QCOMPARE(QFile::permissions(UpdateDialog::downloadFolder()) & 0x0077, QFileDevice::Permissions());
        QVERIFY2(statusLabel->text().startsWith(status), qPrintable(statusLabel->text()));
        QVERIFY(tookOver || update->isEnabled());
        QVERIFY(opener == 0 || statusLabel->text().contains(installed)); // and the status says where
        QFile::remove(installed);
    }
};

QTEST_MAIN(UpdateCheckTest)
#include "tst_update_check.moc"
