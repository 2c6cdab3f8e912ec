#pragma once

#include "engine/AudioFilterChain.h"
#include "engine/ShaderChain.h"
#include "engine/EngineSession.h"
#include "engine/MediaTrack.h"
#include "engine/RenderEnvironment.h"
#include "engine/RenderProfile.h"
#include "engine/SpectrumSynthesizer.h"
#include "engine/VideoFilterChain.h"

#include <QObject>
#include <QVariant>

#include <array>

#include <functional>
#include <memory>
#include <optional>

class QTimer;

// The one way into the playback engine: options, commands, property reads, and the engine's
// events turned into signals on the GUI thread. Every operation is a no-op (or returns its
// neutral value) until initialize() has succeeded.
class MpvCore : public QObject
{
    Q_OBJECT
public:
    using EnvironmentDetector = std::function<RenderEnvironment()>;
    // errorOccurred's text when a file failed in exclusive mode and is being reloaded in shared
    // mode: the file is not lost yet.
    static constexpr QStringView kExclusiveFallbackMessage = u"WASAPI Exclusive 실패 - 공유 모드로 자동 전환";
    // For the user when audioFilterFailed reports a filter taken out.
    static constexpr QStringView kAudioFilterFailedMessage = u"오디오 필터를 적용할 수 없어 해제했습니다";

    // Creates a libmpv session; throws std::runtime_error("mpv_create() failed") if it cannot.
    explicit MpvCore(QObject *parent = nullptr);
    MpvCore(std::unique_ptr<EngineSession> session, QObject *parent = nullptr);
    ~MpvCore() override;

    // wid 0: render-API mode, drawn by the video surface. Returns true when already initialised.
    bool initialize(qint64 wid);
    bool isInitialized() const { return initialized_; }
    // For the video surface's render context.
    mpv_handle *handle() const;
    // Detection needs the surface's GL context; tests substitute a fixed environment.
    void setEnvironmentDetector(EnvironmentDetector detector);
    // For the video surface: see EngineSession::setBeforeBlockingCall.
    void setBeforeBlockingCall(std::function<void()> hook);
    const RenderEnvironment &renderEnvironment() const { return renderEnv_; }
    // How the video surface draws; set by the surface before initialisation. The software one
    // runs no GPU shaders and scales with the engine's CPU scaler.
    void setVideoSurface(VideoSurfaceKind kind);
    VideoSurfaceKind videoSurface() const { return videoSurface_; }

    // Playback
    void loadFile(const QString &path, bool append = false);
    void play();
    void pause();
    void togglePause();
    void stop();
    void seek(double seconds, bool relative = false);
    void setVolume(int percent);
    int volume() const;
    void setMute(bool muted);
    void setSpeed(double speed);
    void setAudioTrack(int id);
    void setSubtitleTrack(int id);
    double position() const;
    double duration() const;
    bool isPaused() const;
    QString currentPath() const;
    void command(const QStringList &arguments);
    // Adds an external subtitle file and selects it, waiting for the engine's answer: false, with
    // the engine's words in `error`, when it could not read the file as a subtitle.
    bool addSubtitleFile(const QString &path, QString *error = nullptr);
    // Features that filter the sound use setAudioFilter, never "af" here: a whole "af" replaces
    // every other feature's filters.
    void setMpvProperty(const QString &name, const QVariant &value);
    QVariant getMpvProperty(const QString &name) const;
    // The engine's own text form ("yes", "no", "inf", …); empty when unknown or not initialised.
    QString propertyText(const QString &name) const;
    void setSpectrumEnabled(bool on);
    QList<MediaTrack> audioTracks() const;
    QList<MediaTrack> subtitleTracks() const;

    // Audio output
    QVariantList audioDevices() const;
    void setAudioDevice(const QString &name);
    void setAudioExclusive(bool on);
    void setPassthrough(bool on);
    void setPassthroughCodecs(const QStringList &codecs);
    bool isPassthroughCapableDevice() const;
    // The closest Linux has to exclusive output: ALSA straight to a hardware device, with no
    // sound server or conversion plug-in in between.
    bool isDirectHardwareOutput() const;

