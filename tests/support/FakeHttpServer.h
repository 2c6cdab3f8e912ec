#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QTcpServer>
#include <QUrl>

#include <functional>

class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 standing in for the web services the player talks to.
// It runs on the caller's (GUI) thread: the test's event loop, e.g. QSignalSpy::wait or
// QTRY_VERIFY, is what lets it accept, read and answer. Every reply closes its connection.
class FakeHttpServer : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QByteArray method;
        QByteArray path;  // as sent, still percent-encoded, without the query
        QByteArray query; // the part after '?', without it
        QMap<QByteArray, QByteArray> headers; // names lower-cased
        QByteArray body;

        QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
    };

    struct Response
    {
        int status = 200;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        int delayMs = 0;      // wait this long before sending anything
        int chunkSize = 0;    // > 0: write the body in pieces of this many bytes...
        int chunkDelayMs = 0; // ...this far apart
    };

    using Handler = std::function<Response(const Request &)>;

    explicit FakeHttpServer(QObject *parent = nullptr);
    ~FakeHttpServer() override;

    // Listens on a free port of 127.0.0.1.
    bool listen();
    quint16 port() const;
    QUrl url(const QString &pathAndQuery) const;

    // A path ending in '*' matches every path starting with what comes before it. When several
    // routes match, the one added last wins, so a test can override a route set up earlier.
    // Requests no route matches are answered 404.
    void route(const QByteArray &method, const QByteArray &path, Handler handler);
    void route(const QByteArray &method, const QByteArray &path, const Response &response);

    static Response json(const QByteArray &body, int status = 200);
    static Response json(const QJsonObject &body, int status = 200);
    static Response json(const QJsonArray &body, int status = 200);
    static Response text(const QByteArray &body, int status = 200,
                         const QByteArray &contentType = "text/plain; charset=utf-8");
    static Response redirect(const QByteArray &location, int status = 302);

    // Every complete request received so far, oldest first.
    QList<Request> requests() const;
    void clearRequests();

private:
    struct Route
    {
        QByteArray method;
        QByteArray path;
        Handler handler;
    };

    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    Response dispatch(const Request &request) const;
    void reply(QTcpSocket *socket, const Response &response);

    QTcpServer m_server;
    QList<Route> m_routes;
    QList<Request> m_requests;
    QHash<QTcpSocket *, QByteArray> m_pending; // bytes received on a connection, not yet a request
};
