#pragma once

#include "subtitles/SegmentLine.h"

#include <QList>
#include <QString>

// Recognised speech written as SubRip beside its video. A file already there may be the
// user's own subtitle (or an earlier export they corrected): it is never replaced. The first
// free name of "<name>.srt", "<name>.stt.srt", "<name>.stt.2.srt", … is taken instead, as the
// recognition script does for its own copy.
namespace SpeechExport {

// `segments` of `mediaPath` (in any order, repeats of a run allowed) in time order, one cue per
// distinct segment.
QList<SubtitleSegment> cues(const QList<SubtitleSegment> &segments, const QString &mediaPath);

struct Outcome
{
    QString path;  // the file written
    QString error; // why nothing was written
};

// Writes the cues under the first free name, never over a file that appeared meanwhile.
Outcome write(const QString &mediaPath, const QList<SubtitleSegment> &cues);

} // namespace SpeechExport
