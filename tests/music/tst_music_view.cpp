// The music view and its playlist page: badges and status line, cover accent, the A-B loop
// against a fake engine, spectrum painting, animation timers and the playlist search.

#include "FakeEngineSession.h"
#include "music/MusicViewHelpers.h"
#include "music/MusicWidget.h"
#include "music/PlaylistPanel.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

QPixmap solidCover(const QColor &colour)
{
    QPixmap cover(64, 64);
    cover.fill(colour);
    return cover;
}

TrackInfo trackAt(const QString &title)
{
    TrackInfo track;
    track.title = title;
    track.codec = QStringLiteral("flac");
    track.sampleRate = 44100;
    track.channels = 2;
    track.bitDepth = 24;
    return track;
}

// A track's format, the badges and decode line it gives, then the output and the line that gives.
struct FormatRow {
    QString codec;
    int bitDepth, sampleRate, channels;
    double replayGain; // NaN: none
    QStringList badges;
    QString decodeLine;
    int outputRate;
    bool exclusive;
    QString outputLine;
};

} // namespace

Q_DECLARE_METATYPE(FormatRow)

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

    void badgesAndStatusLine_data()
    {
        QTest::addColumn<FormatRow>("row");
        const double none = qQNaN();
        QTest::newRow("44.1k stereo, exclusive at the same rate")
            << FormatRow{"flac", 24, 44100, 2, none, {"FLAC", "24bit", "44.1kHz", "Stereo"},
                         "FLAC  ·  DECODE  ·  2.0  ·  44.1kHz  ·  24bit", 44100, true,
                         "FLAC  ·  DECODE  ·  2.0  ·  OUT: 44.1kHz FLOAT EXCLUSIVE  ·  BIT-PERFECT"};
        QTest::newRow("48k mono, unknown codec and depth, shared")
            << FormatRow{"", 0, 48000, 1, none, {"PCM", "16bit", "48kHz", "Mono"}, "  ·  DECODE  ·  1ch  ·  48kHz  ·  16bit",
                         48000, false, "  ·  DECODE  ·  1ch  ·  OUT: 48kHz FLOAT SHARED"};
        QTest::newRow("800Hz, 6ch, replay gain, exclusive at another rate")
            << FormatRow{"aac", 16, 800, 6, -6.5, {"AAC", "16bit", "800Hz", "6ch"},
                         "AAC  ·  DECODE  ·  6ch  ·  800Hz  ·  16bit  ·  ReplayGain: -6.5dB", 48000, true,
                         "AAC  ·  DECODE  ·  6ch  ·  OUT: 48kHz FLOAT EXCLUSIVE"};
    }
    void badgesAndStatusLine()
    {
        QFETCH(FormatRow, row);
        TrackInfo track;
        track.codec = row.codec;
        track.bitDepth = row.bitDepth;
        track.sampleRate = row.sampleRate;
        track.channels = row.channels;
        track.hasReplayGain = !qIsNaN(row.replayGain);
        track.replayGainDb = track.hasReplayGain ? row.replayGain : 0.0;

        MusicWidget view;
        view.setTrack(track);
        QCOMPARE(view.badgeTexts(), row.badges);
        QCOMPARE(view.statusText(), row.decodeLine);
        view.setOutputInfo(row.outputRate, QStringLiteral("float"), row.exclusive);
        QCOMPARE(view.statusText(), row.outputLine);
        const bool bitPerfect = row.outputLine.endsWith(QLatin1String("BIT-PERFECT"));
        QCOMPARE(view.findChild<QLabel *>(QStringLiteral("statusLine"))->styleSheet().contains("#4dd0a6"), bitPerfect);
    }

    void accentColour_data()
    {
        QTest::addColumn<QPixmap>("cover");
        QTest::addColumn<QColor>("accent");
        QTest::newRow("mid-tone red, saturated") << solidCover(QColor(200, 50, 50)) << QColor(200, 0, 0);
        QTest::newRow("all black") << solidCover(Qt::black) << QColor(0, 120, 100);
        QTest::newRow("just below mid-tone") << solidCover(QColor(30, 30, 30)) << QColor(0, 120, 100);
        QTest::newRow("no cover") << QPixmap() << QColor(0, 200, 180);
    }
    void accentColour()
    {
        MusicWidget view;
        TrackInfo track;
        track.cover = solidCover(Qt::blue); // a cover before must not leave its colour behind
        view.setTrack(track);
        QFETCH(QPixmap, cover);
        QFETCH(QColor, accent);
        track.cover = cover;
        view.setTrack(track);
        QCOMPARE(view.accentColour(), accent);
    }

    void abLoop()
    {
        FakeEngine engine = makeFakeEngine();
        FakeEngineSession &fake = *engine.fake;
        MusicWidget view;
        QPushButton *abButton = nullptr;
        for (auto *button : view.findChildren<QPushButton *>())
            if (button->text() == QLatin1String("A-B"))
                abButton = button;
        QVERIFY(abButton);
        view.onAbRepeatClicked(); // no engine yet: nothing happens
        QCOMPARE(view.abState(), MusicWidget::AbIdle);
        view.setEngine(engine.core.get());
        auto clickAt = [&](double seconds) {
            fake.properties.insert(QStringLiteral("time-pos"), seconds);
            view.onAbRepeatClicked();
        };

        // The second click earlier than the first: the loop still runs forwards.
        clickAt(30.0);
        QCOMPARE(fake.valuesWritten("ab-loop-a"), QVariantList{30.0});
        clickAt(10.0);
        QCOMPARE(view.abState(), MusicWidget::AbLooping);
        QCOMPARE(fake.valuesWritten("ab-loop-a"), (QVariantList{30.0, 10.0}));
        QCOMPARE(fake.valuesWritten("ab-loop-b"), QVariantList{30.0});
        QCOMPARE(abButton->toolTip(), "A-B 구간 반복 중\nA: 00:10  B: 00:30\n클릭하여 해제");
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
        QVERIFY(!abButton->toolTip().contains("반복 중"));

        // A new track while looping clears both points in the engine.
        clickAt(25.0);
        QCOMPARE(view.abState(), MusicWidget::AbLooping);
        fake.clearRecords();
        view.setTrack(trackAt("next"));
        QCOMPARE(view.abState(), MusicWidget::AbIdle);
        QCOMPARE(fake.valuesWritten("ab-loop-a"), QVariantList{"no"});
        QCOMPARE(fake.valuesWritten("ab-loop-b"), QVariantList{"no"});
        QVERIFY(abButton->toolTip().startsWith("A-B 구간 반복\n"));
    }

    void spectrumPainting()
    {
        MusicWidget view;
        view.resize(900, 700);
        const QImage before = view.grab().toImage(); // nothing received yet
        QList<float> bins(100, 1.0f);                  // more bins than peak marks
        view.setSpectrum(bins);
        const QImage after = view.grab().toImage();
        QCOMPARE(after.size(), before.size());
        // A full bar fills the strip under the disc and the texts.
        const QPoint inStrip(30, 296 + 148 + 30);
        QVERIFY(after.pixelColor(inStrip) != before.pixelColor(inStrip));
        view.setSpectrum({});
        view.grab();
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

    void rightPanelPages()
    {
        MusicWidget view;
        QList<QPushButton *> tabs;
        for (const char *name : {"가사", "EQ", "재생목록"})
            for (auto *button : view.findChildren<QPushButton *>())
                if (button->text() == QString::fromUtf8(name))
                    tabs << button;
        QCOMPARE(tabs.size(), 3);
        view.show();
        // No equalizer yet: its tab is not offered and asking for its page changes nothing.
        QVERIFY(!tabs[1]->isVisible());
        view.onRightPanelToggle(MusicWidget::EqualizerPage);
        QCOMPARE(view.currentPage(), int(MusicWidget::LyricsPage));

        view.setEqualizerPage(new QWidget);
        QVERIFY(tabs[1]->isVisible());
        tabs[1]->click();
        QCOMPARE(view.currentPage(), int(MusicWidget::EqualizerPage));
        QCOMPARE(QList<bool>({tabs[0]->isChecked(), tabs[1]->isChecked(), tabs[2]->isChecked()}),
                 QList<bool>({false, true, false}));
        tabs[2]->click();
        QCOMPARE(view.currentPage(), int(MusicWidget::PlaylistPage));
        tabs[1]->click();
        view.setEqualizerPage(nullptr); // the shown page goes away: back to the lyrics
        QCOMPARE(view.currentPage(), int(MusicWidget::LyricsPage));
        QVERIFY(tabs[0]->isChecked() && !tabs[1]->isVisible());
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
