// Sponsored content: what the content server's answers turn into, and the pop-up's handling of
// durations, links and pictures it cannot trust.

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

QByteArray png(Qt::GlobalColor color)
{
    QImage image(32, 16, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QColor shownColour(const QLabel *label)
{
    const QPixmap pixmap = label->pixmap();
    return pixmap.isNull() ? QColor() : pixmap.toImage().pixelColor(pixmap.width() / 2, pixmap.height() / 2);
}

} // namespace

Q_DECLARE_METATYPE(FakeHttpServer::Response)

// Takes the place of the system browser.
class LinkOpener : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl &url) { opened << url; }
};

class SponsoredContentTest : public QObject
{
    Q_OBJECT
    FakeHttpServer server_;
    LinkOpener opener_;
    QWidget window_;
    SplashAdWidget *splash_ = nullptr;

    QLabel *picture() const { return splash_->findChild<QLabel *>(QStringLiteral("adPicture")); }
    QLabel *countdown() const { return splash_->findChild<QLabel *>(QStringLiteral("adCountdown")); }
    QUrl url(const char *path) const { return server_.url(QLatin1String(path)); }

private slots:
    void initTestCase()
    {
        QVERIFY(server_.listen());
        qputenv("VELMORAN_ADS_URL", server_.url(QStringLiteral("/")).toEncoded());
        qputenv("VELMORAN_YTIMG_URL", server_.url(QStringLiteral("/ytimg")).toEncoded());
        for (const char *scheme : {"http", "https", "file", "javascript"})
            QDesktopServices::setUrlHandler(QLatin1String(scheme), &opener_, "open");
        server_.route("GET", "/red.png", FakeHttpServer::text(png(Qt::red), 200, "image/png"));
        server_.route("GET", "/broken.png", FakeHttpServer::text("not a picture", 200, "image/png"));
        window_.resize(640, 400);
        splash_ = new SplashAdWidget(&window_);
        window_.show();
    }

    void init()
    {
        opener_.opened.clear();
        splash_->hide();
    }

    void answersBecomeItems_data()
    {
        QTest::addColumn<FakeHttpServer::Response>("answer");
        QTest::addColumn<int>("id"); // 0: an empty item
        QTest::newRow("item") << FakeHttpServer::json(QByteArray(R"({"ad":{"id":4,"slot":"ott"}})")) << 4;
        QTest::newRow("no item") << FakeHttpServer::json(QByteArray(R"({"ad":null})")) << 0;
        QTest::newRow("not JSON") << FakeHttpServer::text("<html>") << 0;
        QTest::newRow("server error") << FakeHttpServer::json(QByteArray(R"({"ad":{"id":4}})"), 500) << 0;
    }
    void answersBecomeItems()
    {
        QFETCH(FakeHttpServer::Response, answer);
        QFETCH(int, id);
        server_.route("GET", "/api/ad-api.php", answer);
        server_.clearRequests();
        AdManager manager;
        QSignalSpy ready(&manager, &AdManager::adReady);
        manager.fetchAd(QStringLiteral("ott"));
        QVERIFY(ready.wait(5000));
        QCOMPARE(ready.first().at(0).toString(), QStringLiteral("ott"));
        QCOMPARE(ready.first().at(1).toJsonObject().value(QLatin1StringView("id")).toInt(), id);
        QCOMPARE(server_.requests().first().query, QByteArray("slot=ott&v=6.2.0"));
    }

    void durations_data()
    {
        QTest::addColumn<QJsonValue>("duration");
        QTest::addColumn<QString>("countdown");
        QTest::newRow("absent") << QJsonValue(QJsonValue::Undefined) << "광고 3초 후 종료";
        QTest::newRow("given") << QJsonValue(5) << "광고 5초 후 종료";
        QTest::newRow("zero") << QJsonValue(0) << "광고 1초 후 종료";
        QTest::newRow("an hour") << QJsonValue(3600) << "광고 30초 후 종료";
    }
    void durations()
    {
        QFETCH(QJsonValue, duration);
        QFETCH(QString, countdown);
        QJsonObject item{{"id", 1}, {"slot", "splash"}, {"type", "none"}};
        if (!duration.isUndefined())
            item.insert(QStringLiteral("duration_sec"), duration);
        splash_->showAd(item);
        QVERIFY(splash_->isVisible());
        QCOMPARE(countdown()->text(), countdown);
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
        splash_->showAd({{"id", 9}, {"slot", "splash"}, {"click_url", link}});
        QSignalSpy clicked(splash_, &SplashAdWidget::clicked);
        QSignalSpy closed(splash_, &SplashAdWidget::closed);
        QTest::mouseClick(splash_, Qt::LeftButton);
        QCOMPARE(opener_.opened, opened ? QList<QUrl>{QUrl(link)} : QList<QUrl>{});
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(clicked.first(), (QVariantList{9, QStringLiteral("splash")}));
        QCOMPARE(closed.size(), 1);
        QVERIFY(!splash_->isVisible());
    }

    void aBrokenPictureStillCountsDown()
    {
        splash_->showAd({{"id", 2}, {"type", "image"}, {"media_url", url("/broken.png").toString()}, {"duration_sec", 1}});
        QSignalSpy closed(splash_, &SplashAdWidget::closed);
        QVERIFY(closed.wait(3000));
        QCOMPARE(picture()->text(), QStringLiteral("광고"));
        QVERIFY(picture()->pixmap().isNull());
    }

    void aLatePictureOfAnEarlierItemIsDropped()
    {
        FakeHttpServer::Response slow = FakeHttpServer::text(png(Qt::blue), 200, "image/png");
        slow.delayMs = 400;
        server_.route("GET", "/slow.png", slow);
        server_.clearRequests();
        splash_->showAd({{"id", 1}, {"type", "image"}, {"media_url", url("/slow.png").toString()}});
        QTRY_COMPARE(server_.requests().size(), 1); // the slow picture is on its way
        splash_->showAd({{"id", 2}, {"type", "image"}, {"media_url", url("/red.png").toString()}});
        QTRY_COMPARE(shownColour(picture()), QColor(Qt::red));
        QTest::qWait(600);
        QCOMPARE(shownColour(picture()), QColor(Qt::red));
    }

    void youtubeItemsShowTheVideosThumbnail_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("watch page") << "https://www.youtube.com/watch?v=Abc_12-x&list=q";
        QTest::newRow("short link with a start time") << "https://youtu.be/Abc_12-x?t=30";
    }
    void youtubeItemsShowTheVideosThumbnail()
    {
        QFETCH(QString, address);
        server_.route("GET", "/ytimg/vi/Abc_12-x/mqdefault.jpg", FakeHttpServer::text(png(Qt::red), 200, "image/png"));
        splash_->showAd({{"id", 3}, {"type", "youtube"}, {"media_url", address}});
        QTRY_COMPARE(shownColour(picture()), QColor(Qt::red));
    }
};

QTEST_MAIN(SponsoredContentTest)
#include "tst_sponsored_content.moc"
