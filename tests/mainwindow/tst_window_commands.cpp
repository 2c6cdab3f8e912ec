// The player window driven the way a user drives it: keys, screenshots, the frameless border,
// the 360° view and the split view, with the real engine playing generated clips; and the
// surround suggestion's rule.
#include "WindowKit.h"
#include "app/SettingsKeys.h"
#include "mainwindow/MultichannelDialog.h"
#include "mainwindow/WindowEdges.h"
#include "ui/chapters/ChapterWidget.h"
#include "ui/controls/OsdWidget.h"
#include "ui/controls/ProFeaturesWidget.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWheelEvent>

namespace Keys = SettingsKeys;

namespace {
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
        QTRY_COMPARE_WITH_TIMEOUT(folder.entryList({QStringLiteral("Velmoran_*.png")}).size(), 1, 15000);
        QTest::keyClick(&window, Qt::Key_C);
        QTRY_COMPARE_WITH_TIMEOUT(folder.entryList({QStringLiteral("Velmoran_*.png")}).size(), 2, 15000);
        QVERIFY(!window.videoSurface()->core()->currentPath().isEmpty()); // C and Ctrl+S do not stop

        ModalCloser<QFileDialog> dialogs;
        QTest::keyClick(&window, Qt::Key_O);
        QTest::qWait(300);
        QCOMPARE(dialogs.count(), 0);
        QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(dialogs.count(), 1);
    }

    // Ctrl+B works before the pro panel was ever opened: the chapter tab is built unseen, takes
    // the bookmark, and the OSD says so.
    void bookmarkBeforeThePanelExists()
    {
        MainWindow window;
        QVERIFY(openPausedAt(window, QStringLiteral("clip_100s.mp4"), 42));
        QTest::keyClick(&window, Qt::Key_B, Qt::ControlModifier);
        const auto *chapters = window.findChild<ChapterWidget *>();
        QVERIFY(chapters && chapters->entries().size() == 1 && chapters->entries().first().isBookmark);
        QVERIFY(qAbs(chapters->entries().first().time - 42) < 0.5);
        QVERIFY2(window.osd()->text().startsWith(QStringLiteral("🔖 북마크 추가")), qPrintable(window.osd()->text()));
        QVERIFY(!window.proPanel()->isVisible());
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