    // Audio filters: each feature owns one slot of the shared chain (see AudioFilterChain) and
    // gives its filters in the player's notation, e.g. the graphic equalizer's
    // "equalizer=f0=2.0:…:f9=1.5". False when the engine refused them (audioFilterFailed says
    // so too); the slot then keeps what it held. A text that leaves no filter empties the slot.
    bool setAudioFilter(AudioFilterSlot slot, const QString &filters);
    bool clearAudioFilter(AudioFilterSlot slot);
    QString audioFilter(AudioFilterSlot slot) const;
    // The resampler in the player's notation ("lavrresample:filter_size=N:phase_shift=M"); empty
    // for the engine's default. It is not a filter here but the resampler's settings, used
    // whenever the output's rate differs from the file's.
    bool setAudioResampler(const QString &resampler);

    // The user shaders a feature runs (file paths, in order) in its place in the engine's one
    // shader list; an empty list takes them out. False when the engine refused them.
    bool setShaders(ShaderSlot slot, const QStringList &paths);
    QStringList shaders(ShaderSlot slot) const;
    // The slot's shaders have drawn frames (shadersRunning was sent for them already).
    bool shadersRunningNow(ShaderSlot slot) const;

    // Video filters, one labelled entry per feature (see VideoFilterChain); never "vf" as a
    // whole. False when the engine refused them; the slot then keeps what it held.
    bool setVideoFilter(VideoFilterSlot slot, const QString &filters);
    bool clearVideoFilter(VideoFilterSlot slot);
    QString videoFilter(VideoFilterSlot slot) const;

    // The 360° view: `projection` is the source's ("equirectangular", "fisheye",
    // "hequirectangular", "eac"), shown flat, looking ahead; empty switches it off. False for
    // an unknown projection or when the engine refused the filter.
    bool setVr360Projection(const QString &projection);
    bool isVr360Enabled() const { return vr360_.has_value(); }
    // Relative changes of the direction and the field of view, in degrees.
    void turnVr360View(double yawDegrees, double pitchDegrees);
    void zoomVr360View(double fovDegrees);
    std::optional<Vr360View> vr360View() const { return vr360_; }

    // Per-video render decisions
    void chooseVideoSync(double fps);
    // The automatic decoder for a codec; nothing while the user's own decoder (setHwdec) holds.
    void applyHwdecForCodec(const QString &codec);
    // The user's decoder: it holds for every later file instead of the automatic one.
    void setHwdec(const QString &value);

    // Render quality. What the user chooses (a profile, a scaler, debanding) holds for every
    // later file, a GPU re-detection and the frame-drop ladder's restoration; where the user
    // chose nothing, the automatic decisions for the display and each video apply.
    enum class ScaleChooser { Settings, Upscaling };
    // A render profile counts as the settings' choice of scaler and debanding.
    void applyRenderProfile(RenderProfile profile);
    RenderProfile renderProfile() const { return renderProfile_; }
    // Empty `scale` withdraws that chooser's choice. The upscaling page's choice goes over the
    // settings'; with neither, each video gets the scaler that suits its size.
    void setChosenScale(ScaleChooser chooser, const QString &scale);
    QString chosenScale() const;
    void setChosenDeband(bool on);
    void redetectGpu();
    void setInterpolation(bool on);

signals:
    void fileLoaded(const QString &path);
    void playbackStarted();
    void playbackPaused();
    void playbackStopped();
    void playbackEnded();
    void positionChanged(double seconds);
    void durationChanged(double seconds);
    void volumeChanged(int vol);
    void tracksChanged();
    void audioFormatChanged(const QString &codec, int channels, int sampleRate, const QString &output);
    void videoInfoChanged(int width, int height, double fps, const QString &codec);
    void errorOccurred(const QString &message);
    void renderProfileChanged(RenderProfile profile);
    // Paused, the bars fall to nothing and then stop coming until playback goes on.
    void spectrumReady(const QList<float> &bins);
    // The queue's entries or their order changed (files added or removed, shuffled, unshuffled).
    void playlistChanged();
    // "shuffle" and "loop-file" as the engine holds them, whoever changed them.
    void shuffleChanged(bool on);
    void loopFileChanged(bool on);
    void renderQualityDegraded(const QString &reason);
    void renderQualityRestored();
    // A slot's filters were refused, or could not be built when audio started and were taken
    // out so that playback goes on without them; `detail` is the engine's own word.
    void audioFilterFailed(AudioFilterSlot slot, const QString &detail);
    // A slot's shaders did not compile on this GPU and were taken out, so the picture is drawn
    // without them; `detail` is the engine's own word.
    void shaderFailed(ShaderSlot slot, const QString &detail);
    // A slot's shaders have drawn frames: they work on this GPU.
    void shadersRunning(ShaderSlot slot);

public slots:
    void onMpvEvents();
    void onFrameDropCheck();
    void onSpectrumTick();

private:
    static void wakeupCallback(void *context);

