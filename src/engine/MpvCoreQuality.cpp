#include "engine/EngineDialect.h"
#include "engine/MpvCore.h"

#include <QDebug>
#include <QTimer>

#include <array>

namespace {
constexpr int kFrameDropCheckMs = 3000;
// Drops per check interval at which playback counts as struggling.
constexpr int kDropThreshold = 3;
constexpr int kStreakToDisableDeband = 2;
constexpr int kStreakToLowerScale = 4;
constexpr int kCleanStreakToRestore = 10;
constexpr int kShaderCacheMinVramMb = 4096;
constexpr int kDirectRenderingMinVramMb = 8192;
constexpr int kSmallVramMb = 2048;

QString yesNo(bool on)
{
    return on ? QStringLiteral("yes") : QStringLiteral("no");
}

struct ProfileOption {
    const char *name;
    std::array<const char *, 4> values; // Eco, Balanced, Quality, HiEnd; nullptr leaves the option as it is
};

constexpr ProfileOption kProfileOptions[] = {
    {"scale", {"bilinear", "spline36", "ewa_lanczossharp", "ewa_lanczossharp4sharpest"}},
    {"dscale", {"bilinear", "mitchell", "mitchell", "ewa_lanczossharp"}},
    {"cscale", {"bilinear", "spline36", "sinc", "ewa_lanczossharp"}},
    {"sigmoid-upscaling", {"no", "yes", "yes", "yes"}},
    {"scale-antiring", {"0.0", "0.5", "0.7", "0.8"}},
    {"cscale-antiring", {"0.0", "0.5", "0.7", "0.8"}},
    {"deband", {"no", "yes", "yes", "yes"}},
    {"deband-iterations", {nullptr, "1", "1", "4"}},
    {"deband-threshold", {nullptr, nullptr, nullptr, "64"}},
    {"deband-range", {nullptr, nullptr, nullptr, "20"}},
    {"deband-grain", {nullptr, nullptr, nullptr, "32"}},
    {"dither", {"no", "fruit", "fruit", "fruit"}},
    {"dither-depth", {nullptr, nullptr, nullptr, "auto"}},
    {"correct-downscaling", {"no", "yes", "yes", "yes"}},
    {"linear-upscaling", {"no", "yes", "yes", "yes"}},
    {"hdr-compute-peak", {"no", "yes", "yes", "yes"}},
    {"keepaspect", {"yes", "yes", "yes", "yes"}},
    {"keepaspect-window", {"no", "no", "no", "no"}},
};

constexpr std::array<const char *, 4> kProfileLogLines = {
    "[MPV] 렌더 프로파일: Eco (절전 - 통합 GPU 최적화)",
    "[MPV] 렌더 프로파일: Balanced (균형 - 중급 GPU)",
    "[MPV] 렌더 프로파일: Quality (화질 - 고급 GPU)",
    "[MPV] 렌더 프로파일: HiEnd (최고화질 - 전문가용)",
};
} // namespace

void MpvCore::chooseVideoSync(double fps)
{
    if (!initialized_ || fps <= 0)
        return;
    videoFps_ = fps;
    // Motion smoothing only works on display-resample; switching away would silently turn it off.
    if (readString(QStringLiteral("interpolation")) == QLatin1String("yes")) {
        qInfo().noquote() << "[MPV] video-sync: 모션 스무딩 활성화 → display-resample 유지";
        return;
    }
    const double refresh = renderEnv_.refreshRate > 0 ? renderEnv_.refreshRate : 60.0;
    // Resampled to the display, every refresh is a frame: on the software surface each one is a
    // CPU conversion of the same picture (twice the work for 30 fps at 60 Hz), and with no
    // vsync to pace against there is no smoothness to gain.
    const QString mode = videoSurface_ == VideoSurfaceKind::Software ? QStringLiteral("audio") : videoSyncFor(fps, refresh);
    check(session_->setString(QStringLiteral("video-sync"), mode));
    if (mode == QLatin1String("display-resample")) {
        check(session_->setString(QStringLiteral("interpolation"), QStringLiteral("no")));
        check(session_->setString(QStringLiteral("video-sync-max-video-change"), QStringLiteral("5")));
    }
}

void MpvCore::applyHwdecForCodec(const QString &codec)
{
    if (!initialized_)
        return;
    videoCodec_ = codec;
    const QString current = readString(QStringLiteral("hwdec"), QStringLiteral("auto-safe"));
    const QString wanted = hwdecForCodec(codec, renderEnv_.gpuFamily, renderEnv_.tier);
    // Only a different decoder is written, compared as this engine spells it: several of the
    // player's names are one value here, and writing the same choice again only adds noise.
    const auto asEngineValue = [](const QString &value) {
        return engineValueFor(QStringLiteral("hwdec"), value).value_or(value);
    };
    if (asEngineValue(wanted) == asEngineValue(current))
        return;
    check(session_->setString(QStringLiteral("hwdec"), wanted));
    qInfo().noquote() << QStringLiteral("[MPV] 코덱별 hwdec 최적화: %1 → hwdec=%2").arg(codec, wanted);
}

