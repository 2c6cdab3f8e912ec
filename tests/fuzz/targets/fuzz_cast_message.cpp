// Feeds arbitrary bytes, as a cast device could send them, to the message decoder. Beyond "no
// crash": whatever it accepts survives encoding and decoding again unchanged, so the player
// never answers with something other than what it understood.
#include "online/CastProtocol.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto message = CastProtocol::decode(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!message)
        return 0;
    const auto again = CastProtocol::decode(CastProtocol::encode(*message));
    if (!again || again->source != message->source || again->destination != message->destination
        || again->nameSpace != message->nameSpace || again->payload != message->payload)
        abort();
    return 0;
}
