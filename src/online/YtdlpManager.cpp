#include "online/YtdlpManager.h"

#include "online/ServiceAddress.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QNetworkReply>
#include <QSaveFile>
#include <QStandardPaths>

#include <utility>

namespace {

constexpr auto kServiceName = "YTDLP";
constexpr auto kPublicAddress = "https://github.com/yt-dlp/yt-dlp/releases/latest/download";
constexpr auto kExecutableName = "yt-dlp";
constexpr auto kChecksumsName = "SHA2-256SUMS";
// The release hops through a few content hosts; a loop must still end.
constexpr int kMaxRedirects = 10;
// The release asset is a few MiB; anything far past that is not it and would sit in memory.
constexpr qint64 kMaxDownloadBytes = 256LL * 1024 * 1024;

// Video sites by their main domain: their pages play only through yt-dlp.
const QStringList &siteMarkers()
{
    static const QStringList markers{
        QStringLiteral("youtube.com"),     QStringLiteral("youtu.be"),     QStringLiteral("twitch.tv"),
        QStringLiteral("vimeo.com"),       QStringLiteral("dailymotion.com"), QStringLiteral("nicovideo.jp"),
        QStringLiteral("bilibili.com"),    QStringLiteral("soundcloud.com"),  QStringLiteral("bandcamp.com")};
    return markers;
}

QString lengthQuoted(const QString &value)
{
    return QStringLiteral("%%1%%2").arg(value.toUtf8().size()).arg(value);
}

// The release's sums file: one "<hex>  <name>" (or "<hex> *<name>") per asset.
QByteArray checksumFor(const QByteArray &sums, const QByteArray &name)
{
    for (const QByteArray &line : sums.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() != 2)
            continue;
        QByteArray file = fields.at(1);
        if (file.startsWith('*'))
            file.remove(0, 1);
        if (file == name && fields.at(0).size() == 64)
            return fields.at(0).toLower();
    }
    return {};
}

} // namespace

YtdlpManager::YtdlpManager(QObject *parent) : QObject(parent)
{
    connect(&locator_, &YtdlpLocator::located, this, [this](const YtdlpLocator::Copy &newest) {
        // A copy downloaded meanwhile is newer than anything the probes saw.
        const bool downloaded = updateTried_ && !downloading && !current_.path.isEmpty();
        if (!downloaded)
            current_ = newest;
        located_ = true;
        emit located();
    });
}

QString YtdlpManager::downloadFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
}

void YtdlpManager::locate()
{
    if (located_ || locator_.isRunning())
        return;
    locator_.locate(YtdlpLocator::candidates(downloadFolder()), downloadFolder());
}

bool YtdlpManager::needsDownload() const
{
    if (current_.path.isEmpty())
        return true;
    return !updateTried_ && YtdlpLocator::compareVersions(current_.version, QLatin1String(kKnownRelease)) < 0;
}

QString YtdlpManager::manualInstallText(const QString &error)
{
    const QString folder = QDir::toNativeSeparators(downloadFolder());
    return QStringLiteral("yt-dlp를 다운로드할 수 없습니다.\n%1\n\n"
                          "yt-dlp를 수동으로 다운로드하여 다음 폴더에 넣어주세요:\n%2\n"
                          "(실행 권한이 없으면: chmod +x \"%2/yt-dlp\")\n")
               .arg(error, folder)
        + QLatin1String(kReleasesPage);
}

bool YtdlpManager::isStreamingUrl(const QString &url)
{
    const QUrl address(url);
    const QString scheme = address.scheme().toLower();
    if (scheme != u"http" && scheme != u"https")
        return false; // rtsp, rtmp, mms and files: the engine plays them itself
    const QString host = address.host().toLower();
    for (const QString &marker : siteMarkers())
        if (host == marker || host.endsWith(u'.' + marker))
            return true;
    // A media file or a stream manifest (.mp4, .m3u8, .mpd, ...) is fetched as it is; any other
    // page is a site page, which yt-dlp may know.
    const QString fileName = address.fileName();
    if (!fileName.contains(u'.'))
        return true;
    static const QStringList manifests{QStringLiteral("m3u8"), QStringLiteral("m3u"), QStringLiteral("mpd")};
    if (manifests.contains(QFileInfo(fileName).suffix().toLower()))
        return false;
    const QString mime = QMimeDatabase().mimeTypeForFile(fileName, QMimeDatabase::MatchExtension).name();
    return !mime.startsWith(u"video/") && !mime.startsWith(u"audio/");
}

QString YtdlpManager::engineScriptOptions(const QString &path)
{
    return QStringLiteral("ytdl_hook-ytdl_path=") + lengthQuoted(path);
}

QString YtdlpManager::engineRawOptions(const QString &path)
{
    return QStringLiteral("paths=") + lengthQuoted(QStringLiteral("home:") + QFileInfo(path).absolutePath());
}

