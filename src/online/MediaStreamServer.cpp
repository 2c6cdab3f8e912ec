#include "online/MediaStreamServer.h"

#include <QFile>
#include <QHash>
#include <QFileInfo>
#include <QPointer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QUrl>
#include <QTcpSocket>

#include <algorithm>
#include <memory>

namespace {

constexpr qint64 kMaxRequestHead = 8 * 1024;
constexpr qint64 kChunkBytes = 64 * 1024;

void answer(QTcpSocket *socket, const QByteArray &status, const QByteArray &extraHeaders = {})
{
    socket->write("HTTP/1.1 " + status + "\r\nContent-Length: 0\r\nConnection: close\r\n" + extraHeaders + "\r\n");
    socket->disconnectFromHost();
}

// Writes [from, to] of the file behind what the socket has already taken.
void streamRange(QTcpSocket *socket, const QString &path, qint64 from, qint64 to)
{
    auto *file = new QFile(path, socket);
    if (!file->open(QIODevice::ReadOnly) || !file->seek(from)) {
        socket->disconnectFromHost();
        return;
    }
    auto remaining = std::make_shared<qint64>(to - from + 1);
    auto pump = [socket, file, remaining] {
        // Keeps about two pieces queued, so memory stays small however big the file is.
        while (*remaining > 0 && socket->bytesToWrite() < 2 * kChunkBytes) {
            const QByteArray piece = file->read(std::min(kChunkBytes, *remaining));
            if (piece.isEmpty()) {
                socket->disconnectFromHost();
                return;
            }
            *remaining -= piece.size();
            socket->write(piece);
        }
        if (*remaining == 0)
            socket->disconnectFromHost(); // after what is queued has gone out
    };
    QObject::connect(socket, &QTcpSocket::bytesWritten, socket, pump);
    pump();
}

} // namespace

MediaStreamServer::MediaStreamServer(QObject *parent) : QTcpServer(parent)
{
    // 128 random bits from the system's generator.
    QByteArray secret(16, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(secret.data()), secret.size() / 4);
    streamPath_ = "/stream/" + secret.toHex();
    connect(this, &QTcpServer::newConnection, this, &MediaStreamServer::onNewConnection);
}

bool MediaStreamServer::serve(const QString &path, const QHostAddress &address, quint16 port)
{
    if (!QFileInfo(path).isFile() || !QFileInfo(path).isReadable() || address.isNull())
        return false;
    path_ = path;
    if (isListening())
        return true;
    return listen(address, port);
}

QString MediaStreamServer::streamUrl() const
{
    if (!isListening())
        return {};
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(serverAddress().toString());
    url.setPort(serverPort());
    url.setPath(QString::fromLatin1(streamPath_));
    return url.toString();
}

QString MediaStreamServer::contentType(const QString &path)
{
    static const QHash<QString, QString> kTypes{
        {"mp4", "video/mp4"}, {"m4v", "video/mp4"}, {"webm", "video/webm"}, {"mkv", "video/x-matroska"},
        {"mp3", "audio/mpeg"}, {"m4a", "audio/mp4"}, {"aac", "audio/aac"}, {"flac", "audio/flac"},
        {"ogg", "audio/ogg"}, {"opus", "audio/ogg"}, {"wav", "audio/wav"}};
    return kTypes.value(QFileInfo(path).suffix().toLower(), QStringLiteral("application/octet-stream"));
}

void MediaStreamServer::onNewConnection()
{
    while (QTcpSocket *socket = nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    }
}

void MediaStreamServer::onReadyRead(QTcpSocket *socket)
{
    if (socket->property("answered").toBool())
        return;
    const QByteArray head = socket->peek(kMaxRequestHead);
    const qsizetype end = head.indexOf("\r\n\r\n");
    if (end < 0) {
        if (head.size() >= kMaxRequestHead)
            answer(socket, "431 Request Header Fields Too Large");
        return;
    }
    socket->read(end + 4);
    socket->setProperty("answered", true);
    const QList<QByteArray> lines = head.left(end).split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    const QByteArray method = requestLine.value(0);
    if (requestLine.value(1) != streamPath_ || (method != "GET" && method != "HEAD")) {
        answer(socket, "404 Not Found");
        return;
    }
    const qint64 size = QFileInfo(path_).size();
    qint64 from = 0;
    qint64 to = size - 1;
    bool partial = false;
    static const QRegularExpression range(QStringLiteral("^range:\\s*bytes=(\\d*)-(\\d*)\\s*$"),
                                          QRegularExpression::CaseInsensitiveOption);
    for (const QByteArray &line : lines.mid(1)) {
        const auto match = range.match(QString::fromLatin1(line.trimmed()));
        if (!match.hasMatch())
            continue;
        const QString first = match.captured(1), last = match.captured(2);
        if (first.isEmpty() && last.isEmpty())
            break;
        partial = true;
        if (first.isEmpty()) { // the last N bytes
            from = std::max<qint64>(0, size - last.toLongLong());
        } else {
            from = first.toLongLong();
            if (!last.isEmpty())
                to = std::min(to, last.toLongLong());
        }
    }
    if (from > to || from >= size) {
        answer(socket, "416 Range Not Satisfiable", "Content-Range: bytes */" + QByteArray::number(size) + "\r\n");
        return;
    }
    QByteArray response = partial ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
    response += "Content-Type: " + contentType(path_).toLatin1() + "\r\nAccept-Ranges: bytes\r\n";
    response += "Content-Length: " + QByteArray::number(to - from + 1) + "\r\n";
    if (partial)
        response += "Content-Range: bytes " + QByteArray::number(from) + '-' + QByteArray::number(to) + '/'
                    + QByteArray::number(size) + "\r\n";
    response += "Connection: close\r\n\r\n";
    socket->write(response);
    if (method == "HEAD") {
        socket->disconnectFromHost();
        return;
    }
    streamRange(socket, path_, from, to);
}
