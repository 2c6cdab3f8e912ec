#include "engine/MpvCore.h"

#include "app/AppIdentity.h"
#include "app/AppLog.h"
#include "app/SettingsKeys.h"
#include "engine/AudioFormat.h"
#include "engine/EngineDialect.h"
#include "engine/LibmpvSession.h"

#include <QDebug>
#include <QDir>
#include <QTimer>

#include <clocale>
#include <stdexcept>

namespace {
constexpr int kPollIntervalMs = 16;
constexpr auto kDefaultSpdifCodecs = "ac3,eac3,dts,dts-hd,truehd";

using Format = EngineEvent::Format;

std::unique_ptr<EngineSession> createLibmpvSession()
{
    // libmpv parses numbers with the C library and needs the "C" numeric locale.
    std::setlocale(LC_NUMERIC, "C");
    auto session = LibmpvSession::create();
    if (!session)
        throw std::runtime_error("mpv_create() failed");
    return session;
}
} // namespace

MpvCore::MpvCore(QObject *parent) : MpvCore(createLibmpvSession(), parent) {}

MpvCore::MpvCore(std::unique_ptr<EngineSession> session, QObject *parent)
    : QObject(parent), session_(std::move(session)), audioFilters_(std::make_unique<AudioFilterChain>(*session_)),
      shaders_(std::make_unique<ShaderChain>(*session_)), videoFilters_(std::make_unique<VideoFilterChain>(*session_)),
      detectEnvironment_(detectRenderEnvironment)
{
    qRegisterMetaType<RenderProfile>();
    qRegisterMetaType<AudioFilterSlot>();
    qRegisterMetaType<ShaderSlot>();
    pollTimer_ = new QTimer(this);
    pollTimer_->setInterval(kPollIntervalMs);
    connect(pollTimer_, &QTimer::timeout, this, &MpvCore::onMpvEvents);
    playbackWatchdog_ = new QTimer(this);
    playbackWatchdog_->setSingleShot(true);
    connect(playbackWatchdog_, &QTimer::timeout, this, &MpvCore::checkPlaybackStall);
}

MpvCore::~MpvCore()
{
    pollTimer_->stop();
    session_.reset(); // terminates the engine; no callback can reach this object afterwards
}

mpv_handle *MpvCore::handle() const
{
    return session_ ? session_->handle() : nullptr;
}

void MpvCore::setEnvironmentDetector(EnvironmentDetector detector)
{
    detectEnvironment_ = std::move(detector);
}

void MpvCore::setVideoSurface(VideoSurfaceKind kind)
{
    videoSurface_ = kind;
    session_->setSoftwareRendering(kind == VideoSurfaceKind::Software);
}

void MpvCore::setBeforeBlockingCall(std::function<void()> hook)
{
    session_->setBeforeBlockingCall(std::move(hook));
}

int MpvCore::check(int result) const
{
    if (result < 0)
        qWarning().noquote() << "[MPV] Error:" << session_->errorString(result);
    return result;
}

void MpvCore::setInitialOption(const QString &name, const QString &value)
{
    check(session_->setOption(name, value));
}

void MpvCore::setInitialProperty(const QString &name, const QString &value)
{
    check(session_->setString(name, value));
}

QString MpvCore::readString(const QString &name, const QString &fallback) const
{
    return session_->getString(name).value_or(fallback);
}

