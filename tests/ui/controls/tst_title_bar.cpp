// The frameless window's title bar: the file name shown, pinning, fullscreen state and moving
// the window by dragging.
#include "ShownText.h"
#include "ui/controls/TitleBar.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {

void sendMouse(QWidget *widget, QEvent::Type type, QPoint local, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent event(type, QPointF(local), QPointF(widget->mapToGlobal(local)), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace

class TitleBarTest : public QObject
{
    Q_OBJECT

private slots:
    void title_data()
    {
        QTest::addColumn<QString>("windowTitle");
        QTest::addColumn<QString>("shown");
        QTest::newRow("file") << "Velmoran — 영화.mkv" << "영화.mkv";
        QTest::newRow("two separators") << "Velmoran — Velmoran OTT — 목록" << "목록";
        QTest::newRow("product name alone") << "Velmoran" << "";
        QTest::newRow("hyphen is no separator") << "Velmoran - clip.mp4" << "";
    }

    void title()
    {
        QFETCH(QString, windowTitle);
        QFETCH(QString, shown);
        TitleBar bar;
        bar.setTitle(QStringLiteral("Velmoran — 이전.mkv"));
        bar.setTitle(windowTitle);
        QCOMPARE(bar.title(), shown);
    }

    void longTitleIsElidedNotWidening()
    {
        QWidget window;
        auto *bar = new TitleBar;
        (new QVBoxLayout(&window))->addWidget(bar);
        window.resize(600, 60);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // Names that look like markup are shown as spelled, in the label and in its tool tip.
        const QString name = QStringLiteral("Live <b>") + QString(300, QChar(u'가')) + QStringLiteral("</b> a &lt; b.mkv");
        bar->setTitle(QStringLiteral("Velmoran — ") + name);
        QCOMPARE(bar->title(), name);
        QCOMPARE(bar->titleLabel()->textFormat(), Qt::PlainText);
        QCOMPARE(shownToolTip(bar->titleLabel()->toolTip()), name);
        QCOMPARE(window.width(), 600);
        QVERIFY(window.minimumSizeHint().width() < 600);
        // The close button stays inside the window.
        QVERIFY(bar->findChildren<QPushButton *>().last()->geometry().right() < bar->width());
    }

    void dragging_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<bool>("moves");
        QTest::newRow("left") << Qt::LeftButton << true;
        QTest::newRow("right") << Qt::RightButton << false;
    }

    void dragging()
    {
        QFETCH(Qt::MouseButton, button);
        QFETCH(bool, moves);
        QWidget window;
        auto *bar = new TitleBar;
        (new QVBoxLayout(&window))->addWidget(bar);
        window.resize(600, 200);
        window.move(100, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QPoint start = window.pos();

        QSignalSpy maximize(bar, &TitleBar::maximizeClicked);
        sendMouse(bar, QEvent::MouseButtonPress, QPoint(200, 10), button, button);
        sendMouse(bar, QEvent::MouseMove, QPoint(230, 30), Qt::NoButton, button);
        QCOMPARE(window.pos(), moves ? start + QPoint(30, 20) : start);
        sendMouse(bar, QEvent::MouseButtonRelease, QPoint(230, 30), button, Qt::NoButton);

        // After the release, moving with the button held again (pressed elsewhere) does nothing.
        const QPoint after = window.pos();
        sendMouse(bar, QEvent::MouseMove, QPoint(260, 40), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(window.pos(), after);

        sendMouse(bar, QEvent::MouseButtonDblClick, QPoint(200, 10), Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(maximize.size(), 1);
    }
};

QTEST_MAIN(TitleBarTest)
#include "tst_title_bar.moc"
