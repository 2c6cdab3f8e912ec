#include "engine/LibmpvSession.h"

#include "engine/EngineDialect.h"

#include <mpv/client.h>

namespace {
mpv_format toMpvFormat(EngineEvent::Format format)
{
    switch (format) {
    case EngineEvent::Format::String:
        return MPV_FORMAT_STRING;
    case EngineEvent::Format::Flag:
        return MPV_FORMAT_FLAG;
    case EngineEvent::Format::Int64:
        return MPV_FORMAT_INT64;
    case EngineEvent::Format::Double:
        return MPV_FORMAT_DOUBLE;
    case EngineEvent::Format::Node:
        return MPV_FORMAT_NODE;
    case EngineEvent::Format::Unavailable:
        break;
    }
    return MPV_FORMAT_NONE;
}

void readProperty(const mpv_event_property &property, EngineEvent &event)
{
    switch (property.format) {
    case MPV_FORMAT_STRING:
        event.format = EngineEvent::Format::String;
        event.value = QString::fromUtf8(*static_cast<char **>(property.data));
        break;
    case MPV_FORMAT_FLAG:
        event.format = EngineEvent::Format::Flag;
        event.value = *static_cast<int *>(property.data) != 0;
        break;
    case MPV_FORMAT_INT64:
        event.format = EngineEvent::Format::Int64;
        event.value = qint64(*static_cast<int64_t *>(property.data));
        break;
    case MPV_FORMAT_DOUBLE:
        event.format = EngineEvent::Format::Double;
        event.value = *static_cast<double *>(property.data);
        break;
    case MPV_FORMAT_NODE:
        event.format = EngineEvent::Format::Node;
        event.value = nodeToVariant(static_cast<mpv_node *>(property.data));
        break;
    default:
        event.format = EngineEvent::Format::Unavailable;
        break;
    }
}

EngineEvent::EndReason toEndReason(int reason)
{
    switch (reason) {
    case MPV_END_FILE_REASON_EOF:
        return EngineEvent::EndReason::Eof;
    case MPV_END_FILE_REASON_STOP:
        return EngineEvent::EndReason::Stop;
    case MPV_END_FILE_REASON_QUIT:
        return EngineEvent::EndReason::Quit;
    case MPV_END_FILE_REASON_ERROR:
        return EngineEvent::EndReason::Error;
    default:
        return EngineEvent::EndReason::Redirect;
    }
}
} // namespace

QVariant nodeToVariant(const mpv_node *node)
{
    switch (node->format) {
    case MPV_FORMAT_STRING:
        return QString::fromUtf8(node->u.string);
    case MPV_FORMAT_FLAG:
        return node->u.flag != 0;
    case MPV_FORMAT_INT64:
        return qint64(node->u.int64);
    case MPV_FORMAT_DOUBLE:
        return node->u.double_;
    case MPV_FORMAT_NODE_ARRAY: {
        QVariantList list;
        for (int i = 0; i < node->u.list->num; ++i)
            list << nodeToVariant(&node->u.list->values[i]);
        return list;
    }
    case MPV_FORMAT_NODE_MAP: {
        QVariantMap map;
        for (int i = 0; i < node->u.list->num; ++i)
            map.insert(QString::fromUtf8(node->u.list->keys[i]), nodeToVariant(&node->u.list->values[i]));
        return map;
    }
    default:
        return {};
    }
}

std::unique_ptr<LibmpvSession> LibmpvSession::create()
{
    mpv_handle *handle = mpv_create();
    return handle ? std::unique_ptr<LibmpvSession>(new LibmpvSession(handle)) : nullptr;
}

LibmpvSession::~LibmpvSession()
{
    if (replies_)
        mpv_destroy(replies_);
    mpv_terminate_destroy(handle_);
}

QList<EngineWrite> LibmpvSession::translate(const QString &name, const QString &value)
{
    QList<EngineWrite> writes = engineWritesFor(name, value);
    // A value written as another value of the same property is remembered, so that reading the
    // property back gives the player's value again.
    if (writes.size() == 1 && writes.first().property == engineWriteName(name) && writes.first().value != value)
        translations_.insert(name, {value, writes.first().value});
    else
        translations_.remove(name);
    if (softwareRendering_) {
        // The GPU value is still written: it is what the player reads back and decides on.
        if (const auto cpuWrite = softwareScalerWrite(name, value))
            writes << *cpuWrite;
    }
    return writes;
}

