#pragma once

#include <QList>
#include <QString>

#include <optional>

// One piece of recognised speech as the speech-recognition script reports it.
struct SubtitleSegment
{
    double startSec = 0;
    double endSec = 0;
    QString text;
    int confidence = 0; // percent, 0..100
    QString source;     // the media file it was recognised from; empty until the page knows
};

namespace SegmentLine {

// A line of the script's output: "start|end|text[|confidence 0..1]". Nothing for a line with
// fewer than three fields, times that are not numbers, or no text. A confidence that is not a
// number reads as 0, a missing one as 80; every value is clamped to 0..100.
std::optional<SubtitleSegment> parse(const QString &line);

// SubRip's "HH:MM:SS,mmm".
QString srtTimestamp(double seconds);

// Numbered SubRip blocks in the order given.
QString srtDocument(const QList<SubtitleSegment> &segments);

} // namespace SegmentLine
