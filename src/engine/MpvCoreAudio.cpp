#include "engine/MpvCore.h"

#include "app/AppLog.h"
#include "engine/EngineDialect.h"

#include <QDebug>
#include <QLocale>
#include <QTimer>

namespace {
constexpr int kReplayDelayMs = 100;
constexpr int kWatchdogDelayMs = 2000;
constexpr double kStalledPositionSeconds = 0.5;
// How many further checks an output may take to open. The engine tries the desktop's outputs
// one after another, and on a busy machine that alone can outlast a check.
constexpr int kOutputOpeningChecks = 3;

// Words in an output's name or description that mean a digital link a receiver can sit behind
// (HDMI, DisplayPort and optical links, receivers, GPU audio over HDMI). Analog outputs, the
// desktop's default ("auto") and anything unrecognised are sent decoded audio.
const QStringList &passthroughKeywords()
{
    static const QStringList keywords = {
        QStringLiteral("hdmi"),          QStringLiteral("digital"),
        QStringLiteral("spdif"),         QStringLiteral("s/pdif"),
        QStringLiteral("optical"),       QStringLiteral("receiver"),
        QStringLiteral("avr"),           QStringLiteral("denon"),
        QStringLiteral("yamaha"),        QStringLiteral("onkyo"),
        QStringLiteral("marantz"),       QStringLiteral("pioneer"),
        QStringLiteral("nvidia high definition"), QStringLiteral("amd high definition"),
        QStringLiteral("intel display"), QStringLiteral("displayport"),
        QStringLiteral("iec958"),
    };
    return keywords;
}

} // namespace

QVariantList MpvCore::audioDevices() const
{
    QVariantList devices;
    if (!initialized_)
        return devices;
    const QVariantList list = getMpvProperty(QStringLiteral("audio-device-list")).toList();
    for (const QVariant &entry : list) {
        const QVariantMap device = entry.toMap();
        if (!device.isEmpty())
            devices << device;
    }
    return devices;
}

void MpvCore::setAudioDevice(const QString &name)
{
    if (initialized_)
        check(session_->setString(QStringLiteral("audio-device"), name));
}

void MpvCore::setAudioExclusive(bool on)
{
    if (initialized_)
        check(session_->setString(QStringLiteral("audio-exclusive"), yesNo(on)));
}

void MpvCore::setPassthrough(bool on)
{
    passthroughEnabled_ = on;
    if (initialized_)
        check(session_->setString(QStringLiteral("audio-spdif"), on ? spdifCodecs_ : QString()));
}

void MpvCore::setPassthroughCodecs(const QStringList &codecs)
{
    spdifCodecs_ = codecs.join(QLatin1Char(','));
    if (initialized_)
        check(session_->setString(QStringLiteral("audio-spdif"), spdifCodecs_));
}

bool MpvCore::isDirectHardwareOutput() const
{
    return initialized_ && readString(QStringLiteral("audio-device")).startsWith(QLatin1String("alsa/hw:"));
}

bool MpvCore::isPassthroughCapableDevice() const
{
    // Without an engine nothing argues against passthrough; the engine's own fallback decides.
    if (!initialized_)
        return true;

    const QString current = readString(QStringLiteral("audio-device"), QStringLiteral("auto"));
    // The desktop's default output could be anything; listing the devices to learn only that
    // would make every file opening probe every sound server.
    if (current == QLatin1String("auto")) {
        qInfo().noquote() << "[MPV] 패스스루 미지원 추정 장치:" << current;
        return false;
    }
    QString description;
    for (const QVariant &entry : audioDevices()) {
        const QVariantMap device = entry.toMap();
        if (device.value(QStringLiteral("name")).toString() == current) {
            description = device.value(QStringLiteral("description")).toString();
            break;
        }
    }
    // The id alone often says it ("alsa/hdmi:CARD=…", "pulse/…hdmi-stereo"), also for a device
    // the engine does not list.
    const QString judged = (current + QLatin1Char(' ') + description).toLower();
    for (const QString &keyword : passthroughKeywords())
        if (judged.contains(keyword))
            return true;
    qInfo().noquote() << "[MPV] 패스스루 미지원 추정 장치:" << (description.isEmpty() ? current : description);
    return false;
}

