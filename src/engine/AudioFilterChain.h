#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

#include <array>
#include <optional>

class EngineSession;

// The places in the engine's one audio filter chain that features own, in the order the sound
// passes through them: equalizers first, then plug-ins, then room correction last, so that the
// correction of the room applies to everything the user shaped before it.
enum class AudioFilterSlot { GraphicEq, HiFiEq, PlugIns, RoomCorrection };
inline constexpr int kAudioFilterSlotCount = 4;
Q_DECLARE_METATYPE(AudioFilterSlot)

// The shared audio filter chain. Each feature owns one labelled entry ("@label:filter") and
// changes only that; nobody replaces the whole chain, so one feature's change never wipes
// another's. Filters are given in the player's notation and translated by the engine dialect,
// which makes each entry one filter: the engine's label names only the first of a comma list.
//
// An entry is added with a synchronous command whose result is checked: while audio plays the
// engine builds the filter at once and refuses one it cannot build. Without audio (idle, or a
// file still starting) the engine only stores it and fails later, when the next file's audio
// starts, and every file after that would fail the same way. The engine's log says so, and
// failedEntries() finds the entries that caused it so they can be taken out.
//
// The engine hands its log lines over only after every pending event, so they are matched to
// the chain's state rather than to the events around them.
class AudioFilterChain
{
public:
    explicit AudioFilterChain(EngineSession &session) : session_(session) {}

    // The label of a slot's entry in the engine's chain.
    static QString label(AudioFilterSlot slot);

    // Puts `filters` into the slot; a text that leaves no filter (empty, an all-flat equalizer)
    // empties it. The engine's result code: negative when it refused, and the slot keeps what
    // it held before.
    int set(AudioFilterSlot slot, const QString &filters);
    int clear(AudioFilterSlot slot);
    // The player's text the slot holds; empty when the slot is empty.
    QString filters(AudioFilterSlot slot) const;

    // Whether audio is playing, i.e. whether the engine builds what is added at once. Entries
    // added without audio are only proven when audio next starts with them.
    void setAudioRunning(bool running);
    // Every log line written before now has been passed to failedEntries(): the lines a refused
    // add wrote have been seen, if it wrote any.
    void logCaughtUp();

    struct Failure {
        QList<AudioFilterSlot> removed;
        bool audioFailed = false; // the file's audio could not start (a running filter that stops
                                  // is dropped by the engine itself, and the file plays on)
    };
    // Takes one of the engine's error lines. When it reports a filter failure that entries of
    // this chain caused, those entries are removed from the engine and returned.
    Failure failedEntries(const QString &logText);

private:
    struct Entry {
        QString filters;       // the player's text
        QString engineFilters; // as written to the engine, without the label
        bool proven = false;   // the engine has built it
    };
    static int index(AudioFilterSlot slot) { return int(slot); }
    int add(AudioFilterSlot slot, const QString &engineFilters, const char *operation);
    void remove(const QList<AudioFilterSlot> &gone);

    EngineSession &session_;
    std::array<std::optional<Entry>, kAudioFilterSlotCount> entries_;
    bool audioRunning_ = false;
    int refusalsUnseen_ = 0;   // refused adds whose failure lines are still to come
    QString failedFilterName_; // from "Creating filter 'x' failed.", until the summary line
    QString failedGraphFilter_; // the filter inside a lavfi graph that ffmpeg could not set up
};
