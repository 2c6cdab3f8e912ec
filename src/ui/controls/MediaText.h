#pragma once

#include <QString>

// Texts that describe the playing media. The control bar, the title bar and the information
// panel each word a codec differently on purpose (a wide read-out, a short badge, a card
// heading), so every wording lives here side by side and nowhere else.
namespace MediaText {

// "mm:ss" below an hour, "h:mm:ss" from an hour on; negative times read as zero.
QString formatTime(double seconds);

// Control bar read-out.
QString shortCodecName(const QString &codec);
// "1.0", "2.0", "5.1", "7.1", "%1ch"; empty for no channels.
QString channelLayoutText(int channels);
// Bitstream unless the output is a PCM sample format, unknown, or only the driver's name.
bool isBitstreamOutput(const QString &output);
// The rich-text line "THRU|DECODE  codec  layout  rateHz".
QString audioFormatReadout(const QString &codec, int channels, int sampleRate, const QString &output);

// Title bar badge; anything it does not know is shown as passed.
QString titleBadgeCodecName(const QString &codec);

// Information panel.
QString panelAudioCodecName(const QString &codec);
QString panelChannelText(int channels); // "5.1ch", "6.1ch"...
// Compressed formats leave undecoded when the output is S/PDIF or the codec is a Dolby/DTS one.
bool isPassthrough(const QString &codec, const QString &output);
// PCM output in a high-resolution sample format, or any passthrough.
bool isBitPerfect(const QString &codec, const QString &output);
QString panelVideoCodecName(const QString &codec);
QString resolutionClass(int width, int height); // "4K", "2K", "FHD", "HD", "WxH"
QString colourSpaceName(const QString &primaries); // "BT.2020", "BT.709", "—"
QString hdrName(const QString &gamma);              // "PQ (HDR10)", "HLG", "Dolby Vision", "SDR"
QString decoderName(const QString &hwdecCurrent);   // "D3D11VA"..., "소프트웨어"

// Names that come from the media (file, track and chapter names) are shown as they are spelled.
// Qt guesses that a tool tip holding something tag-like is rich text, so "Live <b>2020</b>.mkv"
// would lose its tags; this wraps the name escaped in rich text of its own, kept on one line.
// Empty stays empty (no tool tip at all).
QString plainToolTip(const QString &name);
// A single "&" in a menu or button text marks the shortcut letter and disappears.
QString literalMenuText(const QString &name);

} // namespace MediaText
