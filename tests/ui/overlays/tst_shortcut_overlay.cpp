// The keyboard guide: it covers the video, takes the keyboard, closes on any key or click, and
// its card fits the area it is shown in.
#include "ui/controls/ShortcutOverlay.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

class ShortcutOverlayTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QWidget> window_;
    QWidget *video_ = nullptr;
    ShortcutOverlay *guide_ = nullptr;

    void showGuide()
    {
        guide_->show();
        QTRY_VERIFY(guide_->hasFocus());
        QCOMPARE(guide_->geometry(), video_->rect());
    }

private slots:
    void init()
    {
        // The window keeps the keyboard focus itself, as the main window does.
        window_ = std::make_unique<QWidget>();
        window_->setFocusPolicy(Qt::StrongFocus);
        window_->resize(960, 600);
        video_ = new QWidget(window_.get());
        video_->setGeometry(0, 30, 960, 540);
        guide_ = new ShortcutOverlay(video_);
        window_->show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        window_->setFocus();
        QVERIFY(!guide_->isVisible());
    }

    void cleanup() { window_.reset(); }

    void closesOnAnyKeyOrClick_data()
    {
        QTest::addColumn<int>("key"); // 0: a click with `button`
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("button");
        QTest::newRow("question mark again") << int(Qt::Key_Question) << int(Qt::ShiftModifier) << 0;
        QTest::newRow("ctrl+left") << int(Qt::Key_Left) << int(Qt::ControlModifier) << 0;
        QTest::newRow("shift alone") << int(Qt::Key_Shift) << 0 << 0;
        QTest::newRow("right click") << 0 << 0 << int(Qt::RightButton);
    }

    // Keys go through the window, so this also checks that the guide holds the keyboard focus.
    void closesOnAnyKeyOrClick()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, button);
        showGuide();
        if (key)
            QTest::keyPress(window_->windowHandle(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        else
            QTest::mouseClick(guide_, Qt::MouseButton(button), {}, QPoint(480, 270));
        QVERIFY(!guide_->isVisible());
        QTRY_VERIFY(window_->hasFocus()); // the keyboard goes back to the window
    }

    void heldKeyDoesNotCloseIt()
    {
        showGuide();
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Question, Qt::ShiftModifier, QStringLiteral("?"), true);
        QApplication::sendEvent(guide_, &repeat);
        QVERIFY(guide_->isVisible());
    }

    void cardFitsTheArea_data()
    {
        QTest::addColumn<QSize>("area");
        QTest::newRow("smallest window") << QSize(800, 478);
        QTest::newRow("tiny") << QSize(200, 120);
    }

    void cardFitsTheArea()
    {
        QFETCH(QSize, area);
        video_->resize(area);
        showGuide();
        const QRectF card = guide_->cardRect();
        QVERIFY2(QRectF(guide_->rect()).contains(card), qPrintable(QStringLiteral("%1x%2").arg(card.width()).arg(card.height())));
        QVERIFY(qAbs(card.center().x() - area.width() / 2.0) < 1 && qAbs(card.center().y() - area.height() / 2.0) < 1);
    }

    // The default window (three fifths of a full-HD screen, less title and control bar) shows the
    // card at its full size.
    void fullSizeInTheDefaultWindow()
    {
        video_->resize(3000, 3000);
        showGuide();
        const QSizeF natural = guide_->cardRect().size();
        video_->resize(1152, 648 - 62);
        QCOMPARE(guide_->cardRect().size(), natural);
        QCOMPARE(guide_->columnCount(), 2);
    }
};

QTEST_MAIN(ShortcutOverlayTest)
#include "tst_shortcut_overlay.moc"
