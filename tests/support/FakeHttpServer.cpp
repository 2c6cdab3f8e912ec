#include "FakeHttpServer.h"

#include <QHash>
#include <QHostAddress>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QTimer>

namespace {

// Bounds what a broken client can make the server buffer; real requests in tests are tiny.
constexpr qsizetype kMaxHeaderBytes = 64 * 1024;

QByteArray reasonPhrase(int status)
{
    static const QHash<int, QByteArray> phrases{{200, "OK"}, {201, "Created"}, {206, "Partial Content"}, {302, "Found"},
                                                {400, "Bad Request"}, {404, "Not Found"}, {429, "Too Many Requests"},
                                                {500, "Internal Server Error"}, {502, "Bad Gateway"},
                                                {503, "Service Unavailable"}};
    return phrases.value(status, "Status");
}

enum class Parse { Incomplete, Complete, Malformed };

// Every reply closes its connection, so a connection carries one request and whatever follows
// it in the buffer is never looked at.
Parse parseRequest(const QByteArray &buffer, FakeHttpServer::Request &request)
{
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return buffer.size() > kMaxHeaderBytes ? Parse::Malformed : Parse::Incomplete;

    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
    if (requestLine.size() != 3 || !requestLine[2].startsWith("HTTP/1."))
        return Parse::Malformed;

    FakeHttpServer::Request parsed;
    parsed.method = requestLine[0];
    const QByteArray &target = requestLine[1];
    const qsizetype question = target.indexOf('?');
    parsed.path = question < 0 ? target : target.left(question);
    parsed.query = question < 0 ? QByteArray() : target.mid(question + 1);

    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            return Parse::Malformed;
        parsed.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }

    // Clients in these tests send sized bodies; a chunked upload is reported rather than misread.
    if (parsed.headers.contains("transfer-encoding"))
        return Parse::Malformed;

    qint64 length = 0;
    if (parsed.headers.contains("content-length")) {
        bool ok = false;
        length = parsed.headers.value("content-length").toLongLong(&ok);
        if (!ok || length < 0)
            return Parse::Malformed;
    }
    const qsizetype bodyStart = headerEnd + 4;
    if (buffer.size() - bodyStart < length)
        return Parse::Incomplete;

    parsed.body = buffer.mid(bodyStart, length);
    request = parsed;
    return Parse::Complete;
}

// Flushing after each piece puts it on the wire on its own, so the client really sees it arrive
// in parts rather than coalesced in the socket's buffer.
void writeBodyPieces(QTcpSocket *socket, const QByteArray &rest, int size, int delayMs)
{
    socket->write(rest.left(size));
    socket->flush();
    if (rest.size() <= size) {
        socket->disconnectFromHost();
        return;
    }
    QTimer::singleShot(delayMs, socket, [socket, tail = rest.mid(size), size, delayMs] {
        writeBodyPieces(socket, tail, size, delayMs);
    });
}

bool pathMatches(const QByteArray &pattern, const QByteArray &path)
{
    if (pattern.endsWith('*'))
        return path.startsWith(pattern.chopped(1));
    return pattern == path;
}

} // namespace

FakeHttpServer::FakeHttpServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &FakeHttpServer::onNewConnection);
}

FakeHttpServer::~FakeHttpServer()
{
    // Open sockets are the server's children and would report their disconnection while this
    // object's members are already gone; cut them loose first.
    const auto sockets = m_server.findChildren<QTcpSocket *>();
    for (QTcpSocket *socket : sockets) {
        socket->disconnect(this);
        delete socket;
    }
}

bool FakeHttpServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

quint16 FakeHttpServer::port() const
{
    return m_server.serverPort();
}

QUrl FakeHttpServer::url(const QString &pathAndQuery) const
{
    QString tail = pathAndQuery;
    if (!tail.startsWith(u'/'))
        tail.prepend(u'/');
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(tail));
}

void FakeHttpServer::route(const QByteArray &method, const QByteArray &path, Handler handler)
{
    m_routes.append({method.toUpper(), path, std::move(handler)});
}

void FakeHttpServer::route(const QByteArray &method, const QByteArray &path,
                           const Response &response)
{
    route(method, path, [response](const Request &) { return response; });
}

FakeHttpServer::Response FakeHttpServer::json(const QByteArray &body, int status)
{
    return text(body, status, "application/json");
}

FakeHttpServer::Response FakeHttpServer::json(const QJsonObject &body, int status)
{
    return json(QJsonDocument(body).toJson(QJsonDocument::Compact), status);
}

FakeHttpServer::Response FakeHttpServer::json(const QJsonArray &body, int status)
{
    return json(QJsonDocument(body).toJson(QJsonDocument::Compact), status);
}

FakeHttpServer::Response FakeHttpServer::text(const QByteArray &body, int status,
                                              const QByteArray &contentType)
{
    Response response;
    response.status = status;
    response.headers.append({"Content-Type", contentType});
    response.body = body;
    return response;
}

FakeHttpServer::Response FakeHttpServer::redirect(const QByteArray &location, int status)
{
    Response response;
    response.status = status;
    response.headers.append({"Location", location});
    return response;
}

QList<FakeHttpServer::Request> FakeHttpServer::requests() const
{
    return m_requests;
}

void FakeHttpServer::clearRequests()
{
    m_requests.clear();
}

void FakeHttpServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        m_pending.insert(socket, {});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_pending.remove(socket);
            socket->deleteLater();
        });
    }
}

void FakeHttpServer::onReadyRead(QTcpSocket *socket)
{
    // Once a request was taken the connection only waits for its reply; whatever else the client
    // sends is ignored because the reply closes the connection anyway.
    auto pending = m_pending.find(socket);
    if (pending == m_pending.end()) {
        socket->readAll();
        return;
    }
    pending->append(socket->readAll());

    Request request;
    switch (parseRequest(*pending, request)) {
    case Parse::Incomplete:
        return;
    case Parse::Malformed:
        m_pending.erase(pending);
        reply(socket, text("malformed request\n", 400));
        return;
    case Parse::Complete:
        break;
    }
    m_pending.erase(pending);
    m_requests.append(request);
    reply(socket, dispatch(request));
}

FakeHttpServer::Response FakeHttpServer::dispatch(const Request &request) const
{
    for (auto it = m_routes.crbegin(); it != m_routes.crend(); ++it) {
        if (it->method == request.method.toUpper() && pathMatches(it->path, request.path))
            return it->handler(request);
    }
    return text("no route for " + request.method + ' ' + request.path + '\n', 404);
}

void FakeHttpServer::reply(QTcpSocket *socket, const Response &response)
{
    // The socket is the timer's context, so a client that hangs up first cancels the reply.
    auto send = [socket, response] {
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' '
                          + reasonPhrase(response.status) + "\r\n";
        bool hasLength = false;
        for (const auto &[name, value] : response.headers) {
            hasLength = hasLength || name.compare("content-length", Qt::CaseInsensitive) == 0;
            head += name + ": " + value + "\r\n";
        }
        if (!hasLength)
            head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
        head += "Connection: close\r\n\r\n";
        if (response.chunkSize <= 0) {
            socket->write(head + response.body);
            socket->disconnectFromHost();
            return;
        }
        socket->write(head);
        writeBodyPieces(socket, response.body, response.chunkSize, response.chunkDelayMs);
    };

    if (response.delayMs > 0)
        QTimer::singleShot(response.delayMs, socket, send);
    else
        send();
}
