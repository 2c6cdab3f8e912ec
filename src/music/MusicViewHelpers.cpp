#include "music/MusicViewHelpers.h"

#include "music/TrackInfo.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace MusicView {

namespace {

constexpr int kBlurSize = 300;
constexpr int kBlurPasses = 8;
constexpr int kAccentSampleSize = 50;
// Pixels darker or brighter than this say nothing about the cover's colour.
constexpr int kDarkestCounted = 31;
constexpr int kBrightestCounted = 219;

const QString kSeparator = QStringLiteral("  ·  ");

} // namespace

QString timeText(double seconds)
{
    const qint64 t = std::isfinite(seconds) && seconds > 0 ? qint64(std::round(seconds)) : 0;
    return QStringLiteral("%1:%2").arg(t / 60, 2, 10, QLatin1Char('0')).arg(t % 60, 2, 10, QLatin1Char('0'));
}

QString codecBadgeText(const QString &codec)
{
    return codec.isEmpty() ? QStringLiteral("PCM") : codec.toUpper();
}

QString bitDepthText(int bitDepth)
{
    return QStringLiteral("%1bit").arg(bitDepth < 1 ? 16 : bitDepth);
}

QString sampleRateText(int hertz)
{
    if (hertz < 1000)
        return QStringLiteral("%1Hz").arg(hertz);
    if (hertz % 1000 == 0)
        return QStringLiteral("%1kHz").arg(hertz / 1000);
    return QStringLiteral("%1kHz").arg(hertz / 1000.0, 0, 'f', 1);
}

QString channelBadgeText(int channels)
{
    if (channels == 1)
        return QStringLiteral("Mono");
    if (channels <= 2)
        return QStringLiteral("Stereo");
    return QStringLiteral("%1ch").arg(channels);
}

QString statusChannelText(int channels)
{
    return channels == 2 ? QStringLiteral("2.0") : QStringLiteral("%1ch").arg(channels);
}

QString decodeStatusText(const TrackInfo &track)
{
    QString text = QStringList{track.codec.toUpper(), QStringLiteral("DECODE"), statusChannelText(track.channels),
                               sampleRateText(track.sampleRate), bitDepthText(track.bitDepth)}
                       .join(kSeparator);
    if (track.hasReplayGain)
        text += kSeparator + QStringLiteral("ReplayGain: %1dB").arg(track.replayGainDb, 0, 'f', 1);
    return text;
}

bool isBitPerfectOutput(const TrackInfo &track, const OutputPath &output)
{
    return output.directHardware && track.sampleRate >= 1 && track.sampleRate == output.rate && output.volume == 100
        && !output.muted && output.speed == 1.0 && !output.replayGainApplied && !output.filtered;
}

QString outputStatusText(const TrackInfo &track, const OutputPath &output)
{
    const QString out = QStringLiteral("OUT: %1 %2 %3")
                            .arg(sampleRateText(output.rate), output.format.toUpper(),
                                 output.directHardware ? QStringLiteral("EXCLUSIVE") : QStringLiteral("SHARED"));
    QString text = QStringList{track.codec.toUpper(), QStringLiteral("DECODE"), statusChannelText(track.channels), out}
                       .join(kSeparator);
    if (isBitPerfectOutput(track, output))
        text += kSeparator + QStringLiteral("BIT-PERFECT");
    return text;
}

QString fileInfoText(const TrackInfo &track)
{
    const QFileInfo file(track.filePath);
    const QString unknown = QStringLiteral("알 수 없음");
    QString channels;
    if (track.channels == 1)
        channels = QStringLiteral("모노");
    else if (track.channels == 2)
        channels = QStringLiteral("스테레오");
    else
        channels = QStringLiteral("%1ch").arg(track.channels);
    return QStringLiteral("파일명: %1\n경로: %2\n크기: %3 MB\n코덱: %4\n샘플레이트: %5 Hz\n비트 깊이: %6 bit\n채널: %7")
        .arg(file.fileName(), file.absolutePath(), QString::number(file.size() / 1048576.0, 'f', 2),
             track.codec.isEmpty() ? unknown : track.codec.toUpper(), QString::number(track.sampleRate),
             track.bitDepth < 1 ? unknown : QString::number(track.bitDepth), channels);
}

QColor accentColourOf(const QImage &cover)
{
    if (cover.isNull())
        return kFallbackCoverAccent;
    const QImage sample = cover.scaled(kAccentSampleSize, kAccentSampleSize, Qt::IgnoreAspectRatio,
                                       Qt::SmoothTransformation)
                              .convertToFormat(QImage::Format_RGB32);
    qint64 red = 0, green = 0, blue = 0, counted = 0;
    for (int y = 0; y < sample.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(sample.constScanLine(y));
        for (int x = 0; x < sample.width(); ++x) {
            const int r = qRed(line[x]), g = qGreen(line[x]), b = qBlue(line[x]);
            const int mean = (r + g + b) / 3;
            if (mean < kDarkestCounted || mean > kBrightestCounted)
                continue;
            red += r;
            green += g;
            blue += b;
            ++counted;
        }
    }
    if (counted == 0)
        return kFallbackCoverAccent;
    const QColor mean(int(red / counted), int(green / counted), int(blue / counted));
    int h, s, v;
    mean.getHsv(&h, &s, &v);
    return QColor::fromHsv(h, std::min(s + 80, 255), std::max(v, 80)).toRgb();
}

QImage blurredCover(const QImage &cover)
{
    if (cover.isNull())
        return {};
    QImage image = cover.scaled(kBlurSize, kBlurSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                       .convertToFormat(QImage::Format_RGB32);
    const int width = image.width(), height = image.height();
    // In place on purpose: neighbours above and to the left are already smoothed, which spreads
    // the blur further per pass for free.
    for (int pass = 0; pass < kBlurPasses; ++pass) {
        for (int y = 1; y < height - 1; ++y) {
            QRgb *rows[3] = {reinterpret_cast<QRgb *>(image.scanLine(y - 1)), reinterpret_cast<QRgb *>(image.scanLine(y)),
                             reinterpret_cast<QRgb *>(image.scanLine(y + 1))};
            for (int x = 1; x < width - 1; ++x) {
                int r = 0, g = 0, b = 0;
                for (QRgb *row : rows)
                    for (int dx = -1; dx <= 1; ++dx) {
                        r += qRed(row[x + dx]);
                        g += qGreen(row[x + dx]);
                        b += qBlue(row[x + dx]);
                    }
                rows[1][x] = qRgb(r / 9, g / 9, b / 9);
            }
        }
    }
    return image;
}

} // namespace MusicView
