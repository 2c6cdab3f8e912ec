// The music view and its playlist page: badges and the status line with its bit-perfect rule,
// the cover's accent, the A-B loop against a fake engine, which timers run and what repaints,
// and the playlist search.

#include "FakeEngineSession.h"
#include "music/MusicViewHelpers.h"
#include "music/MusicWidget.h"
#include "music/PlaylistPanel.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

namespace {

QPixmap solidCover(const QColor &colour)
{
    QPixmap cover(64, 64);
    cover.fill(colour);
    return cover;
}

// Counts the paint events a widget receives.
struct PaintCounter : QObject {
    explicit PaintCounter(QWidget *watched) { watched->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *event) override { return count += event->type() == QEvent::Paint, false; }
    int count = 0;
};

} // namespace

Q_DECLARE_METATYPE(TrackInfo)
Q_DECLARE_METATYPE(MusicView::OutputPath)

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

    void badgesAndDecodeLine_data()
    {
        QTest::addColumn<TrackInfo>("track");
        QTest::addColumn<QStringList>("badges");
        QTest::addColumn<QString>("line");
        QTest::newRow("44.1k stereo") << TrackInfo{.sampleRate = 44100, .bitDepth = 24, .channels = 2, .codec = "flac"}
                                      << QStringList{"FLAC", "24bit", "44.1kHz", "Stereo"}
                                      << "FLAC  ·  DECODE  ·  2.0  ·  44.1kHz  ·  24bit";
        QTest::newRow("48k mono, codec and depth unknown") << TrackInfo{.sampleRate = 48000, .channels = 1}
                                                           << QStringList{"PCM", "16bit", "48kHz", "Mono"}
                                                           << "  ·  DECODE  ·  1ch  ·  48kHz  ·  16bit";
        QTest::newRow("800 Hz, 6ch, replay gain")
            << TrackInfo{.sampleRate = 800, .bitDepth = 16, .channels = 6, .codec = "aac", .replayGainDb = -6.5, .hasReplayGain = true}
            << QStringList{"AAC", "16bit", "800Hz", "6ch"} << "AAC  ·  DECODE  ·  6ch  ·  800Hz  ·  16bit  ·  ReplayGain: -6.5dB";
    }
    void badgesAndDecodeLine()
    {
        QFETCH(TrackInfo, track);
        MusicWidget view;
        view.setTrack(track);
        QTEST(view.badgeTexts(), "badges");
        QTEST(view.statusText(), "line");
    }

    // BIT-PERFECT only when nothing between the decoder and a raw device alters a sample.
    void bitPerfectOutput_data()
    {
        using Path = MusicView::OutputPath;
        QTest::addColumn<Path>("output");
        QTest::addColumn<QString>("line");
        const QString head = QStringLiteral("FLAC  ·  DECODE  ·  2.0  ·  OUT: 44.1kHz S32 ");
        QTest::newRow("untouched") << Path{44100, "s32", true} << head + "EXCLUSIVE  ·  BIT-PERFECT";
        QTest::newRow("sound server") << Path{44100, "s32", false} << head + "SHARED";
        QTest::newRow("resampled") << Path{48000, "s32", true} << "FLAC  ·  DECODE  ·  2.0  ·  OUT: 48kHz S32 EXCLUSIVE";
        QTest::newRow("volume 90") << Path{44100, "s32", true, 90} << head + "EXCLUSIVE";
        QTest::newRow("replay gain") << Path{44100, "s32", true, 100, false, 1.0, true} << head + "EXCLUSIVE";
        QTest::newRow("a filter") << Path{44100, "s32", true, 100, false, 1.0, false, true} << head + "EXCLUSIVE";
    }
    void bitPerfectOutput()
    {
        QFETCH(MusicView::OutputPath, output);
        QFETCH(QString, line);
        MusicWidget view;
        view.setTrack(TrackInfo{.sampleRate = 44100, .bitDepth = 24, .channels = 2, .codec = "flac"});
        view.setOutputInfo(output);
        QCOMPARE(view.statusText(), line);
        QCOMPARE(view.findChild<QLabel *>(QStringLiteral("bitPerfectBadge"))->isVisibleTo(&view),
                 line.endsWith(QLatin1String("BIT-PERFECT")));
    }

    void accentColour_data()
    {
        QTest::addColumn<QPixmap>("cover");
        QTest::addColumn<QColor>("accent");
        QTest::newRow("mid-tone red, saturated") << solidCover(QColor(200, 50, 50)) << QColor(200, 0, 0);
        QTest::newRow("all black") << solidCover(Qt::black) << QColor(0, 120, 100);
        QTest::newRow("all white") << solidCover(Qt::white) << QColor(0, 120, 100);
        QTest::newRow("no cover") << QPixmap() << QColor(0, 200, 180);
    }
    void accentColour()
    {
        MusicWidget view;
        view.setTrack(TrackInfo{.cover = solidCover(Qt::blue)}); // a cover before must not leave its colour behind
        QFETCH(QPixmap, cover);
        view.setTrack(TrackInfo{.cover = cover});
        QTEST(view.accentColour(), "accent");
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

    // The animations run only while the view is shown and something moves, and new bars repaint
    // their strip, not the texts and controls around it.
    void animationCostsOnlyWhileItShows()
    {
        MusicWidget view;
        view.resize(900, 700);
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

        QVERIFY(QTest::qWaitForWindowExposed(&view));
        PaintCounter title(view.findChild<QLabel *>(QStringLiteral("titleLabel")));
        for (int i = 0; i < 5; ++i) {
            view.setSpectrum(QList<float>(32, 0.1f * i));
            QTest::qWait(20);
        }
        QCOMPARE(title.count, 0);
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
