#include "subtitles/SubtitleDownloader.h"

#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "online/ServiceAddress.h"
#include "subtitles/MovieHash.h"
#include "subtitles/ServiceReply.h"
#include "subtitles/SubtitleNames.h"
#include "subtitles/SubtitleText.h"
#include "subtitles/SubtitleTranslator.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSaveFile>
#include <QSettings>
#include <QUrlQuery>

namespace {

// Search and link answers are small JSON documents.
constexpr ServiceReply::Limits kApiLimits{4 * 1000 * 1000, 30000, 60000};
// No subtitle comes near this; anything bigger is not one and is not kept in memory further.
constexpr ServiceReply::Limits kFileLimits{SubtitleText::kMaxFileBytes, 60000, 120000};

QUrl openSubtitlesEndpoint(const char *path)
{
    return serviceEndpoint(serviceBaseUrl("OPENSUBTITLES", "https://api.opensubtitles.com/api/v1"),
                           QLatin1String(path));
}

QJsonObject jsonObject(const QByteArray &body)
{
    return QJsonDocument::fromJson(body).object();
}

// The key or the quota was refused: the name search would be refused alike, and asking again at
// once only prolongs a rate limit.
bool isRefusal(QNetworkReply *reply)
{
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    return status == 401 || status == 403 || status == 406 || status == 429;
}

QList<SubtitleResult> readResults(const QJsonArray &data)
{
    QList<SubtitleResult> results;
    for (const QJsonValue &item : data) {
        const QJsonObject attributes = item.toObject().value(QLatin1String("attributes")).toObject();
        const QJsonArray files = attributes.value(QLatin1String("files")).toArray();
        if (files.isEmpty())
            continue;
        const QJsonObject file = files.first().toObject();
        SubtitleResult result;
        // A number at the service; read through a variant so a text id would do as well.
        result.fileId = file.value(QLatin1String("file_id")).toVariant().toString();
        result.fileName = file.value(QLatin1String("file_name")).toString();
        result.language = attributes.value(QLatin1String("language")).toString();
        result.downloadCount = attributes.value(QLatin1String("download_count")).toInt();
        result.rating = attributes.value(QLatin1String("ratings")).toDouble();
        result.hearingImpaired = attributes.value(QLatin1String("hearing_impaired")).toBool();
        if (!result.fileId.isEmpty())
            results.append(result);
    }
    return results;
}

} // namespace

SubtitleDownloader::SubtitleDownloader(QObject *parent)
    : QObject(parent)
    , network_(new QNetworkAccessManager(this))
    , translator_(new SubtitleTranslator(this))
{
    connect(translator_, &SubtitleTranslator::finished, this, &SubtitleDownloader::saveTranslation);
    connect(translator_, &SubtitleTranslator::failed, this, &SubtitleDownloader::errorOccurred);
    const QSettings settings(QLatin1StringView(AppIdentity::kOrganisation),
                             QLatin1StringView(AppIdentity::kSettingsApplication));
    apiKey_ = readSetting(settings, SettingsKeys::subtitleOpenSubtitlesApiKey);
}

SubtitleDownloader::~SubtitleDownloader() = default;

void SubtitleDownloader::search(const QString &filePath, const QStringList &languages)
{
    if (apiKey_.isEmpty()) {
        emit errorOccurred(QStringLiteral("OpenSubtitles API 키가 설정되지 않았습니다.\n설정 → 자막 탭에서 API 키를 입력해 주세요."));
        return;
    }
    searchFile_ = filePath;
    searchLanguages_ = languages;
    nameSearchTried_ = false;
    ++searchGeneration_;
    if (pendingSearch_)
        pendingSearch_->abort(); // its handler sees an old generation and drops it

    // Without a hash the search would ignore the video and list unrelated subtitles.
    const MovieHash hash = computeMovieHash(filePath);
    if (!hash.isValid()) {
        startNameSearch();
        return;
    }
    sendSearch({{QStringLiteral("moviehash"), hash.hex},
                {QStringLiteral("moviebytesize"), QString::number(hash.size)},
                {QStringLiteral("languages"), languages.join(u',')},
                {QStringLiteral("order_by"), QStringLiteral("download_count")}},
               true);
}

void SubtitleDownloader::startNameSearch()
{
    nameSearchTried_ = true;
    sendSearch({{QStringLiteral("query"), SubtitleNames::searchQuery(QFileInfo(searchFile_).fileName())},
                {QStringLiteral("languages"), searchLanguages_.join(u',')},
                {QStringLiteral("order_by"), QStringLiteral("download_count")}},
               false);
}

void SubtitleDownloader::sendSearch(const QList<std::pair<QString, QString>> &items, bool byHash)
{
    // Values are encoded completely, but for the commas of the language list the service documents:
    // QUrlQuery would leave "+" in a title, which the server reads as a space.
    QUrlQuery query;
    for (const auto &[key, value] : items)
        query.addQueryItem(key, QString::fromLatin1(QUrl::toPercentEncoding(value, ",")));
    QUrl url = openSubtitlesEndpoint("/subtitles");
    if (url.isValid())
        url.setQuery(query.toString(QUrl::FullyEncoded), QUrl::StrictMode);

    QNetworkRequest request = ServiceReply::request(url, kApiLimits, true);
    request.setRawHeader("Api-Key", apiKey_.toUtf8());
    if (byHash)
        request.setRawHeader("Content-Type", "application/json");
    QNetworkReply *reply = network_->get(request);
    ServiceReply::watch(reply, kApiLimits);
    pendingSearch_ = reply;
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, generation = searchGeneration_] { onSearchReply(reply, generation); });
}

