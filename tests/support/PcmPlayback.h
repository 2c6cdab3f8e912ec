#pragma once

#include "WavMeter.h"
#include "engine/MpvCore.h"

#include <QTemporaryDir>

#include <memory>

// A real engine without a picture whose sound goes to WAV files ("pcm" output, faster than real
// time), so a test can measure what a file sounds like through the player's processing.
class PcmPlayback
{
public:
    PcmPlayback();
    ~PcmPlayback();
    bool isReady() const { return core_ != nullptr; }
    MpvCore *core() const { return core_.get(); }

    // Plays a file to its end into a WAV file of its own; no audio when it did not play.
    WavAudio play(const QString &path);

private:
    QTemporaryDir outputs_;
    int played_ = 0;
    std::unique_ptr<MpvCore> core_;
};
