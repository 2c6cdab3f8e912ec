#pragma once

#include <QPixmap>
#include <QString>

// What the main window knows about the playing track, read from the engine when a file has
// loaded. The music view and the compact player both draw from it.
struct TrackInfo {
    QString title = {};
    QString artist = {};
    QString album = {};
    QString date = {};
    // Kept with the record for other views; the music view does not show them.
    QString genre = {};
    QString trackNumber = {};
    int sampleRate = 0; // Hz
    int bitDepth = 0;   // 16, 24 or 32 (float counts as 32); 0 when unknown
    int channels = 0;
    QString codec = {}; // as the engine names it
    double replayGainDb = 0.0;
    bool hasReplayGain = false;
    QPixmap cover = {}; // embedded or folder cover; null when there is none
    QString filePath = {};
};
