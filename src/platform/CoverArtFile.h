#pragma once

#include <QString>

// A picture file for a playing file's cover, for clients that take covers as file addresses
// (the media player service). Embedded covers are copied, small, into the cache; a cover.jpg or
// folder.jpg beside the file is used where it lies.
namespace CoverArtFile {

// The longest side of a copied cover: enough for any applet, small enough to write at each load.
inline constexpr int kMaxSide = 512;

// Where the copies go (under the user's cache folder).
QString cacheDirectory();

// Reads the file's tags, so it is meant for a pool thread. Writes the embedded cover, if any, to
// `copyPath` and returns that path; otherwise returns a picture beside the file, or nothing.
QString find(const QString &mediaPath, const QString &copyPath);

// True for a copy this code wrote, which its owner removes once it is no longer shown.
bool isCachedCopy(const QString &path);

} // namespace CoverArtFile
