#include "engine/EngineDialect.h"
#include "engine/MpvCore.h"

#include "app/AppLog.h"
#include "engine/AudioFormat.h"

#include <QDebug>
#include <QLocale>
#include <QTimer>

#include <mpv/client.h>

// What the engine reports (events, log lines, property changes), turned into the core's state
// and signals on the GUI thread.
namespace {
constexpr int kStreamRefreshDelayMs = 300;

using Format = EngineEvent::Format;

QString shortest(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}
} // namespace

void MpvCore::wakeupCallback(void *context)
{
    // Called on a libmpv thread: only hand the drain over to the GUI thread.
    QTimer::singleShot(0, static_cast<MpvCore *>(context), &MpvCore::onMpvEvents);
}

void MpvCore::onMpvEvents()
{
    while (session_) {
        const EngineEvent event = session_->nextEvent();
        if (event.type == EngineEvent::Type::None)
            break;
        handleEvent(event);
    }
    // The engine hands over its log lines only after all pending events; now both are through.
    audioFilters_->logCaughtUp();
    reportEndErrors();
}

void MpvCore::reportEndErrors()
{
    for (const EndError &error : std::exchange(endErrors_, {})) {
        if (replayedForFilters_ == error.entryId)
            replayedForFilters_.reset(); // the failure was the filter's; audioFilterFailed said so
        else
            emit errorOccurred(error.text);
    }
}

void MpvCore::handleEvent(const EngineEvent &event)
{
    using Type = EngineEvent::Type;
    switch (event.type) {
    case Type::LogMessage:
        handleLogMessage(event);
        break;
    case Type::StartFile:
        handleStartFile(event);
        break;
    case Type::EndFile:
        handleEndFile(event);
        break;
    case Type::FileLoaded:
        handleFileLoaded();
        break;
    case Type::Seek:
        if (initialized_ && !preview_) {
            lastDropCount_ = int(session_->getInt64(QStringLiteral("frame-drop-count")).value_or(0));
            dropStreak_ = 0;
            qInfo().noquote() << "[MPV] seek 감지 → 프레임 드롭 카운터 리셋";
        }
        break;
    case Type::PlaybackRestart:
        emit playbackRestarted();
        if (preview_)
            break; // a preview's seeks are no start of playback
        qInfo().noquote() << "[MPV] PLAYBACK_RESTART - 재생 시작";
        appLog(QStringLiteral("EVENT PLAYBACK_RESTART"));
        // The engine restarts after every seek, also in a paused file: that is no start of
        // playback, and reporting one would keep the screen awake while nothing plays.
        if (!isPaused())
            emit playbackStarted();
        audioFilters_->setAudioRunning(true);
        replayedForFilters_.reset(); // played again and running
        if (frameDropTimer_) {
            resetFrameDropState();
            frameDropTimer_->start();
        }
        break;
    case Type::PropertyChange:
        handlePropertyChange(event);
        break;
    case Type::None:
    case Type::Other:
        break;
    }
}

void MpvCore::handleLogMessage(const EngineEvent &event)
{
    using Level = EngineEvent::LogLevel;
    if (event.logLevel <= Level::Warn)
        qWarning().noquote() << "[MPV]" << event.logPrefix << event.logText;
    if (event.logLevel > Level::Error)
        return;
    if (event.logText.contains(QLatin1String("Failed to initialize audio driver")))
        recoverAudioDriver();
    else
        takeOutFailedFilters(event.logText);
    takeOutFailedShaders(event.logText);
}

void MpvCore::stopFrameDropMonitor()
{
    if (frameDropTimer_ && frameDropTimer_->isActive()) {
        frameDropTimer_->stop();
        qInfo().noquote() << "[MPV] 재생 종료 → frameDropTimer 정지";
    }
    resetFrameDropState();
}

void MpvCore::handleStartFile(const EngineEvent &event)
{
    appLog(QStringLiteral("EVENT START_FILE"));
    playbackWatchdog_->stop(); // a check belongs to the file it was armed for
    currentEntryId_ = event.playlistEntryId;
    audioFilters_->setAudioRunning(false);
    endReported_ = false;
    audioRescue_ = AudioRescue::None;
    outputOpeningChecks_ = 0;
}

void MpvCore::handleEndFile(const EngineEvent &event)
{
    stopFrameDropMonitor();
    audioFilters_->setAudioRunning(false);
    if (event.endReason == EngineEvent::EndReason::Eof) {
        reportEnd();
    } else if (event.endReason == EngineEvent::EndReason::Error) {
        const QString errorText = session_->errorString(event.error);
        qWarning().noquote() << "[MPV] END_FILE error:" << errorText;
        // Only an output that could not be opened is worth a retry in shared mode: a broken or
        // missing file would fail the same way and be announced as an audio failure.
        if (event.error == MPV_ERROR_AO_INIT_FAILED)
            fallBackFromExclusive(event.playlistEntryId, errorText);
        else
            endErrors_ << EndError{event.playlistEntryId, errorText};
    }
}

// A queued file's end shows both as its end event and as "eof-reached"; the last file, held
// open, shows only the latter.
void MpvCore::reportEnd()
{
    if (endReported_)
        return;
    endReported_ = true;
    emit playbackEnded();
}

