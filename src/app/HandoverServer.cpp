#include "app/HandoverServer.h"

#include "app/HandoverProtocol.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <memory>

HandoverServer::HandoverServer(QObject *parent)
    : QObject(parent), server_(new QLocalServer(this))
{
    connect(server_, &QLocalServer::newConnection, this, &HandoverServer::onNewConnection);
}

bool HandoverServer::listen(const QString &name)
{
    QLocalServer::removeServer(name);
    return server_->listen(name);
}

void HandoverServer::onNewConnection()
{
    while (QLocalSocket *socket = server_->nextPendingConnection())
        serve(socket);
}

void HandoverServer::serve(QLocalSocket *socket)
{
    auto assembler = std::make_shared<Handover::FrameAssembler>();
    QTimer::singleShot(kConnectionTimeoutMs, socket, &QLocalSocket::abort);
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, assembler] {
        using State = Handover::FrameAssembler::State;
        const State state = assembler->append(socket->readAll());
        if (state == State::NeedMore)
            return;
        if (state == State::Complete) {
            const auto files = Handover::decodePayload(assembler->payload());
            if (files && !files->isEmpty())
                emit filesReceived(*files);
        }
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    });
}
