#include "settings/CastDiscovery.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

namespace CastDiscovery {

bool isLocalNetworkInterface(const QString &name, QNetworkInterface::InterfaceFlags flags)
{
    if (!flags.testFlag(QNetworkInterface::IsUp) || !flags.testFlag(QNetworkInterface::IsRunning)
        || flags.testFlag(QNetworkInterface::IsLoopBack))
        return false;
    static const char *const kVirtualPrefixes[] = {"docker", "br-", "veth", "virbr", "tun", "tap", "wg"};
    for (const char *prefix : kVirtualPrefixes)
        if (name.startsWith(QLatin1String(prefix)))
            return false;
    return true;
}

QHostAddress localIPv4()
{
    for (const QNetworkInterface &interface : QNetworkInterface::allInterfaces()) {
        if (!isLocalNetworkInterface(interface.name(), interface.flags()))
            continue;
        for (const QNetworkAddressEntry &entry : interface.addressEntries())
            if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                return entry.ip();
    }
    return {};
}

bool isDeviceDescription(const QByteArray &body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return false;
    const QJsonObject object = document.object();
    return object.value(QLatin1String("name")).isString() || object.contains(QLatin1String("cast_build_revision"));
}

QList<Target> targets(const QString &prefix)
{
    QList<Target> list;
    const QString override = qEnvironmentVariable("VELMORAN_CAST_DISCOVERY_HOSTS");
    if (!override.isEmpty()) {
        for (const QString &item : override.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QUrl url(QStringLiteral("http://") + item.trimmed());
            if (url.isValid() && !url.host().isEmpty())
                list.append({url.host(), quint16(url.port(kDevicePort))});
        }
        return list;
    }
    for (int host = 1; host <= 254; ++host)
        list.append({prefix + QString::number(host), kDevicePort});
    return list;
}

} // namespace CastDiscovery

CastScan::CastScan(const QList<CastDiscovery::Target> &targets, QObject *parent)
    : QObject(parent), network_(new QNetworkAccessManager(this))
{
    for (const CastDiscovery::Target &target : targets) {
        QUrl url;
        url.setScheme(QStringLiteral("http"));
        url.setHost(target.host);
        url.setPort(target.port);
        url.setPath(QStringLiteral("/setup/eureka_info"));
        QNetworkRequest request(url);
        request.setTransferTimeout(CastDiscovery::kReplyTimeoutMs);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
        QNetworkReply *reply = network_->get(request);
        ++pending_;
        // A device description is small; whatever sends more is not one, and is not read on.
        connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
            if (received > CastDiscovery::kMaxReplyBytes || total > CastDiscovery::kMaxReplyBytes)
                reply->abort();
        });
        connect(reply, &QNetworkReply::finished, this, [this, reply, target] { onReplyEnded(reply, target); });
    }
    if (pending_ == 0)
        QMetaObject::invokeMethod(this, &CastScan::finished, Qt::QueuedConnection);
}

void CastScan::onReplyEnded(QNetworkReply *reply, const CastDiscovery::Target &target)
{
    reply->deleteLater();
    const bool answered = reply->error() == QNetworkReply::NoError
                          && reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() == 200;
    if (answered && !found_ && CastDiscovery::isDeviceDescription(reply->read(CastDiscovery::kMaxReplyBytes + 1).left(CastDiscovery::kMaxReplyBytes))) {
        found_ = true;
        emit found(target.port == CastDiscovery::kDevicePort ? target.host
                                                             : QStringLiteral("%1:%2").arg(target.host).arg(target.port));
    }
    if (--pending_ == 0)
        emit finished();
}
