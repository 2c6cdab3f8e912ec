#include "engine/EngineDialect.h"

#include <QFileInfo>
#include <QRegularExpression>
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

QString desktopAudioOutputs()
{
    // Left to itself the engine tries PipeWire, then PulseAudio, then ALSA at every output
    // opening, connecting to servers that may not run at all (a bare ALSA desktop, a box without
    // sound). Only the servers whose socket is there are offered; ALSA always is.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const auto serverRuns = [&runtime](const char *addressVariable, const QString &socket) {
        return qEnvironmentVariableIsSet(addressVariable)
            || (!runtime.isEmpty() && QFileInfo(runtime + socket).exists());
    };
    QStringList outputs;
    if (serverRuns("PIPEWIRE_REMOTE", QStringLiteral("/pipewire-0")))
        outputs << QStringLiteral("pipewire");
    if (serverRuns("PULSE_SERVER", QStringLiteral("/pulse/native")))
        outputs << QStringLiteral("pulse");
    outputs << QStringLiteral("alsa");
    return outputs.join(QLatin1Char(','));
}

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
    // Measured here: "yes" lets the ReplayGain gain clip and "no" lowers it to the file's peak,
    // the reverse of the documented meaning. The player's "yes" asks for clipping to be prevented.
    if (name == QLatin1String("replaygain-clip") && (value == QLatin1String("yes") || value == QLatin1String("no")))
        return value == QLatin1String("yes") ? QStringLiteral("no") : QStringLiteral("yes");
    // "yes" keeps the first file's output format for the whole queue and resamples every later
    // file to it; "weak" reopens the output when the format changes and is gapless otherwise.
    if (name == QLatin1String("gapless-audio") && value == QLatin1String("yes"))
        return QStringLiteral("weak");
    if (name == QLatin1String("ao") && value == QLatin1String("wasapi")) {
        const QString requested = qEnvironmentVariable("VELMORAN_AUDIO_OUTPUT");
        return requested.isEmpty() ? desktopAudioOutputs() : requested;
    }
    return value;
}

QStringList splitFilterChain(const QString &chain)
{
    // Length quoting counts UTF-8 bytes, so the walk is over the bytes.
    const QByteArray bytes = chain.toUtf8();
    QStringList parts;
    qsizetype start = 0;
    int depth = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c == '%') {
            qsizetype end = i + 1;
            while (end < bytes.size() && bytes.at(end) >= '0' && bytes.at(end) <= '9')
                ++end;
            if (end > i + 1 && end < bytes.size() && bytes.at(end) == '%') {
                i = end + bytes.mid(i + 1, end - i - 1).toLongLong(); // skip the quoted bytes
                continue;
            }
        } else if (c == '"') {
            for (++i; i < bytes.size() && bytes.at(i) != '"'; ++i)
                if (bytes.at(i) == '\\')
                    ++i;
        } else if (c == '[') {
            ++depth;
        } else if (c == ']' && depth > 0) {
            --depth;
        } else if (c == ',' && depth == 0) {
            parts << QString::fromUtf8(bytes.mid(start, i - start));
            start = i + 1;
        }
    }
    if (start < bytes.size())
        parts << QString::fromUtf8(bytes.mid(start));
    parts.removeAll(QString());
    return parts;
}

