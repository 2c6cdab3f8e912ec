#include "subtitles/SegmentLine.h"

#include <algorithm>
#include <cmath>

namespace {

// The script's historical default when a line carries no confidence.
constexpr int kUnknownConfidence = 80;

int percent(const QString &field)
{
    if (field.isEmpty())
        return kUnknownConfidence;
    bool ok = false;
    const double value = field.toDouble(&ok);
    if (!ok || std::isnan(value))
        return 0;
    // Clamped before the conversion: 1e10 or inf times 100 does not fit an int.
    return int(std::clamp(value * 100.0, 0.0, 100.0));
}

} // namespace

namespace SegmentLine {

std::optional<SubtitleSegment> parse(const QString &line)
{
    const QStringList fields = line.trimmed().split(QLatin1Char('|'));
    if (fields.size() < 3)
        return std::nullopt;
    bool startOk = false;
    bool endOk = false;
    const double start = fields[0].trimmed().toDouble(&startOk);
    const double end = fields[1].trimmed().toDouble(&endOk);
    if (!startOk || !endOk || !std::isfinite(start) || !std::isfinite(end))
        return std::nullopt;
    SubtitleSegment segment;
    segment.text = fields[2].trimmed();
    if (segment.text.isEmpty())
        return std::nullopt;
    segment.startSec = std::max(start, 0.0);
    segment.endSec = std::max(end, segment.startSec);
    segment.confidence = percent(fields.size() > 3 ? fields[3].trimmed() : QString());
    return segment;
}

QString srtTimestamp(double seconds)
{
    const qint64 ms = seconds > 0 ? std::llround(std::min(seconds, 1e12) * 1000.0) : 0;
    return QStringLiteral("%1:%2:%3,%4")
        .arg(ms / 3600000, 2, 10, QLatin1Char('0'))
        .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

QString srtDocument(const QList<SubtitleSegment> &segments)
{
    QString document;
    int number = 0;
    for (const SubtitleSegment &segment : segments) {
        document += QString::number(++number) + QLatin1Char('\n') + srtTimestamp(segment.startSec)
                    + QStringLiteral(" --> ") + srtTimestamp(segment.endSec) + QLatin1Char('\n') + segment.text
                    + QStringLiteral("\n\n");
    }
    return document;
}

} // namespace SegmentLine
