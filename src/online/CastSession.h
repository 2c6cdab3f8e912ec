#pragma once

#include "online/CastProtocol.h"

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QHostAddress>
#include <QString>

#include <functional>

class QSslSocket;
class QTimer;

// One cast: connects to the device (TLS; devices present their own self-made certificate),
// starts the Default Media Receiver, asks it to load the media, and reports once the device
// says it plays (or buffers) it, or why it does not. stop() ends it on the device as well.
class CastSession : public QObject
{
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = 20000;

    explicit CastSession(QObject *parent = nullptr);
    ~CastSession() override;

    static constexpr int kStopTimeoutMs = 3000;

    // Asked once connected, with this computer's own address on the connection: the address the
    // device can reach it at. An empty answer fails the cast.
    using MediaUrl = std::function<QString(const QHostAddress &localAddress)>;

    void start(const QString &host, quint16 port, const MediaUrl &mediaUrl, const QString &contentType);
    // Stops the media and the receiver on the device, then closes; stopped() once closed. After
    // this nothing else is reported.
    void stop();

signals:
    void playing();
    // `reason` is for the user, in Korean.
    void failed(const QString &reason);
    // A cast that played is over: the device went idle or the connection closed.
    void ended();
    void stopped();

private:
    void send(const QString &destination, const char *nameSpace, QJsonObject payload);
    void onReadyRead();
    void handle(const CastProtocol::Message &message);
    void fail(const QString &reason);
    void end();
    void finishStop();

    QSslSocket *socket_;
    QTimer *timeout_;
    QByteArray buffer_;
    MediaUrl mediaUrl_;
    QString contentType_;
    QString transportId_;     // the started receiver's address, once known
    QString sessionId_;       // the started receiver's session, for its stop
    qint64 mediaSessionId_ = -1;
    int nextRequestId_ = 1;
    bool stopping_ = false;
    bool stopped_ = false;
    bool done_ = false;
    bool playing_ = false;
    bool ended_ = false;
};
