// The player window driven the way a user drives it: keys, the context menu, the frameless
// border, the surround suggestion (and its dialog's rules), with the real engine playing
// generated clips.
#include "WindowKit.h"
#include "app/SettingsKeys.h"
#include "FakeEngineSession.h"
#include "mainwindow/MultichannelDialog.h"
#include "mainwindow/WindowEdges.h"
#include "ShownText.h"
#include "ui/controls/MediaInfoOverlay.h"
#include "ui/controls/OsdWidget.h"
#include "ui/controls/ProFeaturesWidget.h"
#include "ui/controls/TitleBar.h"

#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWheelEvent>

namespace Keys = SettingsKeys;

namespace {
QAction *findAction(const QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

QMenu *openContextMenu(MainWindow &window)
{
    window.showContextMenu(window.mapToGlobal(QPoint(200, 200)));
    return qobject_cast<QMenu *>(QApplication::activePopupWidget());
}

void wheelUp(QWidget *target)
{
    QWheelEvent wheel(QPointF(50, 50), target->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(target, &wheel);
}
} // namespace

class WindowCommandsTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { store().clear(); }

    void seekVolumeAndStopKeys()
    {
        MainWindow window;
        QVERIFY(openPausedAt(window, QStringLiteral("clip_100s.mp4"), 80));
        MpvCore *core = window.videoSurface()->core();

        QTest::keyClick(&window, Qt::Key_Left, Qt::ShiftModifier | Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(core->position() - 20) < 0.5, 5000);
        QTest::keyClick(&window, Qt::Key_Right, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(core->position() - 30) < 0.5, 5000);
        QTest::keyClick(&window, Qt::Key_Home);
        QTRY_VERIFY_WITH_TIMEOUT(core->position() < 0.5, 5000);

        // Volume writes reach the engine asynchronously; each step waits for the last one.
        core->setVolume(198);
        QTRY_COMPARE(core->volume(), 198);
        QTest::keyClick(&window, Qt::Key_Up);
        QTest::keyClick(&window, Qt::Key_Up);
        QTRY_COMPARE(core->volume(), 200);
        core->setVolume(3);
        QTRY_COMPARE(core->volume(), 3);
        QTest::keyClick(&window, Qt::Key_Down);
        QTRY_COMPARE(core->volume(), 0);
        wheelUp(window.videoSurface()); // the wheel over the picture steps the volume too
        QTRY_COMPARE(core->volume(), 5);

        QTest::mouseDClick(window.videoSurface(), Qt::LeftButton);
        QVERIFY(window.isFullscreenMode());
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isFullscreenMode());
        const QRect before = window.geometry();
        QTest::keyClick(&window, Qt::Key_Escape); // outside fullscreen it changes nothing
        QCOMPARE(window.geometry(), before);
        QTest::keyClick(&window, Qt::Key_F);
        QVERIFY(window.isFullscreenMode());
        QTest::mouseDClick(window.videoSurface(), Qt::LeftButton);
        QVERIFY(!window.isFullscreenMode());

        QSignalSpy stopped(core, &MpvCore::playbackStopped);
        QTest::keyClick(&window, Qt::Key_S);
        QTRY_COMPARE_WITH_TIMEOUT(stopped.count(), 1, 5000);
        QCOMPARE(window.windowTitle(), QStringLiteral("Velmoran"));
    }

