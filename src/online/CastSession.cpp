#include "online/CastSession.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSslSocket>
#include <QTimer>
#include <QtEndian>

#include <string_view>

namespace {
constexpr const char *kConnection = "urn:x-cast:com.google.cast.tp.connection";
constexpr const char *kHeartbeat = "urn:x-cast:com.google.cast.tp.heartbeat";
constexpr const char *kReceiver = "urn:x-cast:com.google.cast.receiver";
constexpr const char *kMedia = "urn:x-cast:com.google.cast.media";
constexpr const char *kDefaultMediaReceiver = "CC1AD845";
const QString kSender = QStringLiteral("sender-velmoran");
const QString kPlatform = QStringLiteral("receiver-0");
} // namespace

CastSession::CastSession(QObject *parent) : QObject(parent), socket_(new QSslSocket(this)), timeout_(new QTimer(this))
{
    timeout_->setSingleShot(true);
    connect(timeout_, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("기기가 %1초 안에 재생을 시작하지 않았습니다").arg(kTimeoutMs / 1000));
    });
    // Cast devices identify themselves with a certificate of their own making; there is no
    // authority to check it against.
    socket_->setPeerVerifyMode(QSslSocket::VerifyNone);
    connect(socket_, &QSslSocket::encrypted, this, [this] {
        send(kPlatform, kConnection, {{"type", "CONNECT"}});
        send(kPlatform, kReceiver, {{"type", "LAUNCH"}, {"appId", kDefaultMediaReceiver}});
    });
    connect(socket_, &QSslSocket::readyRead, this, &CastSession::onReadyRead);
    connect(socket_, &QSslSocket::errorOccurred, this, [this] {
        if (stopping_)
            return; // the disconnect that follows ends the stop
        fail(QStringLiteral("기기에 연결할 수 없습니다 (%1)").arg(socket_->errorString()));
    });
    connect(socket_, &QSslSocket::disconnected, this, [this] {
        if (stopping_) {
            finishStop();
            return;
        }
        // Lost before it played: a failure, not an end.
        if (!playing_)
            fail(QStringLiteral("기기가 연결을 끊었습니다"));
        end();
    });
}

void CastSession::stop()
{
    if (stopping_)
        return;
    stopping_ = true;
    done_ = true;
    timeout_->stop();
    if (socket_->state() != QAbstractSocket::ConnectedState || !socket_->isEncrypted()) {
        socket_->abort();
        QMetaObject::invokeMethod(this, &CastSession::finishStop, Qt::QueuedConnection);
        return;
    }
    if (!transportId_.isEmpty() && mediaSessionId_ >= 0)
        send(transportId_, kMedia, {{"type", "STOP"}, {"mediaSessionId", mediaSessionId_}});
    if (!sessionId_.isEmpty())
        send(kPlatform, kReceiver, {{"type", "STOP"}, {"sessionId", sessionId_}});
    if (!transportId_.isEmpty())
        send(transportId_, kConnection, {{"type", "CLOSE"}});
    send(kPlatform, kConnection, {{"type", "CLOSE"}});
    // Closes once what is queued has gone out; a device that never lets go is cut off.
    timeout_->disconnect(this);
    connect(timeout_, &QTimer::timeout, this, [this] { socket_->abort(); finishStop(); });
    timeout_->start(kStopTimeoutMs);
    socket_->flush();
    socket_->disconnectFromHost();
}

void CastSession::finishStop()
{
    if (!stopping_ || stopped_)
        return;
    stopped_ = true;
    timeout_->stop();
    emit stopped();
}

void CastSession::end()
{
    // Only a cast that played can end; before that a lost device is a failure.
    if (!playing_ || ended_ || stopping_)
        return;
    ended_ = true;
    emit ended();
}

CastSession::~CastSession()
{
    socket_->disconnect(this);
}

void CastSession::start(const QString &host, quint16 port, const MediaUrl &mediaUrl, const QString &contentType)
{
    mediaUrl_ = mediaUrl;
    contentType_ = contentType;
    timeout_->start(kTimeoutMs);
    socket_->connectToHostEncrypted(host, port);
}

void CastSession::send(const QString &destination, const char *nameSpace, QJsonObject payload)
{
    // Requests carry their own number; heartbeats and connection messages carry none.
    if (std::string_view(nameSpace) == kReceiver || std::string_view(nameSpace) == kMedia)
        payload.insert(QStringLiteral("requestId"), nextRequestId_++);
    const QByteArray body = CastProtocol::encode(
        {kSender, destination, QLatin1String(nameSpace), QJsonDocument(payload).toJson(QJsonDocument::Compact)});
    QByteArray frame(4, '\0');
    qToBigEndian(quint32(body.size()), frame.data());
    socket_->write(frame + body);
}

