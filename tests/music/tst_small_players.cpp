// The mini strip and the compact panel: the compact format line, how positions map onto the seek
// bar and back, the compact playlist, closing from the window manager, dragging by the body,
// pinning and the spectrum.

#include "music/CompactPlayerWidget.h"
#include "music/MiniPlayerWidget.h"
#include "music/TrackInfo.h"
#include "ui/controls/ClickSeekSlider.h"

#include <QApplication>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

// The user drags the handle to a value and lets go, as ClickSeekSlider reports it.
void dragTo(ClickSeekSlider *slider, int value)
{
    slider->setSliderDown(true);
    slider->setSliderPosition(value);
    slider->setSliderDown(false);
}

template<typename Player>
void checkSeekMapping()
{
    Player player;
    auto *slider = player.template findChild<ClickSeekSlider *>();
    QSignalSpy seeks(&player, &Player::seekRequested);

    player.updatePosition(30.0, 120.0);
    QCOMPARE(player.seekValue(), 250);
    QCOMPARE(player.timeText(), "0:30");
    player.updatePosition(187.9, 600.0); // the clock counts whole seconds passed
    QCOMPARE(player.timeText(), "3:07");
    player.updatePosition(qQNaN(), 120.0);
    QCOMPARE(player.timeText(), "0:00");
    QCOMPARE(player.seekValue(), 0);
    QVERIFY(seeks.isEmpty());

    dragTo(slider, 500);
    QCOMPARE(seeks.size(), 1);
    QCOMPARE(seeks.last().at(0).toDouble(), 60.0);

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
}

template<typename Player>
void checkCloseHides()
{
    Player player;
    player.show();
    QVERIFY(QTest::qWaitForWindowExposed(&player));
    QSignalSpy closes(&player, &Player::closeRequested);
    player.close();
    QCOMPARE(closes.size(), 1);
    QVERIFY(!player.isVisible());
}

template<typename Player>
void checkBodyDrag()
{
    Player player;
    player.move(200, 150);
    player.show();
    QVERIFY(QTest::qWaitForWindowExposed(&player));
    const QPoint start = player.pos();
    // Explicit global positions: the window moves under the pointer, so points relative to it drift.
    auto send = [&player](QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held, QPoint global) {
        QMouseEvent event(type, QPointF(player.mapFromGlobal(global)), QPointF(global), button, held, Qt::NoModifier);
        QApplication::sendEvent(&player, &event);
    };
    const QPoint grip = start + QPoint(3, 3); // the body's margin, clear of every control

    send(QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, grip);
    send(QEvent::MouseMove, Qt::NoButton, Qt::RightButton, grip + QPoint(30, 30));
    send(QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, grip + QPoint(30, 30));
    QCOMPARE(player.pos(), start);

    send(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, grip);
    send(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, grip + QPoint(40, 25));
    QTRY_COMPARE(player.pos(), start + QPoint(40, 25));
    send(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, grip + QPoint(-10, 60));
    QTRY_COMPARE(player.pos(), start + QPoint(-10, 60));
    send(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, grip + QPoint(-10, 60));
    // Another button still held keeps the move delivered, so only the release can stop the drag.
    send(QEvent::MouseMove, Qt::NoButton, Qt::RightButton, grip + QPoint(100, 100));
    QCOMPARE(player.pos(), start + QPoint(-10, 60));
}

struct TrackRow {
    QString title, codec;
    int rate, depth, channels;
    bool bitPerfect;
    QString shownTitle, format;
};

} // namespace

Q_DECLARE_METATYPE(TrackRow)

class SmallPlayersTest : public QObject
{
    Q_OBJECT

private slots:
    void compactTrackTexts_data()
    {
        QTest::addColumn<TrackRow>("row");
        QTest::newRow("44.1k, 24bit, stereo") << TrackRow{"Song", "flac", 44100, 24, 2, false, "Song", "FLAC  ·  44.1kHz  ·  24bit  ·  Stereo"};
        QTest::newRow("6 channels, unknown depth") << TrackRow{"<b>Live</b>", "aac", 48000, 0, 6, false, "<b>Live</b>", "AAC  ·  48kHz"};
        QTest::newRow("no title, codec or rate; bit-perfect")
            << TrackRow{"", "", 0, 16, 1, true, "알 수 없는 트랙", "16bit  ·  Mono  ·  BIT-PERFECT"};
    }
    void compactTrackTexts()
    {
        QFETCH(TrackRow, row);
        CompactPlayerWidget player;
        player.setTrack(row.title, QString(), QString(), QPixmap(), row.codec, row.rate, row.depth, row.channels, row.bitPerfect);
        QCOMPARE(player.titleText(), row.shownTitle);
        QCOMPARE(player.formatText(), row.format);
    }

    void seekMapping()
    {
        checkSeekMapping<MiniPlayerWidget>();
        checkSeekMapping<CompactPlayerWidget>();
        CompactPlayerWidget compact;
        compact.updatePosition(5.0, 245.0);
        QCOMPARE(compact.durationText(), "4:05");
    }

    void compactPlaylist()
    {
        CompactPlayerWidget player;
        QSignalSpy selected(&player, &CompactPlayerWidget::trackSelected);
        player.setPlaylist({"One", "Two", "Three"}, 1);
        QCOMPARE(player.playlistCount(), 3);
        QCOMPARE(player.currentRow(), 1);
        QCOMPARE(player.playlistHeadingText(), "3 tracks");
        player.setPlaylist({"Only"}, 4); // a stale index marks nothing
        QCOMPARE(player.currentRow(), -1);
        QVERIFY(selected.isEmpty());

        player.setPlaylist({"One", "Two", "Three"}, 0);
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

    void closingOnlyHides()
    {
        checkCloseHides<MiniPlayerWidget>();
        checkCloseHides<CompactPlayerWidget>();
    }

    void draggingTheBodyMovesTheWindow()
    {
        checkBodyDrag<MiniPlayerWidget>();
        checkBodyDrag<CompactPlayerWidget>();
    }

    void unpinningKeepsThePanelShown()
    {
        CompactPlayerWidget player;
        player.show();
        QVERIFY(QTest::qWaitForWindowExposed(&player));
        QSignalSpy pinned(&player, &CompactPlayerWidget::alwaysOnTopToggled);
        QPushButton *pin = nullptr;
        for (auto *button : player.findChildren<QPushButton *>())
            if (button->isCheckable() && button->isChecked())
                pin = button;
        QVERIFY(pin);
        pin->click();
        QCOMPARE(pinned.size(), 1);
        QCOMPARE(pinned.first().at(0).toBool(), false);
        QVERIFY(!(player.windowFlags() & Qt::WindowStaysOnTopHint));
        QVERIFY(player.isVisible());
    }

    void spectrum()
    {
        CompactPlayerWidget player;
        auto *decay = player.findChild<QTimer *>(QStringLiteral("spectrumDecayTimer"));
        player.setSpectrum({});
        const QImage silent = player.grab().toImage();
        player.setSpectrum(QList<float>(200, 1.0f));
        QVERIFY(!decay->isActive()); // nothing to animate while hidden
        const QImage full = player.grab().toImage();
        const QPoint inBars(player.width() / 2, player.height() - 20);
        QVERIFY(full.pixelColor(inBars) != silent.pixelColor(inBars));

        player.setSpectrum({0.5f, 0.0f, 1.0f});
        player.show();
        QVERIFY(decay->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(!decay->isActive(), 5000); // fallen silent, it rests
    }
};

QTEST_MAIN(SmallPlayersTest)
#include "tst_small_players.moc"
