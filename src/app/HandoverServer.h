#pragma once

#include <QObject>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// The running player's end of the single-instance hand-over: accepts one frame per connection
// and reports the files it carried.
class HandoverServer : public QObject
{
    Q_OBJECT
public:
    // A connection that has not delivered its frame by then is dropped, so silent or trickling
    // peers cannot pile up.
    static constexpr int kConnectionTimeoutMs = 5000;

    explicit HandoverServer(QObject *parent = nullptr);

    // Replaces a stale socket of the same name left by a crashed instance. False if the name
    // cannot be listened on; the player then simply receives no hand-overs.
    bool listen(const QString &name);

signals:
    void filesReceived(const QStringList &files);

private:
    void onNewConnection();
    void serve(QLocalSocket *socket);

    QLocalServer *server_;
};
