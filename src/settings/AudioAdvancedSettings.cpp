#include "settings/AudioAdvancedSettings.h"

#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "engine/MpvCore.h"
#include "settings/ImpulseResponse.h"

#include <QDebug>
#include <QFileInfo>
#include <QSettings>

#include <cmath>

namespace {
QSettings appSettings()
{
    return QSettings(QLatin1StringView(AppIdentity::kOrganisation), QLatin1StringView(AppIdentity::kSettingsApplication));
}

// The engine could not build a saved filter: off in the store too, so that the next start does
// not fail the same way, unless its file is gone for the moment and may come back.
void forgetRefused(AudioFilterSlot slot)
{
    AudioAdvancedChoices choices = AudioAdvancedChoices::load();
    if (slot == AudioFilterSlot::RoomCorrection && ImpulseResponse::readFile(choices.irPath).ok())
        choices.roomCorrection = false;
    else if (slot == AudioFilterSlot::PlugIns && AudioAdvanced::chainProblem(choices.plugins).isEmpty())
        choices.pluginsOn = false;
    else
        return;
    choices.save();
}
} // namespace

AudioAdvancedChoices AudioAdvancedChoices::load()
{
    const QSettings settings = appSettings();
    AudioAdvancedChoices choices;
    choices.irPath = readSetting(settings, SettingsKeys::audioAdvancedIrPath);
    choices.gainDb = readSetting(settings, SettingsKeys::audioAdvancedGainDb);
    choices.irNormalize = readSetting(settings, SettingsKeys::audioAdvancedIrNormalize);
    choices.roomCorrection = readSetting(settings, SettingsKeys::audioAdvancedConvEnabled);
    choices.plugins = PluginChain::fromStored(readSetting(settings, SettingsKeys::audioAdvancedVstPlugins));
    choices.pluginsOn = readSetting(settings, SettingsKeys::audioAdvancedPluginsEnabled);
    return choices;
}

void AudioAdvancedChoices::save() const
{
    QSettings settings = appSettings();
    writeSetting(settings, SettingsKeys::audioAdvancedIrPath, irPath);
    writeSetting(settings, SettingsKeys::audioAdvancedGainDb, gainDb);
    writeSetting(settings, SettingsKeys::audioAdvancedIrNormalize, irNormalize);
    writeSetting(settings, SettingsKeys::audioAdvancedConvEnabled, roomCorrection);
    writeSetting(settings, SettingsKeys::audioAdvancedVstPlugins, PluginChain::toStored(plugins));
    writeSetting(settings, SettingsKeys::audioAdvancedPluginsEnabled, pluginsOn);
}

namespace AudioAdvanced {

QString roomCorrectionFilter(const QString &irPath, int gainDb, bool normalize, QString *error)
{
    const ImpulseResponse ir = ImpulseResponse::readFile(irPath);
    if (const QString reason = ir.unusableReason(); !reason.isEmpty()) {
        if (error)
            *error = reason;
        return {};
    }
    const double gain = std::pow(10.0, gainDb / 20.0) / (normalize ? ir.peak : 1.0);
    return AudioGraph::roomCorrection(irPath, ir.channels, gain);
}

QString chainProblem(const QList<PluginEntry> &entries)
{
    for (const PluginEntry &entry : entries)
        if (const QString problem = PluginChain::problem(entry); !problem.isEmpty())
            return QStringLiteral("%1: %2").arg(QFileInfo(entry.path).fileName(), problem);
    return {};
}

QStringList applySaved(MpvCore *engine)
{
    if (!engine)
        return {};
    if (!engine->property("velmoranAudioAdvancedWatched").toBool()) {
        engine->setProperty("velmoranAudioAdvancedWatched", true);
        QObject::connect(engine, &MpvCore::audioFilterFailed, engine,
                         [](AudioFilterSlot slot, const QString &) { forgetRefused(slot); });
    }
    const AudioAdvancedChoices choices = AudioAdvancedChoices::load();
    QStringList notices;
    if (choices.roomCorrection) {
        QString error;
        const QString filter = roomCorrectionFilter(choices.irPath, choices.gainDb, choices.irNormalize, &error);
        if (filter.isEmpty()) {
            qWarning().noquote() << "[오디오] 룸 코렉션 IR 파일을 읽을 수 없어 이번에는 적용하지 않습니다:" << choices.irPath << error;
            notices << QStringLiteral("룸 코렉션 IR 파일을 읽을 수 없습니다: %1").arg(QFileInfo(choices.irPath).fileName());
        } else if (!engine->setAudioFilter(AudioFilterSlot::RoomCorrection, filter)) {
            qWarning().noquote() << "[오디오] 저장된 룸 코렉션을 엔진이 받지 않았습니다";
            forgetRefused(AudioFilterSlot::RoomCorrection);
        }
    }
    if (choices.pluginsOn && !choices.plugins.isEmpty()) {
        if (const QString problem = chainProblem(choices.plugins); !problem.isEmpty()) {
            qWarning().noquote() << "[오디오] 플러그인을 읽을 수 없어 이번에는 적용하지 않습니다:" << problem;
            notices << QStringLiteral("플러그인 체인을 적용할 수 없습니다: %1").arg(problem);
        } else if (!engine->setAudioFilter(AudioFilterSlot::PlugIns, PluginChain::filterText(choices.plugins))) {
            qWarning().noquote() << "[오디오] 저장된 플러그인 체인을 엔진이 받지 않았습니다";
            forgetRefused(AudioFilterSlot::PlugIns);
        }
    }
    return notices;
}

} // namespace AudioAdvanced
