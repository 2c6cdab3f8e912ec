#pragma once

#include "mainwindow/PlaybackHistory.h"

#include <QMainWindow>
#include <QSettings>
#include <QStringList>

class ControlBar;
class MediaInfoOverlay;
class MpvWidget;
class OsdWidget;
class QStackedWidget;
class QTimer;
class ShortcutOverlay;
class TitleBar;
class TrackSelector;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);

    // The single way files reach the player: command line, second start, dialog, drops, lists.
    void openFiles(const QStringList &files);
    // Plays a stream address in place of the current file.
    void openUrl(const QString &url);
    MpvWidget *videoSurface() const { return videoSurface_; }
    TitleBar *titleBar() const { return titleBar_; }
    ControlBar *controlBar() const { return controlBar_; }
    OsdWidget *osd() const { return osd_; }
    bool controlsVisible() const { return controlsVisible_; }
    PlaybackHistory &history() { return history_; }
    void updateWindowTitle(const QString &name);

public slots:
    void onFileLoaded(const QString &path);
    void onPlaybackEnded();
    void onPositionChanged(double seconds);
    void onDurationChanged(double seconds);
    void onPlaybackStarted();
    void onPlaybackPaused();
    void onPlaybackStopped();
    void onVolumeChanged(int volume);
    void onAudioFormatChanged(const QString &codec, int channels);
    void toggleFullscreen();

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildWidgetTree();
    void connectEngine();
    void connectChrome();
    void loadWindowState();
    void loadAudioSettings();
    void onMpvInitialized();
    void showControls();
    void hideControls();
    void saveResumePosition();
    void restoreResumePosition(const QString &path);

    QSettings settings_;
    PlaybackHistory history_{settings_};
    QStackedWidget *mainStack_ = nullptr;
    QStackedWidget *contentStack_ = nullptr;
    MpvWidget *videoSurface_ = nullptr;
    TitleBar *titleBar_ = nullptr;
    ControlBar *controlBar_ = nullptr;
    TrackSelector *trackSelector_ = nullptr;
    ShortcutOverlay *shortcutOverlay_ = nullptr;
    MediaInfoOverlay *mediaInfo_ = nullptr;
    OsdWidget *osd_ = nullptr;
    bool fullscreen_ = false;
    bool playing_ = false;
    bool controlsVisible_ = true;
    QTimer *hideTimer_ = nullptr;
    QString currentFile;
    double position_ = 0.0;
    double duration_ = 0.0;
    QStringList pendingStartupFiles_;
};