void MpvCore::applyPassthroughDecision()
{
    if (!isPassthroughCapableDevice())
        check(session_->setString(QStringLiteral("audio-spdif"), QString()));
    else if (passthroughEnabled_)
        check(session_->setString(QStringLiteral("audio-spdif"), spdifCodecs_));
}

void MpvCore::rescueAudio()
{
    // A bitstream the output refused leaves the file stalled, and reopening the output alone
    // does not bring it back: the audio track is restarted so that it is decoded to PCM. Only
    // for this file ("file-local-options"), so the next file selects its own track again. The
    // restart alone is sometimes lost while the engine is still unwinding the failed output
    // (the file then sits still with no output): a seek to where it stands starts playback,
    // and with it the output, afresh.
    audioRescue_ = AudioRescue::Decoded;
    outputOpeningChecks_ = 0; // the reopened output gets its own wait
    check(session_->setString(QStringLiteral("audio-spdif"), QString()));
    const QString track = readString(QStringLiteral("aid"));
    if (!track.isEmpty() && track != QLatin1String("no") && track != QLatin1String("auto")) {
        check(session_->setString(QStringLiteral("file-local-options/aid"), QStringLiteral("no")));
        check(session_->setString(QStringLiteral("file-local-options/aid"), track));
    }
    session_->commandAsync({QStringLiteral("ao-reload")});
    session_->commandAsync({QStringLiteral("seek"), QStringLiteral("0"), QStringLiteral("relative+exact")});
    session_->setFlagAsync(QStringLiteral("pause"), false);
}

void MpvCore::recoverAudioDriver()
{
    // Once per file: when decoded audio fails the same way, retrying would only loop.
    if (audioRescue_ != AudioRescue::None)
        return;
    appLog(QStringLiteral("AO 초기화 실패 감지 → 자동 복구 시작"));
    qWarning().noquote() << "[MPV] AO 실패 감지 → spdif 해제 후 ao-reload";
    rescueAudio();
    armPlaybackWatchdog();
}

std::optional<int> MpvCore::playlistIndexOf(qint64 entryId) const
{
    const QVariantList entries = getMpvProperty(QStringLiteral("playlist")).toList();
    for (int index = 0; index < entries.size(); ++index)
        if (entries.at(index).toMap().value(QStringLiteral("id")).toLongLong() == entryId)
            return index;
    return std::nullopt;
}

void MpvCore::fallBackFromExclusive(qint64 entryId, const QString &errorText)
{
    if (readString(QStringLiteral("audio-exclusive")) != QLatin1String("yes") || entryId <= 0) {
        emit errorOccurred(errorText);
        return;
    }
    // Only this session falls back; the user's choice of exclusive mode stays as stored.
    qWarning().noquote() << "[MPV] WASAPI Exclusive 실패 → 공유 모드로 자동 전환";
    check(session_->setString(QStringLiteral("audio-exclusive"), QStringLiteral("no")));

    replayEntryLater(entryId);
    emit errorOccurred(kExclusiveFallbackMessage.toString());
}

void MpvCore::replayEntryLater(qint64 entryId)
{
    if (entryId <= 0)
        return;
    // The engine is still unwinding the failed file (or already on the next queued one): the
    // failed entry is played again by its place in the queue, which keeps the queue whole.
    // "path" cannot tell which file failed any more.
    QTimer::singleShot(kReplayDelayMs, this, [this, entryId, generation = loadGeneration_] {
        if (!initialized_ || generation != loadGeneration_)
            return; // the user has opened something else meanwhile
        if (const auto index = playlistIndexOf(entryId))
            session_->commandAsync({QStringLiteral("playlist-play-index"), QString::number(*index)});
    });
}

bool MpvCore::setAudioFilter(AudioFilterSlot slot, const QString &filters)
{
    if (!initialized_)
        return false;
    const int result = audioFilters_->set(slot, filters);
    if (result < 0)
        emit audioFilterFailed(slot, session_->errorString(result));
    return result >= 0;
}

