#include "online/AdManager.h"

#include "online/ServiceAddress.h"

#include <QDebug>
#include <QJsonDocument>
#include <QNetworkReply>
#include <QUrlQuery>

namespace {
// The slot a fetch was made for travels with its request.
constexpr auto kSlotAttribute = QNetworkRequest::Attribute(QNetworkRequest::User + 1);
// An item is a few hundred bytes of JSON.
constexpr qint64 kMaxAnswerBytes = 64 * 1024;
} // namespace

AdManager::AdManager(QObject *parent) : QObject(parent), version_(QStringLiteral("6.2.0")) {}

QUrl AdManager::endpoint()
{
    return serviceEndpoint(serviceBaseUrl("ADS", "https://velmoran.app"), QStringLiteral("/api/ad-api.php"));
}

void AdManager::fetchAd(const QString &slot)
{
    QUrl url = endpoint();
    if (!url.isValid()) {
        emit adReady(slot, {});
        return;
    }
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("slot"), slot);
    query.addQueryItem(QStringLiteral("v"), version_);
    url.setQuery(query);
    QNetworkRequest request(url);
    request.setAttribute(kSlotAttribute, slot);
    request.setTransferTimeout(kTimeoutMs);
    QNetworkReply *reply = network_.get(request);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received) {
        if (received > kMaxAnswerBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, &AdManager::onFetchReply);
}

void AdManager::onFetchReply()
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply)
        return;
    reply->deleteLater();
    const QString slot = reply->request().attribute(kSlotAttribute).toString();
    if (reply->error() != QNetworkReply::NoError) {
        qDebug().noquote() << "[AdManager] 요청 실패:" << reply->errorString();
        emit adReady(slot, {});
        return;
    }
    // The abort on progress comes too late when the whole answer arrived at once.
    const QByteArray body = reply->read(kMaxAnswerBytes + 1);
    if (body.size() > kMaxAnswerBytes) {
        qDebug().noquote() << "[AdManager] 응답이 너무 큽니다";
        emit adReady(slot, {});
        return;
    }
    const QJsonDocument document = QJsonDocument::fromJson(body);
    const QJsonValue item = document.object().value(QLatin1StringView("ad"));
    emit adReady(slot, item.isObject() ? item.toObject() : QJsonObject());
}

void AdManager::reportClick(int adId, const QString &slot)
{
    QUrl url = endpoint();
    if (!url.isValid())
        return;
    url.setQuery(QStringLiteral("action=click"));
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    request.setTransferTimeout(kTimeoutMs);
    const QJsonObject body{{QStringLiteral("ad_id"), adId}, {QStringLiteral("slot"), slot}, {QStringLiteral("v"), version_}};
    QNetworkReply *reply = network_.post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
    connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}
