// Everything the user does to the window without the control bar: keys, wheel, double-click,
// pointer movement and the frameless border.
#include "mainwindow/MainWindow.h"

#include "app/SettingsKeys.h"
#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "ui/chapters/ChapterWidget.h"
#include "ui/controls/MediaInfoOverlay.h"
#include "ui/controls/OsdWidget.h"
#include "ui/controls/ProFeaturesWidget.h"
#include "ui/controls/ShortcutOverlay.h"
#include "ui/controls/TitleBar.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>

namespace {
constexpr int kVolumeStep = 5;
constexpr int kMaxVolume = 200;
constexpr double kPanelSpeedStep = 0.25;
constexpr int kDelayStepMs = 100;
constexpr int kMessageMs = 2000;
// In fullscreen the title bar comes back while the pointer is this close to the top.
constexpr int kFullscreenTitleZone = 61;
} // namespace

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    // Keys a web page leaves unused end up here; on the streaming page they are not the player's.
    if (ottMode_ || !handleCommandKey(event))
        QMainWindow::keyPressEvent(event);
}

// Returns false for keys that are not the player's, so the widgets still get them. Tab never
// arrives here: the application-wide filter takes it first.
bool MainWindow::handleCommandKey(const QKeyEvent *event)
{
    MpvCore *engine = core();
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool ctrl = mods & Qt::ControlModifier;
    const bool shift = mods & Qt::ShiftModifier;
    auto run = [engine](std::initializer_list<const char *> words) {
        QStringList arguments;
        for (const char *word : words)
            arguments << QLatin1String(word);
        engine->command(arguments);
    };
    // Commands reach the engine asynchronously, so reading "speed" back at once would show the
    // old value; the indicator shows what the step makes of it (within the engine's range).
    auto stepSpeed = [this, engine, &run](const char *step) {
        const double speed = engine->getMpvProperty(QStringLiteral("speed")).toDouble();
        run({"add", "speed", step});
        shownOsd()->showSpeed(std::clamp(speed + QByteArray(step).toDouble(), 0.01, 100.0));
    };

    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_MediaTogglePlayPause:
    case Qt::Key_MediaPlay:
    case Qt::Key_MediaPause:
        engine->togglePause();
        return true;
    case Qt::Key_MediaStop:
        engine->stop();
        return true;
    case Qt::Key_MediaNext:
        run({"playlist-next"});
        return true;
    case Qt::Key_MediaPrevious:
        run({"playlist-prev"});
        return true;
    case Qt::Key_Left:
        seekBy(shift ? -60 : ctrl ? -10 : -5);
        return true;
    case Qt::Key_Right:
        seekBy(shift ? 60 : ctrl ? 10 : 5);
        return true;
    case Qt::Key_Up:
        changeVolumeBy(kVolumeStep);
        return true;
    case Qt::Key_Down:
        changeVolumeBy(-kVolumeStep);
        return true;
    case Qt::Key_PageUp:
        engine->seek(-300, true);
        return true;
    case Qt::Key_PageDown:
        engine->seek(300, true);
        return true;
    case Qt::Key_Home:
        engine->seek(0);
        return true;
    case Qt::Key_End:
        // The guide promises "처음 / 끝으로": the end of the file, whatever its length.
        run({"seek", "100", "absolute-percent"});
        return true;
    case Qt::Key_F:
    case Qt::Key_F11:
        toggleFullscreen();
        return true;
    case Qt::Key_Escape:
        if (fullscreen_)
            toggleFullscreen();
        return true;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        stepSpeed("0.1");
        return true;
    case Qt::Key_Minus:
        stepSpeed("-0.1");
        return true;
    case Qt::Key_0:
        run({"set", "speed", "1.0"});
        shownOsd()->showSpeed(1.0);
        return true;
    case Qt::Key_Less:
        proPanel()->onSpeedPreset(std::max(0.25, proPanel()->speed() - kPanelSpeedStep));
        shownOsd()->showSpeed(proPanel()->speed());
        return true;
    case Qt::Key_Greater:
        proPanel()->onSpeedPreset(std::min(4.0, proPanel()->speed() + kPanelSpeedStep));
        shownOsd()->showSpeed(proPanel()->speed());
        return true;
    case Qt::Key_Question:
        toggleShortcutGuide();
        return true;
    case Qt::Key_A:
        ctrl ? proPanel()->clearAB() : proPanel()->setPointA();
        return true;
    case Qt::Key_B:
        ctrl ? onChapterBookmark() : proPanel()->setPointB();
        return true;
    case Qt::Key_C:
        if (takeScreenshot())
            shownOsd()->showMessage(QStringLiteral("화면 캡처 저장"), kMessageMs);
        return true;
    case Qt::Key_S:
        if (ctrl) {
            if (takeScreenshot())
                shownOsd()->showMessage(QStringLiteral("화면 캡처 저장"), kMessageMs);
        } else {
            // The stop button's path, so the window resets its title and controls as well.
            engine->stop();
        }
        return true;
    case Qt::Key_D:
        proPanel()->setAudioDelayMs(proPanel()->audioDelayMs() + (shift ? -kDelayStepMs : kDelayStepMs));
        return true;
    case Qt::Key_Z:
        proPanel()->setSubDelayMs(proPanel()->subDelayMs() + (shift ? -kDelayStepMs : kDelayStepMs));
        return true;
    case Qt::Key_W:
        run({"add", "sub-scale", "0.1"});
        return true;
    case Qt::Key_E:
        run({"add", "sub-scale", "-0.1"});
        return true;
    case Qt::Key_J:
        run({"sub-step", "1"});
        return true;
    case Qt::Key_K:
        run({"sub-step", "-1"});
        return true;
    case Qt::Key_V:
        run({"cycle", "sub"});
        return true;
    case Qt::Key_I:
        run({"show-progress"});
        return true;
    case Qt::Key_M:
        engine->setMute(engine->propertyText(QStringLiteral("mute")) != QLatin1String("yes"));
        return true;
    case Qt::Key_N:
        run({"playlist-next"});
        return true;
    case Qt::Key_O:
        if (ctrl)
            onOpenFile();
        return true;
    case Qt::Key_P:
        toggleProFeatures();
        return true;
    case Qt::Key_R:
        toggleEngineFlag(QStringLiteral("loop-file"), QStringLiteral("inf"), QStringLiteral("반복"));
        return true;
    case Qt::Key_T:
        toggleStayOnTop();
        return true;
    case Qt::Key_X:
        toggleEngineFlag(QStringLiteral("shuffle"), QStringLiteral("yes"), QStringLiteral("셔플"));
        return true;
    case Qt::Key_BracketLeft:
        run({"add", "chapter", "-1"});
        return true;
    case Qt::Key_BracketRight:
        run({"add", "chapter", "1"});
        return true;
    case Qt::Key_F5:
        // The context menu names F5 for the settings.
        onSettingsRequested();
        return true;
    case Qt::Key_F4:
        // Without a window manager nobody else turns Alt+F4 into a close request.
        if (mods & Qt::AltModifier) {
            close();
            return true;
        }
        return false;
    default:
        return false;
    }
}

