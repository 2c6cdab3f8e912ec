#include "online/UpdateChecker.h"

#include "app/AppIdentity.h"
#include "online/ServiceAddress.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTimer>

namespace {
constexpr int kTimeoutMs = 30000;
// A manifest is a few hundred bytes.
constexpr qint64 kMaxManifestBytes = 1024 * 1024;
// This platform's entry under "platforms": a Debian package for the desktop's installer.
constexpr auto kPlatform = "linux";
} // namespace

UpdateChecker::UpdateChecker(QObject *parent) : QObject(parent)
{
    connect(&network_, &QNetworkAccessManager::finished, this, &UpdateChecker::onReplyFinished);
}

QUrl UpdateChecker::serviceBase()
{
    return serviceBaseUrl("UPDATE", "https://velmoran.app");
}

void UpdateChecker::checkForUpdates()
{
    QTimer::singleShot(kRequestDelayMs, this, &UpdateChecker::requestManifest);
}

void UpdateChecker::requestManifest()
{
    const QUrl url = serviceEndpoint(serviceBase(), QStringLiteral("/downloads/version.json"));
    if (!url.isValid())
        return;
    QNetworkRequest request(url);
    request.setTransferTimeout(kTimeoutMs);
    QNetworkReply *reply = network_.get(request);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received) {
        if (received > kMaxManifestBytes)
            reply->abort();
    });
    qDebug().noquote() << "[UpdateChecker] 버전 확인 중...";
}

void UpdateChecker::onReplyFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        qDebug().noquote() << "[UpdateChecker] 네트워크 오류:" << reply->errorString();
        return;
    }
    // The abort on progress comes too late when the whole answer arrived at once.
    const QByteArray body = reply->read(kMaxManifestBytes + 1);
    if (body.size() > kMaxManifestBytes) {
        qDebug().noquote() << "[UpdateChecker] 응답이 너무 큽니다";
        return;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        qDebug().noquote() << "[UpdateChecker] JSON 파싱 오류:" << parseError.errorString();
        return;
    }
    const QJsonObject manifest = document.object();
    const QString version = manifest.value(QLatin1StringView("version")).toString();
    if (version.isEmpty())
        return;
    const QString current = QLatin1String(AppIdentity::kVersion);
    qDebug().noquote() << "[UpdateChecker] 서버 버전:" << version << "/ 현재 버전:" << current;
    if (!isNewer(version, current))
        return;
    // The top-level installer is the Windows one; this platform's package, when the release has
    // one, is named by its own entry.
    const QJsonObject platform = manifest.value(QLatin1StringView("platforms")).toObject().value(QLatin1StringView(kPlatform)).toObject();
    const QJsonObject &source = platform.isEmpty() ? manifest : platform;
    const QString installer = source.value(QLatin1StringView("installer_url")).toString();
    if (!isAddressFromService(QUrl(installer), serviceBase())) {
        qDebug().noquote() << "[UpdateChecker] 설치 파일 주소 거부:" << installer;
        return;
    }
    if (platform.isEmpty() && !QUrl(installer).fileName().endsWith(QLatin1String(".deb"), Qt::CaseInsensitive)) {
        qDebug().noquote() << "[UpdateChecker] 이 시스템용 설치 파일이 없습니다:" << installer;
        return;
    }
    QString sha256 = source.value(QLatin1StringView("sha256")).toString().toLower();
    if (!sha256.isEmpty() && !QRegularExpression(QStringLiteral("^[0-9a-f]{64}$")).match(sha256).hasMatch()) {
        qDebug().noquote() << "[UpdateChecker] SHA-256 형식 오류:" << sha256;
        return;
    }
    emit updateAvailable(version, manifest.value(QLatin1StringView("notes")).toString(), installer, sha256);
}

QList<int> UpdateChecker::parseVersion(const QString &text)
{
    QList<int> parts;
    for (const QString &part : text.split(u'.'))
        parts << part.toInt(); // 0 when not a number
    while (parts.size() < 3)
        parts << 0;
    return parts;
}

bool UpdateChecker::isNewer(const QString &serverVersion, const QString &currentVersion)
{
    const QList<int> server = parseVersion(serverVersion);
    const QList<int> current = parseVersion(currentVersion);
    for (int i = 0; i < 3; ++i)
        if (server.at(i) != current.at(i))
            return server.at(i) > current.at(i);
    return false;
}
