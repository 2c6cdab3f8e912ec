#include "engine/EngineDialect.h"

#include <QStringList>

namespace {
QString hwdecForThisPlatform(const QString &value)
{
    // The Windows decoder APIs have no counterpart here; "auto-safe" picks VA-API/VDPAU/NVDEC
    // when they work and software otherwise. "no" and the generic names pass unchanged.
    static const QStringList windowsDecoders{QStringLiteral("d3d11va"), QStringLiteral("d3d11va-copy"),
                                             QStringLiteral("dxva2"), QStringLiteral("dxva2-copy")};
    return windowsDecoders.contains(value) ? QStringLiteral("auto-safe") : value;
}

QString scalerForThisEngine(const QString &value)
{
    return value == QLatin1String("ewa_lanczossharp4sharpest") ? QStringLiteral("ewa_lanczossharp") : value;
}

// This engine takes the ICC rendering intent as its numeric code.
QString iccIntentCode(const QString &value)
{
    static const QStringList intents{QStringLiteral("perceptual"), QStringLiteral("relative-colorimetric"),
                                     QStringLiteral("saturation"), QStringLiteral("absolute-colorimetric")};
    const qsizetype index = intents.indexOf(value);
    return index < 0 ? value : QString::number(index);
}
} // namespace

std::optional<QString> engineValueFor(const QString &name, const QString &value)
{
    if (name == QLatin1String("hwdec"))
        return hwdecForThisPlatform(value);
    if (name == QLatin1String("scale") || name == QLatin1String("dscale") || name == QLatin1String("cscale")
        || name == QLatin1String("tscale"))
        return scalerForThisEngine(value);
    if (name == QLatin1String("icc-intent"))
        return iccIntentCode(value);
    if (name == QLatin1String("gpu-api") && value.startsWith(QLatin1String("d3d")))
        return QStringLiteral("opengl");
    if (name == QLatin1String("ao") && value == QLatin1String("wasapi")) {
        // The desktop's own output (PipeWire, PulseAudio or ALSA) unless one is asked for.
        const QString requested = qEnvironmentVariable("VELMORAN_AUDIO_OUTPUT");
        return requested.isEmpty() ? std::nullopt : std::optional<QString>(requested);
    }
    return value;
}

namespace {
// Read-only: the player writes the output options under these names and reads the stream's.
const std::pair<const char *, const char *> kReadAliases[] = {
    {"audio-channels", "current-tracks/audio/demux-channels"},
    {"audio-samplerate", "current-tracks/audio/demux-samplerate"},
};
// The same property under another name, for reads and writes alike.
const std::pair<const char *, const char *> kNameAliases[] = {
    {"screenshot-dir", "screenshot-directory"},
};

template <std::size_t N>
std::optional<QString> lookUp(const std::pair<const char *, const char *> (&table)[N], const QString &name,
                              bool fromPlayer)
{
    for (const auto &[player, engine] : table)
        if (name == QLatin1String(fromPlayer ? player : engine))
            return QLatin1String(fromPlayer ? engine : player);
    return std::nullopt;
}
} // namespace

QString engineReadName(const QString &name)
{
    return lookUp(kReadAliases, name, true).value_or(engineWriteName(name));
}

QString playerReadName(const QString &engineName)
{
    return lookUp(kReadAliases, engineName, false)
        .value_or(lookUp(kNameAliases, engineName, false).value_or(engineName));
}

QString engineWriteName(const QString &name)
{
    return lookUp(kNameAliases, name, true).value_or(name);
}

QString playerChannelText(const QString &engineText)
{
    return engineText.startsWith(QLatin1String("unknown")) ? engineText.mid(7) : engineText;
}