int LibmpvSession::apply(const QList<EngineWrite> &writes)
{
    // Every write is made even after one fails: they are independent parts of one setting.
    int result = 0;
    for (const EngineWrite &write : writes) {
        int written = 0;
        if (write.property.isEmpty()) {
            written = command(write.command);
        } else {
            const QByteArray text = write.value.toUtf8();
            const char *data = text.constData();
            written = writeProperty(write.property.toUtf8(), MPV_FORMAT_STRING, &data);
        }
        if (result >= 0)
            result = written;
    }
    return result;
}

int LibmpvSession::setOption(const QString &name, const QString &value)
{
    if (name == QLatin1String("vo") && value == QLatin1String("gpu")) {
        // Embedded output probes skip software OpenGL (virtual machines, remote desktops) and
        // would end every file with an error there; a slow picture beats none.
        mpv_set_option_string(handle_, "gpu-sw", "yes");
    }
    const QList<EngineWrite> writes = translate(name, value);
    int result = 0;
    for (const EngineWrite &write : writes) {
        // Before initialisation there is nothing to run a command on; options only.
        const int written = write.property.isEmpty()
                                ? MPV_ERROR_UNINITIALIZED
                                : mpv_set_option_string(handle_, write.property.toUtf8().constData(),
                                                        write.value.toUtf8().constData());
        if (result >= 0)
            result = written;
    }
    return result;
}

int LibmpvSession::initialize()
{
    return mpv_initialize(handle_);
}

void LibmpvSession::requestLogMessages(const char *minLevel)
{
    mpv_request_log_messages(handle_, minLevel);
}

void LibmpvSession::observe(const QString &name, EngineEvent::Format format)
{
    mpv_observe_property(handle_, 0, engineReadName(name).toUtf8().constData(), toMpvFormat(format));
}

void LibmpvSession::setWakeupCallback(void (*callback)(void *), void *context)
{
    mpv_set_wakeup_callback(handle_, callback, context);
}

EngineEvent LibmpvSession::nextEvent()
{
    const mpv_event *raw = mpv_wait_event(handle_, 0);
    EngineEvent event;
    if (!raw)
        return event;
    switch (raw->event_id) {
    case MPV_EVENT_NONE:
        return event;
    case MPV_EVENT_LOG_MESSAGE: {
        const auto *message = static_cast<const mpv_event_log_message *>(raw->data);
        event.type = EngineEvent::Type::LogMessage;
        event.logPrefix = QString::fromUtf8(message->prefix);
        event.logText = QString::fromUtf8(message->text).trimmed();
        event.logLevel = EngineEvent::LogLevel(message->log_level);
        break;
    }
    case MPV_EVENT_START_FILE:
        event.type = EngineEvent::Type::StartFile;
        event.playlistEntryId = static_cast<const mpv_event_start_file *>(raw->data)->playlist_entry_id;
        break;
    case MPV_EVENT_END_FILE: {
        const auto *end = static_cast<const mpv_event_end_file *>(raw->data);
        event.type = EngineEvent::Type::EndFile;
        event.endReason = toEndReason(end->reason);
        event.error = end->error;
        event.playlistEntryId = end->playlist_entry_id;
        break;
    }
    case MPV_EVENT_FILE_LOADED:
        event.type = EngineEvent::Type::FileLoaded;
        break;
    case MPV_EVENT_SEEK:
        event.type = EngineEvent::Type::Seek;
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        event.type = EngineEvent::Type::PlaybackRestart;
        break;
    case MPV_EVENT_PROPERTY_CHANGE: {
        const auto *property = static_cast<const mpv_event_property *>(raw->data);
        event.type = EngineEvent::Type::PropertyChange;
        event.propertyName = playerReadName(QString::fromUtf8(property->name));
        readProperty(*property, event);
        break;
    }
    default:
        event.type = EngineEvent::Type::Other;
        break;
    }
    return event;
}

