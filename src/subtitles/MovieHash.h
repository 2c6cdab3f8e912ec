#pragma once

#include <QString>
#include <QtGlobal>

// OpenSubtitles identifies a video by its size and the 64-bit sums of its first and last 64 KiB,
// so the exact release can be found without reading the whole file.
struct MovieHash
{
    QString hex;   // 16 lower-case hex digits; empty when the file has no hash
    qint64 size = 0;

    bool isValid() const { return !hex.isEmpty(); }
};

// No hash for a file that cannot be read or is smaller than the two sampled blocks together.
MovieHash computeMovieHash(const QString &path);
