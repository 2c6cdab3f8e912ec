#include "music/HiFiEngine.h"

#include "app/CommandLine.h"
#include "engine/EngineDialect.h"
#include "engine/MpvCore.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kBandQ = 1.41;
// Gains this small count as flat: the chain is not worth a filter for them.
constexpr double kFlatGainDb = 0.01;

const QStringList &audioSuffixes()
{
    static const QStringList suffixes{
        QStringLiteral("flac"), QStringLiteral("wav"), QStringLiteral("aiff"), QStringLiteral("aif"),
        QStringLiteral("alac"), QStringLiteral("m4a"), QStringLiteral("mp3"),  QStringLiteral("ogg"),
        QStringLiteral("opus"), QStringLiteral("wma"), QStringLiteral("ape"),  QStringLiteral("wv"),
        QStringLiteral("dsf"),  QStringLiteral("dff"), QStringLiteral("mka"),
    };
    return suffixes;
}
} // namespace

HiFiEngine::HiFiEngine(MpvCore *engine, QObject *parent) : QObject(parent), engine_(engine)
{
    for (const int hz : kEqualizerBandsHz)
        bands_ << Band{double(hz), 0.0, kBandQ};
}

bool HiFiEngine::isAudioFile(const QString &path)
{
    if (isStreamUrl(path))
        return false;
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && audioSuffixes().contains(path.mid(dot + 1).toLower());
}

void HiFiEngine::apply()
{
    if (!engine_)
        return;
    if (bitPerfect_) {
        engine_->setMpvProperty(QStringLiteral("audio-samplerate"), 0);
        engine_->setMpvProperty(QStringLiteral("audio-format"), QStringLiteral("float"));
        engine_->setMpvProperty(QStringLiteral("audio-channels"), QStringLiteral("auto"));
        engine_->setMpvProperty(QStringLiteral("gapless-audio"), QStringLiteral("yes"));
    }
    setReplayGain(replayGainMode_);
    applyFilters();
}

void HiFiEngine::setReplayGain(int mode)
{
    replayGainMode_ = mode;
    if (!engine_)
        return;
    static const char *const modes[] = {"no", "track", "album"};
    if (mode < 0 || mode > 2)
        return;
    engine_->setMpvProperty(QStringLiteral("replaygain"), QLatin1String(modes[mode]));
    // "yes": keep the gain from clipping, lowering it to the file's peak where it would.
    if (mode > 0)
        engine_->setMpvProperty(QStringLiteral("replaygain-clip"), QStringLiteral("yes"));
}

QString HiFiEngine::resamplerFilter() const
{
    switch (resamplerQuality_) {
    case 1:
        return QStringLiteral("lavrresample:filter_size=16:phase_shift=8");
    case 2:
        return QStringLiteral("lavrresample:filter_size=64:phase_shift=10");
    case 3:
        return QStringLiteral("lavrresample:filter_size=256:phase_shift=12");
    default:
        return {};
    }
}

QString HiFiEngine::equalizerFilter() const
{
    const bool shaped = std::any_of(bands_.cbegin(), bands_.cend(),
                                    [](const Band &band) { return qAbs(band.gain) > kFlatGainDb; });
    if (!eqEnabled_ || !shaped)
        return {};
    QStringList terms;
    for (const Band &band : bands_)
        terms << QStringLiteral("%1/%2/%3")
                     .arg(QString::number(band.frequency, 'f', 0), QString::number(band.q, 'f', 2),
                          QString::number(band.gain, 'f', 1));
    return QStringLiteral("equalizer=") + terms.join(QLatin1Char(':'));
}

QString HiFiEngine::buildFilterChain() const
{
    QStringList parts{resamplerFilter(), equalizerFilter()};
    parts.removeAll(QString());
    return parts.join(QLatin1Char(','));
}

void HiFiEngine::applyFilters()
{
    if (!engine_)
        return;
    // The resampler is an option of the output here, not a filter; the equalizer is this
    // object's own entry of the shared chain, which leaves every other feature's filters alone.
    engine_->setAudioResampler(resamplerFilter());
    engine_->setAudioFilter(AudioFilterSlot::HiFiEq, equalizerFilter());
}

void HiFiEngine::setBitPerfect(bool enabled)
{
    if (enabled == bitPerfect_)
        return;
    bitPerfect_ = enabled; // the output configuration follows with the next apply()
    emit bitPerfectChanged(enabled);
}

void HiFiEngine::setResamplerQuality(int quality)
{
    if (quality == resamplerQuality_)
        return;
    resamplerQuality_ = quality;
    applyFilters();
}

void HiFiEngine::setEqEnabled(bool enabled)
{
    if (enabled == eqEnabled_)
        return;
    eqEnabled_ = enabled;
    applyFilters();
    emit eqChanged();
}

void HiFiEngine::setBandGain(int band, double gainDb)
{
    if (band < 0 || band >= bands_.size() || !std::isfinite(gainDb) || bands_.at(band).gain == gainDb)
        return;
    bands_[band].gain = gainDb;
    applyFilters();
    emit eqChanged();
}