void MainWindow::onChapterBookmark()
{
    if (currentFile.isEmpty())
        return;
    // The bookmark lives in the chapter tab, which may not have been built yet.
    addFeatureTabs();
    const double seconds = core()->getMpvProperty(QStringLiteral("time-pos")).toDouble();
    chapterPanel_->addBookmark(seconds);
    shownOsd()->showMessage(QStringLiteral("🔖 북마크 추가  %1").arg(ChapterEntries::timeText(seconds)), kMessageMs);
}

void MainWindow::seekBy(double seconds)
{
    core()->seek(seconds, true);
    const double target = duration_ > 0 ? std::clamp(position_ + seconds, 0.0, duration_)
                                        : std::max(0.0, position_ + seconds);
    shownOsd()->showSeek(target, duration_);
}

void MainWindow::changeVolumeBy(int step, bool showMuted)
{
    const int volume = std::clamp(core()->volume() + step, 0, kMaxVolume);
    core()->setVolume(volume);
    shownOsd()->showVolume(volume, showMuted);
}

// "R" and "X": the engine's value decides the direction, so changes made elsewhere are respected.
void MainWindow::toggleEngineFlag(const QString &property, const QString &onText, const QString &label)
{
    const bool wasOn = core()->propertyText(property) == onText;
    // A property write, not a "set" command: only writes pass the engine layer, which has to
    // add the queue reordering that this engine's shuffle flag leaves out.
    core()->setMpvProperty(property, wasOn ? QStringLiteral("no") : onText);
    shownOsd()->showMessage(label + (wasOn ? QStringLiteral(": 해제") : QStringLiteral(": 활성화")), kMessageMs);
}