bool MpvCore::initialize(qint64 wid)
{
    if (initialized_)
        return true;

    if (wid != 0) {
        setInitialOption(QStringLiteral("wid"), QString::number(wid));
        setInitialOption(QStringLiteral("vo"), QStringLiteral("gpu"));
    } else {
        setInitialOption(QStringLiteral("vo"), QStringLiteral("libmpv"));
        const QSettings settings(QLatin1StringView(AppIdentity::kOrganisation),
                                 QLatin1StringView(AppIdentity::kSettingsApplication));
        const QString gpuApi = readSetting(settings, SettingsKeys::videoGpuApi);
        setInitialOption(QStringLiteral("gpu-api"), gpuApi);
        qInfo().noquote() << "[MPV] gpu-api:" << gpuApi;
        if (gpuApi == QLatin1String("d3d12")) {
            setInitialOption(QStringLiteral("scale"), QStringLiteral("ewa_lanczossharp"));
            setInitialOption(QStringLiteral("dscale"), QStringLiteral("mitchell"));
            qInfo().noquote() << "[MPV] libplacebo 렌더러 활성화 (D3D12)";
        }
    }
    if (qEnvironmentVariableIsSet("VELMORAN_DEBUG")) {
        QDir().mkpath(debugLogDirectory());
        setInitialOption(QStringLiteral("log-file"), debugLogDirectory() + QStringLiteral("/velmoran_mpv.log"));
    }
    session_->requestLogMessages("error");
    setInitialOption(QStringLiteral("osc"), QStringLiteral("no"));
    // The engine's own statistics page, console and conditional profiles answer keys and a
    // config file this player never gives it; each is a script the first file waits for.
    setInitialOption(QStringLiteral("load-stats-overlay"), QStringLiteral("no"));
    setInitialOption(QStringLiteral("load-osd-console"), QStringLiteral("no"));
    setInitialOption(QStringLiteral("load-auto-profiles"), QStringLiteral("no"));
    setInitialOption(QStringLiteral("idle"), QStringLiteral("yes"));
    // The last entry stays open on its final frame; earlier queued entries still advance
    // ("always" would hold every entry, so a queue never moved on and no end was reported).
    setInitialOption(QStringLiteral("keep-open"), QStringLiteral("yes"));
    setInitialOption(QStringLiteral("pause"), QStringLiteral("no"));
    // Volume runs to 200 % everywhere in the player (keys, wheel, slider, remote); the engine's
    // own ceiling is 130 and would silently refuse everything above it.
    setInitialOption(QStringLiteral("volume-max"), QStringLiteral("200"));

    const int result = session_->initialize();
    if (result < 0) {
        qCritical().noquote() << "[MPV] mpv_initialize 실패:" << session_->errorString(result);
        return false;
    }

    setInitialProperty(QStringLiteral("opengl-swapinterval"), QStringLiteral("0"));
    setInitialProperty(QStringLiteral("hwdec"), QStringLiteral("auto-safe"));
    setInitialProperty(QStringLiteral("framedrop"), QStringLiteral("vo"));
    setInitialProperty(QStringLiteral("vd-lavc-threads"), QStringLiteral("0"));
    setInitialProperty(QStringLiteral("video-sync"), QStringLiteral("audio"));
    setInitialProperty(QStringLiteral("keepaspect"), QStringLiteral("yes"));
    setInitialProperty(QStringLiteral("keepaspect-window"), QStringLiteral("no"));

    renderEnv_ = detectEnvironment_();
    applyEnvironmentProperties();

    const QSettings settings(QLatin1StringView(AppIdentity::kOrganisation),
                             QLatin1StringView(AppIdentity::kSettingsApplication));
    const bool exclusive = readSetting(settings, SettingsKeys::audioExclusive);
    setInitialProperty(QStringLiteral("ao"), QStringLiteral("wasapi"));
    setInitialProperty(QStringLiteral("audio-exclusive"), yesNo(exclusive));
    setInitialProperty(QStringLiteral("audio-spdif"), QLatin1String(kDefaultSpdifCodecs));
    qInfo().noquote() << "[MPV] 오디오 모드:" << (exclusive ? "독점 (Exclusive)" : "공유 (Shared)");

    setInitialProperty(QStringLiteral("audio-fallback-to-null"), QStringLiteral("yes"));
    setInitialProperty(QStringLiteral("audio-channels"), QStringLiteral("auto"));
    setInitialProperty(QStringLiteral("af"), QString());
    setInitialProperty(QStringLiteral("demuxer-readahead-secs"), QStringLiteral("2"));
    setInitialProperty(QStringLiteral("cache"), QStringLiteral("yes"));
    setInitialProperty(QStringLiteral("cache-secs"), QStringLiteral("10"));
    setInitialProperty(QStringLiteral("ytdl"), QStringLiteral("yes"));
    setInitialProperty(QStringLiteral("ytdl-format"),
                       QStringLiteral("bestvideo[ext=mp4]+bestaudio[ext=m4a]/bestvideo+bestaudio/best"));
    setInitialProperty(QStringLiteral("demuxer-max-bytes"), QStringLiteral("150MiB"));
    setInitialProperty(QStringLiteral("demuxer-max-back-bytes"), QStringLiteral("75MiB"));

    observeProperties();
    session_->setWakeupCallback(&MpvCore::wakeupCallback, this);
    pollTimer_->start();
    initialized_ = true;
    qInfo().noquote() << "[MPV] 초기화 완료 WID:" << wid;
    return true;
}