void SubtitleDownloader::onSearchReply(QNetworkReply *reply, quint64 generation)
{
    reply->deleteLater();
    if (generation != searchGeneration_)
        return;
    if (const QString why = ServiceReply::failure("자막 검색 실패: ", reply); !why.isEmpty()) {
        if (nameSearchTried_ || isRefusal(reply))
            emit errorOccurred(why);
        else
            startNameSearch();
        return;
    }
    const QJsonArray data = jsonObject(ServiceReply::body(reply)).value(QLatin1String("data")).toArray();
    if (data.isEmpty() && !nameSearchTried_) {
        startNameSearch();
        return;
    }
    emit searchFinished(readResults(data));
}

void SubtitleDownloader::downloadSubtitle(const QString &fileId, const QString &destDir)
{
    bool numeric = false;
    const qint64 id = fileId.toLongLong(&numeric);
    if (!numeric) {
        emit errorOccurred(QStringLiteral("자막 다운로드 링크 획득 실패: 잘못된 자막 ID입니다 (%1)").arg(fileId));
        return;
    }
    QNetworkRequest request = ServiceReply::request(openSubtitlesEndpoint("/download"), kApiLimits, true);
    request.setRawHeader("Api-Key", apiKey_.toUtf8());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    const QJsonObject body{{QStringLiteral("file_id"), id}};
    QNetworkReply *reply = network_->post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
    ServiceReply::watch(reply, kApiLimits);
    connect(reply, &QNetworkReply::finished, this, [this, reply, destDir] { onDownloadLinkReply(reply, destDir); });
}

void SubtitleDownloader::onDownloadLinkReply(QNetworkReply *reply, const QString &destDir)
{
    reply->deleteLater();
    if (const QString why = ServiceReply::failure("자막 다운로드 링크 획득 실패: ", reply); !why.isEmpty()) {
        emit errorOccurred(why);
        return;
    }
    const QJsonObject answer = jsonObject(ServiceReply::body(reply));
    const QString link = answer.value(QLatin1String("link")).toString();
    if (link.isEmpty()) {
        emit errorOccurred(QStringLiteral("자막 다운로드 URL을 받지 못했습니다."));
        return;
    }
    const QUrl url(link, QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != u"http" && url.scheme() != u"https")) {
        emit errorOccurred(QStringLiteral("자막 파일 다운로드 실패: 웹 주소(http, https)가 아닙니다."));
        return;
    }
    QDir().mkpath(destDir);
    const QString name = SubtitleNames::downloadName(answer.value(QLatin1String("file_name")).toString());
    fetchSubtitleFile(url, QDir(destDir).filePath(name));
}

void SubtitleDownloader::fetchSubtitleFile(const QUrl &link, const QString &targetPath)
{
    QNetworkReply *reply = network_->get(ServiceReply::request(link, kFileLimits, false));
    ServiceReply::watch(reply, kFileLimits);
    connect(reply, &QNetworkReply::finished, this, [this, reply, targetPath] {
        reply->deleteLater();
        if (const QString why = ServiceReply::failure("자막 파일 다운로드 실패: ", reply); !why.isEmpty()) {
            emit errorOccurred(why);
            return;
        }
        saveSubtitleFile(targetPath, ServiceReply::body(reply));
    });
}

void SubtitleDownloader::saveSubtitleFile(const QString &targetPath, const QByteArray &content)
{
    // An error page, a login form or an archive saved under a subtitle's name would replace a
    // file the user may have, and the engine could not show it anyway.
    if (const QString problem = SubtitleText::cueProblem(SubtitleText::decode(content).text); !problem.isEmpty()) {
        emit errorOccurred(QStringLiteral("자막 파일 다운로드 실패: 받은 파일이 자막이 아닙니다.\n") + problem);
        return;
    }
    // A link planted in the folder would carry the write elsewhere; the video itself is never
    // a subtitle's place.
    const QFileInfo target(targetPath);
    const bool isMedia = target.exists() && target.canonicalFilePath() == QFileInfo(searchFile_).canonicalFilePath();
    const bool foreign = target.isSymLink() || (target.exists() && !target.isFile()) || isMedia;
    QSaveFile file(targetPath);
    if (foreign || !file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit()) {
        emit errorOccurred(QStringLiteral("자막 파일 저장 실패: ") + targetPath);
        return;
    }
    emit downloadFinished(targetPath);
}

void SubtitleDownloader::translateSubtitle(const QString &subtitlePath, const QString &targetLang,
                                           const QString &deeplKey, const QString &papagoClientId,
                                           const QString &papagoClientSecret)
{
    // Read as the editor reads it: Korean and older files are often not UTF-8.
    const std::optional<QByteArray> bytes = SubtitleText::readFile(subtitlePath);
    if (!bytes) {
        emit errorOccurred(QStringLiteral("번역할 자막 파일을 열 수 없습니다: ") + subtitlePath);
        return;
    }
    translationOutput_ = SubtitleNames::translatedPath(subtitlePath);
    translator_->translate(SubtitleText::decode(*bytes).text, targetLang,
                           {deeplKey, papagoClientId, papagoClientSecret});
}

void SubtitleDownloader::saveTranslation(const QString &translated)
{
    QSaveFile file(translationOutput_);
    const QByteArray content = translated.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit()) {
        emit errorOccurred(QStringLiteral("번역 파일 저장 실패: ") + translationOutput_);
        return;
    }
    emit translateFinished(translationOutput_);
}
