#pragma once

#include "mainwindow/PlaybackHistory.h"
#include "mainwindow/WindowEdges.h"
#include "ui/multiview/MultiViewLayout.h"

#include <QMainWindow>
#include <QSettings>
#include <QStringList>

#include <optional>

class CompactPlayerWidget;
class ControlBar;
class EqPanel;
class HiFiEngine;
class KeepAwake;
class LauncherProgress;
class MediaInfoOverlay;
class MiniPlayerWidget;
class MusicWidget;
class MpvCore;
class MpvWidget;
class OsdWidget;
class OttWidget;
class ProFeaturesWidget;
class QMenu;
class RemoteControlServer;
class QStackedWidget;
class QVBoxLayout;
class QTimer;
class ShortcutOverlay;
class SubtitleEditorWidget;
class TitleBar;
class TrackSelector;
class WhisperWidget;
class ChapterWidget;
class MultiViewWidget;
class AdManager;
class QProgressDialog;
class SplashAdWidget;
class UpdateChecker;
class YtdlpManager;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr QSize kMinimumSize{800, 540};

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The single way files reach the player: command line, second start, dialog, drops, lists.
    void openFiles(const QStringList &files);
    // Plays a stream address in place of the current file; a site page first needs yt-dlp, which
    // is downloaded (with progress) when missing, and the address then waits for it.
    void openUrl(const QString &url);
    // Started without files: with auto-resume on, the file played last comes back (where it was
    // left, when positions are remembered). False when there is nothing to resume.
    bool resumeLastFile();
    MpvWidget *videoSurface() const { return videoSurface_; }
    TitleBar *titleBar() const { return titleBar_; }
    ControlBar *controlBar() const { return controlBar_; }
    OsdWidget *osd() const { return osd_; }
    // Built when Tab first asks for it: its fonts and size hints are a good part of the start.
    MediaInfoOverlay *mediaInfo();
    ShortcutOverlay *shortcutOverlay() const { return shortcutOverlay_; }
    // Built on first use: most sessions never open it, and it is the costliest part of the window.
    ProFeaturesWidget *proPanel();
    // Built when the first song plays.
    MusicWidget *musicView();
    EqPanel *equalizer();
    bool isMusicMode() const { return musicMode_; }
    bool isOttMode() const { return ottMode_; }
    // The streaming page, built the first time the streaming mode is entered; null before.
    OttWidget *ottWidget() const { return ottWidget_; }
    // The small players exist once first shown; null before.
    MiniPlayerWidget *miniPlayer() const { return miniPlayer_; }
    CompactPlayerWidget *compactPlayer() const { return compactPlayer_; }
    bool controlsVisible() const { return controlsVisible_; }
    bool isFullscreenMode() const { return fullscreen_; }
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
    void onPlaybackError(const QString &message);
    void onVolumeChanged(int volume);
    void onAudioFormatChanged(const QString &codec, int channels);
    void onOpenFile();
    void onOpenUrl();
    void toggleFullscreen();
    void showContextMenu(const QPoint &globalPos);
    void toggleProFeatures();
    void switchToPlayerMode();
    void switchToOttMode();
    void switchToMusicMode();
    void switchToVideoMode();
    void onMusicSeekRequested(double seconds);
    void onMusicVolumeChanged(int volume);
    void toggleMiniPlayer();
    void toggleCompactPlayer();
    void onSubtitleSearch();
    void playPreviousEntry();
    void playNextEntry();
    void playEntry(int index);
    void onSettingsRequested();
    void toggleWhisper(bool on);
    void onChapterBookmark();
    void toggleMultiView(MultiViewLayout layout);
    void onYtdlpLocated();
    void onYtdlpReady(const QString &path);
    void onYtdlpDownloadProgress(int percent);
    void onYtdlpDownloadFailed(const QString &error);

