// The player window driven the way a user drives it: keys, the context menu, the frameless
// border, the surround suggestion, with the real engine playing generated clips.
#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "mainwindow/MainWindow.h"
#include "mainwindow/MultichannelDialog.h"
#include "mainwindow/WindowEdges.h"
#include "ShownText.h"
#include "TestMedia.h"
#include "ui/controls/MediaInfoOverlay.h"
#include "ui/controls/OsdWidget.h"
#include "ui/controls/ProFeaturesWidget.h"
#include "ui/controls/TitleBar.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QCheckBox>
#include <QWheelEvent>

namespace Keys = SettingsKeys;

namespace {
QSettings store()
{
    return QSettings(QLatin1StringView(AppIdentity::kOrganisation), QLatin1StringView(AppIdentity::kSettingsApplication));
}

// Modal dialogs run their own event loop; this closes the ones of one kind as they appear and
// counts them, so a test never waits inside a dialog nobody answers.
template <typename Dialog>
class ModalCloser
{
public:
    ModalCloser()
    {
        timer_.setInterval(50);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget())) {
                ++count_;
                dialog->reject();
            }
        });
        timer_.start();
    }
    int count() const { return count_; }

private:
    QTimer timer_;
    int count_ = 0;
};

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

void sendMouse(QWidget *target, QEvent::Type type, const QPoint &windowPos, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    const QPoint global = target->window()->mapToGlobal(windowPos);
    QMouseEvent event(type, target->mapFromGlobal(global), global, button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}
} // namespace

class WindowCommandsTest : public QObject
{
    Q_OBJECT

    // A window playing `clip`, paused at `at` seconds so positions hold still.
    static void openPausedAt(MainWindow &window, const QString &clip, double at)
    {
        window.show();
        window.openFiles({TestMedia::path(clip)});
        MpvCore *core = window.videoSurface()->core();
        // The title changes when the window itself has taken in the loaded file.
        QTRY_COMPARE_WITH_TIMEOUT(window.windowTitle(), QStringLiteral("Velmoran — ") + clip, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(core->duration() > 0, 5000);
        core->pause();
        QTRY_VERIFY(core->isPaused());
        core->seek(at);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(core->position() - at) < 0.5, 5000);
    }

private slots:
    void init() { store().clear(); }

    void seekVolumeAndStopKeys()
    {
        MainWindow window;
        openPausedAt(window, QStringLiteral("clip_100s.mp4"), 80);
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
        QTRY_COMPARE(core->volume(), 200);
        QTest::keyClick(&window, Qt::Key_Up);
        QTest::qWait(100);
        QCOMPARE(core->volume(), 200);
        core->setVolume(3);
        QTRY_COMPARE(core->volume(), 3);
        QTest::keyClick(&window, Qt::Key_Down);
        QTRY_COMPARE(core->volume(), 0);

        // The wheel over the picture steps the volume too, within the same bounds.
        QWheelEvent wheel(QPointF(50, 50), window.videoSurface()->mapToGlobal(QPointF(50, 50)), QPoint(),
                          QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(window.videoSurface(), &wheel);
        QTRY_COMPARE(core->volume(), 5);

        QTest::mouseDClick(window.videoSurface(), Qt::LeftButton);
        QVERIFY(window.isFullscreenMode());
        QTest::mouseDClick(window.videoSurface(), Qt::LeftButton);
        QVERIFY(!window.isFullscreenMode());

        QSignalSpy stopped(core, &MpvCore::playbackStopped);
        QTest::keyClick(&window, Qt::Key_S);
        QTRY_COMPARE_WITH_TIMEOUT(stopped.count(), 1, 5000);
        QCOMPARE(window.windowTitle(), QStringLiteral("Velmoran"));
    }

    void togglesShowTheirMessagesAndReturnToTheStart()
    {
        MainWindow window;
        openPausedAt(window, QStringLiteral("clip_320x240.mp4"), 1);
        MpvCore *core = window.videoSurface()->core();
        const QString loopBefore = core->propertyText(QStringLiteral("loop-file"));

        QTest::keyClick(&window, Qt::Key_R);
        QTRY_COMPARE(core->propertyText(QStringLiteral("loop-file")), QStringLiteral("inf"));
        QCOMPARE(window.osd()->text(), QStringLiteral("반복: 활성화"));
        QTest::keyClick(&window, Qt::Key_R);
        QTRY_COMPARE(core->propertyText(QStringLiteral("loop-file")), loopBefore);
        QCOMPARE(window.osd()->text(), QStringLiteral("반복: 해제"));

        QTest::keyClick(&window, Qt::Key_X);
        QTRY_COMPARE(core->propertyText(QStringLiteral("shuffle")), QStringLiteral("yes"));
        QCOMPARE(window.osd()->text(), QStringLiteral("셔플: 활성화"));

        // The key and the title bar's pin move the flag, the pin and the stored choice together.
        for (const bool byKey : {true, false, true}) {
            const bool wasOnTop = window.titleBar()->isPinned();
            byKey ? QTest::keyClick(&window, Qt::Key_T) : window.titleBar()->pinButton()->click();
            QCOMPARE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint), !wasOnTop);
            QCOMPARE(window.titleBar()->isPinned(), !wasOnTop);
            QCOMPARE(readSetting(store(), Keys::windowAlwaysOnTop), !wasOnTop);
        }
        QCOMPARE(window.osd()->text(), QStringLiteral("항상 위에: 활성화"));

