#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The player decides in its own vocabulary (Windows back-end names, scaler and option values
// of a newer engine). This translates one option value into what this libmpv accepts with the
// same meaning, at the moment it is written. nullopt: leave the engine's own default.
std::optional<QString> engineValueFor(const QString &name, const QString &value);

// A flag as the engine spells it in a property or option value.
inline QString yesNo(bool on)
{
    return on ? QStringLiteral("yes") : QStringLiteral("no");
}

// The engine's output list for the desktop's default output: the sound servers that are
// running (PipeWire, PulseAudio), then ALSA.
QString desktopAudioOutputs();

// One thing the engine is told: a property write, or a command where no property says it.
struct EngineWrite {
    QString property; // empty for a command
    QString value;
    QStringList command;

    static EngineWrite write(const QString &property, const QString &value) { return {property, value, {}}; }
    static EngineWrite run(const QStringList &arguments) { return {{}, {}, arguments}; }
};

// What this engine has to be told, in engine names, for the player writing `value` to `name`:
// usually one property write, sometimes several (a filter chain whose resampler is an option
// here) or a command as well ("shuffle" reorders the queue only by command). Empty: leave the
// engine's own default.
QList<EngineWrite> engineWritesFor(const QString &name, const QString &value);

// The bands of the graphic equalizer, f0 to f9 in its notation, in Hz; the hi-fi engine's
// parametric equalizer starts on the same.
inline constexpr int kEqualizerBandsHz[] = {31, 63, 125, 250, 500, 1000, 2000, 4000, 8000, 16000};

// The CPU scaler's counterpart of a GPU scaler write, for frames drawn by the software renderer:
// "scale" → "zimg-scaler", "cscale" → "zimg-scaler-chroma", "dither" → "zimg-dither", each in the
// nearest kernel the CPU scaler has; nothing for other properties or unknown kernels.
std::optional<EngineWrite> softwareScalerWrite(const QString &name, const QString &value);

// The player's audio filter text (filters joined by ",") as filters this engine can build: each
// equalizer in the player's notation becomes one peaking filter per band that is not flat, so an
// all-flat equalizer is no filter at all; other filters pass unchanged. A resampler is left out
// (it is an option here, see engineResamplerOptions).
QString engineAudioFilters(const QString &filters);
// The same as one filter, for a labelled entry of the engine's chain: the engine's label names
// only the first filter of a comma list, so replacing or removing the entry would leave the rest
// behind. Several filters become one graph (a graph among them is taken in as it is); empty when
// no filter is left.
QString engineAudioEntry(const QString &filters);
// A filter chain split at the commas between its filters, not those inside a filter's brackets,
// quotes or length-quoted (%N%) values.
QStringList splitFilterChain(const QString &chain);
// The player's resampler filter ("lavrresample:filter_size=N:phase_shift=M") as the value of the
// engine's "audio-swresample-o"; an empty text (no resampler) as the empty value, the engine's
// default; nullopt for a text that is not a resampler.
std::optional<QString> engineResamplerOptions(const QString &resampler);
// The name of each filter of an engine filter text, without labels ("@eq:lavfi=…" → "lavfi").
QStringList filterNames(const QString &engineFilters);

// Some values the player reads by their older property names live elsewhere in this engine
// (there, "audio-channels" and "audio-samplerate" name the output options, not the stream).
// Reads and observations go to the engine's name; events come back under the player's.
QString engineReadName(const QString &name);
QString playerReadName(const QString &engineName);
// Properties this engine knows under another name ("screenshot-dir" is "screenshot-directory").
QString engineWriteName(const QString &name);
// This engine describes a channel layout it cannot name as "unknownN"; the player wants N.
QString playerChannelText(const QString &engineText);