void MainWindow::toggleStayOnTop()
{
    const bool wasOnTop = windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    setStayOnTop(!wasOnTop);
    shownOsd()->showMessage(wasOnTop ? QStringLiteral("항상 위에: 해제") : QStringLiteral("항상 위에: 활성화"), kMessageMs);
}

// The key and the title bar's pin are two handles on one state: the flag, the pin and the
// stored choice change together, whichever the user took.
void MainWindow::setStayOnTop(bool onTop)
{
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    // Changing a window flag hides the window.
    show();
    titleBar_->setPinned(onTop);
    writeSetting(settings_, SettingsKeys::windowAlwaysOnTop, onTop);
}

void MainWindow::toggleShortcutGuide()
{
    if (shortcutOverlay_->isVisible()) {
        shortcutOverlay_->hide();
        return;
    }
    shortcutOverlay_->setGeometry(videoSurface_->rect());
    shortcutOverlay_->show();
    shortcutOverlay_->raise();
}

bool MainWindow::takeScreenshot()
{
    MpvCore *engine = core();
    // Without a decoded picture the engine writes nothing, and "saved" would be untrue.
    if (engine->getMpvProperty(QStringLiteral("video-params/w")).toInt() <= 0) {
        shownOsd()->showMessage(QStringLiteral("캡처할 영상이 없습니다"), kMessageMs);
        return false;
    }
    engine->setMpvProperty(QStringLiteral("screenshot-dir"), SettingsKeys::screenshotFolder(settings_));
    engine->setMpvProperty(QStringLiteral("screenshot-format"),
                           readSetting(settings_, SettingsKeys::generalScreenshotFormat).toLower());
    engine->setMpvProperty(QStringLiteral("screenshot-template"), QStringLiteral("Velmoran_%F_%p_%n"));
    engine->command({QStringLiteral("screenshot"), QStringLiteral("video")});
    return true;
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Installed on the application too: every event of the program passes here, so the type
    // test comes first and everything else only for the few types that matter.
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto *key = static_cast<QKeyEvent *>(event);
        // Web pages move between their fields with Tab.
        if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier && !ottMode_) {
            mediaInfo()->toggle();
            return true;
        }
        break;
    }
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        if (watched->isWidgetType() && handleResizeEvent(static_cast<QWidget *>(watched), event))
            return true;
        break;
    default:
        break;
    }
    if (watched == videoSurface_ && filterVideoSurfaceEvent(event))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::steerVr360View(QEvent *event)
{
    // One wheel notch narrows or widens the view by this much.
    constexpr double kFovPerNotch = 5.0;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            vr360DragFrom_ = static_cast<QMouseEvent *>(event)->position();
        return false;
    case QEvent::MouseButtonRelease:
        vr360DragFrom_.reset();
        return false;
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (!vr360DragFrom_ || !(mouse->buttons() & Qt::LeftButton) || videoSurface_->width() <= 0)
            return false;
        // The picture follows the pointer: a drag across the whole surface turns the view by
        // its field of view.
        const QPointF step = mouse->position() - *vr360DragFrom_;
        vr360DragFrom_ = mouse->position();
        const double degreesPerPixel = core()->vr360View()->fov / videoSurface_->width();
        core()->turnVr360View(-step.x() * degreesPerPixel, step.y() * degreesPerPixel);
        return false;
    }
    case QEvent::Wheel: {
        const int notches = static_cast<QWheelEvent *>(event)->angleDelta().y() / 120;
        core()->zoomVr360View(-notches * kFovPerNotch);
        return true;
    }
    default:
        return false;
    }
}