        auto speed = [core] { return core->getMpvProperty(QStringLiteral("speed")).toDouble(); };
        QTest::keyClick(&window, Qt::Key_Plus);
        QTRY_COMPARE(speed(), 1.1);
        QCOMPARE(window.osd()->text(), QStringLiteral("속도  x1.10"));
        QTest::keyClick(&window, Qt::Key_0);
        QTRY_COMPARE(speed(), 1.0);
        QTest::keyClick(&window, Qt::Key_Greater);
        QTRY_COMPARE(speed(), 1.25);
        for (int i = 0; i < 8; ++i)
            QTest::keyClick(&window, Qt::Key_Less);
        QCOMPARE(window.proPanel()->speed(), 0.25);
        QTRY_COMPARE(speed(), 0.25);

        QTest::keyClick(&window, Qt::Key_D, Qt::ShiftModifier);
        QTRY_VERIFY(qAbs(core->getMpvProperty(QStringLiteral("audio-delay")).toDouble() + 0.1) < 1e-6);

        // Escape leaves fullscreen only; outside it changes nothing.
        const QRect before = window.geometry();
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isFullscreenMode());
        QCOMPARE(window.geometry(), before);
        QTest::keyClick(&window, Qt::Key_F);
        QVERIFY(window.isFullscreenMode());
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isFullscreenMode());
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
        openPausedAt(window, QStringLiteral("clip_320x240.mp4"), 1);

        QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
        QTRY_COMPARE_WITH_TIMEOUT(folder.entryList({QStringLiteral("Velmoran_*.png")}).size(), 1, 5000);
        QCOMPARE(window.osd()->text(), QStringLiteral("화면 캡처 저장"));
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
        QCOMPARE(QApplication::focusWidget(), edit);

        QTest::keyClick(edit, Qt::Key_Tab);
        QVERIFY(!window.mediaInfo()->isHidden());
        QCOMPARE(QApplication::focusWidget(), edit); // consumed before focus navigation
        // Shift+Tab is not the panel's key and still moves the focus.
        QTest::keyClick(edit, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), other);
    }

    void contextMenuFollowsThePlayerState()
    {
        MainWindow window;
        window.show();
        QTRY_VERIFY(window.videoSurface()->isInitialized());
        const QSize sizeBefore = window.size();
        // Idle, the window keeps its controls (the engine's first "unpaused" is no playback).
        QTest::qWait(3500);
        QVERIFY(window.controlsVisible());

        QMenu *menu = openContextMenu(window);
        QVERIFY(menu);
        QAction *play = findAction(menu, QStringLiteral("재생"));
        QVERIFY(play && !play->isEnabled());
        QVERIFY(!findAction(menu, QStringLiteral("정지"))->isEnabled());
        QMenu *recent = findAction(menu, QStringLiteral("최근 파일"))->menu();
        QCOMPARE(recent->actions().size(), 1);
        QCOMPARE(recent->actions().first()->text(), QStringLiteral("최근 파일 없음"));
        QMenu *audio = findAction(menu, QStringLiteral("오디오 트랙"))->menu();
        QCOMPARE(audio->actions().first()->text(), QStringLiteral("트랙 없음"));
        // Without a video there is nothing to size the window to.
        findAction(findAction(menu, QStringLiteral("화면 크기"))->menu(), QStringLiteral("100%  (1)"))->trigger();
        QCOMPARE(window.size(), sizeBefore);
        menu->close();

        // A name is shown as spelled: "&" is no shortcut marker, tags are no markup.
        {
            QSettings settings = store();
            writeSetting(settings, Keys::recentFiles, QStringList{QStringLiteral("/m/Tom & Jerry <b>2020.mkv")});
        }
        menu = openContextMenu(window);
        QAction *entry = findAction(menu, QStringLiteral("최근 파일"))->menu()->actions().first();
        QCOMPARE(entry->text(), QStringLiteral("Tom && Jerry <b>2020.mkv"));
        QCOMPARE(shownToolTip(entry->toolTip()), QStringLiteral("/m/Tom & Jerry <b>2020.mkv"));
        menu->close();

        openPausedAt(window, QStringLiteral("tracks.mkv"), 1);
        menu = openContextMenu(window);
        play = findAction(menu, QStringLiteral("재생"));
        QVERIFY(play && play->isEnabled());
        QVERIFY(findAction(menu, QStringLiteral("정지"))->isEnabled());
        audio = findAction(menu, QStringLiteral("오디오 트랙"))->menu();
        QCOMPARE(audio->actions().first()->text(), QStringLiteral("[1] eng - Main (ac3)"));
        audio->actions().at(1)->trigger();
        QTRY_COMPARE(window.videoSurface()->core()->getMpvProperty(QStringLiteral("aid")).toInt(), 2);
        findAction(findAction(menu, QStringLiteral("재생 속도"))->menu(), QStringLiteral("1.5x  (빠르게)"))->trigger();
        QTRY_COMPARE(window.videoSurface()->core()->getMpvProperty(QStringLiteral("speed")).toDouble(), 1.5);

        recent = findAction(menu, QStringLiteral("최근 파일"))->menu();
        QCOMPARE(shownToolTip(recent->actions().first()->toolTip()), TestMedia::path(QStringLiteral("tracks.mkv")));
        findAction(recent, QStringLiteral("목록 지우기"))->trigger();
        QVERIFY(readSetting(store(), Keys::recentFiles).isEmpty());
        menu->close();

        window.videoSurface()->core()->play();
        QTRY_VERIFY(!window.videoSurface()->core()->isPaused());
        menu = openContextMenu(window);
        QVERIFY(findAction(menu, QStringLiteral("일시정지")));
        menu->close();
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
        MpvCore *core = window.videoSurface()->core();
        QTRY_COMPARE_WITH_TIMEOUT(suggestions.count(), 1, 10000);
        // The engine may describe the format again; the user is not asked twice for one load.
        emit core->audioFormatChanged(QStringLiteral("ac3"), 6, 48000, QString());
        QTest::qWait(300);
        QCOMPARE(suggestions.count(), 1);

        window.openFiles({surround});
        QTRY_COMPARE_WITH_TIMEOUT(suggestions.count(), 2, 10000);
    }

    void noSurroundSuggestionInExclusiveMode()
    {
        ModalCloser<MultichannelDialog> suggestions;
        MainWindow window;
        window.show();
        window.openFiles({TestMedia::path(QStringLiteral("surround_51.mkv"))});
        MpvCore *core = window.videoSurface()->core();
        QTRY_VERIFY_WITH_TIMEOUT(core->position() > 0.5, 10000);
        QCOMPARE(suggestions.count(), 0);
    }

    // Back from a split view, the player's own video is on its page again, not a black one.
    void multiViewGivesTheVideoBack()
    {
        MainWindow window;
        openPausedAt(window, QStringLiteral("clip_320x240.mp4"), 0.5);
        MpvWidget *surface = window.videoSurface();
        QWidget *page = surface->parentWidget();
        window.toggleMultiView(MultiViewLayout::DualHorizontal);
        QVERIFY(surface->parentWidget() != page && surface->isVisible());
        window.toggleMultiView(MultiViewLayout::Single);
        QCOMPARE(surface->parentWidget(), page);
        QVERIFY(surface->isVisible());
        QVERIFY(page->isVisible());
    }

    // While the 360° view is on, a drag over the picture turns it with the pointer and the wheel
    // zooms instead of changing the volume.
    void dragAndWheelSteerThe360View()
    {
        MainWindow window;
        openPausedAt(window, QStringLiteral("clip_320x240.mp4"), 0.5);
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
        QCOMPARE(turned.yaw / turned.pitch, 2.0); // as far as the pointer went each way

        QWheelEvent wheel(QPointF(50, 50), surface->mapToGlobal(QPointF(50, 50)), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(surface, &wheel);
        QVERIFY(core->vr360View()->fov < turned.fov);
        QTest::qWait(100);
        QCOMPARE(core->volume(), volume);

        vr->setChecked(false);
        QVERIFY(!core->isVr360Enabled());
        QCoreApplication::sendEvent(surface, &wheel);
        QTRY_VERIFY(core->volume() != volume);
    }

    void statisticsTabListsPlayedFiles()
    {
        MainWindow window;
        openPausedAt(window, QStringLiteral("clip_320x240.mp4"), 0.5);
        window.toggleProFeatures();
        QVERIFY(window.proPanel()->isVisible());
        auto *table = window.proPanel()->findChild<QTableWidget *>();
        QVERIFY(table);
        QCOMPARE(table->rowCount(), 1);
        QCOMPARE(table->item(0, 0)->text(), QStringLiteral("clip_320x240.mp4"));
        QCOMPARE(table->item(0, 1)->text(), QStringLiteral("1회"));
        window.toggleProFeatures();
        QVERIFY(!window.proPanel()->isVisible());
    }

    void finishedOrBarelyStartedFilesKeepNoResumePosition()
    {
        const QString clip = TestMedia::path(QStringLiteral("clip_100s.mp4"));
        {
            MainWindow window;
            openPausedAt(window, QStringLiteral("clip_100s.mp4"), 97);
            QTest::qWait(300);
            QVERIFY(window.close());
        }
        QVERIFY(!store().contains(Keys::resumeKey(clip)));
        {
            MainWindow window;
            openPausedAt(window, QStringLiteral("clip_100s.mp4"), 4);
            QTest::qWait(300);
            QVERIFY(window.close());
        }
        QVERIFY(!store().contains(Keys::resumeKey(clip)));
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
        const WindowEdge edge = edgeAt(start.size(), pointer);
        QCOMPARE(resizedGeometry(edge, start, travel, QSize(800, 540)), edge == WindowEdge::None ? start : expected);
    }
};

QTEST_MAIN(WindowCommandsTest)
#include "tst_window_commands.moc"
