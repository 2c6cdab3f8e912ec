#include "FakeHttpServer.h"
#include "TestMedia.h"
#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "mainwindow/MainWindow.h"
#include "online/OttServices.h"
#include "online/OttWidget.h"
#include "ui/controls/ControlBar.h"

#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {
QStackedWidget *pagesOf(OttWidget &page)
{
    return page.findChild<QStackedWidget *>(QStringLiteral("ottPages"));
}

void enterAddress(OttWidget &page, const QString &text)
{
    auto *address = page.findChild<QLineEdit *>(QStringLiteral("ottAddress"));
    address->setText(text);
    QTest::keyClick(address, Qt::Key_Return);
}

QByteArray titledPage(const QByteArray &title)
{
    return "<!doctype html><html><head><title>" + title + "</title></head><body>" + title + "</body></html>";
}
} // namespace

class OttBrowserTest : public QObject
{
    Q_OBJECT

    FakeHttpServer server_;
    std::unique_ptr<OttWidget> page_; // one browser for the browsing steps, as a user has

public:
    // The web engine shares its OpenGL contexts with the application's; Qt needs to know before
    // the application object exists.
    static void initMain() { QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); }

private slots:
    void initTestCase()
    {
        QVERIFY(server_.listen());
        // A sign-in as streaming sites keep it: a cookie that ends with the browser session.
        FakeHttpServer::Response first = FakeHttpServer::text(titledPage("First service"), 200, "text/html");
        first.headers.append(qMakePair(QByteArray("Set-Cookie"), QByteArray("signin=kept; Path=/")));
        server_.route("GET", "/first", first);
        server_.route("GET", "/ticking", FakeHttpServer::text(
            "<!doctype html><title>0</title><script>let n = 0;"
            "setInterval(() => document.title = String(++n), 50);</script>", 200, "text/html"));
        server_.route("GET", "/second", FakeHttpServer::text(titledPage("Second service"), 200, "text/html"));
    }

    void typedAddresses_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("opened");
        QTest::newRow("no scheme") << "  www.example.org/watch " << "https://www.example.org/watch";
        QTest::newRow("http kept") << "http://www.example.org/" << "http://www.example.org/";
        QTest::newRow("https kept") << "https://www.example.org/" << "https://www.example.org/";
        QTest::newRow("empty stays on the cards") << "   " << "";
    }
    // Checked before any web engine exists, so nothing is loaded from the internet.
    void typedAddresses()
    {
        QFETCH(QString, typed);
        QFETCH(QString, opened);
        OttWidget page;
        enterAddress(page, typed);
        QCOMPARE(page.findChild<QLineEdit *>(QStringLiteral("ottAddress"))->text(), opened.isEmpty() ? typed : opened);
        QCOMPARE(pagesOf(page)->currentIndex(), opened.isEmpty() ? 0 : 1);
    }

    void cardClickedBeforeTheEngineIsReady()
    {
        page_ = std::make_unique<OttWidget>();
        page_->resize(1000, 640);
        page_->show();
        const QList<QFrame *> cards = page_->findChildren<QFrame *>(QStringLiteral("ottCard"));
        QCOMPARE(cards.size(), 9);
        // The cards and the drop-down open the same home pages, every one over https.
        for (int i = 0; i < cards.size(); ++i) {
            QCOMPARE(cards[i]->property("serviceUrl").toString(), ottServiceChoiceUrls().at(i + 1));
            QVERIFY(cards[i]->property("serviceUrl").toString().startsWith("https://"));
        }

        QSignalSpy titles(page_.get(), &OttWidget::titleChanged);
        QSignalSpy urls(page_.get(), &OttWidget::urlChanged);
        const QString first = server_.url(QStringLiteral("/first")).toString();
        cards[3]->setProperty("serviceUrl", first);
        QTest::mouseClick(cards[3]->findChild<QLabel *>(), Qt::LeftButton);
        QVERIFY(!page_->isBrowserReady());
        QCOMPARE(pagesOf(*page_)->currentIndex(), 1);
        QVERIFY(page_->findChild<QLabel *>(QStringLiteral("ottOverlay"))->isVisible());

        QTRY_VERIFY_WITH_TIMEOUT(titles.contains({QStringLiteral("First service")}), 60000);
        QVERIFY(urls.contains({first}));
        QCOMPARE(page_->findChild<QLineEdit *>(QStringLiteral("ottAddress"))->text(), first);
        QVERIFY(!page_->findChild<QLabel *>(QStringLiteral("ottOverlay"))->isVisible());
        // Loaded once, when the engine was ready, not retried (the browser may ask for an icon too).
        const QList<FakeHttpServer::Request> requests = server_.requests();
        QCOMPARE(std::count_if(requests.cbegin(), requests.cend(),
                               [](const FakeHttpServer::Request &r) { return r.path == "/first"; }), 1);
    }

    void browsingBackAndHome()
    {
        QVERIFY(page_ && page_->isBrowserReady());
        QSignalSpy titles(page_.get(), &OttWidget::titleChanged);
        const QString second = server_.url(QStringLiteral("/second")).toString();
        enterAddress(*page_, second);
        QTRY_VERIFY_WITH_TIMEOUT(titles.contains({QStringLiteral("Second service")}), 20000);
        page_->goForward(); // nothing ahead: stays
        page_->goBack();
        QTRY_VERIFY_WITH_TIMEOUT(titles.contains({QStringLiteral("First service")}), 20000);
        QTRY_COMPARE(page_->findChild<QLineEdit *>(QStringLiteral("ottAddress"))->text(),
                     server_.url(QStringLiteral("/first")).toString());

        page_->goHome();
        QCOMPARE(pagesOf(*page_)->currentIndex(), 0);
        QVERIFY(page_->findChild<QLineEdit *>(QStringLiteral("ottAddress"))->text().isEmpty());
    }

    // Out of sight, a page neither plays nor runs its scripts; shown again, it goes on.
    void hiddenPageHoldsStill()
    {
        QSignalSpy titles(page_.get(), &OttWidget::titleChanged);
        page_->navigateTo(server_.url(QStringLiteral("/ticking")).toString());
        QTRY_VERIFY_WITH_TIMEOUT(titles.count() > 5, 20000);
        page_->goHome();
        QTest::qWait(300);
        titles.clear();
        // Chromium's own throttling of hidden pages still lets a timer run once a second.
        QTest::qWait(2500);
        QCOMPARE(titles.count(), 0);
        pagesOf(*page_)->setCurrentIndex(1);
        QTRY_VERIFY_WITH_TIMEOUT(titles.count() > 5, 10000);
    }

    // The next browser, as after a restart, is still signed in.
    void signInOutlivesTheBrowser()
    {
        page_.reset();
        server_.clearRequests();
        OttWidget next;
        QSignalSpy titles(&next, &OttWidget::titleChanged);
        next.show();
        next.navigateTo(server_.url(QStringLiteral("/second")).toString());
        QTRY_VERIFY_WITH_TIMEOUT(titles.contains({QStringLiteral("Second service")}), 60000);
        QCOMPARE(server_.requests().constFirst().path, QByteArray("/second"));
        QCOMPARE(server_.requests().constFirst().header("cookie"), QByteArray("signin=kept"));
    }

    void ottModePausesPlaybackAndComesBack()
    {
        MainWindow window;
        window.show();
        const QString clip = TestMedia::path(QStringLiteral("clip_100s.mp4"));
        window.openFiles({clip});
        MpvCore *core = window.videoSurface()->core();
        QTRY_VERIFY_WITH_TIMEOUT(core->position() > 0.2 && !core->isPaused(), 15000);

        QPushButton *ott = window.controlBar()->ottModeButton();
        QTest::mouseClick(ott, Qt::LeftButton);
        QVERIFY(window.ottWidget() && window.ottWidget()->isVisible());
        QVERIFY(!window.videoSurface()->isVisible());
        QVERIFY(ott->property("active").toBool());
        QTRY_VERIFY(core->isPaused());

        QTest::mouseClick(window.controlBar()->playerModeButton(), Qt::LeftButton);
        QVERIFY(window.videoSurface()->isVisible());
        QVERIFY(!window.ottWidget()->isVisible());
        QVERIFY(!ott->property("active").toBool());
        QCOMPARE(window.windowTitle(), QStringLiteral("Velmoran — ") + QFileInfo(clip).fileName());
    }

    // Registered a second time with a module path that does not exist.
    void unavailableEngine()
    {
        if (QFileInfo::exists(qEnvironmentVariable("VELMORAN_WEBBROWSER_MODULE")))
            QSKIP("runs where the web-browser module cannot be found");
        OttWidget page;
        QSignalSpy unavailable(&page, &OttWidget::browserUnavailable);
        auto *overlay = page.findChild<QLabel *>(QStringLiteral("ottOverlay"));
        const QString initial = overlay->text();
        page.show();
        QVERIFY(unavailable.wait(5000));
        QVERIFY(!page.isBrowserReady());
        QVERIFY(overlay->text() != initial);
        // A chosen service still shows the browser page, which says why nothing loads.
        QTest::mouseClick(page.findChild<QFrame *>(QStringLiteral("ottCard")), Qt::LeftButton);
        QCOMPARE(pagesOf(page)->currentIndex(), 1);
        QVERIFY(overlay->isVisible());
    }
};

QTEST_MAIN(OttBrowserTest)
#include "tst_ott_browser.moc"
