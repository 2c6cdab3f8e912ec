#pragma once

#include <QString>

// File names that go into or come out of the subtitle services.
namespace SubtitleNames {

// The words of a media file name worth searching for: no container extension, no separators,
// no release tags ("The.Movie.2019.1080p.BluRay.x264.mkv" → "The Movie 2019").
QString searchQuery(const QString &fileName);

// A name the server suggested, made safe to create inside the download folder: only its last
// component, no leading dots, and a subtitle extension (srt, ass, ssa, sub, vtt, smi). Anything
// else, an absent name included, becomes "subtitle.srt": a name without a subtitle extension
// could land on the media file or another file the user keeps beside it.
QString downloadName(const QString &serverName);

// Where the translation of `subtitlePath` is written: "movie.en.srt" → "movie.en_ko.srt".
// Never the input itself, whatever its extension.
QString translatedPath(const QString &subtitlePath);

} // namespace SubtitleNames
