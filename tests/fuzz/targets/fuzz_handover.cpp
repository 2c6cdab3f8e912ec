// Feeds arbitrary bytes to the hand-over receiver, split into reads at fuzzer-chosen points.
// Beyond "no crash": a frame that decodes must re-encode to the very same bytes, and the split
// must not change what is assembled.
#include "app/HandoverProtocol.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t chunk = 1 + data[0] % 16;
    const QByteArrayView input(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    Handover::FrameAssembler split;
    for (qsizetype offset = 0; offset < input.size(); offset += chunk)
        split.append(input.sliced(offset, qMin<qsizetype>(chunk, input.size() - offset)));
    Handover::FrameAssembler whole;
    whole.append(input);

    if (split.state() != whole.state())
        abort();
    if (whole.state() != Handover::FrameAssembler::State::Complete)
        return 0;
    if (split.payload() != whole.payload())
        abort();

    const auto files = Handover::decodePayload(whole.payload());
    if (files) {
        const QByteArray frame = Handover::encodeFrame(*files);
        if (QByteArrayView(frame).sliced(4) != whole.payload())
            abort();
    }
    return 0;
}
