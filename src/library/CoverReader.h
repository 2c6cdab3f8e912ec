#pragma once

#include <QImage>
#include <QString>
#include <QtGlobal>

class QIODevice;

// Pulls the embedded cover picture out of an audio file without the playback engine: ID3v2 APIC
// frames, FLAC PICTURE blocks and MP4 covr atoms. Thumbnail jobs call it on pool threads, so
// nothing here keeps state between calls. The bytes come from arbitrary files: every failure,
// including a truncated, lying or hostile tag, gives a null image and never an exception.
namespace CoverReader {

// The most of a file any reader holds in memory at once: the MP4 scan window and the cap on an
// ID3v2 tag body. No real cover comes near it; a size field claiming more is not trusted.
inline constexpr qint64 kMaxScanBytes = 0x2000000; // 32 MiB

// Real files carry a handful of pictures and metadata blocks. A file offering thousands of
// undecodable pictures, or a FLAC header chain that never ends (a zero-filled, half-downloaded
// file), would otherwise keep a thumbnail thread busy for minutes.
inline constexpr int kMaxDecodeAttempts = 64;
inline constexpr int kMaxFlacBlocks = 1024;

// Lower-cased text after the last '.' of the path, or the whole path when there is no dot.
QString extensionOf(const QString &path);

// Picks the reader by extension; for anything but "mp3" an ID3v2 tag is tried when that reader
// found nothing (FLAC, WAV and others sometimes carry one in front).
QImage extractCover(const QString &path);
QImage readId3v2Picture(const QString &path);
QImage readFlacPicture(const QString &path);
QImage readMp4Picture(const QString &path);

// The same readers over bytes that are already at hand (a QBuffer, an open QFile). The device
// must be open for reading and random-access; it is read from its start. `extension` is what
// extensionOf() gives for the file's name.
QImage extractCover(QIODevice &device, const QString &extension);
QImage readId3v2Picture(QIODevice &device);
QImage readFlacPicture(QIODevice &device);
QImage readMp4Picture(QIODevice &device);

} // namespace CoverReader
