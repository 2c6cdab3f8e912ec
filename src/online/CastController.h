#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class CastSession;
class QHostAddress;
class MediaStreamServer;

// One cast at a time, and the serving of its file. A local file is served only while its cast
// is being set up or plays: on the interface that reaches the device (the connection's own
// address toward it, so a machine on two networks hands out the one the device can reach), under
// an unguessable address, and no longer once the cast fails, ends or is stopped. A new cast stops
// the one before it on its device first.
class CastController : public QObject
{
    Q_OBJECT
public:
    // The usual port when it is free, so the address looks the same from cast to cast.
    static constexpr quint16 kStreamPort = 8080;

    explicit CastController(QObject *parent = nullptr);
    ~CastController() override;

    // `media`: a local file (path or file:// URL), or a web address the device fetches itself.
    void start(const QString &host, quint16 port, const QString &media);
    // Stops playback on the device and the serving; stopped() when done.
    void stop();
    bool isActive() const;
    // The address the device was given for a served file; empty when nothing is served.
    QString streamUrl() const;

signals:
    // The device was reached and is asked to load `url`.
    void loading(const QString &url);
    void playing();
    void failed(const QString &reason);
    void ended();
    void stopped();

private:
    struct Request {
        QString host;
        quint16 port = 0;
        QString media;
    };
    void begin(const Request &request);
    QString serve(const QString &file, const QHostAddress &localAddress);
    void finish();

    CastSession *session_ = nullptr;
    MediaStreamServer *server_ = nullptr;
    QPointer<CastSession> leaving_; // the cast being stopped for the next one
    Request next_;
    bool hasNext_ = false;
};