void MpvCore::setHwdec(const QString &value)
{
    if (initialized_)
        check(session_->setString(QStringLiteral("hwdec"), value));
}

void MpvCore::applyRenderProfile(RenderProfile profile)
{
    if (!initialized_)
        return;
    renderProfile_ = profile;
    const int column = int(profile);
    if (column >= 0 && column < int(kProfileLogLines.size())) {
        for (const ProfileOption &option : kProfileOptions) {
            if (const char *value = option.values[size_t(column)])
                check(session_->setString(QLatin1String(option.name), QLatin1String(value)));
        }
        qInfo().noquote() << QString::fromUtf8(kProfileLogLines[size_t(column)]);
    }
    emit renderProfileChanged(profile);
}

void MpvCore::redetectGpu()
{
    if (!initialized_)
        return;
    renderEnv_ = detectEnvironment_();
    const RenderEnvironment &env = renderEnv_;
    qInfo().noquote() << "[MPV] GPU 재감지 완료:" << env.gpuRenderer << "→" << tierName(env.tier);

    const std::pair<const char *, QString> scalers[] = {
        {"scale", env.scale},
        {"dscale", env.dscale},
        {"cscale", env.cscale},
        {"sigmoid-upscaling", yesNo(env.sigmoidUpscaling)},
        {"deband", yesNo(env.deband)},
        {"hdr-compute-peak", yesNo(env.hdrComputePeak)},
        {"linear-upscaling", yesNo(env.linearUpscaling)},
        {"correct-downscaling", yesNo(env.correctDownscaling)},
        {"keepaspect", QStringLiteral("yes")},
        {"keepaspect-window", QStringLiteral("no")},
    };
    for (const auto &[name, value] : scalers)
        check(session_->setString(QLatin1String(name), value));
    applyDisplayRefreshRate();

    ensureFrameDropTimer();
    if (readString(QStringLiteral("pause")) != QLatin1String("yes"))
        frameDropTimer_->start();
    // What the drop monitor restores to after it has lowered the quality.
    savedScale_ = env.scale;
    savedDeband_ = env.deband;

    if (env.vramMb >= kShaderCacheMinVramMb) {
        check(session_->setString(QStringLiteral("gpu-shader-cache-dir"), QStringLiteral("~~/.cache/mpv/shaders")));
        if (env.vramMb >= kDirectRenderingMinVramMb) {
            check(session_->setString(QStringLiteral("vd-lavc-dr"), QStringLiteral("yes")));
            qInfo().noquote() << "[MPV] VRAM 8GB+ → vd-lavc-dr=yes (직접 렌더링 활성화)";
        }
        qInfo().noquote() << "[MPV] VRAM" << env.vramMb << "MB → 셰이더 캐시 활성화";
    } else if (env.vramMb >= 1 && env.vramMb < kSmallVramMb) {
        // Compiled shaders kept on disk are not worth the memory they pin on small cards.
        check(session_->setString(QStringLiteral("gpu-shader-cache-dir"), QString()));
        qInfo().noquote() << "[MPV] VRAM" << env.vramMb << "MB 미만 → 셰이더 캐시 비활성화";
    }

    if (env.hdrDisplay) {
        check(session_->setString(QStringLiteral("tone-mapping"), QStringLiteral("auto")));
        check(session_->setString(QStringLiteral("target-colorspace-hint"), QStringLiteral("yes")));
        check(session_->setString(QStringLiteral("target-peak"), QStringLiteral("auto")));
        qInfo().noquote() << "[MPV] HDR 디스플레이 감지 → tone-mapping=auto (패스스루 모드)";
    } else {
        check(session_->setString(QStringLiteral("tone-mapping"), QStringLiteral("bt.2446a")));
        qInfo().noquote() << "[MPV] SDR 디스플레이 → tone-mapping=bt.2446a";
    }

    if (env.lavcThreads < 1) {
        check(session_->setString(QStringLiteral("vd-lavc-threads"), QStringLiteral("0")));
    } else {
        check(session_->setString(QStringLiteral("vd-lavc-threads"), QString::number(env.lavcThreads)));
        qInfo().noquote() << "[MPV] lavc-threads=" << env.lavcThreads << "(GPU 부하 연동, 자동=0)";
    }
}

