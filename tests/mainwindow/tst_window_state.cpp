// What the window keeps and restores (placement, geometry, where a file was left), and how it
// takes in files: opened before the engine is up, dropped, unplayable, streams.
#include "WindowKit.h"
#include "app/SettingsKeys.h"
#include "mainwindow/WindowPlacement.h"
#include "ui/controls/OsdWidget.h"
#include "ui/controls/TitleBar.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QScreen>

namespace Keys = SettingsKeys;

namespace {
const QString kUnplayable = QStringLiteral("재생할 수 없는 미디어입니다");
}

class WindowStateTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { store().clear(); }

    void placement_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QSize>("storedSize");
        QTest::addColumn<QPoint>("storedPos");
        QTest::addColumn<QRect>("expected");
        QTest::addColumn<bool>("replaced");
        const QRect fhd(0, 0, 1920, 1080);
        const QRect fhdDefault(384, 216, 1152, 648);
        QTest::newRow("first start") << QRect(0, 0, 2560, 1440) << QSize() << QPoint(-1, -1)
                                     << QRect(512, 288, 1536, 864) << true;
        QTest::newRow("larger than the screen") << fhd << QSize(3000, 2000) << QPoint(0, 0) << fhdDefault << true;
        QTest::newRow("empty size") << fhd << QSize(0, 0) << QPoint(10, 10) << fhdDefault << true;
        QTest::newRow("negative x centres") << fhd << QSize(1000, 600) << QPoint(-1, -1)
                                            << QRect(460, 240, 1000, 600) << false;
        QTest::newRow("off screen") << fhd << QSize(800, 600) << QPoint(5000, 5000) << fhdDefault << true;
        QTest::newRow("partly on screen") << fhd << QSize(800, 600) << QPoint(1800, 900)
                                          << QRect(1800, 900, 800, 600) << false;
        QTest::newRow("exactly the screen") << fhd << QSize(1920, 1080) << QPoint(0, 0) << fhd << false;
        QTest::newRow("work area below a panel") << QRect(0, 40, 1920, 1040) << QSize() << QPoint(-1, -1)
                                                 << QRect(384, 248, 1152, 624) << true;
    }
    void placement()
    {
        QFETCH(QRect, available);
        QFETCH(QSize, storedSize);
        QFETCH(QPoint, storedPos);
        QFETCH(QRect, expected);
        QFETCH(bool, replaced);
        const WindowPlacement placement = chooseWindowPlacement(available, storedSize, storedPos);
        QCOMPARE(placement.geometry, expected);
        QCOMPARE(placement.replacesStored, replaced);
    }

    void geometryIsStoredAtOnceAndComesBack()
    {
        {
            MainWindow window;
            const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
            const QSize expected(available.width() * 3 / 5, available.height() * 3 / 5);
            QCOMPARE(window.size(), expected);
            QCOMPARE(readSetting(store(), Keys::windowSize), expected); // the first start writes it at once
            window.show();
            window.resize(820, 560);
            window.move(30, 20);
            QVERIFY(window.close());
        }
        {
            QSettings settings = store();
            QCOMPARE(readSetting(settings, Keys::windowSize), QSize(820, 560));
            writeSetting(settings, Keys::windowAlwaysOnTop, true);
            writeSetting(settings, Keys::audioVolume, 65);
        }
        MainWindow reopened;
        QCOMPARE(reopened.size(), QSize(820, 560));
        QCOMPARE(reopened.pos(), readSetting(store(), Keys::windowPos));
        QVERIFY(reopened.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(reopened.windowFlags().testFlag(Qt::FramelessWindowHint));
        // Never shown, so its engine never started: the engine's default is not the user's volume.
        QVERIFY(reopened.close());
        QCOMPARE(readSetting(store(), Keys::audioVolume), 65);
    }

    // Dropped before the engine is up (no GL context before the window is shown): local files wait
    // and then play in order, missing ones and links are left out.
    void droppedFilesWaitForTheEngineThenPlayInOrder()
    {
        MainWindow window;
        const QStringList clips{TestMedia::path(QStringLiteral("clip_320x240.mp4")),
                                TestMedia::path(QStringLiteral("surround_51.mkv"))};
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QStringLiteral("/nonexistent.mkv")), QUrl::fromLocalFile(clips.first()),
                      QUrl(QStringLiteral("https://example.org/watch?v=1")), QUrl::fromLocalFile(clips.last())});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &drop);
        QVERIFY(!window.videoSurface()->isInitialized());

        window.show();
        MpvCore *core = window.videoSurface()->core();
        QTRY_COMPARE_WITH_TIMEOUT(core->currentPath(), clips.first(), 10000);
        QCOMPARE(core->getMpvProperty(QStringLiteral("playlist-count")).toInt(), 2);
        QCOMPARE(core->getMpvProperty(QStringLiteral("playlist/1/filename")).toString(), clips.last());
        QVERIFY(!window.videoSurface()->isLogoVisible());
    }

    // Each failure is said, the window returns to idle instead of staying black, and the next
    // file still plays. A stream address alone is played, not refused.
    void unplayableInputIsReportedAndTheNextFilePlays()
    {
        MainWindow window;
        window.show();
        QTRY_VERIFY(window.videoSurface()->isInitialized());
        window.openFiles({QStringLiteral("/nonexistent.mkv")});
        QCOMPARE(window.osd()->text(), QStringLiteral("파일을 찾을 수 없습니다: nonexistent.mkv"));
        window.openFiles({QDir::tempPath()});
        QVERIFY(window.osd()->text().startsWith(QStringLiteral("폴더는 열 수 없습니다: ")));

        const QString url = QStringLiteral("http://127.0.0.1:9/stream.mp4"); // nothing answers there
        // Refused at once by the address, so the attempt may already be over here.
        window.openFiles({QStringLiteral("/nonexistent.mkv"), url});
        QTRY_VERIFY_WITH_TIMEOUT(window.osd()->text().startsWith(kUnplayable), 10000);
        QVERIFY(window.videoSurface()->isLogoVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("Velmoran"));

        window.osd()->showMessage(QString(), 1);
        window.openFiles({TestMedia::path(QStringLiteral("truncated.mp4"))});
        QTRY_VERIFY_WITH_TIMEOUT(window.osd()->text().startsWith(kUnplayable), 10000);
        QVERIFY(window.videoSurface()->isLogoVisible());
        QVERIFY(window.controlsVisible());

        window.openFiles({TestMedia::path(QStringLiteral("clip_320x240.mp4"))});
        QTRY_COMPARE(window.windowTitle(), QStringLiteral("Velmoran — clip_320x240.mp4"));
        QVERIFY(!window.videoSurface()->isLogoVisible());
    }

    // Leaving a file for another keeps its place under its own name; a close before the next
    // file has loaded (here: never will) stores nothing under the next name, although the engine
    // goes on reporting the old file meanwhile. Relative names are remembered absolute. Started
    // without files and with auto-resume on, the player takes up the last one where it was left.
    void thePlaceInAFileIsKeptAndTakenUpAgain()
    {
        const QString film = TestMedia::path(QStringLiteral("clip_100s.mp4"));
        const QString broken = TestMedia::path(QStringLiteral("truncated.mp4"));
        const QString startFolder = QDir::currentPath();
        QDir::setCurrent(QFileInfo(film).absolutePath());
        {
            MainWindow window;
            window.show();
            window.openFiles({QStringLiteral("clip_100s.mp4")});
            MpvCore *core = window.videoSurface()->core();
            QTRY_COMPARE_WITH_TIMEOUT(window.windowTitle(), QStringLiteral("Velmoran — clip_100s.mp4"), 10000);
            QDir::setCurrent(startFolder);
            core->seek(40);
            QTRY_VERIFY_WITH_TIMEOUT(core->position() >= 40, 5000);
            QTest::qWait(300); // the window learns positions from the engine's reports, not by asking
            window.openFiles({broken});
            QTRY_VERIFY_WITH_TIMEOUT(window.osd()->text().startsWith(kUnplayable), 10000);
            QVERIFY(window.close());
        }
        const double stored = store().value(Keys::resumeKey(film)).toDouble();
        QVERIFY2(stored >= 40 && stored < 45, qPrintable(QString::number(stored)));
        QVERIFY(!store().contains(Keys::resumeKey(broken)));
        QCOMPARE(readSetting(store(), Keys::recentFiles), QStringList{film});

        QVERIFY(!MainWindow().resumeLastFile()); // auto-resume is off by default
        {
            QSettings settings = store();
            writeSetting(settings, Keys::audioVolume, 65);
            writeSetting(settings, Keys::generalResume, true);
        }
        MainWindow reopened;
        reopened.show();
        QVERIFY(reopened.resumeLastFile());
        QTRY_VERIFY_WITH_TIMEOUT(reopened.videoSurface()->core()->position() >= stored - 1, 10000);
        QCOMPARE(reopened.videoSurface()->core()->volume(), 65);
        QCOMPARE(reopened.titleBar()->title(), QStringLiteral("clip_100s.mp4"));
    }

    // Saved processing is in the engine from the start, without the panel that edits it.
    void savedRoomCorrectionIsActiveAtStart()
    {
        {
            QSettings settings = store();
            // Any short stereo recording serves as an impulse response.
            writeSetting(settings, Keys::audioAdvancedIrPath, TestMedia::path(QStringLiteral("tone_1k.wav")));
            writeSetting(settings, Keys::audioAdvancedConvEnabled, true);
        }
        MainWindow window;
        window.show();
        QTRY_VERIFY(window.videoSurface()->isInitialized());
        QTRY_VERIFY(!window.videoSurface()->core()->audioFilter(AudioFilterSlot::RoomCorrection).isEmpty());
    }
};

QTEST_MAIN(WindowStateTest)
#include "tst_window_state.moc"
