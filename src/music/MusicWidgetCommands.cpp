// The music view's commands: the mute button, the shuffle and repeat toggles, the A-B loop,
// the pointer, the context menu and the file information.
#include "music/MusicWidget.h"

#include "engine/MpvCore.h"
#include "music/MusicLook.h"
#include "music/MusicViewHelpers.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>

#include <cmath>

using namespace MusicLook;

namespace {

// Two clicks closer than this make no loop the engine can play.
constexpr double kShortestLoop = 0.05;

// A-B button looks: %1 background, %2 text, %3 outline.
const QString kAbStyle = QStringLiteral("QPushButton { background: %1; color: %2; border: 1px solid %3; border-radius: 4px;"
                                        " font-size: 11px; font-weight: bold; }");
const QString kMenuStyle = QStringLiteral(
    "QMenu { background: #1e1e1e; color: #e0e0e0; border: 1px solid #333333; padding: 4px; }"
    "QMenu::item { padding: 6px 20px; border-radius: 3px; }"
    "QMenu::item:selected { background: %1; color: #000000; }"
    "QMenu::separator { height: 1px; background: #333333; margin: 4px 8px; }");

const QString kAbIdleToolTip = QStringLiteral(
    "A-B 구간 반복\n첫 클릭: A 지점 설정\n두 번째 클릭: B 지점 설정 후 반복 시작\n세 번째 클릭: 해제");
} // namespace

int MusicWidget::preMuteVolume_ = 100;

void MusicWidget::onMuteClicked()
{
    if (volumeSlider_->value() > 0) {
        preMuteVolume_ = volumeSlider_->value();
        volumeSlider_->setValue(0);
    } else {
        volumeSlider_->setValue(preMuteVolume_ < 1 ? 100 : preMuteVolume_);
    }
}

void MusicWidget::toggleShuffle()
{
    // The button follows the engine once it has changed; asking is all a click does.
    emit shuffleToggled(!shuffle_);
}

void MusicWidget::toggleRepeat()
{
    emit repeatToggled(!repeat_);
}

void MusicWidget::onAbRepeatClicked()
{
    if (!engine_ || !engine_->isInitialized())
        return;
    const double t = engine_->position();
    switch (abState_) {
    case AbIdle:
        abA_ = t;
        abState_ = AbASet;
        engine_->setMpvProperty(QStringLiteral("ab-loop-a"), abA_);
        break;
    case AbASet:
        // A second click at the first point (a paused track, a double click) has nothing to
        // loop; the engine would be handed an empty range. A stays set for the next click.
        if (std::abs(t - abA_) < kShortestLoop)
            break;
        abB_ = t;
        if (abA_ > abB_)
            std::swap(abA_, abB_);
        abState_ = AbLooping;
        engine_->setMpvProperty(QStringLiteral("ab-loop-a"), abA_);
        engine_->setMpvProperty(QStringLiteral("ab-loop-b"), abB_);
        break;
    case AbLooping:
        resetAbLoop();
        return;
    }
    showAbState();
}

void MusicWidget::resetAbLoop()
{
    abA_ = abB_ = -1.0;
    abState_ = AbIdle;
    if (engine_) {
        engine_->setMpvProperty(QStringLiteral("ab-loop-a"), QStringLiteral("no"));
        engine_->setMpvProperty(QStringLiteral("ab-loop-b"), QStringLiteral("no"));
    }
    showAbState();
}

void MusicWidget::showAbState()
{
    switch (abState_) {
    case AbIdle:
        abButton_->setToolTip(kAbIdleToolTip);
        abButton_->setStyleSheet(kAbStyle.arg(QStringLiteral("transparent"), QStringLiteral("#888888"), QStringLiteral("#555555")));
        break;
    case AbASet:
        abButton_->setToolTip(
            QStringLiteral("B 지점을 클릭하여 구간 반복 시작\nA: %1").arg(MusicView::timeText(abA_)));
        abButton_->setStyleSheet(kAbStyle.arg(QStringLiteral("rgba(0, 200, 180, 0.2)"), kTeal, kTeal));
        break;
    case AbLooping:
        abButton_->setToolTip(QStringLiteral("A-B 구간 반복 중\nA: %1  B: %2\n클릭하여 해제")
                                  .arg(MusicView::timeText(abA_), MusicView::timeText(abB_)));
        abButton_->setStyleSheet(kAbStyle.arg(kTeal, QStringLiteral("#000000"), kTeal));
        break;
    }
}

void MusicWidget::mouseMoveEvent(QMouseEvent *event)
{
    // The main window watches the pointer for its frameless border and cursor hiding.
    if (QWidget *host = parentWidget()) {
        const QPointF local = event->position() + QPointF(mapTo(host, QPoint(0, 0)));
        QCoreApplication::postEvent(host, new QMouseEvent(event->type(), local, event->scenePosition(),
                                                          event->globalPosition(), event->button(), event->buttons(),
                                                          event->modifiers(), event->pointingDevice()));
    }
    // The copy stands for the original; letting it propagate as well would deliver it twice.
    event->accept();
}

void MusicWidget::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    menu.setStyleSheet(kMenuStyle.arg(kTeal));
    menu.addAction(playing_ ? QStringLiteral("⏸  일시정지") : QStringLiteral("▶  재생"), this,
                   &MusicWidget::playPauseRequested);
    menu.addAction(QStringLiteral("⏮  이전 트랙"), this, &MusicWidget::prevRequested);
    menu.addAction(QStringLiteral("⏭  다음 트랙"), this, &MusicWidget::nextRequested);
    menu.addSeparator();
    menu.addAction(shuffle_ ? QStringLiteral("✓  셔플 켜짐") : QStringLiteral("⇌  셔플"), this,
                   &MusicWidget::toggleShuffle);
    menu.addAction(repeat_ ? QStringLiteral("✓  반복 켜짐") : QStringLiteral("↺  반복"), this,
                   &MusicWidget::toggleRepeat);
    menu.addSeparator();
    menu.addAction(QStringLiteral("☰  재생목록 보기"), this, [this] { onRightPanelToggle(PlaylistPage); });
    menu.addAction(QStringLiteral("♪  가사 보기"), this, [this] { onRightPanelToggle(LyricsPage); });
    if (equalizer_)
        menu.addAction(QStringLiteral("🎚  이퀄라이저"), this, [this] { onRightPanelToggle(EqualizerPage); });
    menu.addSeparator();
    menu.addAction(QStringLiteral("ℹ  파일 정보"), this, &MusicWidget::showFileInfo);
    menu.addAction(QStringLiteral("➕  재생목록에 추가"), this,
                   [this] { emit addToPlaylistRequested(track_.filePath); });
    menu.addSeparator();
    menu.addAction(QStringLiteral("⚙  설정"), this, &MusicWidget::settingsRequested);
    menu.exec(event->globalPos());
}

void MusicWidget::showFileInfo()
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("파일 정보"), MusicView::fileInfoText(track_),
                    QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
