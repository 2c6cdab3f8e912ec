#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <optional>

struct mpv_handle;

// One engine event, copied out of libmpv's event buffer so it can be handled (and faked) freely.
struct EngineEvent {
    enum class Type { None, LogMessage, StartFile, EndFile, FileLoaded, Seek, PlaybackRestart, PropertyChange, Other };
    enum class EndReason { Eof, Stop, Quit, Error, Redirect };
    // Property formats as the engine delivered them; Unavailable when the property has no value.
    enum class Format { Unavailable, String, Flag, Int64, Double, Node };
    // Log levels from most to least severe, as libmpv orders them.
    enum class LogLevel { Fatal = 10, Error = 20, Warn = 30, Info = 40, Verbose = 50, Debug = 60, Trace = 70 };

    Type type = Type::None;

    QString logPrefix = {};
    QString logText = {};
    LogLevel logLevel = LogLevel::Info;

    EndReason endReason = EndReason::Eof;
    int error = 0; // engine error code of an end with reason Error
    qint64 playlistEntryId = 0; // the queue entry a StartFile or EndFile is about

    QString propertyName = {};
    Format format = Format::Unavailable;
    QVariant value = {};
};

// The narrow seam between MpvCore and libmpv. The real implementation talks to a libmpv handle;
// tests substitute a fake to drive the engine-reacting logic deterministically. Names and values
// are the player's own; the real session translates them into what this libmpv accepts.
class EngineSession
{
public:
    virtual ~EngineSession() = default;

    // The libmpv handle for the render API; null for sessions without a real engine.
    virtual mpv_handle *handle() const = 0;

    virtual int setOption(const QString &name, const QString &value) = 0;
    virtual int initialize() = 0;
    virtual void requestLogMessages(const char *minLevel) = 0;
    virtual void observe(const QString &name, EngineEvent::Format format) = 0;
    virtual void setWakeupCallback(void (*callback)(void *), void *context) = 0;
    // Never blocks; an event of Type::None when the queue is empty.
    virtual EngineEvent nextEvent() = 0;
    virtual QString errorString(int code) const = 0;

    // Synchronous writes return the engine's result code (negative on failure).
    virtual int setString(const QString &name, const QString &value) = 0;
    virtual int setFlag(const QString &name, int value) = 0;
    virtual int setDouble(const QString &name, double value) = 0;
    virtual int setInt64(const QString &name, qint64 value) = 0;
    // Asynchronous writes and commands: results are not reported.
    virtual void setFlagAsync(const QString &name, bool value) = 0;
    virtual void setDoubleAsync(const QString &name, double value) = 0;
    virtual void setInt64Async(const QString &name, qint64 value) = 0;
    virtual int commandAsync(const QStringList &arguments) = 0;
    // Waits for the engine to run the command; its result code (negative on failure).
    virtual int command(const QStringList &arguments) = 0;

    // Reads give nothing when the property is unavailable.
    virtual std::optional<QString> getString(const QString &name) const = 0;
    virtual std::optional<bool> getFlag(const QString &name) const = 0;
    virtual std::optional<qint64> getInt64(const QString &name) const = 0;
    virtual std::optional<double> getDouble(const QString &name) const = 0;
    virtual std::optional<QVariant> getNode(const QString &name) const = 0;
    // Runs on the calling thread before every synchronous read or write and again while it waits
    // for the engine. The video surface uses it to draw a frame the engine is holding for it: the
    // engine waits for that frame before it answers, so a call waiting idly would stall both sides
    // until the engine gives up.
    virtual void setBeforeBlockingCall(std::function<void()> hook) { (void)hook; }
    // Frames are drawn by the engine's CPU renderer: the GPU scaler writes ("scale", "cscale",
    // "dither") are also given to the CPU scaler, in its nearest terms.
    virtual void setSoftwareRendering(bool on) { (void)on; }
};
