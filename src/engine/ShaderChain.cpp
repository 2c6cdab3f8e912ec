#include "engine/ShaderChain.h"

#include "engine/EngineSession.h"

#include <QDebug>

namespace {
// Position updates after a change that prove the shaders compiled: the first frames drawn with
// them come within a few updates.
constexpr int kProvingFrames = 10;

QStringList listCommand(const char *operation, const QString &path)
{
    return {QStringLiteral("change-list"), QStringLiteral("glsl-shaders"), QLatin1String(operation), path};
}
} // namespace

int ShaderChain::append(const QStringList &paths)
{
    for (const QString &path : paths)
        if (const int result = session_.command(listCommand("append", path)); result < 0)
            return result;
    return 0;
}

void ShaderChain::remove(const QStringList &paths)
{
    for (const QString &path : paths)
        session_.command(listCommand("remove", path));
}

int ShaderChain::set(ShaderSlot slot, const QStringList &paths)
{
    Entry &entry = entries_[index(slot)];
    if (entry.paths == paths)
        return 0;
    // The later slots step out and come back behind the new shaders, keeping the order.
    remove(entry.paths);
    for (int i = index(slot) + 1; i < kShaderSlotCount; ++i)
        remove(entries_[i].paths);

    int result = append(paths);
    if (result < 0) {
        qWarning().noquote() << "[MPV] 셰이더 거부:" << paths;
        remove(paths);
        entry = {};
    } else {
        entry = {paths, 0};
    }
    for (int i = index(slot) + 1; i < kShaderSlotCount; ++i) {
        if (append(entries_[i].paths) < 0) {
            qWarning().noquote() << "[MPV] 셰이더 재배치 실패:" << entries_[i].paths;
            remove(entries_[i].paths);
            entries_[i] = {};
        }
    }
    return result;
}

QList<ShaderSlot> ShaderChain::frameShown()
{
    QList<ShaderSlot> proven;
    for (int i = 0; i < kShaderSlotCount; ++i) {
        Entry &entry = entries_[i];
        if (!entry.paths.isEmpty() && entry.framesShown < kProvingFrames && ++entry.framesShown == kProvingFrames)
            proven << ShaderSlot(i);
    }
    return proven;
}

bool ShaderChain::isProven(ShaderSlot slot) const
{
    const Entry &entry = entries_[index(slot)];
    return !entry.paths.isEmpty() && entry.framesShown >= kProvingFrames;
}

QList<ShaderSlot> ShaderChain::failedEntries(const QString &logText)
{
    // status=0 is a failure; the engine logs the same lines with status=1 for warnings.
    if (!logText.contains(QLatin1String("shader compile log (status=0)"))
        && !logText.contains(QLatin1String("shader link log (status=0)")))
        return {};
    QList<ShaderSlot> failed;
    for (int i = 0; i < kShaderSlotCount; ++i) {
        if (entries_[i].paths.isEmpty() || entries_[i].framesShown >= kProvingFrames)
            continue;
        remove(entries_[i].paths);
        entries_[i] = {};
        failed << ShaderSlot(i);
    }
    return failed;
}
