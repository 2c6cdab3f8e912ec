#pragma once

#include <QByteArray>
#include <QString>

// What room correction needs to know about an impulse-response WAV file before the engine is
// given it: the engine cannot be asked (a filter it fails to open silences every later file), so
// the file is read here. Integer PCM of 8/16/24/32 bits and float of 32/64 bits, plain or
// WAVE_FORMAT_EXTENSIBLE.
struct ImpulseResponse {
    // Longer responses stop the engine's convolution altogether.
    static constexpr double kMaxSeconds = 30.0;

    QString error; // empty when the file was read; otherwise for the user, in Korean
    int channels = 0;
    int sampleRate = 0;
    int bitsPerSample = 0;
    bool isFloat = false;
    qint64 frames = 0;
    double peak = 0.0; // largest absolute sample, 1.0 = full scale

    bool ok() const { return error.isEmpty(); }
    double seconds() const { return sampleRate > 0 ? double(frames) / sampleRate : 0.0; }

    static ImpulseResponse parse(const QByteArray &wav);
    static ImpulseResponse readFile(const QString &path);
    // The reasons this file cannot serve as a room's response even though it reads (too long,
    // too many channels, silent); empty when it can.
    QString unusableReason() const;
};