void YtdlpManager::downloadYtdlp()
{
    if (downloading)
        return;
    downloading = true;
    updateTried_ = true;
    redirects_ = 0;
    expectedSha256_.clear();
    base_ = serviceBaseUrl(kServiceName, kPublicAddress);
    const QUrl source = serviceEndpoint(base_, u'/' + QLatin1String(kExecutableName));
    qInfo().noquote() << "[yt-dlp] 다운로드 시작:" << source.toString();
    emit downloadProgress(0);
    // The sums come first, so the binary is checked against the release it belongs to.
    get(serviceEndpoint(base_, u'/' + QLatin1String(kChecksumsName)), Stage::Checksums);
}

void YtdlpManager::get(const QUrl &url, Stage stage)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(kUserAgent));
    request.setTransferTimeout(kTimeoutMs);
    // Followed here, not by Qt, so that every hop is checked for its scheme.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply *reply = url.isValid() ? network_.get(request) : nullptr;
    reply_ = reply;
    if (!reply) {
        fail(QStringLiteral("네트워크 요청 실패"));
        return;
    }
    connect(reply, &QNetworkReply::downloadProgress, this, [this, reply, stage](qint64 received, qint64 total) {
        if (received > kMaxDownloadBytes || total > kMaxDownloadBytes) {
            reply->abort();
            return;
        }
        const bool redirect = reply->attribute(QNetworkRequest::RedirectionTargetAttribute).isValid();
        if (stage == Stage::Binary && !redirect && total >= 1)
            emit downloadProgress(int(received * 100 / total));
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, stage] { onReplyFinished(reply, stage); });
}

void YtdlpManager::cancelDownload()
{
    if (!downloading)
        return;
    downloading = false;
    if (QNetworkReply *reply = std::exchange(reply_, nullptr)) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    qInfo().noquote() << "[yt-dlp] 다운로드 취소";
}

void YtdlpManager::onReplyFinished(QNetworkReply *reply, Stage stage)
{
    reply->deleteLater();
    if (reply == reply_)
        reply_ = nullptr;
    if (reply->error() != QNetworkReply::NoError) {
        const bool tooLarge = reply->error() == QNetworkReply::OperationCanceledError;
        const QString error = tooLarge ? QStringLiteral("파일이 너무 큽니다") : reply->errorString();
        qWarning().noquote() << "[yt-dlp] 다운로드 실패:" << error;
        fail(error);
        return;
    }
    const QVariant target = reply->attribute(QNetworkRequest::RedirectionTargetAttribute);
    if (target.isValid()) {
        const QUrl next = reply->url().resolved(target.toUrl());
        if (++redirects_ > kMaxRedirects || !isAddressFromService(next, base_)) {
            qWarning().noquote() << "[yt-dlp] 다운로드 실패: 허용되지 않는 리다이렉트" << next.toString();
            fail(QStringLiteral("허용되지 않는 다운로드 주소"));
            return;
        }
        get(next, stage);
        return;
    }
    const QByteArray body = reply->read(kMaxDownloadBytes + 1);
    if (body.size() > kMaxDownloadBytes) { // arrived whole, before the abort on progress could act
        fail(QStringLiteral("파일이 너무 큽니다"));
        return;
    }
    if (body.isEmpty()) {
        fail(QStringLiteral("빈 응답"));
        return;
    }
    if (stage == Stage::Checksums) {
        expectedSha256_ = checksumFor(body, kExecutableName);
        if (expectedSha256_.isEmpty()) {
            fail(QStringLiteral("체크섬을 찾을 수 없습니다"));
            return;
        }
        redirects_ = 0;
        get(serviceEndpoint(base_, u'/' + QLatin1String(kExecutableName)), Stage::Binary);
        return;
    }
    install(body);
}

void YtdlpManager::install(const QByteArray &body)
{
    if (QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex() != expectedSha256_) {
        qWarning().noquote() << "[yt-dlp] 다운로드 실패: SHA-256 불일치";
        fail(QStringLiteral("체크섬 불일치"));
        return;
    }
    const QString folder = downloadFolder();
    const QString path = QDir(folder).filePath(QLatin1String(kExecutableName));
    // QSaveFile writes beside the target and renames only on commit: a working copy is never
    // replaced by a partial one.
    QSaveFile file(path);
    if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly)) {
        fail(QStringLiteral("파일 쓰기 실패: ") + path);
        return;
    }
    const auto mode = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
        | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
    if (file.write(body) != body.size() || !file.flush() || !file.setPermissions(mode)) {
        file.cancelWriting();
        fail(QStringLiteral("파일 쓰기 실패: ") + path);
        return;
    }
    if (!file.commit()) {
        fail(QStringLiteral("파일 교체 실패"));
        return;
    }
    downloading = false;
    current_ = {path, QString()};
    qInfo().noquote() << "[yt-dlp] 다운로드 완료:" << path << QStringLiteral("(%1MB)").arg(body.size() / (1024 * 1024));
    emit downloadProgress(100);
    emit ytdlpReady(path);
}

void YtdlpManager::fail(const QString &error)
{
    downloading = false;
    emit downloadFailed(error);
}
