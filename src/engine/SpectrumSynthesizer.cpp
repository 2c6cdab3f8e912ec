#include "engine/SpectrumSynthesizer.h"

#include <algorithm>

namespace {
quint64 spectrumSeed = 12345;
// Below this a bar is less than a pixel of the tallest strip that draws it.
constexpr float kSilent = 0.001f;

float barShape(int bin)
{
    if (bin < 8)
        return 1.0f - 0.0625f * float(bin);
    if (bin < 20)
        return 0.5f + float(bin - 8) / 48.0f;
    return 0.75f - float(bin - 20) / 48.0f;
}

// A 16-bit hash of the tick's seed and the bin, scaled to 0..1.
float jitter(quint64 seed, int bin)
{
    quint64 x = seed ^ (quint64(bin) * 0x9E3779B1ull);
    x ^= x >> 33;
    x *= 0xFF51AFD7ED558CCDull;
    x ^= x >> 33;
    const quint16 r = quint16(x * 0xEC53ull);
    return float(r) / 65535.0f;
}
} // namespace

void SpectrumSynthesizer::prepare()
{
    bins_.resize(kBins, 0.0f);
    smooth_.resize(kBins, 0.0f);
}

bool SpectrumSynthesizer::isSilent() const
{
    return level_ == 0.0f && std::all_of(bins_.cbegin(), bins_.cend(), [](float bin) { return bin == 0.0f; });
}

const QList<float> &SpectrumSynthesizer::tick(double volume, bool paused)
{
    const float target = paused ? 0.0f : float(std::min(1.0, volume / 130.0));
    const float a = target > level_ ? 0.35f : 0.08f;
    level_ = (1.0f - a) * level_ + a * target;
    // The falls are exponential: without an end they would go on for ever, too low to be seen.
    if (level_ < kSilent)
        level_ = 0.0f;

    spectrumSeed = spectrumSeed * 0x5851F42D4C957F2Dull + 0x14057B7EF767814Full;
    for (int i = 0; i < kBins; ++i) {
        const float v = (0.8f + 0.4f * jitter(spectrumSeed, i)) * barShape(i) * level_;
        const float b = v > smooth_[i] ? 0.4f : 0.12f;
        smooth_[i] = (1.0f - b) * smooth_[i] + b * v;
        if (smooth_[i] < kSilent)
            smooth_[i] = 0.0f;
        bins_[i] = std::min(smooth_[i], 1.0f);
    }
    return bins_;
}
