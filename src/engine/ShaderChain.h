#pragma once

#include <QList>
#include <QMetaType>
#include <QStringList>

#include <array>

class EngineSession;

// The places in the engine's one list of user shaders that features own, in the order the
// picture passes through them: upscaling first, the display's calibration last, so that it
// corrects what the screen is finally given.
enum class ShaderSlot { Upscaling, Calibration };
inline constexpr int kShaderSlotCount = 2;
Q_DECLARE_METATYPE(ShaderSlot)

// The shared shader list. Each feature owns the shader files of its slot and changes only
// those; nobody replaces the whole list. Every change is a synchronous, checked list command,
// one file per command, so no character in a path is taken for a list separator.
//
// A shader that does not compile is not refused by the list: the GPU finds out when it next
// draws, and the engine logs it without naming the file. The slots changed since the picture
// last moved on are the ones to blame; failedEntries() takes them out again.
class ShaderChain
{
public:
    explicit ShaderChain(EngineSession &session) : session_(session) {}

    // Puts `paths` into the slot (empty: takes its shaders out). The engine's result code;
    // on a refusal the slot is left empty.
    int set(ShaderSlot slot, const QStringList &paths);
    QStringList shaders(ShaderSlot slot) const { return entries_[index(slot)].paths; }

    // The picture moved on with every slot's shaders in place. The slots this proves to work.
    QList<ShaderSlot> frameShown();
    // The slot's shaders have been proven to work since they were put in.
    bool isProven(ShaderSlot slot) const;
    // Takes one of the engine's error lines. When it reports a shader that failed to compile,
    // the slots not yet shown to work are emptied and returned.
    QList<ShaderSlot> failedEntries(const QString &logText);

private:
    struct Entry {
        QStringList paths;
        int framesShown = 0;
    };
    static int index(ShaderSlot slot) { return int(slot); }
    int append(const QStringList &paths);
    void remove(const QStringList &paths);

    EngineSession &session_;
    std::array<Entry, kShaderSlotCount> entries_;
};
