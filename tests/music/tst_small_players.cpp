// The mini strip and the compact panel: how positions map onto the seek bar and back (the wheel
// seeks there as in the full view), the compact playlist and closing from the window manager.

#include "music/CompactPlayerWidget.h"
#include "music/MiniPlayerWidget.h"
#include "music/MusicWidget.h"
#include "ui/controls/ClickSeekSlider.h"

#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

namespace {

// The user drags the handle to a value and lets go, as ClickSeekSlider reports it.
void dragTo(ClickSeekSlider *slider, int value)
{
    slider->setSliderDown(true);
    slider->setSliderPosition(value);
    slider->setSliderDown(false);
}

// One notch of the wheel up the seek bar seeks forward, in all three music views.
template<typename Player>
void checkWheelSeeks(Player &player)
{
    QSignalSpy seeks(&player, &Player::seekRequested);
    player.updatePosition(30.0, 120.0);
    QWheelEvent wheel({}, {}, {}, {0, 120}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(player.template findChild<ClickSeekSlider *>(), &wheel);
    QCOMPARE(seeks.size(), 1);
    QVERIFY(seeks.first().at(0).toDouble() > 30.0);
}

template<typename Player>
void checkSeekMappingAndClose()
{
    Player player;
    checkWheelSeeks(player);
    auto *slider = player.template findChild<ClickSeekSlider *>();
    QSignalSpy seeks(&player, &Player::seekRequested);

    player.updatePosition(30.0, 120.0);
    QCOMPARE(player.seekValue(), 250);
    player.updatePosition(187.9, 600.0); // the clock counts whole seconds passed
    QCOMPARE(player.timeText(), "3:07");
    player.updatePosition(qQNaN(), 120.0);
    QCOMPARE(player.timeText(), "0:00");
    QCOMPARE(player.seekValue(), 0);
    QVERIFY(seeks.isEmpty());

    dragTo(slider, 500);
    QCOMPARE(QList<QVariantList>(seeks), QList<QVariantList>{{60.0}});

    // A position arriving while the handle is held must not pull it from under the pointer.
    slider->setSliderDown(true);
    slider->setSliderPosition(700);
    player.updatePosition(10.0, 120.0);
    QCOMPARE(slider->sliderPosition(), 700);
    slider->setSliderDown(false);

    seeks.clear();
    player.updatePosition(0.0, 0.0);
    QCOMPARE(player.seekValue(), 0);
    dragTo(slider, 400);
    QVERIFY(seeks.isEmpty());

    // The window manager's close only hides it and asks the host to take over.
    QSignalSpy closes(&player, &Player::closeRequested);
    player.show();
    player.close();
    QCOMPARE(closes.size(), 1);
    QVERIFY(!player.isVisible());
}

} // namespace

class SmallPlayersTest : public QObject
{
    Q_OBJECT

private slots:
    void seekMappingAndClose()
    {
        checkSeekMappingAndClose<MiniPlayerWidget>();
        checkSeekMappingAndClose<CompactPlayerWidget>();
        CompactPlayerWidget compact;
        compact.updatePosition(5.0, 245.0);
        QCOMPARE(compact.durationText(), "4:05");
        MusicWidget view;
        checkWheelSeeks(view);
    }

    void compactPlaylist()
    {
        CompactPlayerWidget player;
        QSignalSpy selected(&player, &CompactPlayerWidget::trackSelected);
        player.setPlaylist({"Only"}, 4); // a stale index marks nothing
        QCOMPARE(player.currentRow(), -1);
        player.setPlaylist({"One", "Two", "Three"}, 1);
        QCOMPARE(player.playlistCount(), 3);
        QCOMPARE(player.currentRow(), 1);
        QVERIFY(selected.isEmpty());

        player.show();
        QVERIFY(QTest::qWaitForWindowExposed(&player));
        auto *list = player.findChild<QListWidget *>();
        const QPoint third = list->visualItemRect(list->item(2)).center();
        // A widget double click from QTest is the second press alone; the first click comes before it.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, third);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, third);
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.first().at(0).toInt(), 2);
    }
};

QTEST_MAIN(SmallPlayersTest)
#include "tst_small_players.moc"
