// The control bar and its seek slider: time text, click-to-seek, dragging against engine
// position reports, the volume slider and the chapter markers.
#include "FakeEngineSession.h"
#include "ShownText.h"
#include "engine/MpvCore.h"
#include "ui/controls/ClickSeekSlider.h"
#include "ui/controls/ControlBar.h"
#include "ui/controls/MediaText.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using Format = EngineEvent::Format;

namespace {

void sendMouse(QWidget *widget, QEvent::Type type, int x, Qt::MouseButton button, Qt::MouseButtons held)
{
    const QPointF local(x, widget->height() / 2);
    QMouseEvent event(type, local, widget->mapToGlobal(local), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

QList<QWidget *> markersOf(QWidget *slider)
{
    return slider->findChildren<QWidget *>(QStringLiteral("chapterMarker"), Qt::FindDirectChildrenOnly);
}

} // namespace

class ControlBarTest : public QObject
{
    Q_OBJECT

    FakeEngine engine_;
    std::unique_ptr<ControlBar> bar_;

    ClickSeekSlider *slider() const { return bar_->seekSlider(); }
    QPushButton *buttonWithTip(const QString &tip) const
    {
        for (QPushButton *button : bar_->findChildren<QPushButton *>())
            if (button->toolTip() == tip)
                return button;
        return nullptr;
    }

private slots:
    void init()
    {
        engine_ = makeFakeEngine();
        bar_ = std::make_unique<ControlBar>();
        bar_->connectToCore(engine_.core.get());
        bar_->resize(900, bar_->height());
        bar_->show();
        QVERIFY(QTest::qWaitForWindowExposed(bar_.get()));
    }

    void timeText_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("fraction truncated") << 59.9 << "00:59";
        QTest::newRow("one hour") << 3600.0 << "1:00:00";
        QTest::newRow("not a number") << qQNaN() << "00:00";
    }

    void timeText()
    {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(MediaText::formatTime(seconds), text);
    }

    // A click seeks at once on the press and again on the release; without a duration, to the start.
    void clickSeeks_data()
    {
        QTest::addColumn<double>("duration");
        QTest::addColumn<double>("seconds");
        QTest::newRow("far right") << 100.0 << 100.0;
        QTest::newRow("no duration yet") << -1.0 << 0.0;
    }
    void clickSeeks()
    {
        QFETCH(double, duration);
        QFETCH(double, seconds);
        bar_->setDuration(duration);
        QSignalSpy seeked(bar_.get(), &ControlBar::seeked);
        QTest::mouseClick(slider(), Qt::LeftButton, {}, QPoint(slider()->width() - 1, slider()->height() / 2));
        QCOMPARE(seeked.size(), 2);
        for (const QList<QVariant> &emitted : seeked)
            QVERIFY2(qAbs(emitted.at(0).toDouble() - seconds) <= 0.011, qPrintable(emitted.at(0).toString()));
    }

    void engineReportsWaitForTheDrag()
    {
        bar_->setDuration(100.0);
        connect(engine_.core.get(), &MpvCore::positionChanged, bar_.get(),
                [this](double position) { bar_->updatePosition(position, 100.0); });
        auto report = [this](double position) {
            engine_.fake->queuePropertyChange(QStringLiteral("time-pos"), Format::Double, position);
            engine_.core->onMpvEvents();
        };
        QSignalSpy seeked(bar_.get(), &ControlBar::seeked);
        QSignalSpy moved(slider(), &QSlider::sliderMoved);
        const int middle = slider()->width() / 2;

        sendMouse(slider(), QEvent::MouseButtonPress, middle / 2, Qt::LeftButton, Qt::LeftButton);
        QVERIFY(bar_->isSeeking());
        QCOMPARE(seeked.size(), 1);
        sendMouse(slider(), QEvent::MouseMove, middle, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(bar_->timeText(), QStringLiteral("00:50 / 01:40"));
        QCOMPARE(seeked.size(), 1); // no engine seeks while dragging
        QCOMPARE(moved.size(), 2);  // once per pointer event

        report(70.0);
        QVERIFY(qAbs(slider()->value() - 5000) <= 1);
        QCOMPARE(bar_->timeText(), QStringLiteral("01:10 / 01:40"));

        sendMouse(slider(), QEvent::MouseButtonRelease, middle, Qt::LeftButton, Qt::NoButton);
        QVERIFY(!bar_->isSeeking());
        QCOMPARE(seeked.size(), 2);
        QVERIFY(qAbs(seeked.at(1).at(0).toDouble() - 50.0) <= 0.011);

        report(70.0);
        QCOMPARE(slider()->value(), 7000);
        report(250.0); // past the end, as a stream that grew can report
        QCOMPARE(slider()->value(), 10000);
    }

    void volumeFromOutsideIsSilent()
    {
        QSignalSpy changed(bar_.get(), &ControlBar::volumeChanged);
        bar_->setVolume(40);
        QCOMPARE(bar_->volumeText(), QStringLiteral("40%"));
        QCOMPARE(changed.size(), 0);
        bar_->volumeSlider()->setValue(150); // as the user moving it
        QCOMPARE(changed.size(), 1);
        QCOMPARE(bar_->volumeText(), QStringLiteral("150%"));

        QSignalSpy muted(bar_.get(), &ControlBar::muteToggled);
        QPushButton *mute = buttonWithTip(QStringLiteral("음소거 (M)"));
        QVERIFY(mute);
        mute->click();
        mute->click();
        QCOMPARE(QList<QVariantList>(muted), (QList<QVariantList>{{true}, {false}}));
    }

    // Markers sit where their chapters are, none at the very start or at or past the end; they
    // follow the slider's width, are replaced by the next file's, and name their chapters as text
    // (an untitled one by its place).
    void chapterMarkers()
    {
        bar_->resize(bar_->width() + 512 - slider()->width(), bar_->height());
        QTRY_COMPARE(slider()->width(), 512);
        bar_->setChapters(chaptersFromEngineList(QVariantList{
                              QVariantMap{{"time", 0.0}}, QVariantMap{{"time", 25.0}, {"title", "a <b>b</b> & c"}},
                              QVariantMap{{"time", 50.0}}, QVariantMap{{"time", 100.0}}, QVariantMap{{"time", 130.0}}}),
                          100.0);
        QList<QWidget *> markers = markersOf(slider());
        QCOMPARE(markers.size(), 2);
        QCOMPARE(markers.at(0)->geometry(), QRect(130, 0, 2, slider()->height()));
        QCOMPARE(markers.at(1)->geometry(), QRect(255, 0, 2, slider()->height()));
        QCOMPARE(shownToolTip(markers.at(0)->toolTip()), QStringLiteral("a <b>b</b> & c"));
        QCOMPARE(shownToolTip(markers.at(1)->toolTip()), QStringLiteral("챕터 3"));
        QVERIFY(markers.at(0)->testAttribute(Qt::WA_TransparentForMouseEvents));

        bar_->setChapters({{50.0, "d"}}, 100.0);
        QCOMPARE(markersOf(slider()).size(), 1);
        bar_->resize(bar_->width() + 400, bar_->height()); // full screen
        QTRY_COMPARE(markersOf(slider()).first()->x(), int((slider()->width() - 12) * 0.5 + 6.0) - 1);
        bar_->setChapters({}, 100.0); // the next file without chapters leaves none behind
        QVERIFY(markersOf(slider()).isEmpty());
    }
};

QTEST_MAIN(ControlBarTest)
#include "tst_control_bar.moc"
