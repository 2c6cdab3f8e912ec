#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class MpvCore;
class QTcpServer;
class QTcpSocket;
class QTimer;

// The phone remote: a minimal HTTP server where every connection carries one request and gets
// one answer. Clients are untrusted: a request is served as soon as its first line is in, and
// connections that grow too large, stay silent or crowd the server are dropped, so no client
// can hold up another one or the player.
class RemoteControlServer : public QObject
{
    Q_OBJECT
public:
    static constexpr int kIdleTimeoutMs = 5000;
    static constexpr int kMaxConnections = 64;
    static constexpr int kListenBacklog = 512;

    // currentFile: the path or address now loaded, asked for on each status request.
    RemoteControlServer(MpvCore *core, std::function<QString()> currentFile, QObject *parent = nullptr);

    // Listens on every local address; false when the port is taken.
    bool listen(quint16 port);
    bool isListening() const;

private:
    struct Connection {
        QByteArray received;
        QTimer *idleTimer = nullptr;
    };

    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const QString &path);
    QByteArray perform(const QString &path);
    void drop(QTcpSocket *socket);
    void forget(QTcpSocket *socket);

    QPointer<MpvCore> core_;
    std::function<QString()> currentFile_;
    QTcpServer *server_ = nullptr;
    QHash<QTcpSocket *, Connection> connections_;
    QList<QTcpSocket *> arrivalOrder_; // oldest first, for making room under a flood
};
