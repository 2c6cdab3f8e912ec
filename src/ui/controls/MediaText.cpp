#include "ui/controls/MediaText.h"

#include <optional>

#include <QStringList>

#include <algorithm>

namespace MediaText {

namespace {

const QString kDash = QStringLiteral("—");

bool containsAny(const QString &text, std::initializer_list<const char *> words,
                 Qt::CaseSensitivity cs = Qt::CaseSensitive)
{
    for (const char *word : words) {
        if (text.contains(QLatin1String(word), cs))
            return true;
    }
    return false;
}

} // namespace

QString formatTime(double seconds)
{
    // Clamp before truncating: NaN and negatives land on zero, an infinite stream length stays
    // a (large) number instead of an undefined conversion.
    const qint64 t = seconds > 0 ? qint64(std::min(seconds, 1e12)) : 0;
    const qint64 h = t / 3600;
    const qint64 m = (t - 3600 * h) / 60;
    const qint64 s = t % 60;
    if (h < 1)
        return QStringLiteral("%1:%2").arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'));
}

// The Dolby and DTS names both read-outs share; the upper-cased codec goes in.
static std::optional<QString> surroundFormatName(const QString &c, bool acceptDtsHdWithoutDash)
{
    if (c.contains(QLatin1String("TRUEHD")) && c.contains(QLatin1String("ATMOS")))
        return QStringLiteral("TrueHD Atmos");
    if (c.contains(QLatin1String("TRUEHD")))
        return QStringLiteral("TrueHD");
    if (c.contains(QLatin1String("EAC3")) && c.contains(QLatin1String("ATMOS")))
        return QStringLiteral("DD+ Atmos");
    if (c.contains(QLatin1String("EAC3")))
        return QStringLiteral("DD+");
    if (c.contains(QLatin1String("AC3")))
        return QStringLiteral("DD");
    if (c.contains(QLatin1String("DTS-HD")) || (acceptDtsHdWithoutDash && c.contains(QLatin1String("DTSHD"))))
        return QStringLiteral("DTS-HD MA");
    if (c.contains(QLatin1String("DTS")))
        return QStringLiteral("DTS");
    return std::nullopt;
}

QString shortCodecName(const QString &codec)
{
    const QString c = codec.toUpper();
    if (const auto name = surroundFormatName(c, true))
        return *name;
    for (const char *plain : {"FLAC", "PCM", "AAC", "MP3"}) {
        if (c.contains(QLatin1String(plain)))
            return QString::fromLatin1(plain);
    }
    return codec.left(12);
}

QString channelLayoutText(int channels)
{
    switch (channels) {
    case 1: return QStringLiteral("1.0");
    case 2: return QStringLiteral("2.0");
    case 6: return QStringLiteral("5.1");
    case 8: return QStringLiteral("7.1");
    default: return channels >= 1 ? QStringLiteral("%1ch").arg(channels) : QString();
    }
}

bool isBitstreamOutput(const QString &output)
{
    const QString format = output.toLower();
    if (format.isEmpty() || containsAny(format, {"pcm", "float", "s16", "s32"}))
        return false;
    // The engine's other PCM sample formats are decoded audio just the same.
    if (containsAny(format, {"u8", "s64", "double"}))
        return false;
    // Before the output has opened, the engine reports the driver's name instead of a format;
    // that says nothing about a bitstream, so it must not read as one.
    static const QStringList kDriverNames{
        QStringLiteral("wasapi"), QStringLiteral("pulse"), QStringLiteral("pipewire"), QStringLiteral("alsa"),
        QStringLiteral("jack"),   QStringLiteral("oss"),   QStringLiteral("sdl"),      QStringLiteral("openal"),
        QStringLiteral("sndio"),  QStringLiteral("null"),  QStringLiteral("coreaudio"), QStringLiteral("audiounit"),
    };
    return !kDriverNames.contains(format);
}

QString audioFormatReadout(const QString &codec, int channels, int sampleRate, const QString &output)
{
    const bool thru = isBitstreamOutput(output);
    const QString layout = channelLayoutText(channels);
    // The codec comes from the file; keep markup in it from reaching the rich-text label.
    return QStringLiteral("<span style='color:%1;font-weight:700;'>%2</span><span style='color:#555;'>  %3%4%5</span>")
        .arg(thru ? QStringLiteral("#4caf50") : QStringLiteral("#ff9800"),
             thru ? QStringLiteral("THRU") : QStringLiteral("DECODE"),
             shortCodecName(codec).toHtmlEscaped(),
             layout.isEmpty() ? QString() : QStringLiteral("  ") + layout,
             sampleRate >= 1 ? QStringLiteral("  %1Hz").arg(sampleRate) : QString());
}

QString titleBadgeCodecName(const QString &codec)
{
    // The caller passes the codec upper-cased; matching on the upper-case form as well keeps a
    // lower-case caller from losing the Dolby/DTS names.
    return surroundFormatName(codec.toUpper(), false).value_or(codec);
}

QString panelAudioCodecName(const QString &codec)
{
    static const std::pair<const char *, const char *> kNames[] = {
        {"TRUEHD", "TrueHD"}, {"DTS-HD", "DTS-HD"}, {"DTS", "DTS"}, {"EAC3", "DD+"}, {"AC3", "DD"},
        {"AAC", "AAC"},       {"FLAC", "FLAC"},     {"MP3", "MP3"}, {"OPUS", "Opus"}, {"PCM", "PCM"},
    };
    const QString c = codec.toUpper();
    for (const auto &[word, name] : kNames) {
        if (c.contains(QLatin1String(word)))
            return QString::fromLatin1(name);
    }
    const QString shortened = c.left(8);
    return shortened.isEmpty() ? kDash : shortened;
}

QString panelChannelText(int channels)
{
    switch (channels) {
    case 1: return QStringLiteral("1.0ch");
    case 2: return QStringLiteral("2.0ch");
    case 6: return QStringLiteral("5.1ch");
    case 7: return QStringLiteral("6.1ch");
    case 8: return QStringLiteral("7.1ch");
    default: return channels >= 1 ? QStringLiteral("%1ch").arg(channels) : QString();
    }
}

bool isPassthrough(const QString &codec, const QString &output)
{
    return output.contains(QLatin1String("spdif"), Qt::CaseInsensitive)
        || containsAny(codec, {"truehd", "dts", "eac3", "ac3"}, Qt::CaseInsensitive);
}

bool isBitPerfect(const QString &codec, const QString &output)
{
    return isPassthrough(codec, output) || containsAny(output, {"s32", "s24", "float"});
}

QString panelVideoCodecName(const QString &codec)
{
    const QString c = codec.toUpper();
    if (containsAny(c, {"HEVC", "H265"}))
        return QStringLiteral("HEVC");
    if (containsAny(c, {"H264", "AVC"}))
        return QStringLiteral("H.264");
    if (c.contains(QLatin1String("AV1")))
        return QStringLiteral("AV1");
    if (c.contains(QLatin1String("VP9")))
        return QStringLiteral("VP9");
    return c.isEmpty() ? kDash : c;
}

QString resolutionClass(int width, int height)
{
    if (width >= 3840)
        return QStringLiteral("4K");
    if (width >= 2560)
        return QStringLiteral("2K");
    if (width >= 1920)
        return QStringLiteral("FHD");
    if (width >= 1280)
        return QStringLiteral("HD");
    if (width > 0)
        return QStringLiteral("%1×%2").arg(width).arg(height);
    return {};
}

QString colourSpaceName(const QString &primaries)
{
    if (primaries.contains(QLatin1String("2020")))
        return QStringLiteral("BT.2020");
    if (primaries.contains(QLatin1String("709")))
        return QStringLiteral("BT.709");
    return kDash;
}

QString hdrName(const QString &gamma)
{
    if (containsAny(gamma, {"pq", "smpte2084"}))
        return QStringLiteral("PQ (HDR10)");
    if (gamma.contains(QLatin1String("hlg")))
        return QStringLiteral("HLG");
    if (gamma.contains(QLatin1String("dovi")))
        return QStringLiteral("Dolby Vision");
    return QStringLiteral("SDR");
}

QString decoderName(const QString &hwdecCurrent)
{
    // The Windows decoders first, then the ones this platform's engine reports, so that
    // hardware decoding is never shown as software.
    static const std::pair<const char *, const char *> kDecoders[] = {
        {"d3d11va", "D3D11VA"}, {"d3d12va", "D3D12VA"}, {"nvdec", "NVDEC"},
        {"cuda", "CUDA"},       {"vaapi", "VAAPI"},     {"vdpau", "VDPAU"},
    };
    for (const auto &[key, name] : kDecoders) {
        if (hwdecCurrent.contains(QLatin1String(key)))
            return QString::fromLatin1(name);
    }
    return QStringLiteral("소프트웨어");
}

QString plainToolTip(const QString &name)
{
    if (name.isEmpty())
        return {};
    return QStringLiteral("<p style='white-space:pre'>%1</p>").arg(name.toHtmlEscaped());
}

QString literalMenuText(const QString &name)
{
    QString text = name;
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace MediaText
