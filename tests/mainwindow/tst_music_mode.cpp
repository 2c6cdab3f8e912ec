// Music mode in the real window with the real engine: the page follows every file of a mixed
// queue, the track record comes from the file (stored depth, folder cover) and its badges from
// the audio format whenever it arrives, the small players stand in for the window and give it
// back, the lists and buttons follow the queue and its modes, and so does the equalizer's switch.

#include "TestFiles.h"
#include "TestMedia.h"
#include "engine/AudioFilterChain.h"
#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "mainwindow/MainWindow.h"
#include "music/CompactPlayerWidget.h"
#include "music/EqPanel.h"
#include "music/MiniPlayerWidget.h"
#include "music/MusicWidget.h"
#include "music/PlaylistPanel.h"
#include "ui/controls/ControlBar.h"
#include "ui/controls/OsdWidget.h"

#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {
// One field of each entry of an engine list ("playlist", "af"), a path as its file name.
QStringList engineList(MpvCore *core, const char *list, const char *field)
{
    QStringList values;
    for (const QVariant &entry : core->getMpvProperty(QLatin1String(list)).toList())
        values << QFileInfo(entry.toMap().value(QLatin1String(field)).toString()).fileName();
    return values;
}
QStringList queueNames(MpvCore *core) { return engineList(core, "playlist", "filename"); }
} // namespace

class MusicModeTest : public QObject
{
    Q_OBJECT

    QTemporaryDir album_;
    QString hires_;
    QStringList songs_;

private slots:
    void initTestCase()
    {
        qputenv("VELMORAN_LRCLIB_URL", "http://127.0.0.1:1/");
        // A song without an embedded cover, beside a cover file named the way some rippers do.
        hires_ = album_.filePath(QStringLiteral("01.flac"));
        QVERIFY(QFile::copy(TestMedia::path(QStringLiteral("hires_24.flac")), hires_));
        QVERIFY(QFile::copy(TestMedia::path(QStringLiteral("cover.jpg")), album_.filePath(QStringLiteral("FOLDER.JPG"))));
        for (const char *name : {"track1.flac", "track2.flac", "track3.flac", "track4.flac", "track5.flac"}) {
            songs_ << album_.filePath(QLatin1String(name));
            QVERIFY(QFile::copy(TestMedia::path(QStringLiteral("cover.flac")), songs_.last()));
        }
    }