namespace {
// The width the graphic equalizer gives each band.
constexpr auto kGraphicEqQ = "1.41";

QString peakingFilter(const QString &hz, const QString &q, const QString &gainDb)
{
    // r=f64: in its default precision the filter alters 16-bit audio by up to -71 dBFS even with
    // the band flat; in doubles it stays below the output's resolution.
    return QStringLiteral("equalizer=f=%1:t=q:w=%2:g=%3:r=f64").arg(hz, q, gainDb);
}

// Both of the player's equalizer notations, "equalizer=f0=2.0:…:f9=1.5" (graphic, by band
// index) and "equalizer=1000/1.41/-3.0:…" (frequency/Q/gain), only read back as a value here:
// the filter cannot be built and leaves every later file without sound. Each band becomes a
// peaking filter of its own; flat bands are dropped. nullopt: not an equalizer in that notation.
std::optional<QStringList> peakingFiltersFor(const QString &filter)
{
    static const QLatin1String prefix("equalizer=");
    if (!filter.startsWith(prefix))
        return std::nullopt;
    static const QRegularExpression graphic(QStringLiteral(R"(^f(\d)=([-+]?\d+(?:\.\d+)?)$)"));
    static const QRegularExpression parametric(
        QStringLiteral(R"(^(\d+(?:\.\d+)?)/(\d+(?:\.\d+)?)/([-+]?\d+(?:\.\d+)?)$)"));
    QStringList filters;
    for (const QString &term : filter.mid(prefix.size()).split(QLatin1Char(':'))) {
        QString hz, q, gain;
        if (const auto band = graphic.match(term); band.hasMatch()) {
            hz = QString::number(kEqualizerBandsHz[band.captured(1).toInt()]);
            q = QLatin1String(kGraphicEqQ);
            gain = band.captured(2);
        } else if (const auto band = parametric.match(term); band.hasMatch()) {
            hz = band.captured(1);
            q = band.captured(2);
            gain = band.captured(3);
        } else {
            return std::nullopt; // the engine's own notation, or something it will reject itself
        }
        if (gain.toDouble() != 0.0)
            filters << peakingFilter(hz, q, gain);
    }
    return filters;
}

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

QStringList filterNames(const QString &engineFilters)
{
    QStringList names;
    for (QString part : splitFilterChain(engineFilters)) {
        if (part.startsWith(QLatin1Char('@')))
            part = part.mid(part.indexOf(QLatin1Char(':')) + 1);
        names << part.section(QLatin1Char('='), 0, 0);
    }
    return names;
}

std::optional<QString> engineResamplerOptions(const QString &resampler)
{
    static const QLatin1String name("lavrresample");
    if (resampler.isEmpty() || resampler == name)
        return QString();
    if (!resampler.startsWith(name + QLatin1Char(':')))
        return std::nullopt;
    // There is no resampling filter here; the same settings go to the resampler the output uses.
    return resampler.mid(name.size() + 1).split(QLatin1Char(':')).join(QLatin1Char(','));
}

QString engineAudioFilters(const QString &filters)
{
    QStringList engineFilters;
    for (const QString &filter : splitFilterChain(filters)) {
        if (engineResamplerOptions(filter))
            continue;
        if (const auto bands = peakingFiltersFor(filter))
            engineFilters << *bands;
        else
            engineFilters << filter;
    }
    return engineFilters.join(QLatin1Char(','));
}

namespace {
// A filter as a link of a graph: a graph handed over whole ("lavfi=graph=%N%…", "lavfi=[…]")
// is its own text; a filter in the engine's notation is already one in the graph's.
QString graphLink(const QString &filter)
{
    static const QRegularExpression quoted(QStringLiteral(R"(^lavfi=(?:graph=)?%(\d+)%)"));
    // Only a graph that is the whole filter: options after it would not belong to the graph.
    if (const auto match = quoted.match(filter);
        match.hasMatch() && filter.toUtf8().size() == match.capturedLength() + match.captured(1).toLongLong())
        return filter.mid(match.capturedLength());
    if (filter.startsWith(QLatin1String("lavfi=[")) && filter.endsWith(QLatin1Char(']')))
        return filter.mid(7, filter.size() - 8);
    return filter;
}
} // namespace

QString engineAudioEntry(const QString &filters)
{
    const QStringList engineFilters = splitFilterChain(engineAudioFilters(filters));
    if (engineFilters.size() < 2)
        return engineFilters.value(0);
    QStringList links;
    for (const QString &filter : engineFilters)
        links << graphLink(filter);
    // Length-quoted: the graph's commas, colons and brackets are then its own, not the chain's.
    const QString graph = links.join(QLatin1Char(','));
    return QStringLiteral("lavfi=graph=%") + QString::number(graph.toUtf8().size()) + QLatin1Char('%') + graph;
}

QList<EngineWrite> engineWritesFor(const QString &name, const QString &value)
{
    if (name == QLatin1String("af")) {
        // A whole chain: its resampler, or the lack of one, is the engine's resampler option.
        QString resampler;
        for (const QString &filter : splitFilterChain(value))
            if (engineResamplerOptions(filter))
                resampler = filter;
        return {EngineWrite::write(QStringLiteral("audio-swresample-o"), *engineResamplerOptions(resampler)),
                EngineWrite::write(name, engineAudioFilters(value))};
    }
    if (name == QLatin1String("shuffle") && (value == QLatin1String("yes") || value == QLatin1String("no"))) {
        // The property alone reads back as written but leaves the queue in its order.
        return {EngineWrite::write(name, value),
                EngineWrite::run({value == QLatin1String("yes") ? QStringLiteral("playlist-shuffle")
                                                                : QStringLiteral("playlist-unshuffle")})};
    }
    const std::optional<QString> engineValue = engineValueFor(name, value);
    if (!engineValue)
        return {};
    return {EngineWrite::write(engineWriteName(name), *engineValue)};
}

std::optional<EngineWrite> softwareScalerWrite(const QString &name, const QString &value)
{
    const QString kernel = value.trimmed().toLower();
    if (name == QLatin1String("dither")) {
        // zimg has no "fruit" (a blue-noise pattern); its random noise is the nearest.
        if (kernel == QLatin1String("no") || kernel == QLatin1String("ordered")
            || kernel == QLatin1String("error-diffusion"))
            return EngineWrite::write(QStringLiteral("zimg-dither"), kernel);
        if (kernel == QLatin1String("fruit"))
            return EngineWrite::write(QStringLiteral("zimg-dither"), QStringLiteral("random"));
        return std::nullopt;
    }
    QString property;
    if (name == QLatin1String("scale"))
        property = QStringLiteral("zimg-scaler");
    else if (name == QLatin1String("cscale"))
        property = QStringLiteral("zimg-scaler-chroma");
    else
        return std::nullopt;
    // Families of GPU kernels and the CPU scaler's member of each; the polar (EWA) and windowed
    // sinc kernels all become its lanczos.
    static const std::pair<QStringList, const char *> families[] = {
        {{QStringLiteral("nearest"), QStringLiteral("oversample")}, "point"},
        {{QStringLiteral("bilinear"), QStringLiteral("triangle")}, "bilinear"},
        {{QStringLiteral("bicubic"), QStringLiteral("mitchell"), QStringLiteral("catmull_rom"),
          QStringLiteral("bcspline"), QStringLiteral("hermite"), QStringLiteral("robidoux"),
          QStringLiteral("robidouxsharp")},
         "bicubic"},
        {{QStringLiteral("spline16")}, "spline16"},
        {{QStringLiteral("spline36"), QStringLiteral("spline64")}, "spline36"},
    };
    for (const auto &[kernels, cpuKernel] : families)
        if (kernels.contains(kernel))
            return EngineWrite::write(property, QLatin1String(cpuKernel));
    if (kernel.contains(QLatin1String("lanczos")) || kernel == QLatin1String("sinc")
        || kernel == QLatin1String("jinc") || kernel.startsWith(QLatin1String("ewa_")))
        return EngineWrite::write(property, QStringLiteral("lanczos"));
    return std::nullopt;
}
