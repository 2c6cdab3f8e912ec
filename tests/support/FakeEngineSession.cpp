#include "FakeEngineSession.h"

#include "engine/EngineDialect.h"

#include <algorithm>

QVariantList FakeEngineSession::valuesWritten(const QString &name) const
{
    QVariantList values;
    for (const Write &write : writes)
        if (write.name == name)
            values << write.value;
    return values;
}

QStringList FakeEngineSession::namesWritten() const
{
    QStringList names;
    for (const Write &write : writes)
        names << write.name;
    return names;
}

void FakeEngineSession::clearRecords()
{
    writes.clear();
    commands.clear();
}

void FakeEngineSession::queuePropertyChange(const QString &name, EngineEvent::Format format, const QVariant &value)
{
    events << EngineEvent{.type = EngineEvent::Type::PropertyChange, .propertyName = name, .format = format, .value = value};
}

void FakeEngineSession::queueEvent(EngineEvent::Type type) { events << EngineEvent{.type = type}; }

void FakeEngineSession::queueStartFile(qint64 entryId)
{
    events << EngineEvent{.type = EngineEvent::Type::StartFile, .playlistEntryId = entryId};
}

void FakeEngineSession::queueEndFile(EngineEvent::EndReason reason, int error, qint64 entryId)
{
    events << EngineEvent{.type = EngineEvent::Type::EndFile, .endReason = reason, .error = error, .playlistEntryId = entryId};
}

void FakeEngineSession::queueLog(EngineEvent::LogLevel level, const QString &text, const QString &prefix)
{
    events << EngineEvent{.type = EngineEvent::Type::LogMessage, .logPrefix = prefix, .logText = text, .logLevel = level};
}

int FakeEngineSession::record(const QString &kind, const QString &name, const QVariant &value)
{
    writes << Write{kind, name, value};
    properties.insert(name, value);
    return 0;
}

int FakeEngineSession::setOption(const QString &name, const QString &value) { return record(QStringLiteral("option"), name, value); }

EngineEvent FakeEngineSession::nextEvent() { return events.isEmpty() ? EngineEvent{} : events.takeFirst(); }

int FakeEngineSession::setString(const QString &name, const QString &value) { return record(QStringLiteral("string"), name, value); }
int FakeEngineSession::setFlag(const QString &name, int value) { return record(QStringLiteral("flag"), name, value); }
int FakeEngineSession::setDouble(const QString &name, double value) { return record(QStringLiteral("double"), name, value); }
int FakeEngineSession::setInt64(const QString &name, qint64 value) { return record(QStringLiteral("int64"), name, value); }
void FakeEngineSession::setFlagAsync(const QString &name, bool value) { record(QStringLiteral("flagAsync"), name, value); }
void FakeEngineSession::setDoubleAsync(const QString &name, double value) { record(QStringLiteral("doubleAsync"), name, value); }
void FakeEngineSession::setInt64Async(const QString &name, qint64 value) { record(QStringLiteral("int64Async"), name, value); }

int FakeEngineSession::commandAsync(const QStringList &arguments)
{
    commands << arguments;
    return 0;
}

int FakeEngineSession::command(const QStringList &arguments)
{
    commands << arguments;
    const int result = commandResult ? commandResult(arguments) : 0;
    if (result < 0 || arguments.size() != 3 || arguments.at(0) != QLatin1String("af"))
        return result;
    // The filter list as the engine edits it, filter by filter: a label names only the filter it
    // is written on, the first of a comma list. "add" replaces a labelled filter where it stands
    // and appends the others, "pre" puts them first, "remove" takes out the labelled (or an
    // equal) filter. So "@eq:a,b" after "@eq:a" leaves "@eq:a,b,b", and removing @eq leaves "b".
    const QString &operation = arguments.at(1);
    const auto labelOf = [](const QString &filter) {
        return filter.startsWith(QLatin1Char('@')) ? filter.section(QLatin1Char(':'), 0, 0) : QString();
    };
    qsizetype prepended = 0;
    for (const QString &filter : splitFilterChain(arguments.at(2))) {
        const QString label = labelOf(filter);
        const auto existing = std::find_if(audioFilters.begin(), audioFilters.end(), [&](const QString &present) {
            return label.isEmpty() ? present == filter : labelOf(present) == label;
        });
        if (operation == QLatin1String("remove")) {
            if (existing != audioFilters.end())
                audioFilters.erase(existing);
        } else if (!label.isEmpty() && existing != audioFilters.end()) {
            *existing = filter;
        } else if (operation == QLatin1String("pre")) {
            audioFilters.insert(prepended++, filter);
        } else {
            audioFilters.append(filter);
        }
    }
    return result;
}

std::optional<QString> FakeEngineSession::getString(const QString &name) const
{
    const std::optional<QVariant> value = getNode(name);
    if (value && value->typeId() == QMetaType::Bool)
        return value->toBool() ? QStringLiteral("yes") : QStringLiteral("no");
    return value ? std::optional(value->toString()) : std::nullopt;
}

std::optional<bool> FakeEngineSession::getFlag(const QString &name) const
{
    const std::optional<QVariant> value = getNode(name);
    if (value && value->typeId() == QMetaType::QString)
        return value->toString() == QLatin1String("yes");
    return value ? std::optional(value->toBool()) : std::nullopt;
}

std::optional<qint64> FakeEngineSession::getInt64(const QString &name) const
{
    const std::optional<QVariant> value = getNode(name);
    return value ? std::optional(value->toLongLong()) : std::nullopt;
}

std::optional<double> FakeEngineSession::getDouble(const QString &name) const
{
    const std::optional<QVariant> value = getNode(name);
    return value ? std::optional(value->toDouble()) : std::nullopt;
}

std::optional<QVariant> FakeEngineSession::getNode(const QString &name) const
{
    return properties.contains(name) ? std::optional(properties.value(name)) : std::nullopt;
}

FakeEngine makeFakeEngine(bool initialise)
{
    auto session = std::make_unique<FakeEngineSession>();
    FakeEngine engine{session.get(), std::make_unique<MpvCore>(std::move(session))};
    engine.core->setEnvironmentDetector([] { return RenderEnvironment(); });
    if (initialise) {
        engine.core->initialize(0);
        engine.fake->clearRecords();
    }
    return engine;
}