    void togglesShowTheirMessages()
    {
        MainWindow window;
        QVERIFY(openPausedAt(window, QStringLiteral("clip_320x240.mp4"), 1));
        MpvCore *core = window.videoSurface()->core();
        QTest::keyClick(&window, Qt::Key_R);
        QTRY_COMPARE(core->propertyText(QStringLiteral("loop-file")), QStringLiteral("inf"));
        QCOMPARE(window.osd()->text(), QStringLiteral("반복: 활성화"));

        // The key and the title bar's pin move the flag, the pin and the stored choice together.
        for (const bool byKey : {true, false}) {
            const bool wasOnTop = window.titleBar()->isPinned();
            byKey ? QTest::keyClick(&window, Qt::Key_T) : window.titleBar()->pinButton()->click();
            QCOMPARE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint), !wasOnTop);
            QCOMPARE(window.titleBar()->isPinned(), !wasOnTop);
            QCOMPARE(readSetting(store(), Keys::windowAlwaysOnTop), !wasOnTop);
        }

        // The speed keys stop at the panel's lowest speed.
        for (int i = 0; i < 8; ++i)
            QTest::keyClick(&window, Qt::Key_Less);
        QCOMPARE(window.proPanel()->speed(), 0.25);
        QTRY_COMPARE(core->getMpvProperty(QStringLiteral("speed")).toDouble(), 0.25);
        QCOMPARE(window.osd()->text(), QStringLiteral("속도  x0.25"));
    }

    void screenshotsAreSavedButOAloneOpensNothing()
    {
        QTemporaryDir shots;
        {
            QSettings settings = store();
            writeSetting(settings, Keys::generalScreenshotDir, shots.path());
        }
        MainWindow window;
        window.show();
        QTRY_VERIFY(window.videoSurface()->isInitialized());
        const QDir folder(shots.path());
        QTest::keyClick(&window, Qt::Key_C); // nothing loaded: nothing to capture, and it says so
        QCOMPARE(window.osd()->text(), QStringLiteral("캡처할 영상이 없습니다"));
        QVERIFY(openPausedAt(window, QStringLiteral("clip_320x240.mp4"), 1));

        QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
        QTRY_COMPARE_WITH_TIMEOUT(folder.entryList({QStringLiteral("Velmoran_*.png")}).size(), 1, 5000);
        QTest::keyClick(&window, Qt::Key_C);
        QTRY_COMPARE_WITH_TIMEOUT(folder.entryList({QStringLiteral("Velmoran_*.png")}).size(), 2, 5000);
        QVERIFY(!window.videoSurface()->core()->currentPath().isEmpty()); // C and Ctrl+S do not stop

        ModalCloser<QFileDialog> dialogs;
        QTest::keyClick(&window, Qt::Key_O);
        QTest::qWait(300);
        QCOMPARE(dialogs.count(), 0);
        QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(dialogs.count(), 1);
    }

    void tabTogglesTheInformationPanelEvenInADialog()
    {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QDialog dialog(&window);
        auto *edit = new QLineEdit(&dialog);
        auto *other = new QLineEdit(&dialog);
        other->move(0, 40);
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        edit->setFocus();

        QTest::keyClick(edit, Qt::Key_Tab);
        QVERIFY(!window.mediaInfo()->isHidden());
        QCOMPARE(QApplication::focusWidget(), edit); // consumed before focus navigation
        QTest::keyClick(edit, Qt::Key_Backtab, Qt::ShiftModifier); // not the panel's key
        QCOMPARE(QApplication::focusWidget(), other);
    }

    void contextMenuFollowsThePlayerState()
    {
        // A name is shown as spelled: "&" is no shortcut marker, tags are no markup.
        {
            QSettings settings = store();
            writeSetting(settings, Keys::recentFiles, QStringList{QStringLiteral("/m/Tom & Jerry <b>2020.mkv")});
        }
        MainWindow window;
        window.show();
        QTRY_VERIFY(window.videoSurface()->isInitialized());
        const QSize sizeBefore = window.size();
        // Idle, the window keeps its controls (the engine's first "unpaused" is no playback).
        QTest::qWait(3500);
        QVERIFY(window.controlsVisible());

        QMenu *menu = openContextMenu(window);
        QVERIFY(menu);
        QVERIFY(!findAction(menu, QStringLiteral("재생"))->isEnabled());
        QVERIFY(!findAction(menu, QStringLiteral("정지"))->isEnabled());
        QAction *entry = findAction(menu, QStringLiteral("최근 파일"))->menu()->actions().first();
        QCOMPARE(entry->text(), QStringLiteral("Tom && Jerry <b>2020.mkv"));
        QCOMPARE(shownToolTip(entry->toolTip()), QStringLiteral("/m/Tom & Jerry <b>2020.mkv"));
        QCOMPARE(findAction(menu, QStringLiteral("오디오 트랙"))->menu()->actions().first()->text(),
                 QStringLiteral("트랙 없음"));
        // Without a video there is nothing to size the window to.
        findAction(findAction(menu, QStringLiteral("화면 크기"))->menu(), QStringLiteral("100%  (1)"))->trigger();
        QCOMPARE(window.size(), sizeBefore);
        menu->close();

        QVERIFY(openPausedAt(window, QStringLiteral("tracks.mkv"), 1));
        menu = openContextMenu(window);
        QVERIFY(findAction(menu, QStringLiteral("재생"))->isEnabled());
        QMenu *audio = findAction(menu, QStringLiteral("오디오 트랙"))->menu();
        QCOMPARE(audio->actions().first()->text(), QStringLiteral("[1] eng - Main (ac3)"));
        audio->actions().at(1)->trigger();
        QTRY_COMPARE(window.videoSurface()->core()->getMpvProperty(QStringLiteral("aid")).toInt(), 2);

        findAction(findAction(menu, QStringLiteral("최근 파일"))->menu(), QStringLiteral("목록 지우기"))->trigger();
        QVERIFY(readSetting(store(), Keys::recentFiles).isEmpty());
        menu->close();

        window.videoSurface()->core()->play();
        QTRY_VERIFY(!window.videoSurface()->core()->isPaused());
        menu = openContextMenu(window);
        QVERIFY(findAction(menu, QStringLiteral("일시정지")));
        menu->close();
    }

    void surroundSuggestionRules()
    {
        QCOMPARE(MultichannelDialog::channelLabel(6), QStringLiteral("5.1"));
        QCOMPARE(MultichannelDialog::channelLabel(7), QStringLiteral("7ch"));
        QVERIFY(MultichannelDialog::shouldSuggest(6, false, QStringLiteral("no")));
        QVERIFY(MultichannelDialog::shouldSuggest(8, false, QString())); // property unavailable
        QVERIFY(!MultichannelDialog::shouldSuggest(5, false, QStringLiteral("no")));
        QVERIFY(!MultichannelDialog::shouldSuggest(6, true, QStringLiteral("no"))); // once per file
        QVERIFY(!MultichannelDialog::shouldSuggest(8, false, QStringLiteral("yes")));
    }

    void surroundDialogChoices()
    {
        QSettings settings = store();
        FakeEngine engine = makeFakeEngine(true);
        {
            // Enter keeps the harmless choice, which changes nothing.
            MultichannelDialog dialog(6, settings, engine.core.get(), nullptr);
            QPushButton *keep = nullptr;
            for (QPushButton *button : dialog.findChildren<QPushButton *>())
                keep = button->isDefault() ? button : keep;
            QCOMPARE(keep->text(), QStringLiteral("공유 모드 유지"));
            dialog.open();
            keep->click();
            QVERIFY(!dialog.isVisible()); // closed, as rejected
            QCOMPARE(dialog.result(), int(QDialog::Rejected));
            QVERIFY(settings.allKeys().isEmpty());
            QVERIFY(engine.fake->writes.isEmpty());
        }
        writeSetting(settings, SettingsKeys::audioExclusive, false);
        settings.sync();
        MultichannelDialog dialog(8, settings, engine.core.get(), nullptr);
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("heading"))->text(),
                 QStringLiteral("🔊  7.1 서라운드 파일이 감지되었습니다"));

        auto *exclusive = dialog.findChild<QPushButton *>(QStringLiteral("btnExclusive"));
        QVERIFY(exclusive);
        exclusive->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(readSetting(settings, SettingsKeys::audioExclusive), true);
        QCOMPARE(engine.fake->valuesWritten(QStringLiteral("audio-exclusive")), QVariantList{QStringLiteral("yes")});
        // On disk at once, not only in this process's cache.
        QFile file(settings.fileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("exclusive=true"));

        // Without an engine the choice is still kept for the next start.
        settings.clear();
        MultichannelDialog engineless(6, settings, nullptr, nullptr);
        engineless.findChild<QPushButton *>(QStringLiteral("btnExclusive"))->click();
        QVERIFY(settings.contains(QLatin1StringView(SettingsKeys::audioExclusive.name)));
    }

    void surroundSuggestionOncePerLoadInSharedMode()
    {
        {
            QSettings settings = store();
            writeSetting(settings, Keys::audioExclusive, false);
        }
        const QString surround = TestMedia::path(QStringLiteral("surround_51.mkv"));
        ModalCloser<MultichannelDialog> suggestions;
        MainWindow window;
        window.show();
        window.openFiles({surround});
        QTRY_COMPARE_WITH_TIMEOUT(suggestions.count(), 1, 10000);
        // The engine may describe the format again; the user is not asked twice for one load.
        emit window.videoSurface()->core()->audioFormatChanged(QStringLiteral("ac3"), 6, 48000, QString());
        QTest::qWait(300);
        QCOMPARE(suggestions.count(), 1);
        window.openFiles({surround});
        QTRY_COMPARE_WITH_TIMEOUT(suggestions.count(), 2, 10000);
    }

    // Back from a split view, the player's own video is on its page again, not a black one.
    void multiViewGivesTheVideoBack()
    {
        MainWindow window;
        QVERIFY(openPausedAt(window, QStringLiteral("clip_320x240.mp4"), 0.5));
        MpvWidget *surface = window.videoSurface();
        QWidget *page = surface->parentWidget();
        window.toggleMultiView(MultiViewLayout::DualHorizontal);
        QVERIFY(surface->parentWidget() != page && surface->isVisible());
        window.toggleMultiView(MultiViewLayout::Single);
        QCOMPARE(surface->parentWidget(), page);
        QVERIFY(surface->isVisible() && page->isVisible());
    }

    // While the 360° view is on, a drag over the picture turns it with the pointer and the wheel
    // zooms instead of changing the volume.
    void dragAndWheelSteerThe360View()
    {
        MainWindow window;
        QVERIFY(openPausedAt(window, QStringLiteral("clip_320x240.mp4"), 0.5));
        MpvCore *core = window.videoSurface()->core();
        window.toggleProFeatures();
        auto *vr = window.proPanel()->findChild<QCheckBox *>(QStringLiteral("vr360Check"));
        QVERIFY(vr);
        vr->setChecked(true);
        QVERIFY(core->isVr360Enabled());
        const int volume = core->volume();

        QWidget *surface = window.videoSurface();
        const QPoint from = surface->mapTo(&window, QPoint(100, 100));
        sendMouse(surface, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        sendMouse(surface, QEvent::MouseMove, from + QPoint(40, -20), Qt::NoButton, Qt::LeftButton);
        sendMouse(surface, QEvent::MouseButtonRelease, from + QPoint(40, -20), Qt::LeftButton, Qt::NoButton);
        sendMouse(surface, QEvent::MouseMove, from + QPoint(200, 200), Qt::NoButton, Qt::NoButton);
        const Vr360View turned = *core->vr360View();
        QVERIFY(turned.yaw < 0 && turned.pitch < 0); // the picture follows the pointer
        QCOMPARE(turned.yaw / turned.pitch, 2.0);    // as far as the pointer went each way

        wheelUp(surface);
        QVERIFY(core->vr360View()->fov < turned.fov);
        QTest::qWait(100);
        QCOMPARE(core->volume(), volume);
        vr->setChecked(false);
        wheelUp(surface);
        QTRY_VERIFY(core->volume() != volume);
    }

    void borderDragsResizeTheFramelessWindow()
    {
        MainWindow window;
        window.resize(1000, 700);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect start = window.geometry();

        const QPoint corner(start.width() - 2, start.height() - 2);
        QWidget *child = window.childAt(corner);
        QVERIFY(child);
        sendMouse(child, QEvent::MouseMove, corner, Qt::NoButton, Qt::NoButton);
        QCOMPARE(window.cursor().shape(), Qt::SizeFDiagCursor);
        sendMouse(child, QEvent::MouseButtonPress, corner, Qt::LeftButton, Qt::LeftButton);
        sendMouse(child, QEvent::MouseMove, corner + QPoint(40, 30), Qt::NoButton, Qt::LeftButton);
        sendMouse(child, QEvent::MouseButtonRelease, corner + QPoint(40, 30), Qt::LeftButton, Qt::NoButton);
        QTRY_COMPARE(window.size(), start.size() + QSize(40, 30));
        QCOMPARE(window.pos(), start.topLeft());
    }

    void resizeArithmetic_data()
    {
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<QPoint>("travel");
        QTest::addColumn<QRect>("expected");
        const QRect start(100, 100, 1000, 700);
        QTest::newRow("inside") << QPoint(500, 300) << QPoint(50, 50) << start;
        QTest::newRow("outside the window") << QPoint(-3, -3) << QPoint(50, 50) << start;
        QTest::newRow("left edge moves the origin") << QPoint(2, 300) << QPoint(-50, 0) << QRect(50, 100, 1050, 700);
        QTest::newRow("right edge, first pixel") << QPoint(994, 300) << QPoint(30, 0) << QRect(100, 100, 1030, 700);
        QTest::newRow("next to the right edge") << QPoint(993, 300) << QPoint(30, 0) << start;
        QTest::newRow("top-left corner") << QPoint(0, 0) << QPoint(20, 10) << QRect(120, 110, 980, 690);
        QTest::newRow("corner beats side") << QPoint(999, 5) << QPoint(10, -10) << QRect(100, 90, 1010, 710);
        QTest::newRow("stops at the minimum width only")
            << QPoint(999, 699) << QPoint(-400, 20) << QRect(100, 100, 1000, 720);
    }
    void resizeArithmetic()
    {
        QFETCH(QPoint, pointer);
        QFETCH(QPoint, travel);
        QFETCH(QRect, expected);
        const QRect start(100, 100, 1000, 700);
        QCOMPARE(resizedGeometry(edgeAt(start.size(), pointer), start, travel, QSize(800, 540)), expected);
    }
};

QTEST_MAIN(WindowCommandsTest)
#include "tst_window_commands.moc"