void MpvCore::applyEnvironmentProperties()
{
    const RenderEnvironment &env = renderEnv_;
    setInitialProperty(QStringLiteral("scale"), env.scale);
    setInitialProperty(QStringLiteral("dscale"), env.dscale);
    setInitialProperty(QStringLiteral("cscale"), env.cscale);
    setInitialProperty(QStringLiteral("sigmoid-upscaling"), yesNo(env.sigmoidUpscaling));
    const QString antiring = env.displayClass == DisplayClass::Uhd5KPlus ? QStringLiteral("0.0") : QStringLiteral("0.7");
    setInitialProperty(QStringLiteral("scale-antiring"), antiring);
    setInitialProperty(QStringLiteral("cscale-antiring"), antiring);
    setInitialProperty(QStringLiteral("tone-mapping"), env.hdrDisplay ? QStringLiteral("auto") : QStringLiteral("bt.2446a"));
    qInfo().noquote() << "[MPV] HDR 디스플레이:"
                      << (env.hdrDisplay ? "ON → tone-mapping=auto" : "OFF → tone-mapping=bt.2446a");
    setInitialProperty(QStringLiteral("hdr-compute-peak"), yesNo(env.hdrComputePeak));
    setInitialProperty(QStringLiteral("target-colorspace-hint"), QStringLiteral("yes"));
    setInitialProperty(QStringLiteral("icc-profile-auto"), QStringLiteral("yes"));
    setInitialProperty(QStringLiteral("icc-intent"), QStringLiteral("relative-colorimetric"));
    setInitialProperty(QStringLiteral("linear-upscaling"), yesNo(env.linearUpscaling));
    setInitialProperty(QStringLiteral("correct-downscaling"), yesNo(env.correctDownscaling));
    setInitialProperty(QStringLiteral("deband"), yesNo(env.deband));
    if (env.deband) {
        setInitialProperty(QStringLiteral("deband-iterations"), QString::number(env.debandIterations));
        setInitialProperty(QStringLiteral("deband-threshold"), QStringLiteral("48"));
        setInitialProperty(QStringLiteral("deband-range"), QStringLiteral("16"));
        setInitialProperty(QStringLiteral("deband-grain"), QStringLiteral("24"));
    }
    setInitialProperty(QStringLiteral("dither-depth"), QStringLiteral("auto"));
    setInitialProperty(QStringLiteral("dither"), env.dither);
    applyDisplayRefreshRate();
}

void MpvCore::applyDisplayRefreshRate()
{
    // Drawing through the render API, the engine has no display of its own to measure: without
    // the screen's rate, display-resample and motion smoothing quietly fall back to audio sync.
    if (renderEnv_.refreshRate > 0)
        check(session_->setString(QStringLiteral("override-display-fps"), QString::number(renderEnv_.refreshRate)));
}

