#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/WindowPlacement.h"
#include "TestMedia.h"
#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "ui/controls/ControlBar.h"
#include "ui/controls/OsdWidget.h"
#include "ui/controls/TitleBar.h"

#include <QDataStream>
#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace Keys = SettingsKeys;

class WindowStateTest : public QObject
{
    Q_OBJECT

    static QSettings store()
    {
        return QSettings(QLatin1StringView(AppIdentity::kOrganisation),
                         QLatin1StringView(AppIdentity::kSettingsApplication));
    }

private slots:
    void init() { store().clear(); }

    void placement_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QSize>("storedSize");
        QTest::addColumn<QPoint>("storedPos");
        QTest::addColumn<QRect>("expected");
        QTest::addColumn<bool>("replaced");
        const QRect qhd(0, 0, 2560, 1440);
        const QRect fhd(0, 0, 1920, 1080);
        const QRect fhdDefault(384, 216, 1152, 648);
        QTest::newRow("first start") << qhd << QSize() << QPoint(-1, -1) << QRect(512, 288, 1536, 864) << true;
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

    void firstStartWritesTheDefaultAtOnce()
    {
        {
            QSettings settings = store();
            writeSetting(settings, Keys::audioVolume, 65);
        }
        MainWindow window;
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        const QSize expected(available.width() * 3 / 5, available.height() * 3 / 5);
        QCOMPARE(window.size(), expected);
        const QSettings settings = store();
        QCOMPARE(readSetting(settings, Keys::windowSize), expected);
        QCOMPARE(readSetting(settings, Keys::windowPos), window.pos());
        QCOMPARE(window.windowTitle(), QStringLiteral("Velmoran"));
        QCOMPARE(window.minimumSize(), QSize(800, 540));
        QVERIFY(window.windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(!window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));

        // Never shown, so the engine never started: its default is not the user's volume.
        QVERIFY(window.close());
        QCOMPARE(readSetting(store(), Keys::audioVolume), 65);
    }

    void closingStoresGeometryAndItComesBack()
    {
        {
            MainWindow window;
            window.show();
            window.resize(820, 560);
            window.move(30, 20);
            QVERIFY(window.close());
        }
        {
            auto settings = store();
            QCOMPARE(readSetting(settings, Keys::windowSize), QSize(820, 560));
            writeSetting(settings, Keys::windowAlwaysOnTop, true);
        }
        MainWindow reopened;
        QCOMPARE(reopened.size(), QSize(820, 560));
        QCOMPARE(reopened.pos(), readSetting(store(), Keys::windowPos));
        QVERIFY(reopened.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(reopened.windowFlags().testFlag(Qt::FramelessWindowHint));
    }

    void filesWaitForTheEngineThenPlayInOrder()
    {
        MainWindow window;
        const QString first = TestMedia::path(QStringLiteral("clip_320x240.mp4"));
        const QString second = TestMedia::path(QStringLiteral("chapters_3.mkv"));
        // Before the window is shown there is no GL context, hence no engine yet.
        window.openFiles({QStringLiteral("/nonexistent.mkv"), first, QStringLiteral("https://example.org/v"), second});
        QVERIFY(!window.videoSurface()->isInitialized());
        window.show();
        MpvCore *core = window.videoSurface()->core();
        QTRY_COMPARE_WITH_TIMEOUT(core->currentPath(), first, 10000);
        QCOMPARE(core->getMpvProperty(QStringLiteral("playlist-count")).toInt(), 2);
        QVERIFY(!window.videoSurface()->isLogoVisible());
    }

    void droppedFilesPlayAndLinksAreIgnored()
    {
        MainWindow window;
        window.show();
        MpvCore *core = window.videoSurface()->core();
        QTRY_VERIFY(window.videoSurface()->isInitialized());
        const QStringList clips{TestMedia::path(QStringLiteral("clip_320x240.mp4")),
                                TestMedia::path(QStringLiteral("chapters_3.mkv")),
                                TestMedia::path(QStringLiteral("surround_51.mkv"))};
        QMimeData data;
        QList<QUrl> urls;
        for (const QString &clip : clips)
            urls << QUrl::fromLocalFile(clip);
        urls << QUrl(QStringLiteral("https://example.org/watch?v=1"));
        data.setUrls(urls);

        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &drop);

        QTRY_COMPARE_WITH_TIMEOUT(core->currentPath(), clips.first(), 10000);
        QCOMPARE(core->getMpvProperty(QStringLiteral("playlist-count")).toInt(), 3);
        QCOMPARE(core->getMpvProperty(QStringLiteral("playlist/2/filename")).toString(), clips.last());
    }

