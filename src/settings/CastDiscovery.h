#pragma once

#include <QHostAddress>
#include <QNetworkInterface>
#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;

// Finding a Google Cast device on the local network: every host of this computer's /24 is
// asked for its "/setup/eureka_info" on the device's HTTP port, and the first that answers with
// a device description wins.
namespace CastDiscovery {

inline constexpr quint16 kDevicePort = 8008;
inline constexpr int kReplyTimeoutMs = 300;
inline constexpr qint64 kMaxReplyBytes = 64 * 1024;

// Interfaces that lead to the local network: up, not loopback, and not a container bridge or
// a VPN tunnel (scanning those would find containers or the far side of the tunnel).
bool isLocalNetworkInterface(const QString &name, QNetworkInterface::InterfaceFlags flags);
// The first IPv4 address of the first local-network interface; null when there is none.
QHostAddress localIPv4();
// Whether a reply body describes a cast device: a JSON object with a "name" or a
// "cast_build_revision".
bool isDeviceDescription(const QByteArray &body);

// One address to ask, with its port.
struct Target {
    QString host;
    quint16 port = kDevicePort;
};
// Hosts 1 to 254 of `prefix` ("192.168.1."). VELMORAN_CAST_DISCOVERY_HOSTS, a comma-separated
// list of "address[:port]", replaces them (tests scan their fake devices on 127.0.0.x with it).
QList<Target> targets(const QString &prefix);

} // namespace CastDiscovery

// One scan: every target at once, each with its own time-out and size cap. Deletes its replies
// as they end; found() comes at most once.
class CastScan : public QObject
{
    Q_OBJECT
public:
    CastScan(const QList<CastDiscovery::Target> &targets, QObject *parent = nullptr);

signals:
    // The device's address as the user types it: the host, with ":port" when not the default.
    void found(const QString &address);
    void finished();

private:
    void onReplyEnded(QNetworkReply *reply, const CastDiscovery::Target &target);

    QNetworkAccessManager *network_;
    int pending_ = 0;
    bool found_ = false;
};
