#pragma once

#include <QList>
#include <QString>

// One shown line of lyrics: when it starts, in milliseconds from the start of the track.
struct LyricLine
{
    double timeMs = 0;
    QString text;
};

// Reading lyrics text from LRC files and from the lyrics service. Only Qt Core, so the fuzzer can
// take it alone.
namespace LrcParser {

// Time-synced lyrics: one entry per leading time stamp of a line ("[mm:ss.xx]", or "[mm:ss:xx]"),
// in time order; lines of equal time keep their order in the file. Lines without a leading stamp,
// stamps without text and metadata tags ("[ti:…]", "[offset:…]", …) give nothing; an offset tag
// is deliberately not applied.
QList<LyricLine> parseLrc(const QString &text);

// Unsynced lyrics spread at a fixed pace: line k (empty lines counted) starts at k × 3 s; empty
// lines keep their slot but show nothing.
QList<LyricLine> plainLyricLines(const QString &text);

} // namespace LrcParser
