#pragma once

#include <QList>
#include <QString>

// What the engine's "pcm" output writes (WAV, 16- or 32-bit integer or 32-bit float samples,
// plain or extensible header), read back so a test can measure the sound that came out.
struct WavAudio {
    int channels = 0; // 0: no complete WAV file (one still being written reads as none)
    int sampleRate = 0;
    QList<double> samples; // interleaved, scaled to ±1.0 (16-bit integers exactly so)
    qsizetype frames() const { return channels > 0 ? samples.size() / channels : 0; }
};
WavAudio readWav(const QString &path);

// RMS level in dBFS of the sine at `frequencyHz` in one channel (Goertzel), over the middle half
// of the file, away from filter start-up and the end.
double toneLevelDb(const WavAudio &audio, double frequencyHz, int channel = 0);
