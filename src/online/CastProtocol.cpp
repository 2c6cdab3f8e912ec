#include "online/CastProtocol.h"

namespace CastProtocol {
namespace {

void putVarint(QByteArray &out, quint64 value)
{
    do {
        quint8 byte = value & 0x7f;
        value >>= 7;
        out.append(char(value ? byte | 0x80 : byte));
    } while (value);
}

void putText(QByteArray &out, int field, const QByteArray &text)
{
    out.append(char(field << 3 | 2));
    putVarint(out, quint64(text.size()));
    out.append(text);
}

std::optional<quint64> takeVarint(const QByteArray &in, qsizetype &at)
{
    quint64 value = 0;
    for (int shift = 0; shift < 64 && at < in.size(); shift += 7) {
        const auto byte = quint8(in.at(at++));
        value |= quint64(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return value;
    }
    return std::nullopt;
}

} // namespace

QByteArray encode(const Message &message)
{
    QByteArray out;
    out.append(char(1 << 3 | 0)); // protocol_version CASTV2_1_0
    putVarint(out, 0);
    putText(out, 2, message.source.toUtf8());
    putText(out, 3, message.destination.toUtf8());
    putText(out, 4, message.nameSpace.toUtf8());
    out.append(char(5 << 3 | 0)); // payload_type STRING
    putVarint(out, 0);
    putText(out, 6, message.payload);
    return out;
}

std::optional<Message> decode(const QByteArray &bytes)
{
    Message message;
    qsizetype at = 0;
    while (at < bytes.size()) {
        const auto key = takeVarint(bytes, at);
        if (!key)
            return std::nullopt;
        const int field = int(*key >> 3);
        switch (*key & 7) {
        case 0:
            if (!takeVarint(bytes, at))
                return std::nullopt;
            break;
        case 2: {
            const auto length = takeVarint(bytes, at);
            if (!length || *length > quint64(bytes.size() - at))
                return std::nullopt;
            const QByteArray text = bytes.mid(at, qsizetype(*length));
            at += qsizetype(*length);
            if (field == 2)
                message.source = QString::fromUtf8(text);
            else if (field == 3)
                message.destination = QString::fromUtf8(text);
            else if (field == 4)
                message.nameSpace = QString::fromUtf8(text);
            else if (field == 6)
                message.payload = text;
            break;
        }
        default:
            return std::nullopt; // binary payloads and other wire types are not ours
        }
    }
    return message;
}

} // namespace CastProtocol
