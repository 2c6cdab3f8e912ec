#include "online/CastController.h"

#include "online/CastSession.h"
#include "online/MediaStreamServer.h"

#include <QHostAddress>
#include <QUrl>

#include <utility>

CastController::CastController(QObject *parent) : QObject(parent) {}

CastController::~CastController()
{
    // Leaving the player: the device is told to stop as far as the connection still takes it.
    if (session_)
        session_->stop();
}

bool CastController::isActive() const
{
    return session_ || leaving_;
}

QString CastController::streamUrl() const
{
    return server_ ? server_->streamUrl() : QString();
}

void CastController::start(const QString &host, quint16 port, const QString &media)
{
    next_ = {host, port, media};
    hasNext_ = true;
    if (leaving_)
        return; // starts once the earlier cast has stopped on its device
    if (!session_) {
        hasNext_ = false;
        begin(next_);
        return;
    }
    // The device would go on playing the earlier cast (or another device would): it is stopped
    // there first, and the new one starts after.
    CastSession *earlier = std::exchange(session_, nullptr);
    delete std::exchange(server_, nullptr);
    earlier->disconnect(this);
    leaving_ = earlier;
    connect(earlier, &CastSession::stopped, this, [this, earlier] {
        earlier->deleteLater();
        if (!hasNext_) {
            emit stopped(); // stop() came while the earlier cast was leaving: the next one never starts
            return;
        }
        hasNext_ = false;
        begin(next_);
    });
    earlier->stop();
}

void CastController::stop()
{
    hasNext_ = false;
    CastSession *session = std::exchange(session_, nullptr);
    delete std::exchange(server_, nullptr);
    if (!session) {
        if (!leaving_)
            emit stopped();
        return;
    }
    session->disconnect(this);
    connect(session, &CastSession::stopped, this, [this, session] {
        session->deleteLater();
        emit stopped();
    });
    session->stop();
}

void CastController::begin(const Request &request)
{
    const QUrl address(request.media);
    const bool web = address.scheme() == QLatin1String("http") || address.scheme() == QLatin1String("https");
    const QString file = address.isLocalFile() ? address.toLocalFile() : request.media;
    session_ = new CastSession(this);
    CastSession *session = session_;
    const auto mediaUrl = [this, web, file, media = request.media](const QHostAddress &localAddress) {
        QHostAddress local = localAddress;
        bool mapped = false;
        const quint32 ipv4 = local.toIPv4Address(&mapped);
        if (mapped)
            local = QHostAddress(ipv4);
        const QString url = web ? media : serve(file, local);
        if (!url.isEmpty())
            emit loading(url);
        return url;
    };
    connect(session, &CastSession::playing, this, &CastController::playing);
    connect(session, &CastSession::failed, this, [this](const QString &reason) {
        finish();
        emit failed(reason);
    });
    connect(session, &CastSession::ended, this, [this] {
        finish();
        emit ended();
    });
    session->start(request.host, request.port, mediaUrl, MediaStreamServer::contentType(web ? address.path() : file));
}

QString CastController::serve(const QString &file, const QHostAddress &localAddress)
{
    delete server_;
    server_ = new MediaStreamServer(this);
    if (!server_->serve(file, localAddress, kStreamPort) && !server_->serve(file, localAddress)) {
        delete std::exchange(server_, nullptr);
        return {};
    }
    return server_->streamUrl();
}

void CastController::finish()
{
    delete std::exchange(server_, nullptr);
    if (session_)
        std::exchange(session_, nullptr)->deleteLater();
}