QString LibmpvSession::errorString(int code) const
{
    return QString::fromUtf8(mpv_error_string(code));
}

int LibmpvSession::setString(const QString &name, const QString &value)
{
    return apply(translate(name, value));
}

int LibmpvSession::setFlag(const QString &name, int value)
{
    return writeProperty(engineWriteName(name).toUtf8(), MPV_FORMAT_FLAG, &value);
}

int LibmpvSession::setDouble(const QString &name, double value)
{
    return writeProperty(engineWriteName(name).toUtf8(), MPV_FORMAT_DOUBLE, &value);
}

int LibmpvSession::setInt64(const QString &name, qint64 value)
{
    int64_t engineValue = value;
    return writeProperty(engineWriteName(name).toUtf8(), MPV_FORMAT_INT64, &engineValue);
}

void LibmpvSession::setFlagAsync(const QString &name, bool value)
{
    int flag = value ? 1 : 0;
    mpv_set_property_async(handle_, 0, engineWriteName(name).toUtf8().constData(), MPV_FORMAT_FLAG, &flag);
}

void LibmpvSession::setDoubleAsync(const QString &name, double value)
{
    mpv_set_property_async(handle_, 0, engineWriteName(name).toUtf8().constData(), MPV_FORMAT_DOUBLE, &value);
}

void LibmpvSession::setInt64Async(const QString &name, qint64 value)
{
    int64_t engineValue = value;
    mpv_set_property_async(handle_, 0, engineWriteName(name).toUtf8().constData(), MPV_FORMAT_INT64, &engineValue);
}

namespace {
// The arguments as UTF-8 and the null-terminated pointer list libmpv takes; valid while it lives.
struct CommandArguments {
    explicit CommandArguments(const QStringList &arguments)
    {
        utf8.reserve(arguments.size());
        for (const QString &argument : arguments)
            utf8 << argument.toUtf8();
        argv.reserve(utf8.size() + 1);
        for (const QByteArray &argument : utf8)
            argv << argument.constData();
        argv << nullptr;
    }
    QList<QByteArray> utf8;
    QList<const char *> argv;
};
} // namespace

int LibmpvSession::commandAsync(const QStringList &arguments)
{
    CommandArguments command(arguments);
    return mpv_command_async(handle_, 0, command.argv.data());
}

int LibmpvSession::command(const QStringList &arguments)
{
    CommandArguments command(arguments);
    if (!waitsForFrames())
        return mpv_command(handle_, command.argv.data());
    beforeBlockingCall_();
    const uint64_t request = ++lastRequest_;
    if (const int queued = mpv_command_async(replies_, request, command.argv.data()); queued < 0)
        return queued;
    const mpv_event *reply = awaitReply(request);
    return reply ? reply->error : MPV_ERROR_GENERIC;
}

std::optional<QString> LibmpvSession::getString(const QString &name) const
{
    std::optional<QString> value;
    withProperty(engineReadName(name).toUtf8(), MPV_FORMAT_STRING,
                 [&value](const void *data) { value = QString::fromUtf8(*static_cast<char *const *>(data)); });
    if (!value)
        return std::nullopt;
    return playerValue(name, *value);
}

QString LibmpvSession::playerValue(const QString &name, const QString &engineValue) const
{
    if (name == QLatin1String("audio-channels"))
        return playerChannelText(engineValue);
    const auto translation = translations_.constFind(name);
    if (translation != translations_.cend() && translation->engineValue == engineValue)
        return translation->playerValue;
    return engineValue;
}

std::optional<bool> LibmpvSession::getFlag(const QString &name) const
{
    std::optional<bool> value;
    withProperty(engineReadName(name).toUtf8(), MPV_FORMAT_FLAG,
                 [&value](const void *data) { value = *static_cast<const int *>(data) != 0; });
    return value;
}

std::optional<qint64> LibmpvSession::getInt64(const QString &name) const
{
    std::optional<qint64> value;
    withProperty(engineReadName(name).toUtf8(), MPV_FORMAT_INT64,
                 [&value](const void *data) { value = qint64(*static_cast<const int64_t *>(data)); });
    return value;
}

