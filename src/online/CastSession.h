#pragma once

#include "online/CastProtocol.h"

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>

class QSslSocket;
class QTimer;

// One cast: connects to the device (TLS; devices present their own self-made certificate),
// starts the Default Media Receiver, asks it to load `mediaUrl`, and reports once the device
// says it plays (or buffers) it, or why it does not.
class CastSession : public QObject
{
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = 20000;

    explicit CastSession(QObject *parent = nullptr);
    ~CastSession() override;

    void start(const QString &host, quint16 port, const QString &mediaUrl, const QString &contentType);

signals:
    void playing();
    // `reason` is for the user, in Korean.
    void failed(const QString &reason);
    // A cast that played is over: the device went idle or the connection closed.
    void ended();

private:
    void send(const QString &destination, const char *nameSpace, const QJsonObject &payload);
    void onReadyRead();
    void handle(const CastProtocol::Message &message);
    void fail(const QString &reason);
    void end();

    QSslSocket *socket_;
    QTimer *timeout_;
    QByteArray buffer_;
    QString mediaUrl_;
    QString contentType_;
    QString transportId_; // the started receiver's address, once known
    bool done_ = false;
    bool playing_ = false;
    bool ended_ = false;
};