void CastSession::onReadyRead()
{
    buffer_ += socket_->readAll();
    while (buffer_.size() >= 4) {
        const quint32 length = qFromBigEndian<quint32>(buffer_.constData());
        if (length > CastProtocol::kMaxMessageBytes) {
            fail(QStringLiteral("기기가 잘못된 메시지를 보냈습니다"));
            return;
        }
        if (buffer_.size() < qsizetype(4 + length))
            return;
        const auto message = CastProtocol::decode(buffer_.mid(4, length));
        buffer_.remove(0, 4 + length);
        if (message)
            handle(*message);
    }
}

void CastSession::handle(const CastProtocol::Message &message)
{
    if (stopping_)
        return;
    const QJsonObject payload = QJsonDocument::fromJson(message.payload).object();
    const QString type = payload.value(QLatin1String("type")).toString();
    // The device drops a sender that stops answering its pings, so they are answered for as
    // long as the session lives, also after playback has started.
    if (message.nameSpace == QLatin1String(kHeartbeat) && type == QLatin1String("PING")) {
        send(message.source, kHeartbeat, {{"type", "PONG"}});
    } else if (done_) {
        // Once playing, the device's player going idle (finished, stopped from the TV or another
        // sender) is the end of this cast.
        if (type == QLatin1String("MEDIA_STATUS"))
            for (const QJsonValue &status : payload.value(QLatin1String("status")).toArray()) {
                if (status.toObject().contains(QLatin1String("mediaSessionId")))
                    mediaSessionId_ = status.toObject().value(QLatin1String("mediaSessionId")).toInteger();
                if (status.toObject().value(QLatin1String("playerState")).toString() == QLatin1String("IDLE"))
                    end();
            }
        return;
    } else if (type == QLatin1String("LAUNCH_ERROR") || type == QLatin1String("LOAD_FAILED")
               || type == QLatin1String("LOAD_CANCELLED") || type == QLatin1String("INVALID_REQUEST")) {
        const QString reason = payload.value(QLatin1String("reason")).toString();
        fail(QStringLiteral("기기가 요청을 거부했습니다: %1").arg(reason.isEmpty() ? type : type + QLatin1Char(' ') + reason));
    } else if (type == QLatin1String("RECEIVER_STATUS") && transportId_.isEmpty()) {
        const QJsonArray apps = payload.value(QLatin1String("status")).toObject().value(QLatin1String("applications")).toArray();
        for (const QJsonValue &app : apps) {
            const QJsonObject receiver = app.toObject();
            if (receiver.value(QLatin1String("appId")).toString() != QLatin1String(kDefaultMediaReceiver)
                || receiver.value(QLatin1String("transportId")).toString().isEmpty())
                continue;
            transportId_ = receiver.value(QLatin1String("transportId")).toString();
            sessionId_ = receiver.value(QLatin1String("sessionId")).toString();
            const QString url = mediaUrl_ ? mediaUrl_(socket_->localAddress()) : QString();
            if (url.isEmpty()) {
                fail(QStringLiteral("재생 중인 파일을 기기에 제공할 수 없습니다"));
                return;
            }
            send(transportId_, kConnection, {{"type", "CONNECT"}});
            send(transportId_, kMedia,
                 {{"type", "LOAD"}, {"autoplay", true},
                  {"media", QJsonObject{{"contentId", url}, {"streamType", "BUFFERED"}, {"contentType", contentType_}}}});
            break;
        }
    } else if (type == QLatin1String("MEDIA_STATUS")) {
        for (const QJsonValue &status : payload.value(QLatin1String("status")).toArray()) {
            const QString state = status.toObject().value(QLatin1String("playerState")).toString();
            if (status.toObject().contains(QLatin1String("mediaSessionId")))
                mediaSessionId_ = status.toObject().value(QLatin1String("mediaSessionId")).toInteger();
            if (state == QLatin1String("PLAYING") || state == QLatin1String("BUFFERING")) {
                done_ = true;
                playing_ = true;
                timeout_->stop();
                emit playing();
                return;
            }
            if (state == QLatin1String("IDLE") && status.toObject().value(QLatin1String("idleReason")).toString() == QLatin1String("ERROR")) {
                fail(QStringLiteral("기기가 미디어를 재생하지 못했습니다 (스트림을 열 수 없음)"));
                return;
            }
        }
    }
}

void CastSession::fail(const QString &reason)
{
    if (done_)
        return;
    done_ = true;
    timeout_->stop();
    socket_->abort();
    emit failed(reason);
}
