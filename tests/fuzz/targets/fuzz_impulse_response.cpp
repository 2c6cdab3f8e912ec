// Feeds arbitrary bytes to the impulse-response reader. Beyond "no crash": what it accepts must
// be self-consistent, since room correction sizes and scales the engine's filter from it.
#include "settings/ImpulseResponse.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // fromRawData: a read past the input is a read past libFuzzer's buffer, which ASan sees.
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const ImpulseResponse ir = ImpulseResponse::parse(bytes);
    if (!ir.ok())
        return 0;
    if (ir.channels < 1 || ir.sampleRate < 1 || ir.frames < 1)
        abort();
    if (qint64(ir.frames) * ir.channels * (ir.bitsPerSample / 8) > qint64(size))
        abort();
    if (!std::isfinite(ir.peak) || ir.peak < 0.0 || (!ir.isFloat && ir.peak > 1.0))
        abort();
    (void)ir.unusableReason();
    return 0;
}