    // Set-up
    void setInitialOption(const QString &name, const QString &value);
    void setInitialProperty(const QString &name, const QString &value);
    void applyEnvironmentProperties();
    void applyDisplayRefreshRate();
    void observeProperties();

    // Events
    void handleEvent(const EngineEvent &event);
    void handleLogMessage(const EngineEvent &event);
    void handleStartFile(const EngineEvent &event);
    void handleEndFile(const EngineEvent &event);
    void reportEnd();
    void stopFrameDropMonitor();
    void handleFileLoaded();
    void handlePropertyChange(const EngineEvent &event);
    void emitAudioFormat();
    void handleVideoPropertyChange();
    void refreshStreamInfo();
    QList<MediaTrack> tracksOfType(const QString &type) const;

    // Audio output and its recoveries
    void applyPassthroughDecision();
    void rescueAudio();
    void recoverAudioDriver();
    std::optional<int> playlistIndexOf(qint64 entryId) const;
    void fallBackFromExclusive(qint64 entryId, const QString &errorText);
    void replayEntryLater(qint64 entryId);
    void takeOutFailedFilters(const QString &logText);
    void takeOutFailedShaders(const QString &logText);
    void reportEndErrors();
    void armPlaybackWatchdog();
    void checkPlaybackStall();

    // Frame-drop monitor and the video choices it steps down from
    void resetFrameDropState();
    void ensureFrameDropTimer();
    void restoreQuality();
    void degradeQuality();
    void applyVideoScale();

    int check(int result) const;
    QString readString(const QString &name, const QString &fallback = QString()) const;

    std::unique_ptr<EngineSession> session_;
    QTimer *pollTimer_ = nullptr;
    bool initialized_ = false;
    bool passthroughEnabled_ = true;
    QString spdifCodecs_ = QStringLiteral("ac3,eac3,dts,dts-hd,truehd");
    // How far the current file's audio has been rescued: decoded instead of passed through,
    // then dropped so the picture plays on.
    enum class AudioRescue { None, Decoded, Silent };
    AudioRescue audioRescue_ = AudioRescue::None;
    int outputOpeningChecks_ = 0; // stall checks spent waiting for an output to open
    std::unique_ptr<AudioFilterChain> audioFilters_;
    std::unique_ptr<ShaderChain> shaders_;
    std::unique_ptr<VideoFilterChain> videoFilters_;
    std::optional<Vr360View> vr360_;
    // The view the running filter shows; turns reach it at most as fast as it rebuilds.
    Vr360View vr360Shown_;
    QTimer *vr360Timer_ = nullptr;
    void sendVr360View();
    qint64 currentEntryId_ = 0;  // the queue entry of the started file
    // Files that ended in an error, reported once the engine's log has caught up with them: the
    // log may still explain the error as a filter that was taken out, and the file played again.
    struct EndError {
        qint64 entryId;
        QString text;
    };
    QList<EndError> endErrors_;
    std::optional<qint64> replayedForFilters_; // the entry played again without failed filters
    quint64 loadGeneration_ = 0; // counts replacing loads, i.e. the user opening something
    bool endReported_ = false;   // the current file's end was signalled already
    RenderProfile renderProfile_ = RenderProfile::Quality;
    RenderEnvironment renderEnv_;
    VideoSurfaceKind videoSurface_ = VideoSurfaceKind::OpenGl;
    EnvironmentDetector detectEnvironment_;

    QTimer *playbackWatchdog_ = nullptr;
    QTimer *frameDropTimer_ = nullptr;
    int lastDropCount_ = 0;
    int dropStreak_ = 0;
    int cleanStreak_ = 0;
    bool qualityDegraded_ = false;
    // What was in force when the ladder first stepped down: its restoration goes back to it.
    struct QualityBeforeDrops {
        QString scale;
        QString cscale;
        QString deband;
    };
    QualityBeforeDrops beforeDrops_;
    std::array<QString, 2> chosenScales_; // by ScaleChooser
    std::optional<bool> chosenDeband_;
    QString chosenHwdec_;

    int videoWidth_ = 0;
    int videoHeight_ = 0;
    double videoFps_ = 0.0;
    QString videoCodec_;

    QTimer *spectrumTimer_ = nullptr;
    bool spectrumEnabled_ = false;
    SpectrumSynthesizer spectrum_;
};