    void aStreamAddressAloneIsPlayed()
    {
        MainWindow window;
        window.show();
        QTRY_VERIFY(window.videoSurface()->isInitialized());
        const QString url = QStringLiteral("http://127.0.0.1:9/stream.mp4");
        window.openFiles({QStringLiteral("/nonexistent.mkv"), url});
        QVERIFY(!window.videoSurface()->isLogoVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("Velmoran — ") + url);
        // Nothing answers there: the window says so and returns to idle instead of staying black.
        QTRY_VERIFY_WITH_TIMEOUT(window.osd()->text().startsWith(QStringLiteral("재생할 수 없는 미디어입니다")), 10000);
        QVERIFY(window.videoSurface()->isLogoVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("Velmoran"));
    }

    void unplayableInputIsReportedAndTheNextFilePlays()
    {
        MainWindow window;
        window.show();
        QTRY_VERIFY(window.videoSurface()->isInitialized());
        window.openFiles({QStringLiteral("/nonexistent.mkv")});
        QCOMPARE(window.osd()->text(), QStringLiteral("파일을 찾을 수 없습니다: nonexistent.mkv"));
        window.openFiles({QDir::tempPath()});
        QVERIFY(window.osd()->text().startsWith(QStringLiteral("폴더는 열 수 없습니다: ")));

        window.openFiles({TestMedia::path(QStringLiteral("truncated.mp4"))});
        QTRY_VERIFY_WITH_TIMEOUT(window.osd()->text().startsWith(QStringLiteral("재생할 수 없는 미디어입니다")), 10000);
        QVERIFY(window.videoSurface()->isLogoVisible());
        QVERIFY(window.controlsVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("Velmoran"));

        window.openFiles({TestMedia::path(QStringLiteral("clip_320x240.mp4"))});
        QTRY_COMPARE(window.windowTitle(), QStringLiteral("Velmoran — clip_320x240.mp4"));
        QVERIFY(!window.videoSurface()->isLogoVisible());
    }

