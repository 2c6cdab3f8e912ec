#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

// The framing of the Google Cast protocol: each message is a protobuf "CastMessage" (protocol
// version, source, destination, namespace, UTF-8 payload) behind its 4-byte big-endian length.
namespace CastProtocol {

inline constexpr quint16 kDevicePort = 8009;
inline constexpr qint64 kMaxMessageBytes = 64 * 1024;

struct Message {
    QString source;
    QString destination;
    QString nameSpace;
    QByteArray payload; // JSON text
};

QByteArray encode(const Message &message); // the protobuf, without the length
std::optional<Message> decode(const QByteArray &bytes);

} // namespace CastProtocol
