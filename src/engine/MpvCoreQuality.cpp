#include "engine/EngineDialect.h"
#include "engine/MpvCore.h"

#include <QDebug>
#include <QTimer>

#include <array>
#include <string_view>

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

const char *profileValue(std::string_view name, int column)
{
    for (const ProfileOption &option : kProfileOptions)
        if (name == option.name)
            return option.values[size_t(column)];
    return nullptr;
}

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
    if (!chosenHwdec_.isEmpty())
        return; // the user's decoder holds for every file
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
    if (!initialized_)
        return;
    chosenHwdec_ = value;
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
        // The profile's scaler and debanding are the user's from now on; a new video or a
        // re-detection does not take them back.
        chosenScales_[size_t(ScaleChooser::Settings)] = QLatin1String(profileValue("scale", column));
        chosenDeband_ = QLatin1String(profileValue("deband", column)) == QLatin1String("yes");
        if (qualityDegraded_)
            beforeDrops_ = {readString(QStringLiteral("scale")), readString(QStringLiteral("cscale")),
                            readString(QStringLiteral("deband"))};
    }
    emit renderProfileChanged(profile);
}

void MpvCore::setChosenScale(ScaleChooser chooser, const QString &scale)
{
    if (!initialized_)
        return;
    chosenScales_[size_t(chooser)] = scale;
    applyVideoScale();
}

QString MpvCore::chosenScale() const
{
    const QString &panel = chosenScales_[size_t(ScaleChooser::Upscaling)];
    return panel.isEmpty() ? chosenScales_[size_t(ScaleChooser::Settings)] : panel;
}

void MpvCore::setChosenDeband(bool on)
{
    if (!initialized_)
        return;
    chosenDeband_ = on;
    // While the ladder holds debanding off it stays off; the restoration brings the choice.
    if (qualityDegraded_)
        beforeDrops_.deband = yesNo(on);
    else
        check(session_->setString(QStringLiteral("deband"), yesNo(on)));
}

// The user's scaler where there is one, otherwise the one that suits this video on this display
// (or the display's own before any video).
void MpvCore::applyVideoScale()
{
    QString scale = chosenScale();
    if (scale.isEmpty())
        scale = videoWidth_ > 0 ? scaleForVideo(videoWidth_, videoHeight_, renderEnv_) : renderEnv_.scale;
    if (scale.isEmpty())
        return;
    // A scaler stepped down by the ladder stays down until it restores; then this one comes back.
    if (qualityDegraded_ && readString(QStringLiteral("scale")) != beforeDrops_.scale) {
        beforeDrops_.scale = scale;
        return;
    }
    check(session_->setString(QStringLiteral("scale"), scale));
    if (qualityDegraded_)
        beforeDrops_.scale = readString(QStringLiteral("scale"), scale);
}

void MpvCore::redetectGpu()
{
    if (!initialized_)
        return;
    renderEnv_ = detectEnvironment_();
    const RenderEnvironment &env = renderEnv_;
    qInfo().noquote() << "[MPV] GPU 재감지 완료:" << env.gpuRenderer << "→" << tierName(env.tier);

    const QString chosen = chosenScale();
    const std::pair<const char *, QString> scalers[] = {
        {"scale", chosen.isEmpty() ? env.scale : chosen},
        {"dscale", env.dscale},
        {"cscale", env.cscale},
        {"sigmoid-upscaling", yesNo(env.sigmoidUpscaling)},
        {"deband", yesNo(chosenDeband_.value_or(env.deband))},
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
    // A restoration after this returns to the new detection's values.
    qualityDegraded_ = false;

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
    // A new start or a seek begins the count afresh, with the quality that was in force: a
    // degraded state forgotten here would never be restored.
    if (qualityDegraded_)
        restoreQuality();
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
    const QualityBeforeDrops &before = beforeDrops_;
    check(session_->setString(QStringLiteral("scale"), before.scale));
    check(session_->setString(QStringLiteral("cscale"), before.cscale));
    check(session_->setString(QStringLiteral("deband"), before.deband));
    qInfo().noquote() << QStringLiteral("[MPV] 자동 품질 복원: scale=%1, deband=%2").arg(before.scale, before.deband);
    emit renderQualityRestored();
}

// Cheapest loss first: debanding goes after a short run of drops, the scaler steps down only
// when the drops persist, one step per interval.
void MpvCore::degradeQuality()
{
    if (!qualityDegraded_) {
        if (dropStreak_ < kStreakToDisableDeband)
            return;
        beforeDrops_ = {readString(QStringLiteral("scale"), renderEnv_.scale),
                        readString(QStringLiteral("cscale"), renderEnv_.cscale),
                        readString(QStringLiteral("deband"), yesNo(renderEnv_.deband))};
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

bool MpvCore::shadersRunningNow(ShaderSlot slot) const
{
    return shaders_->isProven(slot);
}

void MpvCore::takeOutFailedShaders(const QString &logText)
{
    for (const ShaderSlot slot : shaders_->failedEntries(logText)) {
        qWarning().noquote() << "[MPV] 셰이더 컴파일 실패 → 해제:" << int(slot) << logText;
        emit shaderFailed(slot, logText);
    }
}
