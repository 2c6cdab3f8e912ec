#pragma once

#include <QList>

// The music view's bar animation. There is no audio analysis: bars follow the volume and the
// pause state with a fixed bar shape and seeded jitter, so identical inputs give identical output.
class SpectrumSynthesizer
{
public:
    static constexpr int kBins = 32;

    // Sizes the bins to 32, keeping existing values.
    void prepare();
    // One 16 ms tick; returns the 32 bar heights in 0..1. The jitter sequence is shared by the
    // whole process and advances once per tick of any synthesizer.
    const QList<float> &tick(double volume, bool paused);
    const QList<float> &bins() const { return bins_; }
    // Every bar has fallen to nothing (and the level with them).
    bool isSilent() const;
    float level() const { return level_; }

private:
    QList<float> bins_;
    QList<float> smooth_;
    float level_ = 0.0f;
};
