#pragma once

#include "music/LrcParser.h"

#include <QByteArray>
#include <QList>
#include <QNetworkRequest>
#include <QString>

// The two questions the lyrics panel asks LRCLIB, and how its answers are read. No state: the
// panel decides what to ask next.
namespace Lrclib {

inline constexpr auto kServiceName = "LRCLIB"; // VELMORAN_LRCLIB_URL overrides the address
inline constexpr auto kPublicAddress = "https://lrclib.net";
// More than any song's lyrics; a bigger answer is not lyrics and is not buffered further.
inline constexpr qint64 kMaxAnswerBytes = 4 * 1024 * 1024;
// Qt waits forever by default; a stalled lookup would leave the badge searching for good.
inline constexpr int kTransferTimeoutMs = 12000;

struct TrackQuery
{
    QString title;
    QString artist;
    QString album;
    double durationSec = 0;
};

// Whether the exact lookup can be asked at all: it needs the length in whole seconds.
bool hasDuration(const TrackQuery &track);

// "/api/get": title, artist and album (each only when known) and the length rounded to seconds.
QNetworkRequest exactRequest(const TrackQuery &track);
// "/api/search" by title and artist.
QNetworkRequest searchRequest(const TrackQuery &track);

struct Answer
{
    enum class Kind { Nothing, Synced, Plain, Instrumental };
    Kind kind = Kind::Nothing;
    QList<LyricLine> lines;
};

// A record of the exact lookup; Nothing when it is no record or carries no lyrics, which is
// when the search is worth asking.
Answer readExactAnswer(const QByteArray &body);
// The first non-instrumental hit of a search that gives lines, synced preferred within a hit.
Answer readSearchAnswer(const QByteArray &body);

} // namespace Lrclib