std::optional<double> LibmpvSession::getDouble(const QString &name) const
{
    std::optional<double> value;
    withProperty(engineReadName(name).toUtf8(), MPV_FORMAT_DOUBLE,
                 [&value](const void *data) { value = *static_cast<const double *>(data); });
    return value;
}

std::optional<QVariant> LibmpvSession::getNode(const QString &name) const
{
    std::optional<QVariant> value;
    withProperty(engineReadName(name).toUtf8(), MPV_FORMAT_NODE,
                 [&value](const void *data) { value = nodeToVariant(static_cast<const mpv_node *>(data)); });
    if (value && value->typeId() == QMetaType::QString)
        return playerValue(name, value->toString());
    return value;
}

void LibmpvSession::setBeforeBlockingCall(std::function<void()> hook)
{
    beforeBlockingCall_ = std::move(hook);
    if (!beforeBlockingCall_ || replies_)
        return;
    replies_ = mpv_create_client(handle_, "velmoran_sync");
    if (!replies_)
        return;
    // Only the replies to its own requests: anything else would fill its queue unread.
    static const mpv_event_id unwanted[] = {
        MPV_EVENT_LOG_MESSAGE, MPV_EVENT_START_FILE, MPV_EVENT_END_FILE, MPV_EVENT_FILE_LOADED, MPV_EVENT_IDLE,
        MPV_EVENT_TICK, MPV_EVENT_CLIENT_MESSAGE, MPV_EVENT_VIDEO_RECONFIG, MPV_EVENT_AUDIO_RECONFIG, MPV_EVENT_SEEK,
        MPV_EVENT_PLAYBACK_RESTART, MPV_EVENT_PROPERTY_CHANGE, MPV_EVENT_QUEUE_OVERFLOW, MPV_EVENT_HOOK};
    for (const mpv_event_id event : unwanted)
        mpv_request_event(replies_, event, 0);
}

bool LibmpvSession::withProperty(const QByteArray &name, mpv_format format,
                                 const std::function<void(const void *)> &use) const
{
    if (!waitsForFrames()) {
        union {
            int flag;
            int64_t int64;
            double number;
            char *text;
            mpv_node node;
        } storage{};
        if (mpv_get_property(handle_, name.constData(), format, &storage) < 0)
            return false;
        use(&storage);
        if (format == MPV_FORMAT_STRING)
            mpv_free(storage.text);
        else if (format == MPV_FORMAT_NODE)
            mpv_free_node_contents(&storage.node);
        return true;
    }
    beforeBlockingCall_();
    const uint64_t request = ++lastRequest_;
    if (mpv_get_property_async(replies_, request, name.constData(), format) < 0)
        return false;
    const mpv_event *reply = awaitReply(request);
    if (!reply || reply->error < 0)
        return false;
    const auto *property = static_cast<const mpv_event_property *>(reply->data);
    if (property->format != format || !property->data)
        return false;
    use(property->data);
    return true;
}

int LibmpvSession::writeProperty(const QByteArray &name, mpv_format format, void *data)
{
    if (!waitsForFrames())
        return mpv_set_property(handle_, name.constData(), format, data);
    beforeBlockingCall_();
    const uint64_t request = ++lastRequest_;
    if (const int queued = mpv_set_property_async(replies_, request, name.constData(), format, data); queued < 0)
        return queued;
    const mpv_event *reply = awaitReply(request);
    return reply ? reply->error : MPV_ERROR_GENERIC;
}

const mpv_event *LibmpvSession::awaitReply(uint64_t request) const
{
    // Short waits: between them the frame the engine may be holding for this thread is drawn,
    // which is what lets the engine go on to answer.
    constexpr double kDrawCheckSeconds = 0.002;
    for (;;) {
        const mpv_event *event = mpv_wait_event(replies_, kDrawCheckSeconds);
        if (event->event_id == MPV_EVENT_NONE)
            beforeBlockingCall_();
        else if (event->event_id == MPV_EVENT_SHUTDOWN)
            return nullptr;
        else if (event->reply_userdata == request)
            return event;
    }
}
