#include "subtitles/MovieHash.h"

#include <QFile>
#include <QtEndian>

namespace {

constexpr qint64 kBlockBytes = 64 * 1024;

// Wrapping on overflow is part of the algorithm, which is why the sum is unsigned.
bool addBlock(QFile &file, qint64 offset, quint64 &sum)
{
    if (!file.seek(offset))
        return false;
    const QByteArray block = file.read(kBlockBytes);
    if (block.size() != kBlockBytes)
        return false;
    for (qsizetype at = 0; at < block.size(); at += 8)
        sum += qFromLittleEndian<quint64>(block.constData() + at);
    return true;
}

} // namespace

MovieHash computeMovieHash(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 size = file.size();
    if (size < 2 * kBlockBytes)
        return {};
    quint64 sum = quint64(size);
    if (!addBlock(file, 0, sum) || !addBlock(file, size - kBlockBytes, sum))
        return {};
    return {QStringLiteral("%1").arg(sum, 16, 16, QLatin1Char('0')), size};
}
