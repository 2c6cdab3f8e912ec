#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>

#include <optional>

// The message a second start sends to the running player: a 32-bit big-endian payload length,
// then the file list as QDataStream writes a QStringList.
namespace Handover {

// A command line cannot carry more than a few MiB of arguments; anything bigger is not ours.
inline constexpr qint32 kMaxPayloadBytes = 4 * 1024 * 1024;

QByteArray encodeFrame(const QStringList &files);

// Strict: nullopt unless the payload is exactly one well-formed string list. Element counts are
// checked against the bytes present, so a lying count cannot make us allocate.
std::optional<QStringList> decodePayload(QByteArrayView payload);

// Collects one frame from a connection's reads, however they are split.
class FrameAssembler
{
public:
    enum class State { NeedMore, Complete, Invalid };

    State append(QByteArrayView bytes);
    State state() const { return state_; }
    // Valid once state() is Complete.
    QByteArrayView payload() const;

private:
    QByteArray buffer_;
    qint32 payloadLength_ = -1;
    State state_ = State::NeedMore;
};

} // namespace Handover
