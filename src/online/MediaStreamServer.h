#pragma once

#include <QString>
#include <QTcpServer>

class QTcpSocket;

// Serves the file being played to a cast device over plain HTTP, with byte ranges so that the
// device can seek: GET and HEAD of "/stream" answer the one file, anything else 404. Each
// connection reads the file in pieces as the device takes them, never the whole file at once.
class MediaStreamServer : public QTcpServer
{
    Q_OBJECT
public:
    explicit MediaStreamServer(QObject *parent = nullptr);

    // Starts serving `path` on every IPv4 address (port 0: any free one). False when the file
    // cannot be read or no port can be had.
    bool serve(const QString &path, quint16 port = 0);
    QString filePath() const { return path_; }
    // The media type a device is told, from the file name.
    static QString contentType(const QString &path);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);

    QString path_;
};