protected:
    void closeEvent(QCloseEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // How long a failure stays on screen.
    static constexpr int kErrorMessageMs = 5000;

    void buildWidgetTree();
    void connectEngine();
    void connectChrome();
    void loadWindowState();
    void loadAudioSettings();
    void onMpvInitialized();
    void showControls();
    void hideControls();
    void saveResumePosition();
    void leaveCurrentFile();
    void restoreResumePosition(const QString &path);
    void refreshChapterMarkers();
    void suggestExclusiveAudio(int channels);
    void releasePlaybackHold();
    void showPlayState(bool playing);
    void startRemoteServer();
    void reportUnopenable(const QString &path);

    // Online services
    void startOnlineServices();
    YtdlpManager *ytdlpManager();
    void startUpdateCheck();
    void closeYtdlpProgress();
    // The pro panel's feature tabs, built on first use (also unseen, for a bookmark).
    void addFeatureTabs();
    void playUrl(const QString &url, const QString &ytdlpPath);

    // Music mode
    void followMediaKind(const QString &path);
    void applyHiFiSettings();
    void applyGraphicEq();
    void connectMusicView();
    void refreshTrackInfo();
    void showMusicOutput();
    bool replayGainApplied() const;
    void refreshMusicPlaylist();
    void appendToQueue(const QString &path);
    // The on-screen display over whichever view is on screen, for confirmations and errors.
    OsdWidget *shownOsd();
    // The window grows to the music view's size, once it is shown.
    void holdMusicView();
    void setEngineShuffle(bool on);
    void setEngineRepeat(bool on);
    template <typename Player>
    void connectSmallPlayerTransport(Player *player);
    void placeOverMainWindow(QWidget *player);
    void fillSmallPlayers();
    void showInPlaceOfMainWindow(QWidget *player);
    void bringBackMainWindow();
    bool smallPlayerShown() const;

    // Streaming mode
    void showModeButtons(bool ott);
    void followPageFullScreen(bool on);

    // Subtitles
    bool canSearchSubtitles() const;
    WhisperWidget *createWhisperTab();
    ChapterWidget *createChapterTab();
    void showFileInChapterPanel();
    SubtitleEditorWidget *createSubtitleEditorTab();
    void followSelectedSubtitle();
    void showSubtitleInEditor(const QString &path);

    // Commands (keys, wheel, menu)
    MpvCore *core() const;
    bool handleCommandKey(const QKeyEvent *event);
    void seekBy(double seconds);
    // The keys show the indicator as not muted; the wheel shows the engine's mute state.
    void changeVolumeBy(int step, bool showMuted = false);
    void toggleEngineFlag(const QString &property, const QString &onText, const QString &label);
    void toggleStayOnTop();
    void setStayOnTop(bool onTop);
    void toggleShortcutGuide();
    // False, with a message saying so, when there is no picture to capture.
    bool takeScreenshot();
    bool filterVideoSurfaceEvent(QEvent *event);
    bool steerVr360View(QEvent *event);
    void followPointerInFullscreen(const QPoint &surfacePos);

    // Context menu
    void addRecentFilesMenu(QMenu *menu);
    void addTrackMenus(QMenu *menu);
    void addPictureMenus(QMenu *menu);
    void addPlaybackMenus(QMenu *menu);
    void resizeToVideo(int numerator, int denominator);

    // Frameless resizing
    bool handleResizeEvent(QWidget *target, QEvent *event);
    void updateEdgeCursor(const QPoint &windowPos);

    QSettings settings_;
    PlaybackHistory history_{settings_};
    QStackedWidget *mainStack_ = nullptr;
    QStackedWidget *contentStack_ = nullptr;
    QWidget *videoContainer_ = nullptr; // content page 0; holds the video surface outside the multi-view
    MultiViewWidget *multiView_ = nullptr;
    MpvWidget *videoSurface_ = nullptr;
    TitleBar *titleBar_ = nullptr;
    ControlBar *controlBar_ = nullptr;
    TrackSelector *trackSelector_ = nullptr;
    ShortcutOverlay *shortcutOverlay_ = nullptr;
    MediaInfoOverlay *mediaInfo_ = nullptr;
    OsdWidget *osd_ = nullptr;
    QVBoxLayout *chromeLayout_ = nullptr;
    ProFeaturesWidget *proPanel_ = nullptr;
    bool proPanelVisible_ = false;
    bool featureTabsAdded_ = false;
    std::optional<QPointF> vr360DragFrom_; // where the last drag step of the 360° view ended
    KeepAwake *keepAwake_ = nullptr;
    LauncherProgress *launcherProgress_ = nullptr;
    RemoteControlServer *remoteServer_ = nullptr;
    bool remoteActive_ = false;
    bool fullscreen_ = false;
    bool playing_ = false;
    bool controlsVisible_ = true;
    QTimer *hideTimer_ = nullptr;
    QString currentFile;
    double position_ = 0.0;
    double duration_ = 0.0;
    bool multichannelPrompted_ = false;
    QStringList pendingStartupFiles_;

    YtdlpManager *ytdlp_ = nullptr;  // created 500 ms after the window, or at the first address
    QProgressDialog *ytdlpProgress_ = nullptr;
    QString pendingUrl;              // waits for yt-dlp to arrive
    UpdateChecker *updateChecker_ = nullptr;
    AdManager *adManager_ = nullptr;
    SplashAdWidget *splashAd_ = nullptr;

    WhisperWidget *whisper_ = nullptr;
    ChapterWidget *chapterPanel_ = nullptr;
    SubtitleEditorWidget *subtitleEditor_ = nullptr;
    QString loadedSubtitle_;     // the subtitle file the video uses, for the editor
    QString subtitleVideo_;      // the media file that subtitle belongs to
    QString editedSubtitleCopy_; // what the editor last handed to the engine

    OttWidget *ottWidget_ = nullptr;
    bool ottMode_ = false;
    bool pageFullScreen_ = false;       // a web page's video fills the screen
    bool fullscreenForPage_ = false;    // ...and the window went full screen only for it

    MusicWidget *musicView_ = nullptr;
    bool bitPerfect_ = false; // the music view's last output report said so
    EqPanel *equalizer_ = nullptr;
    HiFiEngine *hiFi_ = nullptr;
    bool musicMode_ = false;
    QString videoAudioDisplay_; // the engine's cover display, put back when video plays again
    // Top-level windows of their own, deleted with this one.
    MiniPlayerWidget *miniPlayer_ = nullptr;
    CompactPlayerWidget *compactPlayer_ = nullptr;

    WindowEdge resizeEdge_ = WindowEdge::None;
    bool resizing_ = false;
    QPoint resizePressPos_;
    QRect resizeStartGeometry_;
    bool edgeCursorShown_ = false;
};