bool MpvCore::clearAudioFilter(AudioFilterSlot slot)
{
    return initialized_ && check(audioFilters_->clear(slot)) >= 0;
}

QString MpvCore::audioFilter(AudioFilterSlot slot) const
{
    return audioFilters_->filters(slot);
}

bool MpvCore::setAudioResampler(const QString &resampler)
{
    if (!initialized_)
        return false;
    const std::optional<QString> options = engineResamplerOptions(resampler);
    if (!options) {
        qWarning().noquote() << "[MPV] 알 수 없는 리샘플러:" << resampler;
        return false;
    }
    return check(session_->setString(QStringLiteral("audio-swresample-o"), *options)) >= 0;
}

void MpvCore::takeOutFailedFilters(const QString &logText)
{
    const AudioFilterChain::Failure failure = audioFilters_->failedEntries(logText);
    for (const AudioFilterSlot slot : failure.removed) {
        qWarning().noquote() << "[MPV] 오디오 필터 실패 → 해제:" << AudioFilterChain::label(slot) << logText;
        emit audioFilterFailed(slot, logText);
    }
    // The file's audio did not start; without those filters it will, so the file starts again
    // (an audio-only file has failed outright, a film would play on silent). The file is the
    // one whose error end is waiting for this line, or else the one still starting.
    if (!failure.audioFailed || failure.removed.isEmpty())
        return;
    const qint64 entryId = endErrors_.isEmpty() ? currentEntryId_ : endErrors_.last().entryId;
    if (replayedForFilters_ != entryId) {
        replayedForFilters_ = entryId;
        replayEntryLater(entryId);
    }
}

void MpvCore::armPlaybackWatchdog()
{
    // One pending check at a time: arming again postpones it, so every wait is a full one.
    playbackWatchdog_->start(kWatchdogDelayMs);
}

void MpvCore::checkPlaybackStall()
{
    if (!session_ || !initialized_)
        return;
    const bool paused = session_->getFlag(QStringLiteral("pause")).value_or(true);
    const double position = session_->getDouble(QStringLiteral("time-pos")).value_or(-1.0);
    const bool coreIdle = session_->getFlag(QStringLiteral("core-idle")).value_or(false);
    appLog(QStringLiteral("워치독: pause=%1 time-pos=%2 core-idle=%3")
               .arg(QString::number(paused ? 1 : 0), QString::number(position, 'g', QLocale::FloatingPointShortest),
                    QString::number(coreIdle ? 1 : 0)));

    // A file that should be playing but has not moved: typically an output that silently
    // refused the passthrough stream, which no error event reports.
    if (paused || !coreIdle || position >= kStalledPositionSeconds)
        return;
    // No output open yet is not a refused stream: the engine is still trying outputs one after
    // another, and if every one fails it drops the audio itself.
    const bool outputOpen = !readString(QStringLiteral("current-ao")).isEmpty();
    if (!outputOpen && outputOpeningChecks_ < kOutputOpeningChecks) {
        ++outputOpeningChecks_;
        armPlaybackWatchdog();
        return;
    }
    if (audioRescue_ == AudioRescue::None) {
        appLog(QStringLiteral("워치독: 재생 멈춤 감지 → spdif 해제 + ao-reload 강제 복구"));
        qWarning().noquote() << "[MPV] 워치독: 재생 멈춤 → ao-reload 복구";
        rescueAudio();
        armPlaybackWatchdog();
    } else if (audioRescue_ == AudioRescue::Decoded && !outputOpen) {
        // An open output takes decoded audio; what holds the file then is not the sound (a busy
        // machine's first frames can take seconds). Without one, a picture without sound beats
        // a frozen one.
        appLog(QStringLiteral("워치독: 오디오 출력 불가 → 소리 없이 재생"));
        qWarning().noquote() << "[MPV] 워치독: 오디오 출력 불가 → 소리 없이 재생";
        audioRescue_ = AudioRescue::Silent;
        check(session_->setString(QStringLiteral("file-local-options/aid"), QStringLiteral("no")));
        session_->setFlagAsync(QStringLiteral("pause"), false);
    }
}
