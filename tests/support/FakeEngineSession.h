#pragma once

#include "engine/EngineSession.h"
#include "engine/MpvCore.h"

#include <QList>
#include <QVariantMap>

#include <functional>
#include <memory>

// An engine without libmpv: writes and commands are recorded in order, reads come from a
// property map that writes also update, and events are queued by the test.
class FakeEngineSession : public EngineSession
{
public:
    struct Write {
        QString kind; // "option", "string", "flag", "double", "int64", "flagAsync", "doubleAsync", "int64Async"
        QString name;
        QVariant value;
    };

    QList<Write> writes;
    QList<QStringList> commands; // asynchronous and synchronous, in order
    // The result of each synchronous command; success when unset.
    std::function<int(const QStringList &)> commandResult;
    // The audio filter chain as the engine's "af" commands leave it, one filter per item
    // ("@label:filter" or "filter"), by the engine's own rule for labels.
    QStringList audioFilters;
    QVariantMap properties; // absent name: the property is unavailable
    QList<EngineEvent> events;
    int initializeResult = 0;
    bool wakeupInstalled = false;
    QStringList observed;

    // Values written to one property, oldest first (any kind of write).
    QVariantList valuesWritten(const QString &name) const;
    // Names in write order, for checking option order.
    QStringList namesWritten() const;
    void clearRecords();

    void queuePropertyChange(const QString &name, EngineEvent::Format format, const QVariant &value = {});
    void queueEvent(EngineEvent::Type type);
    void queueStartFile(qint64 entryId);
    void queueEndFile(EngineEvent::EndReason reason, int error = 0, qint64 entryId = 0);
    void queueLog(EngineEvent::LogLevel level, const QString &text, const QString &prefix = QStringLiteral("ao"));

    // EngineSession
    mpv_handle *handle() const override { return nullptr; }
    int setOption(const QString &name, const QString &value) override;
    int initialize() override { return initializeResult; }
    void requestLogMessages(const char *) override {}
    void observe(const QString &name, EngineEvent::Format) override { observed << name; }
    void setWakeupCallback(void (*)(void *), void *) override { wakeupInstalled = true; }
    EngineEvent nextEvent() override;
    QString errorString(int code) const override { return QStringLiteral("fake error %1").arg(code); }
    int setString(const QString &name, const QString &value) override;
    int setFlag(const QString &name, int value) override;
    int setDouble(const QString &name, double value) override;
    int setInt64(const QString &name, qint64 value) override;
    void setFlagAsync(const QString &name, bool value) override;
    void setDoubleAsync(const QString &name, double value) override;
    void setInt64Async(const QString &name, qint64 value) override;
    int commandAsync(const QStringList &arguments) override;
    int command(const QStringList &arguments) override;
    std::optional<QString> getString(const QString &name) const override;
    std::optional<bool> getFlag(const QString &name) const override;
    std::optional<qint64> getInt64(const QString &name) const override;
    std::optional<double> getDouble(const QString &name) const override;
    std::optional<QVariant> getNode(const QString &name) const override;

private:
    int record(const QString &kind, const QString &name, const QVariant &value);
};

// An engine object on a fake engine and the default render environment; initialised, with the
// set-up writes forgotten, unless asked otherwise.
struct FakeEngine {
    FakeEngineSession *fake = nullptr;
    std::unique_ptr<MpvCore> core;
};
FakeEngine makeFakeEngine(bool initialise = true);
