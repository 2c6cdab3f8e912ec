#include "engine/MpvCore.h"

#include "app/AppLog.h"

#include <QDebug>
#include <QLocale>
#include <QTimer>

namespace {
constexpr int kExclusiveReloadDelayMs = 100;
constexpr double kStalledPositionSeconds = 0.5;

// Words that show up in the descriptions of outputs that can carry a bitstream to a decoder
// (HDMI/optical links, receivers, GPU audio over HDMI).
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
        QStringLiteral("intel display"),
    };
    return keywords;
}

QString yesNo(bool on)
{
    return on ? QStringLiteral("yes") : QStringLiteral("no");
}

// A bitstream the output cannot take leaves the audio output dead; dropping passthrough and
// re-opening the output is what brings sound back without reloading the file.
void reloadAudioOutput(EngineSession &session)
{
    session.setString(QStringLiteral("audio-spdif"), QString());
    session.commandAsync({QStringLiteral("ao-reload")});
    session.setFlagAsync(QStringLiteral("pause"), false);
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

bool MpvCore::isPassthroughCapableDevice() const
{
    // Without an engine nothing argues against passthrough; the engine's own fallback decides.
    if (!initialized_)
        return true;

    const QString current = readString(QStringLiteral("audio-device"), QStringLiteral("auto"));
    const QVariantList devices = audioDevices();
    const auto descriptionWhere = [&devices](const auto &matches) {
        for (const QVariant &entry : devices) {
            const QVariantMap device = entry.toMap();
            if (matches(device.value(QStringLiteral("name")).toString()))
                return device.value(QStringLiteral("description")).toString();
        }
        return QString();
    };

    QString description;
    if (current != QLatin1String("auto"))
        description = descriptionWhere([&current](const QString &name) { return name == current; });
    // "auto" plays on the system default, which the engine lists first among the real outputs.
    if (description.isEmpty())
        description = descriptionWhere([](const QString &name) { return name.startsWith(QLatin1String("wasapi/")); });
    if (description.isEmpty())
        return true;

    const QString lowered = description.toLower();
    for (const QString &keyword : passthroughKeywords())
        if (lowered.contains(keyword))
            return true;
    qInfo().noquote() << "[MPV] 패스스루 미지원 추정 장치:" << description;
    return false;
}

void MpvCore::applyPassthroughDecision()
{
    if (!isPassthroughCapableDevice())
        check(session_->setString(QStringLiteral("audio-spdif"), QString()));
    else if (passthroughEnabled_)
        check(session_->setString(QStringLiteral("audio-spdif"), spdifCodecs_));
}

void MpvCore::recoverAudioDriver()
{
    appLog(QStringLiteral("AO 초기화 실패 감지 → 자동 복구 시작"));
    qWarning().noquote() << "[MPV] AO 실패 감지 → spdif 해제 후 ao-reload";
    reloadAudioOutput(*session_);
}

void MpvCore::fallBackFromExclusive(const QString &errorText)
{
    if (readString(QStringLiteral("audio-exclusive")) != QLatin1String("yes")) {
        emit errorOccurred(errorText);
        return;
    }
    // Only this session falls back; the user's choice of exclusive mode stays as stored.
    qWarning().noquote() << "[MPV] WASAPI Exclusive 실패 → 공유 모드로 자동 전환";
    check(session_->setString(QStringLiteral("audio-exclusive"), QStringLiteral("no")));

    const auto path = session_->getString(QStringLiteral("path"));
    if (!path) {
        emit errorOccurred(errorText);
        return;
    }
    // The engine is still unwinding the failed file; a load issued from inside its end event
    // would race that teardown.
    QTimer::singleShot(kExclusiveReloadDelayMs, this, [this, file = *path] {
        if (initialized_)
            session_->commandAsync({QStringLiteral("loadfile"), file});
    });
    emit errorOccurred(kExclusiveFallbackMessage.toString());
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
    appLog(QStringLiteral("워치독: 재생 멈춤 감지 → spdif 해제 + ao-reload 강제 복구"));
    qWarning().noquote() << "[MPV] 워치독: 재생 멈춤 → ao-reload 복구";
    reloadAudioOutput(*session_);
}
