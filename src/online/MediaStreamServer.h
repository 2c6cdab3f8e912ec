#pragma once

#include <QString>
#include <QTcpServer>

class QTcpSocket;

// Serves the file being played to a cast device over plain HTTP, with byte ranges so that the
// device can seek. Only the one address of streamUrl() answers (GET and HEAD), anything else is
// 404: its path holds a random secret, so that nobody else on the network can guess it and read
// the user's file. Each connection reads the file in pieces as the device takes them, never the
// whole file at once.
class MediaStreamServer : public QTcpServer
{
    Q_OBJECT
public:
    explicit MediaStreamServer(QObject *parent = nullptr);

    // Starts serving `path` on `address` only, the interface the device reaches (port 0: any
    // free one). False when the file cannot be read or no port can be had.
    bool serve(const QString &path, const QHostAddress &address, quint16 port = 0);
    QString filePath() const { return path_; }
    // The address the device is given: "http://<address>:<port>/stream/<secret>".
    QString streamUrl() const;
    // The media type a device is told, from the file name.
    static QString contentType(const QString &path);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);

    QString path_;
    QByteArray streamPath_; // "/stream/<secret>", new for every server
};