    // The page follows every file of a mixed queue, and while music plays the small players stand
    // in for the window and give it back.
    void thePageAndTheSmallPlayersFollowAMixedQueue()
    {
        MainWindow window;
        window.show();
        MpvCore *core = window.videoSurface()->core();
        QTRY_VERIFY(window.videoSurface()->isInitialized());
        window.openFiles({hires_, TestMedia::path(QStringLiteral("clip_320x240.mp4")),
                          TestMedia::path(QStringLiteral("cover.flac"))});

        QTRY_COMPARE_WITH_TIMEOUT(window.musicView()->track().filePath, hires_, 10000);
        QVERIFY(window.musicView()->isVisible() && !window.controlBar()->isVisible());
        const TrackInfo &track = window.musicView()->track();
        QCOMPARE(track.bitDepth, 24); // the engine decodes it to 32
        QCOMPARE(track.sampleRate, 96000);
        QCOMPARE(track.cover.size(), QSize(300, 300));
        // The output is a sound server's, never exclusive, so never bit-perfect (the view's rule table).
        QTRY_VERIFY(window.musicView()->statusText().contains(QLatin1String("OUT: 96kHz")));
        QVERIFY(window.musicView()->statusText().contains(QLatin1String("SHARED")));
        core->pause(); // a short song, which must not end on its own while the test looks (each file unpauses)
        // The record as it is before the audio has started; the badges follow the format whenever the
        // engine reports one (tst_engine_playback shows it does when the audio starts).
        window.musicView()->setTrack(TrackInfo{.filePath = hires_});
        emit core->audioFormatChanged(QStringLiteral("flac"), 2, 96000, QString());
        QCOMPARE(window.musicView()->badgeTexts(), (QStringList{"FLAC", "24bit", "96kHz", "Stereo"}));

        core->command({QStringLiteral("playlist-next")});
        QTRY_VERIFY_WITH_TIMEOUT(!window.isMusicMode(), 10000);
        QVERIFY(window.controlBar()->isVisible() && !window.musicView()->isVisible());
        window.toggleMiniPlayer();
        QVERIFY2(!window.miniPlayer(), "a video has no small player");

        core->command({QStringLiteral("playlist-next")});
        QTRY_VERIFY_WITH_TIMEOUT(window.isMusicMode(), 10000);
        QTRY_COMPARE(window.musicView()->track().bitDepth, 16);
        core->pause();

        window.toggleMiniPlayer();
        MiniPlayerWidget *mini = window.miniPlayer();
        QVERIFY(mini->isVisible() && !window.isVisible());
        emit mini->seekRequested(2.0);
        QTRY_VERIFY(qAbs(core->position() - 2.0) < 0.3);
        mini->close(); // as the window manager's close button does
        QVERIFY(window.isVisible() && !mini->isVisible());

        window.toggleCompactPlayer();
        CompactPlayerWidget *compact = window.compactPlayer();
        QVERIFY(compact->isVisible() && !window.isVisible());
        // The compact player follows a track change it did not make itself.
        core->command({QStringLiteral("playlist-play-index"), QStringLiteral("0")});
        QTRY_VERIFY_WITH_TIMEOUT(compact->formatText().contains(QLatin1String("24bit")), 10000);
        QCOMPARE(compact->currentRow(), 0);

        // A video queued after the songs needs the window back.
        window.openFiles({TestMedia::path(QStringLiteral("clip_320x240.mp4"))});
        QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 10000);
        QVERIFY(!compact->isVisible() && !window.isMusicMode());
    }

    // A song given at start, before the window shows (as the player starts): the whole view, down
    // to the status line under the seek bar, is inside the window at the first-start size and in
    // a smaller window kept from an earlier run.
    void theViewFitsTheWindow_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("first start") << QSize(1152, 648);
        QTest::newRow("small window kept") << QSize(800, 540);
    }
    void theViewFitsTheWindow()
    {
        QFETCH(QSize, size);
        MainWindow window;
        window.resize(size);
        window.openFiles({songs_.first()});
        window.show();
        const auto *status = window.musicView()->findChild<QWidget *>(QStringLiteral("statusLine"));
        QTRY_VERIFY_WITH_TIMEOUT(window.musicView()->isVisible() && !window.musicView()->statusText().isEmpty(), 10000);
        QTRY_VERIFY(window.rect().contains(QRect(status->mapTo(&window, QPoint()), status->size())));
    }

    // Shuffled by key or by button, the queue shows in the same order in both lists, a row plays
    // the song it names, and the mode shows on the buttons and on screen. "ON" off takes the
    // equalizer out of the engine and keeps the sliders, through the next file.
    void listsAndButtonsFollowTheQueue()
    {
        MainWindow window;
        window.show();
        MpvCore *core = window.videoSurface()->core();
        QTRY_VERIFY(window.videoSurface()->isInitialized());
        window.openFiles(songs_.mid(0, 4));
        QTRY_COMPARE_WITH_TIMEOUT(queueNames(core).size(), 4, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(window.isMusicMode(), 10000);
        core->pause();
        MusicWidget *view = window.musicView();
        PlaylistPanel *panel = view->playlistPanel();
        EqPanel *equalizer = window.equalizer();
        equalizer->applyPreset(3);
        const QStringList graphicEq{AudioFilterChain::label(AudioFilterSlot::GraphicEq)};
        QTRY_COMPARE(engineList(core, "af", "label"), graphicEq);
        const QList<double> vocal = equalizer->gains();
        buttonWithText(*equalizer, QStringLiteral("ON"))->click();
        QTRY_VERIFY(engineList(core, "af", "label").isEmpty());

        QTest::keyClick(&window, Qt::Key_X);
        QTRY_VERIFY(view->isShuffleOn());
        QTRY_COMPARE(panel->tracks(), queueNames(core));
        auto *message = view->findChild<OsdWidget *>();
        QVERIFY(message && message->isVisible());
        QCOMPARE(message->text(), QStringLiteral("셔플: 활성화"));
        QTest::keyClick(&window, Qt::Key_R);
        QTRY_VERIFY(view->isRepeatOn());
        // The other keys' confirmations come over the view too, not over the hidden video.
        QTest::keyClick(&window, Qt::Key_Down);
        QTRY_COMPARE(message->kind(), int(OsdWidget::Volume));

        emit panel->trackSelected(int(panel->tracks().indexOf(QStringLiteral("track2.flac"))));
        QTRY_COMPARE_WITH_TIMEOUT(view->track().filePath, songs_.at(1), 10000);
        QVERIFY(engineList(core, "af", "label").isEmpty());
        QCOMPARE(equalizer->gains(), vocal);
        buttonWithText(*equalizer, QStringLiteral("ON"))->click();
        QTRY_COMPARE(engineList(core, "af", "label"), graphicEq);

        emit view->addToPlaylistRequested(songs_.at(4));
        // The append reaches the engine's list asynchronously: the panel already matches the old one.
        QTRY_COMPARE_WITH_TIMEOUT(queueNames(core).size(), 5, 10000);
        QTRY_COMPARE(panel->tracks(), queueNames(core));

        window.toggleCompactPlayer();
        CompactPlayerWidget *compact = window.compactPlayer();
        emit compact->shuffleToggled(false); // unshuffled: the files given together in their order again
        QTRY_VERIFY(!view->isShuffleOn());
        emit compact->repeatToggled(false);
        QTRY_VERIFY(!view->isRepeatOn());
        QTRY_COMPARE(compact->tracks(), queueNames(core));
        QCOMPARE(panel->tracks(), queueNames(core));
        QStringList given = compact->tracks();
        given.removeOne(QStringLiteral("track5.flac"));
        QCOMPARE(given, (QStringList{"track1.flac", "track2.flac", "track3.flac", "track4.flac"}));
    }
};

QTEST_MAIN(MusicModeTest)
#include "tst_music_mode.moc"
