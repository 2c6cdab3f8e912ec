#include "mainwindow/MainWindow.h"

#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "mainwindow/MultichannelDialog.h"
#include "music/CompactPlayerWidget.h"
#include "music/MiniPlayerWidget.h"
#include "music/MusicWidget.h"
#include "platform/KeepAwake.h"
#include "platform/LauncherProgress.h"
#include "subtitles/WhisperWidget.h"
#include "ui/chapters/ChapterWidget.h"
#include "ui/controls/ControlBar.h"
#include "ui/controls/OsdWidget.h"
#include "ui/controls/TitleBar.h"

#include <QTimer>

// The window's answers to playback: play state, position and volume shown wherever they are
// visible, the controls and the screen saver held while playing, failures said.
void MainWindow::onPlaybackStarted()
{
    // The engine also reports its initial unpaused state, before any file: an idle window must
    // neither show "playing" nor hide its controls.
    if (core()->currentPath().isEmpty())
        return;
    showPlayState(true);
    if (!hideTimer_) {
        hideTimer_ = new QTimer(this);
        hideTimer_->setSingleShot(true);
        connect(hideTimer_, &QTimer::timeout, this, &MainWindow::hideControls);
    }
    playing_ = true;
    showControls();
    keepAwake_->setActive(true);
}

void MainWindow::releasePlaybackHold()
{
    playing_ = false;
    if (hideTimer_)
        hideTimer_->stop();
    showControls();
    keepAwake_->setActive(false);
}

// Music mode shows the state in the music view and whichever small player stands in for it.
void MainWindow::showPlayState(bool playing)
{
    if (musicMode_)
        musicView_->setPlaying(playing);
    else
        controlBar_->setPlaying(playing);
    if (miniPlayer_)
        miniPlayer_->setPlaying(playing);
    if (compactPlayer_)
        compactPlayer_->setPlaying(playing);
}

void MainWindow::onPlaybackPaused()
{
    showPlayState(false);
    releasePlaybackHold();
    launcherProgress_->setPaused();
}

void MainWindow::onPlaybackEnded()
{
    history_.clearResumePosition(currentFile);
    releasePlaybackHold();
    showPlayState(false);
    if (!musicMode_)
        videoSurface_->setLogoVisible(true);
}

void MainWindow::onPlaybackStopped()
{
    releasePlaybackHold();
    showPlayState(false);
    videoSurface_->setLogoVisible(true);
    updateWindowTitle(QString());
    launcherProgress_->clear();
}

void MainWindow::onPlaybackError(const QString &message)
{
    if (message == MpvCore::kExclusiveFallbackMessage) {
        shownOsd()->showMessage(message, kErrorMessageMs);
        return;
    }
    // Without this the window would stay black, titled and dressed as if playing.
    onPlaybackStopped();
    showControls();
    shownOsd()->showMessage(QStringLiteral("재생할 수 없는 미디어입니다 (%1)").arg(message), kErrorMessageMs);
}

void MainWindow::onPositionChanged(double seconds)
{
    controlBar_->updatePosition(seconds, duration_);
    position_ = seconds;
    if (musicMode_)
        musicView_->updatePosition(seconds, duration_);
    if (miniPlayer_ && miniPlayer_->isVisible())
        miniPlayer_->updatePosition(seconds, duration_);
    if (compactPlayer_ && compactPlayer_->isVisible())
        compactPlayer_->updatePosition(seconds, duration_);
    if (whisper_)
        whisper_->onPositionChanged(seconds);
    if (chapterPanel_)
        chapterPanel_->onPositionChanged(seconds);
    if (duration_ > 0)
        launcherProgress_->setProgress(seconds / duration_);
    else
        launcherProgress_->clear();
}

void MainWindow::onDurationChanged(double seconds)
{
    duration_ = seconds;
    controlBar_->setDuration(seconds);
    if (whisper_)
        whisper_->setDuration(seconds);
    if (chapterPanel_)
        chapterPanel_->setDuration(seconds);
}

void MainWindow::onVolumeChanged(int volume)
{
    controlBar_->setVolume(volume);
    if (musicView_)
        musicView_->setVolume(volume);
    if (compactPlayer_)
        compactPlayer_->setVolume(volume);
    showMusicOutput(); // only full volume leaves the samples as they are
    shownOsd()->showVolume(volume, videoSurface_->core()->getMpvProperty(QStringLiteral("mute")).toBool());
}

void MainWindow::onAudioFormatChanged(const QString &codec, int channels)
{
    titleBar_->setCodecBadge(codec.toUpper());
    suggestExclusiveAudio(channels);
    showMusicOutput();
}

void MainWindow::suggestExclusiveAudio(int channels)
{
    if (!MultichannelDialog::shouldSuggest(channels, multichannelPrompted_,
                                           core()->propertyText(QStringLiteral("audio-exclusive"))))
        return;
    multichannelPrompted_ = true;
    // Shown after the engine's event has been handled: a modal loop inside the event drain
    // would hold every other engine event until the user answers.
    QMetaObject::invokeMethod(this, [this, channels] {
        MultichannelDialog dialog(channels, settings_, core(), this);
        dialog.exec();
    }, Qt::QueuedConnection);
}
