// Feeds arbitrary bytes to the .cube reader. Beyond "no crash": a refusal always says why, and a
// table it accepts is one the shader can carry as is: a size within bounds, exactly size³ finite
// entries and a non-empty domain on every channel.
#include "settings/CubeLut.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString error;
    const auto lut = CubeLut::parse(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), &error);
    if (!lut) {
        if (error.isEmpty())
            abort();
        return 0;
    }
    if (lut->size < CubeLut::kMinSize || lut->size > CubeLut::kMaxSize
        || lut->rgb.size() != size_t(lut->size) * lut->size * lut->size * 3)
        abort();
    for (float value : lut->rgb)
        if (!std::isfinite(value))
            abort();
    for (int c = 0; c < 3; ++c)
        if (!(lut->domainMin[c] < lut->domainMax[c]))
            abort();
    return 0;
}
