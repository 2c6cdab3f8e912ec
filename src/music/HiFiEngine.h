#pragma once

#include <QList>
#include <QObject>
#include <QString>

class MpvCore;

// Puts the engine into its music configuration whenever an audio file is opened: the file's own
// sample rate, float output, the file's channel layout and gapless playback; then ReplayGain,
// the resampler's quality and its own parametric equalizer. No Linux output is exclusive, so
// none of this makes playback bit-perfect; `bitPerfect` only names the configuration.
//
// The parametric equalizer owns its own slot of the engine's audio filter chain: applying it
// never touches the graphic equalizer of the music view, which keeps its slot across files.
class HiFiEngine : public QObject
{
    Q_OBJECT
public:
    struct Band {
        double frequency; // Hz
        double gain;      // dB
        double q;
    };

    explicit HiFiEngine(MpvCore *engine, QObject *parent = nullptr);

    static bool isAudioFile(const QString &path);

    void apply();
    void setReplayGain(int mode); // 0 off, 1 track, 2 album
    // The chain in the player's notation: the resampler (if any), then the equalizer (if on and
    // not flat), joined by ","; empty when neither applies.
    QString buildFilterChain() const;
    void applyFilters();

    bool bitPerfect() const { return bitPerfect_; }
    void setBitPerfect(bool enabled);
    int replayGainMode() const { return replayGainMode_; }
    int resamplerQuality() const { return resamplerQuality_; }
    void setResamplerQuality(int quality); // 0 none, 1 fast, 2 medium, 3 best
    bool eqEnabled() const { return eqEnabled_; }
    void setEqEnabled(bool enabled);
    const QList<Band> &bands() const { return bands_; }
    void setBandGain(int band, double gainDb);

signals:
    void bitPerfectChanged(bool enabled);
    void eqChanged();

private:
    QString resamplerFilter() const;
    QString equalizerFilter() const;

    MpvCore *engine_;
    bool bitPerfect_ = true;
    int replayGainMode_ = 1;
    int resamplerQuality_ = 0;
    bool eqEnabled_ = false;
    QList<Band> bands_;
};
