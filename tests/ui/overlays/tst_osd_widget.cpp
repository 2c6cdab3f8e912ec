// The on-screen display: what each report shows, how long it stays, where it sits, what it paints.
#include "ui/controls/OsdWidget.h"

#include <QLabel>
#include <QLayout>
#include <QTest>

#include <limits>

class OsdWidgetTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QWidget> video_;
    OsdWidget *osd_ = nullptr;

    void report(int kind, double a, double b = 0)
    {
        switch (kind) {
        case OsdWidget::Volume: osd_->showVolume(int(a), b != 0); break;
        case OsdWidget::Seek: osd_->showSeek(a, b); break;
        case OsdWidget::Speed: osd_->showSpeed(a); break;
        default: osd_->showMessage(QStringLiteral("알림"), int(a)); break;
        }
    }

private slots:
    void init()
    {
        video_ = std::make_unique<QWidget>();
        video_->resize(960, 540);
        video_->show();
        QVERIFY(QTest::qWaitForWindowExposed(video_.get()));
        osd_ = new OsdWidget(video_.get());
        QVERIFY(!osd_->isVisible());
    }

    void cleanup() { video_.reset(); }

    void reports_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<double>("a");
        QTest::addColumn<double>("b");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("bar"); // -1: no bar drawn
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("volume 20") << 0 << 20.0 << 0.0 << "🔈" << "볼륨  20%" << 20;
        QTest::newRow("volume 21") << 0 << 21.0 << 0.0 << "🔉" << "볼륨  21%" << 21;
        QTest::newRow("volume 61") << 0 << 61.0 << 0.0 << "🔊" << "볼륨  61%" << 61;
        QTest::newRow("volume 130") << 0 << 130.0 << 0.0 << "🔊" << "볼륨  130%" << 100;
        QTest::newRow("muted") << 0 << 45.0 << 1.0 << "🔇" << "음소거" << 45;
        QTest::newRow("seek rounds") << 1 << 59.6 << 100.0 << "⏩" << "01:00" << 60;
        QTest::newRow("seek hour, no duration") << 1 << 3600.0 << 0.0 << "⏩" << "1:00:00" << -1;
        QTest::newRow("seek past the end") << 1 << 150.0 << 100.0 << "⏩" << "02:30" << 100;
        QTest::newRow("seek unknown duration") << 1 << 10.0 << nan << "⏩" << "00:10" << -1;
        QTest::newRow("slower") << 3 << 0.75 << 0.0 << "⏪" << "속도  x0.75" << -1;
        QTest::newRow("message") << 4 << 2000.0 << 0.0 << "ℹ" << "알림" << -1;
    }

    void reports()
    {
        QFETCH(int, kind);
        QFETCH(double, a);
        QFETCH(double, b);
        QFETCH(QString, icon);
        QFETCH(QString, text);
        QFETCH(int, bar);
        report(kind, a, b);
        QCOMPARE(osd_->kind(), kind);
        QCOMPARE(osd_->iconText(), icon);
        QCOMPARE(osd_->text(), text);
        QCOMPARE(osd_->isBarDrawn(), bar >= 0);
        if (bar >= 0)
            QCOMPARE(osd_->barValue(), bar);
    }

    void displayTime_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("ms");
        QTest::newRow("volume") << 0 << 1600;
        QTest::newRow("message") << 4 << 700;
    }

    // Stays for its time at the shown opacity, then fades out and hides.
    void displayTime()
    {
        QFETCH(int, kind);
        QFETCH(int, ms);
        report(kind, kind == 4 ? ms : 1.5, 100);
        QVERIFY(osd_->isVisible());
        QCOMPARE(osd_->opacity(), OsdWidget::kShownOpacity);
        const int remaining = osd_->remainingMs();
        QVERIFY2(remaining > ms - 100 && remaining <= ms, qPrintable(QString::number(remaining)));
        QTest::qWait(ms - 150);
        QVERIFY(osd_->isVisible() && !osd_->isFading());
        QTRY_VERIFY_WITH_TIMEOUT(osd_->isFading(), 1000);
        QTRY_VERIFY_WITH_TIMEOUT(!osd_->isVisible(), 1000);
    }

    void secondReportRestartsTheTime()
    {
        osd_->showVolume(50, false);
        QTest::qWait(1000);
        osd_->showVolume(55, false);
        QTest::qWait(1000); // 1600 ms after the first report it would already be fading
        QVERIFY(osd_->isVisible() && !osd_->isFading());
        QTRY_VERIFY_WITH_TIMEOUT(!osd_->isVisible(), 1500);

        osd_->showMessage(QStringLiteral("알림"), 50);
        QTRY_VERIFY(osd_->opacity() < OsdWidget::kShownOpacity);
        osd_->showSeek(30, 60); // cancels the running fade
        QTest::qWait(500);
        QVERIFY(osd_->isVisible());
        QCOMPARE(osd_->opacity(), OsdWidget::kShownOpacity);
    }

    void placement()
    {
        osd_->showVolume(50, false);
        QCOMPARE(osd_->geometry(), QRect(370, 360 - 32, 220, 64));

        // A long message widens (or wraps) the box instead of cutting it off.
        for (int width : {960, 360}) {
            video_->resize(width, 540);
            const QString text = QStringLiteral("⚠ 렌더링 자동 최적화: 프레임 드롭 감지 → deband 비활성화");
            osd_->showMessage(text, 4000);
            QVERIFY(video_->rect().contains(osd_->geometry()));
            osd_->layout()->activate();
            const QLabel *label = osd_->findChildren<QLabel *>().last();
            QCOMPARE(label->text(), text);
            if (label->wordWrap())
                QVERIFY(label->heightForWidth(label->width()) <= label->height());
            else
                QVERIFY(label->fontMetrics().horizontalAdvance(text) <= label->width());
        }
    }

    // Volume 130 fills the whole track; 50 leaves its right end grey.
    void bar()
    {
        for (int volume : {130, 50}) {
            osd_->showVolume(volume, false);
            const QImage image = osd_->grab().toImage();
            const QColor left = image.pixelColor(14, osd_->height() - 7);
            const QColor right = image.pixelColor(osd_->width() - 14, osd_->height() - 7);
            QVERIFY2(left.blue() > 200 && left.red() < 90, qPrintable(left.name()));
            QCOMPARE(right.blue() > 200, volume == 130);
        }
    }
};

QTEST_MAIN(OsdWidgetTest)
#include "tst_osd_widget.moc"
