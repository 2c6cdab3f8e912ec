#include "WavMeter.h"

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

WavAudio readWav(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    const char *data = bytes.constData();
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || qFromLittleEndian<quint32>(data + 4) + 8 != quint64(bytes.size()))
        return {};
    WavAudio audio;
    quint16 format = 0, bits = 0;
    for (qsizetype chunk = 12; chunk + 8 <= bytes.size();) {
        const quint32 size = qFromLittleEndian<quint32>(data + chunk + 4);
        const char *body = data + chunk + 8;
        if (chunk + 8 + qsizetype(size) > bytes.size())
            return {};
        if (bytes.mid(chunk, 4) == "fmt ") {
            format = qFromLittleEndian<quint16>(body);
            audio.channels = qFromLittleEndian<quint16>(body + 2);
            audio.sampleRate = int(qFromLittleEndian<quint32>(body + 4));
            bits = qFromLittleEndian<quint16>(body + 14);
            if (format == 0xFFFE) // extensible: the sub-format GUID starts with the format
                format = qFromLittleEndian<quint16>(body + 24);
        } else if (bytes.mid(chunk, 4) == "data") {
            for (const char *at = body; at + bits / 8 <= body + size; at += bits / 8) {
                if (format == 3 && bits == 32)
                    audio.samples << double(qFromLittleEndian<float>(at));
                else if (format == 1 && bits == 16)
                    audio.samples << qFromLittleEndian<qint16>(at) / 32768.0;
                else if (format == 1 && bits == 32)
                    audio.samples << qFromLittleEndian<qint32>(at) / 2147483648.0;
                else
                    return {};
            }
            return audio.channels > 0 ? audio : WavAudio{};
        }
        chunk += 8 + size + (size & 1);
    }
    return {};
}

double toneLevelDb(const WavAudio &audio, double frequencyHz, int channel)
{
    const qsizetype first = audio.frames() / 4, count = audio.frames() / 2;
    const double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * frequencyHz / audio.sampleRate);
    double previous = 0.0, beforePrevious = 0.0;
    for (qsizetype frame = first; frame < first + count; ++frame) {
        const double current = audio.samples.at(frame * audio.channels + channel) + coefficient * previous - beforePrevious;
        beforePrevious = std::exchange(previous, current);
    }
    const double power = previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
    return 20.0 * std::log10(2.0 * std::sqrt(std::max(power, 0.0)) / double(count) / std::numbers::sqrt2);
}