    void controlsHideWhilePlayingAndReturnOnMovement()
    {
        MainWindow window;
        window.show();
        window.openFiles({TestMedia::path(QStringLiteral("clip_100s.mp4"))});
        MpvCore *core = window.videoSurface()->core();
        QTRY_VERIFY_WITH_TIMEOUT(core->position() > 0.2, 10000);
        QVERIFY(window.controlsVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!window.controlsVisible(), 5000);
        QVERIFY(!window.controlBar()->isVisible());
        QCOMPARE(window.videoSurface()->cursor().shape(), Qt::BlankCursor);

        QMouseEvent move(QEvent::MouseMove, QPointF(50, 50), QPointF(50, 50), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(window.videoSurface(), &move);
        QVERIFY(window.controlsVisible());
        QVERIFY(window.controlBar()->isVisible());
        QCOMPARE(window.videoSurface()->cursor().shape(), Qt::ArrowCursor);

        // Paused video keeps its controls.
        core->pause();
        QTRY_VERIFY(core->isPaused());
        QTest::qWait(3500);
        QVERIFY(window.controlsVisible());
    }

    void closingRemembersWhereAFileWasLeft()
    {
        const QString clip = TestMedia::path(QStringLiteral("clip_100s.mp4"));
        {
            MainWindow window;
            window.show();
            window.openFiles({clip});
            MpvCore *core = window.videoSurface()->core();
            // The title changes once the window itself has taken in the loaded file.
            QTRY_COMPARE_WITH_TIMEOUT(window.windowTitle(), QStringLiteral("Velmoran — clip_100s.mp4"), 10000);
            core->seek(40);
            QTRY_VERIFY_WITH_TIMEOUT(core->position() >= 40, 5000);
            QTest::qWait(300); // the window learns positions from the engine's reports, not by asking
            QVERIFY(window.close());
        }
        const double stored = store().value(SettingsKeys::resumeKey(clip)).toDouble();
        QVERIFY2(stored >= 40 && stored < 45, qPrintable(QString::number(stored)));
        QCOMPARE(readSetting(store(), SettingsKeys::recentFiles), QStringList{clip});

        QVERIFY(!MainWindow().resumeLastFile()); // auto-resume is off by default
        {
            QSettings settings = store();
            writeSetting(settings, SettingsKeys::audioVolume, 65);
            writeSetting(settings, SettingsKeys::generalResume, true);
        }
        // Started without files, the player takes up the last one where it was left.
        MainWindow reopened;
        reopened.show();
        QVERIFY(reopened.resumeLastFile());
        QTRY_VERIFY_WITH_TIMEOUT(reopened.videoSurface()->core()->position() >= stored - 1, 10000);
        QCOMPARE(reopened.videoSurface()->core()->volume(), 65);
        QCOMPARE(reopened.titleBar()->title(), QStringLiteral("clip_100s.mp4"));
    }

    // Leaving a file for another keeps its place under its own name; a close before the next
    // file has loaded (here: never will) stores nothing under the next name, although the engine
    // goes on reporting the old file meanwhile. Relative names are remembered absolute.
    void switchingFilesKeepsThePlaceOfTheFileLeft()
    {
        const QString film = TestMedia::path(QStringLiteral("clip_100s.mp4"));
        const QString broken = TestMedia::path(QStringLiteral("truncated.mp4"));
        const QString startFolder = QDir::currentPath();
        QDir::setCurrent(QFileInfo(film).absolutePath());
        MainWindow window;
        window.show();
        window.openFiles({QStringLiteral("clip_100s.mp4")});
        MpvCore *core = window.videoSurface()->core();
        QTRY_COMPARE_WITH_TIMEOUT(window.windowTitle(), QStringLiteral("Velmoran — clip_100s.mp4"), 10000);
        QDir::setCurrent(startFolder);
        core->seek(40);
        QTRY_VERIFY_WITH_TIMEOUT(core->position() >= 40, 5000);
        QTest::qWait(300); // the window learns positions from the engine's reports
        window.openFiles({broken});
        QTRY_VERIFY_WITH_TIMEOUT(window.osd()->text().startsWith(QStringLiteral("재생할 수 없는 미디어입니다")), 10000);
        QVERIFY(window.close());
        const double stored = store().value(SettingsKeys::resumeKey(film)).toDouble();
        QVERIFY2(stored >= 40 && stored < 45, qPrintable(QString::number(stored)));
        QVERIFY(!store().contains(SettingsKeys::resumeKey(broken)));
        QCOMPARE(readSetting(store(), SettingsKeys::recentFiles), QStringList{film});
    }

    // Saved processing is in the engine from the start, without the panel that edits it.
    void savedRoomCorrectionIsActiveAtStart()
    {
        QTemporaryDir folder;
        const QString ir = folder.filePath(QStringLiteral("room.wav"));
        QFile wav(ir);
        QVERIFY(wav.open(QIODevice::WriteOnly));
        QByteArray samples(2 * 480, '\0');
        samples[0] = char(0xff); // one impulse, 16-bit mono at 48 kHz: 0x7fff
        samples[1] = char(0x7f);
        QDataStream out(&wav);
        out.setByteOrder(QDataStream::LittleEndian);
        out.writeRawData("RIFF", 4);
        out << quint32(36 + samples.size());
        out.writeRawData("WAVEfmt ", 8);
        out << quint32(16) << quint16(1) << quint16(1) << quint32(48000) << quint32(96000) << quint16(2)
            << quint16(16);
        out.writeRawData("data", 4);
        out << quint32(samples.size());
        out.writeRawData(samples.constData(), int(samples.size()));
        wav.close();
        {
            QSettings settings = store();
            writeSetting(settings, Keys::audioAdvancedIrPath, ir);
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
