#pragma once

#include "engine/EngineDialect.h"
#include "engine/EngineSession.h"

#include <QHash>

#include <memory>

#include <mpv/client.h>

// The engine session backed by a real libmpv handle.
class LibmpvSession : public EngineSession
{
public:
    // Null when libmpv cannot create a handle.
    static std::unique_ptr<LibmpvSession> create();
    ~LibmpvSession() override;

    mpv_handle *handle() const override { return handle_; }
    int setOption(const QString &name, const QString &value) override;
    int initialize() override;
    void requestLogMessages(const char *minLevel) override;
    void observe(const QString &name, EngineEvent::Format format) override;
    void setWakeupCallback(void (*callback)(void *), void *context) override;
    EngineEvent nextEvent() override;
    QString errorString(int code) const override;
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
    // With a hook, synchronous calls go through a private client handle as requests whose
    // replies are awaited in short steps, running the hook between them (see EngineSession).
    void setBeforeBlockingCall(std::function<void()> hook) override;
    void setSoftwareRendering(bool on) override { softwareRendering_ = on; }

private:
    explicit LibmpvSession(mpv_handle *handle) : handle_(handle) {}
    // Translates through the dialect into the engine writes for one player write.
    QList<EngineWrite> translate(const QString &name, const QString &value);
    // Makes the writes in order; the first failure's code, or success.
    int apply(const QList<EngineWrite> &writes);
    QString playerValue(const QString &name, const QString &engineValue) const;
    bool waitsForFrames() const { return replies_ && beforeBlockingCall_; }
    // Hands the property's value, valid only during the call, to `use`; false when unavailable.
    bool withProperty(const QByteArray &name, mpv_format format, const std::function<void(const void *)> &use) const;
    int writeProperty(const QByteArray &name, mpv_format format, void *data);
    const mpv_event *awaitReply(uint64_t request) const;

    mpv_handle *handle_;
    struct Translation {
        QString playerValue;
        QString engineValue;
    };
    QHash<QString, Translation> translations_;
    std::function<void()> beforeBlockingCall_;
    bool softwareRendering_ = false;
    mpv_handle *replies_ = nullptr;
    mutable uint64_t lastRequest_ = 0;
};

// Converts an engine node into Qt values: strings, bools, qint64, doubles, lists and maps.
QVariant nodeToVariant(const mpv_node *node);
