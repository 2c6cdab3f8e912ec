#include "app/HandoverProtocol.h"

#include <QDataStream>
#include <QIODevice>
#include <QtEndian>

namespace Handover {

namespace {
constexpr int kHeaderBytes = 4;
constexpr quint32 kNullStringMarker = 0xFFFFFFFF;
}

QByteArray encodeFrame(const QStringList &files)
{
    QByteArray payload;
    {
        QDataStream out(&payload, QIODevice::WriteOnly);
        out << files;
    }
    QByteArray frame;
    QDataStream out(&frame, QIODevice::WriteOnly);
    out << qint32(payload.size());
    frame.append(payload);
    return frame;
}

std::optional<QStringList> decodePayload(QByteArrayView payload)
{
    if (payload.size() < kHeaderBytes)
        return std::nullopt;
    const quint32 count = qFromBigEndian<quint32>(payload.data());
    // Every element needs at least its own 4-byte length.
    if (count > quint32(payload.size() - kHeaderBytes) / 4)
        return std::nullopt;

    QStringList files;
    files.reserve(count);
    qsizetype offset = kHeaderBytes;
    for (quint32 i = 0; i < count; ++i) {
        if (payload.size() - offset < 4)
            return std::nullopt;
        const quint32 byteLength = qFromBigEndian<quint32>(payload.data() + offset);
        offset += 4;
        if (byteLength == kNullStringMarker) {
            files << QString();
            continue;
        }
        if (byteLength == 0) {
            files << QStringLiteral(""); // empty but not null, as the sender wrote it
            continue;
        }
        if (byteLength % 2 != 0 || byteLength > quint64(payload.size() - offset))
            return std::nullopt;
        QString text(byteLength / 2, Qt::Uninitialized);
        qFromBigEndian<char16_t>(payload.data() + offset, byteLength / 2, text.data());
        offset += byteLength;
        files << text;
    }
    if (offset != payload.size())
        return std::nullopt;
    return files;
}

FrameAssembler::State FrameAssembler::append(QByteArrayView bytes)
{
    // Takes only the bytes the frame still needs, so the buffer never outgrows one capped frame.
    while (state_ == State::NeedMore) {
        const qsizetype frameBytes = kHeaderBytes + qMax(payloadLength_, 0);
        const qsizetype take = qMin(frameBytes - buffer_.size(), bytes.size());
        buffer_.append(bytes.first(take));
        bytes = bytes.sliced(take);
        if (buffer_.size() < frameBytes)
            break;
        if (payloadLength_ < 0) {
            payloadLength_ = qFromBigEndian<qint32>(buffer_.constData());
            if (payloadLength_ < 0 || payloadLength_ > kMaxPayloadBytes)
                state_ = State::Invalid;
            continue;
        }
        state_ = State::Complete;
    }
    return state_;
}

QByteArrayView FrameAssembler::payload() const
{
    return QByteArrayView(buffer_).sliced(kHeaderBytes, payloadLength_);
}

} // namespace Handover