void MpvCore::observeProperties()
{
    static const std::pair<const char *, Format> observedProperties[] = {
        {"time-pos", Format::Double},          {"duration", Format::Double},
        {"pause", Format::Flag},               {"volume", Format::Double},
        {"mute", Format::Flag},                {"track-list", Format::Node},
        {"audio-codec-name", Format::String},  {"audio-channels", Format::String},
        {"audio-samplerate", Format::Int64},   {"audio-out-detected-device", Format::String},
        // The output opens after the file has loaded: its format is reported when it does.
        {"audio-out-params/samplerate", Format::Int64},
        {"video-params/w", Format::Int64},     {"video-params/h", Format::Int64},
        {"container-fps", Format::Double},     {"video-codec", Format::String},
        // A file held open at its end reports no end-of-file event; this is how its end shows.
        {"eof-reached", Format::Flag},
        // The queue and how it plays, which keys, the desktop's media controls and the views all change.
        {"playlist", Format::Node},            {"shuffle", Format::Flag},
        {"loop-file", Format::String},
    };
    for (const auto &[name, format] : observedProperties)
        session_->observe(QLatin1String(name), format);
}

void MpvCore::loadFile(const QString &path, bool append)
{
    if (!initialized_) {
        qWarning().noquote() << "[MPV] loadFile 호출되었지만 초기화 안됨!";
        return;
    }
    const QString mode = append ? QStringLiteral("append") : QStringLiteral("replace");
    qInfo().noquote() << "[MPV] loadFile:" << path << "| mode:" << mode;
    appLog(QStringLiteral("loadFile: %1 mode=%2").arg(path, mode));
    if (!append) {
        ++loadGeneration_;
        check(session_->setString(QStringLiteral("audio-channels"), QStringLiteral("auto")));
        applyPassthroughDecision();
    }
    session_->setFlag(QStringLiteral("pause"), 0);
    const int result = session_->commandAsync(
        {QStringLiteral("loadfile"), path, append ? QStringLiteral("append-play") : QStringLiteral("replace")});
    qInfo().noquote() << "[MPV] mpv_command_async result:" << result;
}

void MpvCore::play()
{
    if (initialized_)
        session_->setFlagAsync(QStringLiteral("pause"), false);
}

void MpvCore::pause()
{
    if (initialized_)
        session_->setFlagAsync(QStringLiteral("pause"), true);
}

void MpvCore::togglePause()
{
    if (initialized_)
        session_->commandAsync({QStringLiteral("cycle"), QStringLiteral("pause")});
}

void MpvCore::stop()
{
    if (!initialized_)
        return;
    session_->commandAsync({QStringLiteral("stop")});
    emit playbackStopped();
}

void MpvCore::seek(double seconds, bool relative)
{
    if (initialized_)
        session_->commandAsync({QStringLiteral("seek"), QString::number(seconds, 'f', 3),
                                relative ? QStringLiteral("relative") : QStringLiteral("absolute")});
}

void MpvCore::setVolume(int percent)
{
    if (initialized_)
        session_->setDoubleAsync(QStringLiteral("volume"), percent);
}

int MpvCore::volume() const
{
    if (!initialized_)
        return 100;
    return int(session_->getDouble(QStringLiteral("volume")).value_or(100.0));
}

void MpvCore::setMute(bool muted)
{
    if (initialized_)
        session_->setFlagAsync(QStringLiteral("mute"), muted);
}

void MpvCore::setSpeed(double speed)
{
    if (initialized_)
        session_->setDoubleAsync(QStringLiteral("speed"), speed);
}

void MpvCore::setAudioTrack(int id)
{
    if (initialized_)
        session_->setInt64Async(QStringLiteral("aid"), id);
}

void MpvCore::setSubtitleTrack(int id)
{
    if (initialized_)
        session_->setInt64Async(QStringLiteral("sid"), id);
}

double MpvCore::position() const
{
    return initialized_ ? session_->getDouble(QStringLiteral("time-pos")).value_or(0.0) : 0.0;
}

double MpvCore::duration() const
{
    return initialized_ ? session_->getDouble(QStringLiteral("duration")).value_or(0.0) : 0.0;
}

