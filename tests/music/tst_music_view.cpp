// The music view and its playlist page: the A-B loop against a fake engine, animation timers and
// the playlist search.

#include "FakeEngineSession.h"
#include "music/MusicViewHelpers.h"
#include "music/MusicWidget.h"
#include "music/PlaylistPanel.h"

#include <QLineEdit>
#include <QTest>
#include <QTimer>

class MusicViewTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The lyrics page looks the track up; nothing listens here, so it fails at once.
        qputenv("VELMORAN_LRCLIB_URL", "http://127.0.0.1:1/");
    }

    void timeText()
    {
        QCOMPARE(MusicView::timeText(3725.0), QStringLiteral("62:05")); // minutes go past an hour
        QCOMPARE(MusicView::timeText(59.5), QStringLiteral("01:00"));
        QCOMPARE(MusicView::timeText(-3.0), QStringLiteral("00:00"));
    }

    void abLoop()
    {
        FakeEngine engine = makeFakeEngine();
        FakeEngineSession &fake = *engine.fake;
        MusicWidget view;
        view.onAbRepeatClicked(); // no engine yet: nothing happens
        QCOMPARE(view.abState(), MusicWidget::AbIdle);
        view.setEngine(engine.core.get());
        auto clickAt = [&](double seconds) {
            fake.properties.insert(QStringLiteral("time-pos"), seconds);
            view.onAbRepeatClicked();
        };

        // The second click earlier than the first: the loop still runs forwards.
        clickAt(30.0);
        clickAt(10.0);
        QCOMPARE(view.abState(), MusicWidget::AbLooping);
        QCOMPARE(fake.valuesWritten("ab-loop-a"), (QVariantList{30.0, 10.0}));
        QCOMPARE(fake.valuesWritten("ab-loop-b"), QVariantList{30.0});
        clickAt(12.0);
        QCOMPARE(view.abState(), MusicWidget::AbIdle);
        QCOMPARE(fake.valuesWritten("ab-loop-a").last().toString(), "no");
        QCOMPARE(fake.valuesWritten("ab-loop-b").last().toString(), "no");

        // Two clicks at the same point make no loop: A stays set, B is never written.
        fake.clearRecords();
        clickAt(20.0);
        clickAt(20.0);
        QCOMPARE(view.abState(), MusicWidget::AbASet);
        QVERIFY(fake.valuesWritten("ab-loop-b").isEmpty());

        // A new track while looping clears both points in the engine.
        clickAt(25.0);
        QCOMPARE(view.abState(), MusicWidget::AbLooping);
        fake.clearRecords();
        view.setTrack(TrackInfo());
        QCOMPARE(view.abState(), MusicWidget::AbIdle);
        QCOMPARE(fake.valuesWritten("ab-loop-a"), QVariantList{"no"});
        QCOMPARE(fake.valuesWritten("ab-loop-b"), QVariantList{"no"});
    }

    void animationRunsOnlyWhileShown()
    {
        MusicWidget view;
        auto *rotation = view.findChild<QTimer *>(QStringLiteral("rotationTimer"));
        auto *peaks = view.findChild<QTimer *>(QStringLiteral("peakTimer"));
        view.setPlaying(true);
        view.setSpectrum({0.03f, 0.02f});
        QVERIFY(!rotation->isActive() && !peaks->isActive());
        view.show();
        QVERIFY(rotation->isActive() && peaks->isActive());
        view.hide();
        QVERIFY(!rotation->isActive() && !peaks->isActive());
        view.show();
        view.setPlaying(false);
        QVERIFY(!rotation->isActive());
        // Peaks fall to nothing and their timer stops by itself.
        QTRY_VERIFY_WITH_TIMEOUT(!peaks->isActive(), 5000);
    }

    void playlistSearch()
    {
        PlaylistPanel panel;
        panel.setTracks({QStringLiteral("Love Song"), QStringLiteral("Blue Moon")});
        auto *search = panel.findChild<QLineEdit *>();
        QTest::keyClicks(search, QStringLiteral("LOVE"));
        QVERIFY(panel.isRowShown(0));
        QVERIFY(!panel.isRowShown(1));
        panel.addTrack(QStringLiteral("Lovely Day")); // a row added mid-search is filtered too
        panel.addTrack(QStringLiteral("Yesterday"));
        QVERIFY(panel.isRowShown(2));
        QVERIFY(!panel.isRowShown(3));
        search->clear();
        for (int row = 0; row < panel.count(); ++row)
            QVERIFY(panel.isRowShown(row));
    }
};

QTEST_MAIN(MusicViewTest)
#include "tst_music_view.moc"
