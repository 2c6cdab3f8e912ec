#include "engine/AudioFilterChain.h"

#include "engine/EngineDialect.h"
#include "engine/EngineSession.h"

#include <QDebug>
#include <QRegularExpression>

#include <utility>

namespace {
constexpr const char *kLabels[kAudioFilterSlotCount] = {"graphic-eq", "hifi-eq", "plugins", "room"};
} // namespace

QString AudioFilterChain::label(AudioFilterSlot slot)
{
    return QLatin1String(kLabels[index(slot)]);
}

int AudioFilterChain::add(AudioFilterSlot slot, const QString &engineFilters, const char *operation)
{
    // "af add" replaces an entry of the same label where it stands, or appends; "af pre" puts
    // it first.
    return session_.command({QStringLiteral("af"), QLatin1String(operation),
                             QLatin1Char('@') + label(slot) + QLatin1Char(':') + engineFilters});
}

int AudioFilterChain::set(AudioFilterSlot slot, const QString &filters)
{
    const QString engineFilters = engineAudioEntry(filters);
    if (engineFilters.isEmpty())
        return clear(slot);
    std::optional<Entry> &entry = entries_[index(slot)];
    if (entry && entry->engineFilters == engineFilters) {
        entry->filters = filters;
        return 0;
    }

    bool earlier = false;
    bool later = false;
    for (int i = 0; i < kAudioFilterSlotCount; ++i) {
        if (i < index(slot))
            earlier = earlier || entries_[i].has_value();
        else if (i > index(slot))
            later = later || entries_[i].has_value();
    }
    const bool inserted = !entry.has_value();
    const int result = add(slot, engineFilters, inserted && later && !earlier ? "pre" : "add");
    if (result < 0) {
        qWarning().noquote() << "[MPV] 오디오 필터 거부:" << label(slot) << engineFilters;
        ++refusalsUnseen_;
        return result;
    }
    entry = Entry{filters, engineFilters, audioRunning_};

    if (inserted && earlier && later) {
        // Appended behind entries that belong after it: those move behind it, in order.
        for (int i = index(slot) + 1; i < kAudioFilterSlotCount; ++i) {
            if (!entries_[i])
                continue;
            const auto moved = AudioFilterSlot(i);
            session_.command({QStringLiteral("af"), QStringLiteral("remove"), QLatin1Char('@') + label(moved)});
            if (add(moved, entries_[i]->engineFilters, "add") < 0) {
                qWarning().noquote() << "[MPV] 오디오 필터 재배치 실패:" << label(moved);
                ++refusalsUnseen_;
                entries_[i].reset();
            }
        }
    }
    return result;
}

int AudioFilterChain::clear(AudioFilterSlot slot)
{
    std::optional<Entry> &entry = entries_[index(slot)];
    if (!entry)
        return 0;
    const int result = session_.command({QStringLiteral("af"), QStringLiteral("remove"), QLatin1Char('@') + label(slot)});
    if (result >= 0)
        entry.reset();
    return result;
}

QString AudioFilterChain::filters(AudioFilterSlot slot) const
{
    const std::optional<Entry> &entry = entries_[index(slot)];
    return entry ? entry->filters : QString();
}

void AudioFilterChain::setAudioRunning(bool running)
{
    audioRunning_ = running;
    if (running)
        for (std::optional<Entry> &entry : entries_)
            if (entry)
                entry->proven = true;
}

void AudioFilterChain::logCaughtUp()
{
    refusalsUnseen_ = 0;
    failedFilterName_.clear();
    failedGraphFilter_.clear();
}

void AudioFilterChain::remove(const QList<AudioFilterSlot> &gone)
{
    for (const AudioFilterSlot slot : gone) {
        session_.command({QStringLiteral("af"), QStringLiteral("remove"), QLatin1Char('@') + label(slot)});
        entries_[index(slot)].reset();
    }
}

AudioFilterChain::Failure AudioFilterChain::failedEntries(const QString &logText)
{
    static const QRegularExpression creating(QStringLiteral("Creating filter '([^']*)' failed"));
    static const QRegularExpression disabling(QStringLiteral("Disabling filter @?(\\S+) because it has failed"));
    // ffmpeg names the filter of a graph it could not set up, before the engine's own lines.
    static const QRegularExpression inGraph(QStringLiteral("Error initializing filter '([^']*)'"));

    // A filter that stopped while playing, named by its label.
    if (const auto match = disabling.match(logText); match.hasMatch()) {
        for (int i = 0; i < kAudioFilterSlotCount; ++i) {
            if (entries_[i] && label(AudioFilterSlot(i)) == match.captured(1)) {
                remove({AudioFilterSlot(i)});
                return {{AudioFilterSlot(i)}, false};
            }
        }
        return {};
    }
    if (const auto match = inGraph.match(logText); match.hasMatch()) {
        failedGraphFilter_ = match.captured(1);
        return {};
    }
    // Names the kind of filter only; the summary line that follows decides.
    if (const auto match = creating.match(logText); match.hasMatch()) {
        failedFilterName_ = match.captured(1);
        return {};
    }
    if (!logText.contains(QLatin1String("Audio filter initialized failed")))
        return {};
    const QString name = std::exchange(failedFilterName_, QString());
    const QString graphFilter = std::exchange(failedGraphFilter_, QString());
    // The lines of an add the engine refused: its result has reported that already.
    if (refusalsUnseen_ > 0) {
        --refusalsUnseen_;
        return {};
    }
    // The file's audio could not start. Entries not yet built are the likely cause; without
    // such, any entry of the failing kind is. Either way they must go, or no file plays again.
    // Several features put their filters into graphs of the same kind ("lavfi"): the filter
    // ffmpeg named inside the graph tells which of them failed, so the others stay.
    const auto holdsGraphFilter = [&graphFilter](const QString &engineFilters) {
        const QRegularExpression filter(QStringLiteral("(^|[%,;\\[\\]])%1=").arg(QRegularExpression::escape(graphFilter)));
        return !graphFilter.isEmpty() && engineFilters.contains(filter);
    };
    QList<AudioFilterSlot> unproven;
    QList<AudioFilterSlot> ofThatKind;
    QList<AudioFilterSlot> namedInGraph;
    for (int i = 0; i < kAudioFilterSlotCount; ++i) {
        if (!entries_[i] || (!name.isEmpty() && !filterNames(entries_[i]->engineFilters).contains(name)))
            continue;
        ofThatKind << AudioFilterSlot(i);
        if (!entries_[i]->proven)
            unproven << AudioFilterSlot(i);
        if (holdsGraphFilter(entries_[i]->engineFilters))
            namedInGraph << AudioFilterSlot(i);
    }
    const QList<AudioFilterSlot> &suspects = !namedInGraph.isEmpty() ? namedInGraph : unproven.isEmpty() ? ofThatKind : unproven;
    Failure failure{suspects, true};
    remove(failure.removed);
    return failure;
}