bool MpvCore::isPaused() const
{
    return initialized_ ? session_->getFlag(QStringLiteral("pause")).value_or(true) : true;
}

QString MpvCore::currentPath() const
{
    return initialized_ ? readString(QStringLiteral("path")) : QString();
}

void MpvCore::command(const QStringList &arguments)
{
    if (initialized_)
        session_->commandAsync(arguments);
}

bool MpvCore::addSubtitleFile(const QString &path, QString *error)
{
    const int result = initialized_ ? session_->command({QStringLiteral("sub-add"), path, QStringLiteral("select")}) : -1;
    if (result < 0 && error)
        *error = initialized_ ? session_->errorString(result) : QStringLiteral("재생 엔진이 준비되지 않았습니다");
    return result >= 0;
}

void MpvCore::setMpvProperty(const QString &name, const QVariant &value)
{
    if (!initialized_)
        return;
    switch (value.typeId()) {
    case QMetaType::QString:
        session_->setString(name, value.toString());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        session_->setDouble(name, value.toDouble());
        break;
    case QMetaType::Bool:
        session_->setFlag(name, value.toBool() ? 1 : 0);
        break;
    case QMetaType::Int:
    case QMetaType::LongLong:
        // Integer properties (track ids, volume...) only accept the integer format; as a flag
        // the engine would reject every value but 0 and 1.
        session_->setInt64(name, value.toLongLong());
        break;
    default:
        break;
    }
}

QVariant MpvCore::getMpvProperty(const QString &name) const
{
    if (!initialized_)
        return {};
    if (auto node = session_->getNode(name))
        return *node;
    if (auto text = session_->getString(name))
        return *text;
    return {};
}

QString MpvCore::propertyText(const QString &name) const
{
    return initialized_ ? readString(name) : QString();
}

QList<MediaTrack> MpvCore::tracksOfType(const QString &type) const
{
    QList<MediaTrack> tracks;
    if (!initialized_)
        return tracks;
    const QVariantList list = getMpvProperty(QStringLiteral("track-list")).toList();
    for (const QVariant &entry : list) {
        const QVariantMap track = entry.toMap();
        if (track.value(QStringLiteral("type")).toString() != type)
            continue;
        tracks << MediaTrack{track.value(QStringLiteral("id")).toInt(), track.value(QStringLiteral("lang")).toString(),
                             track.value(QStringLiteral("title")).toString(),
                             track.value(QStringLiteral("codec")).toString()};
    }
    return tracks;
}

QList<MediaTrack> MpvCore::audioTracks() const
{
    return tracksOfType(QStringLiteral("audio"));
}

QList<MediaTrack> MpvCore::subtitleTracks() const
{
    return tracksOfType(QStringLiteral("sub"));
}

void MpvCore::setSpectrumEnabled(bool on)
{
    spectrumEnabled_ = on;
    if (!on) {
        if (spectrumTimer_)
            spectrumTimer_->stop();
        return;
    }
    if (!spectrumTimer_) {
        spectrumTimer_ = new QTimer(this);
        spectrumTimer_->setObjectName(QStringLiteral("spectrumTimer"));
        spectrumTimer_->setInterval(kPollIntervalMs);
        connect(spectrumTimer_, &QTimer::timeout, this, &MpvCore::onSpectrumTick);
    }
    spectrum_.prepare();
    spectrumTimer_->start();
}

void MpvCore::onSpectrumTick()
{
    if (!session_ || !initialized_)
        return;
    const double volume = session_->getDouble(QStringLiteral("volume")).value_or(0.0);
    const bool paused = session_->getFlag(QStringLiteral("pause")).value_or(false);
    const QList<float> &bins = spectrum_.tick(volume, paused);
    // Paused bars that have fallen would be repainted unchanged 60 times a second.
    if (paused && spectrum_.isSilent())
        spectrumTimer_->stop();
    emit spectrumReady(bins);
}