bool MainWindow::filterVideoSurfaceEvent(QEvent *event)
{
    // While the 360° view is on, dragging the picture turns it and the wheel zooms it.
    if (core() && core()->isVr360Enabled() && steerVr360View(event))
        return true;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            setFocus(Qt::MouseFocusReason);
        return false;
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent *>(event)->button() != Qt::LeftButton)
            return false;
        toggleFullscreen();
        return true;
    case QEvent::Wheel: {
        const int step = static_cast<QWheelEvent *>(event)->angleDelta().y() > 0 ? kVolumeStep : -kVolumeStep;
        changeVolumeBy(step, core()->propertyText(QStringLiteral("mute")) == QLatin1String("yes"));
        showControls();
        return true;
    }
    case QEvent::MouseMove:
        showControls();
        if (fullscreen_)
            followPointerInFullscreen(static_cast<QMouseEvent *>(event)->position().toPoint());
        return false;
    case QEvent::Resize:
        // The information panel spans the video's height and follows it.
        if (mediaInfo_ && mediaInfo_->isVisible())
            mediaInfo_->setGeometry(0, 0, mediaInfo_->width(), videoSurface_->height());
        return false;
    default:
        return false;
    }
}

void MainWindow::followPointerInFullscreen(const QPoint &surfacePos)
{
    titleBar_->setVisible(surfacePos.y() < kFullscreenTitleZone);
}

void MainWindow::mouseMoveEvent(QMouseEvent *event)
{
    showControls();
    QMainWindow::mouseMoveEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        showContextMenu(event->globalPosition().toPoint());
        return;
    }
    QMainWindow::mouseReleaseEvent(event);
}

// The window has no frame, so its outermost pixels act as the border: the desktop resizes it
// when it can, otherwise the window follows the pointer itself. Children cover the whole window,
// hence this runs from the event filter for any widget of this window.
bool MainWindow::handleResizeEvent(QWidget *target, QEvent *event)
{
    if (target->window() != this || fullscreen_ || isMaximized())
        return false;
    auto *mouse = static_cast<QMouseEvent *>(event);
    const QPoint global = mouse->globalPosition().toPoint();

    if (resizing_) {
        if (event->type() == QEvent::MouseMove) {
            setGeometry(resizedGeometry(resizeEdge_, resizeStartGeometry_, global - resizePressPos_, minimumSize()));
        } else if (event->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton) {
            resizing_ = false;
        }
        return true;
    }

    const WindowEdge edge = edgeAt(size(), mapFromGlobal(global));
    if (event->type() == QEvent::MouseMove && mouse->buttons() == Qt::NoButton) {
        updateEdgeCursor(mapFromGlobal(global));
        return false;
    }
    if (event->type() != QEvent::MouseButtonPress || mouse->button() != Qt::LeftButton || edge == WindowEdge::None)
        return false;
    if (windowHandle() && windowHandle()->startSystemResize(qtEdgesFor(edge)))
        return true;
    resizing_ = true;
    resizeEdge_ = edge;
    resizePressPos_ = global;
    resizeStartGeometry_ = geometry();
    return true;
}

void MainWindow::updateEdgeCursor(const QPoint &windowPos)
{
    const WindowEdge edge = edgeAt(size(), windowPos);
    if (edge != WindowEdge::None) {
        setCursor(resizeCursorFor(edge));
        edgeCursorShown_ = true;
    } else if (edgeCursorShown_) {
        unsetCursor();
        edgeCursorShown_ = false;
    }
}
