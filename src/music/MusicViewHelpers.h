#pragma once

#include <QColor>
#include <QImage>
#include <QString>

struct TrackInfo;

// The music view's texts and cover treatments, apart from the widget so they can be read (and
// checked) on their own.
namespace MusicView {

// The accent when a cover gives no usable colour (all near-black or near-white).
inline const QColor kFallbackCoverAccent{0, 120, 100};

// "mm:ss" with the minutes growing past 59: music rarely reaches an hour, and a track that does
// reads better as 62:05 than with an hour field. Negative or unknown times read as 00:00.
QString timeText(double seconds);

// Badge texts.
QString codecBadgeText(const QString &codec);   // upper-cased, "PCM" when unknown
QString bitDepthText(int bitDepth);             // "24bit"; "16bit" when unknown
QString sampleRateText(int hertz);              // "800Hz", "48kHz", "44.1kHz"
QString channelBadgeText(int channels);         // "Mono", "Stereo", "6ch"
// The status line's channel field: "2.0" for stereo, "%1ch" otherwise.
QString statusChannelText(int channels);

// The technical line under the view before the real output is known.
QString decodeStatusText(const TrackInfo &track);

// The way from the decoder to the device, and everything on it that may change a sample.
struct OutputPath {
    int rate = 0;                 // Hz, the output's
    QString format;               // the output's sample format, as the engine names it
    bool directHardware = false;  // a raw hw: device, no sound server or plug-in in between
    int volume = 100;
    bool muted = false;
    double speed = 1.0;
    bool replayGainApplied = false;
    bool filtered = false;        // any filter in the engine's audio chain (equalizers included)
};
// Bit-perfect only when nothing alters the samples: a raw device at the track's own rate, full
// volume, normal speed, no ReplayGain change and no filter.
bool isBitPerfectOutput(const TrackInfo &track, const OutputPath &output);
// The same line once the output is known.
QString outputStatusText(const TrackInfo &track, const OutputPath &output);

// The "파일 정보" message; reads the file's size from disk.
QString fileInfoText(const TrackInfo &track);

// The mean mid-tone colour of the cover, saturated and lifted so it reads on a dark view.
QColor accentColourOf(const QImage &cover);
// A heavy, cheap blur for the background: 300 × 300, eight in-place box passes.
QImage blurredCover(const QImage &cover);

} // namespace MusicView