void MpvCore::handleFileLoaded()
{
    const QString path = readString(QStringLiteral("path"));
    if (preview_) {
        emit fileLoaded(path); // stays paused: it shows single pictures
        return;
    }
    qInfo().noquote() << "[MPV] FILE_LOADED:" << path;
    appLog(QStringLiteral("EVENT FILE_LOADED: %1").arg(path));
    // Unpaused both ways: a file loaded into a paused engine would otherwise sit still.
    session_->setFlag(QStringLiteral("pause"), 0);
    session_->commandAsync({QStringLiteral("set"), QStringLiteral("pause"), QStringLiteral("no")});
    emit fileLoaded(path);
    QTimer::singleShot(kStreamRefreshDelayMs, this, &MpvCore::refreshStreamInfo);
    armPlaybackWatchdog();
}

void MpvCore::handlePropertyChange(const EngineEvent &event)
{
    const QString &name = event.propertyName;
    if (name == QLatin1String("time-pos")) {
        if (event.format != Format::Double)
            return;
        for (const ShaderSlot slot : shaders_->frameShown())
            emit shadersRunning(slot);
        static int loggedPositions = 0;
        const double seconds = event.value.toDouble();
        if (loggedPositions < 5) {
            ++loggedPositions;
            appLog(QStringLiteral("PROP time-pos=%1").arg(shortest(seconds)));
        }
        emit positionChanged(seconds);
    } else if (name == QLatin1String("duration")) {
        if (event.format == Format::Double)
            emit durationChanged(event.value.toDouble());
    } else if (name == QLatin1String("pause")) {
        if (event.format != Format::Flag)
            return;
        const bool paused = event.value.toBool();
        appLog(QStringLiteral("PROP pause=%1").arg(yesNo(paused)));
        if (!paused && spectrumEnabled_ && !spectrumTimer_->isActive())
            spectrumTimer_->start(); // it rested while paused
        if (paused)
            emit playbackPaused();
        else
            emit playbackStarted();
    } else if (name == QLatin1String("volume")) {
        if (event.format == Format::Double)
            emit volumeChanged(int(event.value.toDouble()));
    } else if (name == QLatin1String("eof-reached")) {
        if (event.format != Format::Flag)
            return;
        if (!event.value.toBool()) {
            endReported_ = false; // sought back from the end: it can end once more
            return;
        }
        stopFrameDropMonitor();
        reportEnd();
    } else if (name == QLatin1String("track-list")) {
        emit tracksChanged();
    } else if (name == QLatin1String("playlist")) {
        emit playlistChanged();
    } else if (name == QLatin1String("shuffle")) {
        if (event.format == Format::Flag)
            emit shuffleChanged(event.value.toBool());
    } else if (name == QLatin1String("loop-file")) {
        // "inf", a count or "no".
        if (event.format == Format::String)
            emit loopFileChanged(event.value.toString() != QLatin1String("no"));
    } else if (name == QLatin1String("audio-codec-name") || name == QLatin1String("audio-channels")
               || name == QLatin1String("audio-samplerate") || name == QLatin1String("audio-out-params/samplerate")) {
        emitAudioFormat();
    } else if (name == QLatin1String("video-params/w") || name == QLatin1String("video-params/h")
               || name == QLatin1String("container-fps") || name == QLatin1String("video-codec")) {
        handleVideoPropertyChange();
    }
}

void MpvCore::emitAudioFormat()
{
    const QString codec = readString(QStringLiteral("audio-codec-name"));
    const int channels = channelCountFromText(readString(QStringLiteral("audio-channels")));
    const int sampleRate = int(session_->getInt64(QStringLiteral("audio-samplerate")).value_or(0));
    QString output = readString(QStringLiteral("audio-out-params/format"));
    if (output.isEmpty())
        output = readString(QStringLiteral("current-ao"));
    emit audioFormatChanged(codec, channels, sampleRate, output);
}

void MpvCore::handleVideoPropertyChange()
{
    const int width = int(session_->getInt64(QStringLiteral("video-params/w")).value_or(0));
    const int height = int(session_->getInt64(QStringLiteral("video-params/h")).value_or(0));
    const double fps = session_->getDouble(QStringLiteral("container-fps")).value_or(0.0);
    const QString codec = readString(QStringLiteral("video-codec"));
    if (width < 1 || height < 1)
        return;

    emit videoInfoChanged(width, height, fps, codec);
    if (fps > 0)
        chooseVideoSync(fps);
    if (initialized_) {
        videoWidth_ = width;
        videoHeight_ = height;
        applyVideoScale();
    }
    if (!codec.isEmpty())
        applyHwdecForCodec(codec);
}

void MpvCore::refreshStreamInfo()
{
    if (!session_ || !initialized_)
        return;
    const double duration = session_->getDouble(QStringLiteral("duration")).value_or(0.0);
    if (duration > 0)
        emit durationChanged(duration);

    if (const auto codec = session_->getString(QStringLiteral("audio-codec-name"))) {
        const int channels = channelCountFromText(readString(QStringLiteral("audio-channels")));
        const int sampleRate = int(session_->getInt64(QStringLiteral("audio-samplerate")).value_or(0));
        emit audioFormatChanged(*codec, channels, sampleRate, readString(QStringLiteral("audio-out-params/format")));
    }
    emit tracksChanged();
    qInfo().noquote() << "[MPV] 속성 강제 갱신 완료 - duration:" << duration;
}
