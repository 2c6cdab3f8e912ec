#include "mainwindow/RemoteControlServer.h"

#include "engine/MpvCore.h"
#include "mainwindow/RemoteProtocol.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

RemoteControlServer::RemoteControlServer(MpvCore *core, std::function<QString()> currentFile, QObject *parent)
    : QObject(parent), core_(core), currentFile_(std::move(currentFile)), server_(new QTcpServer(this))
{
    connect(server_, &QTcpServer::newConnection, this, &RemoteControlServer::onNewConnection);
}

bool RemoteControlServer::listen(quint16 port)
{
    // A deep queue: with the default one a burst of idle connections fills it, and the system
    // drops the next connection attempt, which costs a real client a one-second retry.
    server_->setListenBacklogSize(kListenBacklog);
    server_->setMaxPendingConnections(kListenBacklog);
    return server_->listen(QHostAddress::Any, port);
}

bool RemoteControlServer::isListening() const
{
    return server_->isListening();
}

void RemoteControlServer::onNewConnection()
{
    while (QTcpSocket *socket = server_->nextPendingConnection()) {
        // Under a flood of idle connections the oldest makes room, so a real request still gets in.
        if (arrivalOrder_.size() >= kMaxConnections)
            drop(arrivalOrder_.first());

        // Bytes beyond one request line are never needed; the buffer stays small whatever is sent.
        socket->setReadBufferSize(RemoteProtocol::kMaxRequestBytes + 1);
        auto *idleTimer = new QTimer(socket);
        idleTimer->setSingleShot(true);
        connect(idleTimer, &QTimer::timeout, this, [this, socket] { drop(socket); });
        idleTimer->start(kIdleTimeoutMs);
        connections_.insert(socket, {QByteArray(), idleTimer});
        arrivalOrder_.append(socket);

        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            forget(socket);
            socket->deleteLater();
        });
        if (socket->bytesAvailable() > 0)
            onReadyRead(socket);
    }
}

void RemoteControlServer::onReadyRead(QTcpSocket *socket)
{
    const auto connection = connections_.find(socket);
    if (connection == connections_.end()) {
        socket->readAll(); // answered already; whatever else comes is not read
        return;
    }
    connection->received += socket->read(RemoteProtocol::kMaxRequestBytes + 1 - connection->received.size());
    if (const std::optional<QString> path = RemoteProtocol::requestPath(connection->received)) {
        answer(socket, *path);
        return;
    }
    if (connection->received.size() > RemoteProtocol::kMaxRequestBytes)
        drop(socket);
}

void RemoteControlServer::answer(QTcpSocket *socket, const QString &path)
{
    QTimer *idleTimer = connections_.value(socket).idleTimer;
    forget(socket);
    socket->write(perform(path));
    socket->readAll();
    disconnect(idleTimer, nullptr, this, nullptr);
    socket->disconnectFromHost();
    // A client that never reads its answer must not keep the socket forever.
    if (socket->state() != QAbstractSocket::UnconnectedState) {
        connect(idleTimer, &QTimer::timeout, socket, &QTcpSocket::abort);
        idleTimer->start(kIdleTimeoutMs);
    }
}

QByteArray RemoteControlServer::perform(const QString &path)
{
    using Kind = RemoteProtocol::Route::Kind;
    const RemoteProtocol::Route route = RemoteProtocol::routeFor(path);
    MpvCore *core = core_.data();
    switch (route.kind) {
    case Kind::Page:
        return RemoteProtocol::pageAnswer();
    case Kind::Status: {
        RemoteProtocol::Status status;
        if (core) {
            status = {core->position(), core->duration(), core->isPaused(), core->volume(),
                      RemoteProtocol::titleFor(currentFile_ ? currentFile_() : QString())};
        }
        return RemoteProtocol::jsonAnswer(RemoteProtocol::statusBody(status));
    }
    default:
        break;
    }
    if (core) {
        switch (route.kind) {
        case Kind::Play: core->play(); break;
        case Kind::Pause: core->pause(); break;
        case Kind::Toggle: core->togglePause(); break;
        case Kind::Next: core->command({QStringLiteral("playlist-next")}); break;
        case Kind::Prev: core->command({QStringLiteral("playlist-prev")}); break;
        case Kind::Seek: core->seek(route.seconds); break;
        case Kind::Volume: core->setVolume(route.volume); break;
        default: break;
        }
    }
    return RemoteProtocol::jsonAnswer(RemoteProtocol::commandBody());
}

// Closes a connection that will never get an answer (too large, silent, or pushed out).
void RemoteControlServer::drop(QTcpSocket *socket)
{
    forget(socket);
    socket->abort();
    socket->deleteLater();
}

void RemoteControlServer::forget(QTcpSocket *socket)
{
    connections_.remove(socket);
    arrivalOrder_.removeOne(socket);
}
