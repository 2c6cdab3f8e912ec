// Music mode in the real window with the real engine: the page follows every file of a mixed
// queue, the track record comes from the file (stored depth, folder cover), and the small
// players stand in for the window and give it back.

#include "TestMedia.h"
#include "app/AppIdentity.h"
#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "mainwindow/MainWindow.h"
#include "music/CompactPlayerWidget.h"
#include "music/MiniPlayerWidget.h"
#include "music/MusicWidget.h"
#include "ui/controls/ControlBar.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

class MusicModeTest : public QObject
{
    Q_OBJECT

    QTemporaryDir album_;
    QString hires_;

private slots:
    void initTestCase()
    {
        QSettings(QLatin1StringView(AppIdentity::kOrganisation), QLatin1StringView(AppIdentity::kSettingsApplication))
            .clear();
        qputenv("VELMORAN_LRCLIB_URL", "http://127.0.0.1:1/");
        // A song without an embedded cover, beside a cover file named the way some rippers do.
        hires_ = album_.filePath(QStringLiteral("01.flac"));
        QVERIFY(QFile::copy(TestMedia::path(QStringLiteral("hires_24.flac")), hires_));
        QVERIFY(QFile::copy(TestMedia::path(QStringLiteral("cover.jpg")), album_.filePath(QStringLiteral("FOLDER.JPG"))));
    }

    void thePageFollowsEveryFileOfAMixedQueue()
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
        // The output is a sound server's, never exclusive: nothing may claim bit-perfect.
        QTRY_VERIFY(window.musicView()->statusText().contains(QLatin1String("OUT: 96kHz")));
        QVERIFY(window.musicView()->statusText().contains(QLatin1String("SHARED")));
        QVERIFY(!window.musicView()->statusText().contains(QLatin1String("BIT-PERFECT")));

        core->command({QStringLiteral("playlist-next")});
        QTRY_VERIFY_WITH_TIMEOUT(!window.isMusicMode(), 10000);
        QVERIFY(window.controlBar()->isVisible() && !window.musicView()->isVisible());

        core->command({QStringLiteral("playlist-next")});
        QTRY_VERIFY_WITH_TIMEOUT(window.isMusicMode(), 10000);
        QTRY_COMPARE(window.musicView()->track().bitDepth, 16);
    }

    void smallPlayersStandInForTheWindowAndGiveItBack()
    {
        MainWindow window;
        window.show();
        MpvCore *core = window.videoSurface()->core();
        QTRY_VERIFY(window.videoSurface()->isInitialized());
        window.toggleMiniPlayer();
        QVERIFY2(!window.miniPlayer(), "a video has no small player");

        window.openFiles({hires_, TestMedia::path(QStringLiteral("cover.flac"))});
        QTRY_COMPARE_WITH_TIMEOUT(window.musicView()->track().filePath, hires_, 10000);
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
        QCOMPARE(compact->playlistCount(), 2);
        QVERIFY(compact->formatText().contains(QLatin1String("24bit")));
        emit compact->repeatToggled(true);
        QCOMPARE(core->propertyText(QStringLiteral("loop-file")), QStringLiteral("inf"));
        emit compact->repeatToggled(false);

        // The compact player follows a track change it did not make itself.
        core->command({QStringLiteral("playlist-play-index"), QStringLiteral("1")});
        QTRY_VERIFY_WITH_TIMEOUT(compact->formatText().contains(QLatin1String("16bit")), 10000);
        QCOMPARE(compact->currentRow(), 1);

        // A video queued after the songs needs the window back.
        window.openFiles({TestMedia::path(QStringLiteral("clip_320x240.mp4"))});
        QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 10000);
        QVERIFY(!compact->isVisible() && !window.isMusicMode());
    }
};

QTEST_MAIN(MusicModeTest)
#include "tst_music_mode.moc"