void MpvCore::setInterpolation(bool on)
{
    if (!initialized_)
        return;
    if (on) {
        check(session_->setString(QStringLiteral("interpolation"), QStringLiteral("yes")));
        check(session_->setString(QStringLiteral("tscale"), QStringLiteral("oversample")));
        check(session_->setString(QStringLiteral("video-sync"), QStringLiteral("display-resample")));
    } else {
        check(session_->setString(QStringLiteral("interpolation"), QStringLiteral("no")));
        check(session_->setString(QStringLiteral("video-sync"), QStringLiteral("audio")));
    }
}

void MpvCore::resetFrameDropState()
{
    lastDropCount_ = 0;
    dropStreak_ = 0;
    cleanStreak_ = 0;
    qualityDegraded_ = false;
}

void MpvCore::ensureFrameDropTimer()
{
    if (frameDropTimer_)
        return;
    frameDropTimer_ = new QTimer(this);
    frameDropTimer_->setInterval(kFrameDropCheckMs);
    connect(frameDropTimer_, &QTimer::timeout, this, &MpvCore::onFrameDropCheck);
}

void MpvCore::onFrameDropCheck()
{
    if (!initialized_)
        return;
    const int count = int(session_->getInt64(QStringLiteral("frame-drop-count")).value_or(0));
    const int delta = count - lastDropCount_;
    lastDropCount_ = count;
    // A paused player drops nothing worth judging; only the baseline follows the counter.
    if (readString(QStringLiteral("pause")) == QLatin1String("yes"))
        return;

    if (delta < kDropThreshold) {
        dropStreak_ = 0;
        if (!qualityDegraded_)
            return;
        if (++cleanStreak_ >= kCleanStreakToRestore)
            restoreQuality();
        return;
    }

    ++dropStreak_;
    cleanStreak_ = 0;
    qWarning().noquote() << "[MPV] 프레임 드롭 감지:" << delta << "프레임/3초 (연속" << dropStreak_ << "회)";
    degradeQuality();
}

void MpvCore::restoreQuality()
{
    qualityDegraded_ = false;
    cleanStreak_ = 0;
    check(session_->setString(QStringLiteral("scale"), savedScale_));
    check(session_->setString(QStringLiteral("cscale"), renderEnv_.cscale));
    check(session_->setString(QStringLiteral("deband"), yesNo(savedDeband_)));
    qInfo().noquote() << QStringLiteral("[MPV] 자동 품질 복원: scale=%1, deband=%2").arg(savedScale_, yesNo(savedDeband_));
    emit renderQualityRestored();
}

// Cheapest loss first: debanding goes after a short run of drops, the scaler steps down only
// when the drops persist, one step per interval.
void MpvCore::degradeQuality()
{
    if (!qualityDegraded_) {
        if (dropStreak_ < kStreakToDisableDeband)
            return;
        qualityDegraded_ = true;
        check(session_->setString(QStringLiteral("deband"), QStringLiteral("no")));
        qInfo().noquote() << "[MPV] 자동 품질 강등: deband 비활성화";
        emit renderQualityDegraded(QStringLiteral("프레임 드롭 감지 → deband 비활성화"));
        return;
    }
    if (dropStreak_ < kStreakToLowerScale)
        return;
    const QString scale = readString(QStringLiteral("scale"));
    if (scale == QLatin1String("ewa_lanczossharp")) {
        check(session_->setString(QStringLiteral("scale"), QStringLiteral("spline36")));
        check(session_->setString(QStringLiteral("cscale"), QStringLiteral("spline36")));
        qInfo().noquote() << "[MPV] 자동 품질 강등: ewa_lanczossharp → spline36";
        emit renderQualityDegraded(QStringLiteral("심각한 드롭 → scale=spline36"));
    } else if (scale == QLatin1String("spline36")) {
        check(session_->setString(QStringLiteral("scale"), QStringLiteral("bilinear")));
        check(session_->setString(QStringLiteral("cscale"), QStringLiteral("bilinear")));
        qInfo().noquote() << "[MPV] 자동 품질 강등: spline36 → bilinear";
        emit renderQualityDegraded(QStringLiteral("심각한 드롭 → scale=bilinear"));
    }
}

bool MpvCore::setShaders(ShaderSlot slot, const QStringList &paths)
{
    if (videoSurface_ == VideoSurfaceKind::Software && !paths.isEmpty()) {
        // The engine would take the list and never run it: the software surface has no GPU.
        qWarning().noquote() << "[MPV] 소프트웨어 화면: GPU 셰이더를 실행할 수 없음" << paths;
        return false;
    }
    return initialized_ && check(shaders_->set(slot, paths)) >= 0;
}

QStringList MpvCore::shaders(ShaderSlot slot) const
{
    return shaders_->shaders(slot);
}

void MpvCore::takeOutFailedShaders(const QString &logText)
{
    for (const ShaderSlot slot : shaders_->failedEntries(logText)) {
        qWarning().noquote() << "[MPV] 셰이더 컴파일 실패 → 해제:" << int(slot) << logText;
        emit shaderFailed(slot, logText);
    }
}
