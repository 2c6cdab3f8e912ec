#pragma once

#include "music/TrackInfo.h"

class MpvCore;

// Fills the track record of the playing file from the engine, the file's own header (the stored
// bit depth) and its cover: the embedded picture, else a picture file beside it.
namespace TrackInfoReader {

TrackInfo read(const MpvCore &engine, const QString &path);
// Only the audio format of the record (codec, rate, depth, channels), which the engine may
// know only some time after the file has loaded.
TrackInfo readFormat(const MpvCore &engine, const QString &path);

// The first of cover.jpg, cover.png, folder.jpg, albumart.jpg and front.jpg in the audio file's
// folder, whatever the case of its name ("Folder.JPG" too); empty when there is none.
QString folderCoverPath(const QString &audioPath);

// The engine's sample format as a depth, for files whose header has none: "s16" → 16, "s24" →
// 24, "s32", "float", "double" and their planar forms → 32, anything else 16.
int bitDepthFromEngineFormat(const QString &format);

} // namespace TrackInfoReader
