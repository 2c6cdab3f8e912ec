#include "app/SingleInstanceGuard.h"

#include "app/HandoverProtocol.h"

#include <QDebug>
#include <QLocalSocket>

SingleInstanceGuard::SingleInstanceGuard(const QString &memoryKey)
{
    memory_.setKey(memoryKey);
}

bool SingleInstanceGuard::claim()
{
    return memory_.create(1, QSharedMemory::ReadWrite);
}

void SingleInstanceGuard::reclaimStale()
{
    // The last detach of an orphaned segment removes it, after which it can be created again.
    if (memory_.attach())
        memory_.detach();
    if (!memory_.create(1, QSharedMemory::ReadWrite))
        qWarning().noquote() << "[Instance] 실행 표식을 다시 만들 수 없음:" << memory_.errorString();
}

HandoverResult sendHandover(const QString &serverName, const QStringList &files, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(timeoutMs))
        return HandoverResult::NoListener;
    socket.write(Handover::encodeFrame(files));
    socket.flush();
    const bool written = socket.bytesToWrite() == 0 || socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    return written ? HandoverResult::Delivered : HandoverResult::NotDelivered;
}
