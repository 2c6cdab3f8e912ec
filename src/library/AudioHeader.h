#pragma once

#include <QString>

class QIODevice;

// The stored sample depth of a lossless audio file, read from its own header. The engine only
// reports the format it decodes into (24-bit FLAC arrives as 32-bit integers), so a track's
// real depth has to come from the file. Lossy formats have no such depth: they give 0, as does
// anything unreadable, truncated or hostile.
namespace AudioHeader {

// FLAC (also behind an ID3v2 tag), WAV/RF64 (extensible formats by their valid bits), AIFF/AIFC
// and ALAC in MP4/M4A.
int bitDepth(const QString &path);
// The same over an open, random-access device read from its start.
int bitDepth(QIODevice &device);

} // namespace AudioHeader
