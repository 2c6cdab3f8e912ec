// Sponsored content: what the content server's answers become, and the pop-up with items it
// cannot trust (durations, links and pictures).

#include "FakeHttpServer.h"
#include "online/AdManager.h"
#include "online/SplashAdWidget.h"

#include <QBuffer>
#include <QDesktopServices>
#include <QImage>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>

namespace {
FakeHttpServer::Response png(Qt::GlobalColor color, int delayMs = 0)
{
    QImage image(32, 16, QImage::Format_RGB32);
    image.fill(color);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    FakeHttpServer::Response response = FakeHttpServer::text(buffer.data(), 200, "image/png");
    response.delayMs = delayMs;
    return response;
}
} // namespace

class SponsoredContentTest : public QObject
{
    Q_OBJECT
    FakeHttpServer server_;
    QList<QUrl> opened_; // what reached the system browser
    QWidget window_;
    SplashAdWidget *splash_ = nullptr;

    QLabel *label(const char *name) const { return splash_->findChild<QLabel *>(QLatin1String(name)); }
    QString address(const char *path) const { return server_.url(QLatin1String(path)).toString(); }
    QColor shownColour() const
    {
        const QImage image = label("adPicture")->pixmap().toImage();
        return image.isNull() ? QColor() : image.pixelColor(image.width() / 2, image.height() / 2);
    }

public slots:
    void open(const QUrl &url) { opened_ << url; }

private slots:
    void initTestCase()
    {
        QVERIFY(server_.listen());
        for (const char *scheme : {"http", "https", "file", "javascript"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), this, "open");
        server_.route("GET", "/slow.png", png(Qt::blue, 400));
        server_.route("GET", "/broken.png", FakeHttpServer::text("not a picture", 200, "image/png"));
        window_.resize(640, 400);
        splash_ = new SplashAdWidget(&window_);
        window_.show();
    }

    // Only an object under "ad" is an item; everything else, a failure included, is an empty one.
    // Each answer carries the slot it was asked for, in whatever order the answers come.
    void answersBecomeItems_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("id"); // of the item handed on; 0: empty
        QTest::newRow("an item") << QByteArray("{\"ad\": {\"id\": 5}, \"other\": 1}") << 200 << 5;
        QTest::newRow("item not an object") << QByteArray("{\"ad\": \"id 5\"}") << 200 << 0;
        QTest::newRow("not JSON") << QByteArray("<html>busy</html>") << 200 << 0;
        QTest::newRow("server error") << QByteArray("{\"ad\": {\"id\": 5}}") << 500 << 0;
        QTest::newRow("over 64 KiB") << "{\"ad\": {\"id\": 5, \"pad\": \"" + QByteArray(70 * 1024, 'a') + "\"}}" << 200 << 0;
    }
    void answersBecomeItems()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, status);
        QFETCH(int, id);
        server_.route("GET", "/ads/api/ad-api.php", [&](const FakeHttpServer::Request &request) {
            FakeHttpServer::Response response = FakeHttpServer::json(body, status);
            response.delayMs = request.query.contains("slot=splash") ? 300 : 0; // answered last
            return response;
        });
        qputenv("VELMORAN_ADS_URL", server_.url(QStringLiteral("/ads")).toEncoded());
        AdManager ads;
        QSignalSpy ready(&ads, &AdManager::adReady);
        ads.fetchAd(QStringLiteral("splash"));
        ads.fetchAd(QStringLiteral("ott"));
        QTRY_COMPARE_WITH_TIMEOUT(ready.size(), 2, 5000);
        QCOMPARE((QStringList{ready.at(0).at(0).toString(), ready.at(1).at(0).toString()}), (QStringList{"ott", "splash"}));
        const QJsonObject item = ready.at(1).at(1).toJsonObject();
        QCOMPARE(item.isEmpty(), id == 0);
        QCOMPARE(item.value(QStringLiteral("id")).toInt(), id);
    }

    void durations_data()
    {
        QTest::addColumn<QJsonValue>("duration");
        QTest::addColumn<QString>("countdown");
        QTest::newRow("absent") << QJsonValue(QJsonValue::Undefined) << "광고 3초 후 종료";
        QTest::newRow("zero") << QJsonValue(0) << "광고 1초 후 종료";
        QTest::newRow("an hour") << QJsonValue(3600) << "광고 30초 후 종료";
    }
    void durations()
    {
        QFETCH(QJsonValue, duration);
        QFETCH(QString, countdown);
        QJsonObject item{{"id", 1}, {"type", "none"}};
        if (!duration.isUndefined())
            item.insert(QStringLiteral("duration_sec"), duration);
        splash_->showAd(item);
        QVERIFY(splash_->isVisible());
        QCOMPARE(label("adCountdown")->text(), countdown);
        QCOMPARE(splash_->geometry().bottomRight(), window_.rect().bottomRight() - QPoint(8, 8));
    }

    void onlyWebLinksAreOpened_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<bool>("opened");
        QTest::newRow("https") << "https://example.org/offer" << true;
        QTest::newRow("local file") << "file:///etc/hostname" << false;
        QTest::newRow("script") << "javascript:alert(1)" << false;
    }
    void onlyWebLinksAreOpened()
    {
        QFETCH(QString, link);
        QFETCH(bool, opened);
        opened_.clear();
        splash_->showAd({{"id", 9}, {"slot", "splash"}, {"click_url", link}});
        QSignalSpy clicked(splash_, &SplashAdWidget::clicked);
        QTest::mouseClick(splash_, Qt::LeftButton);
        QCOMPARE(opened_, opened ? QList<QUrl>{QUrl(link)} : QList<QUrl>{});
        QCOMPARE(clicked.value(0), (QVariantList{9, QStringLiteral("splash")}));
        QVERIFY(!splash_->isVisible());
    }

    void aBrokenPictureStillCountsDown()
    {
        splash_->showAd({{"type", "image"}, {"media_url", address("/broken.png")}, {"duration_sec", 1}});
        QSignalSpy closed(splash_, &SplashAdWidget::closed);
        QVERIFY(closed.wait(3000));
        QCOMPARE(label("adPicture")->text(), QStringLiteral("광고"));
        QVERIFY(!shownColour().isValid());
    }

    void aLatePictureOfAnEarlierItemIsDropped()
    {
        server_.clearRequests();
        splash_->showAd({{"type", "image"}, {"media_url", address("/slow.png")}});
        QTRY_COMPARE(server_.requests().size(), 1); // the first item's picture is on its way
        // A short link's start time is not its video id.
        qputenv("VELMORAN_YTIMG_URL", server_.url(QStringLiteral("/ytimg")).toEncoded());
        server_.route("GET", "/ytimg/vi/Abc_12-x/mqdefault.jpg", png(Qt::red));
        splash_->showAd({{"type", "youtube"}, {"media_url", "https://youtu.be/Abc_12-x?t=30"}});
        QTRY_COMPARE(shownColour(), QColor(Qt::red));
        QTest::qWait(600);
        QCOMPARE(shownColour(), QColor(Qt::red));
    }
};

QTEST_MAIN(SponsoredContentTest)
#include "tst_sponsored_content.moc"
