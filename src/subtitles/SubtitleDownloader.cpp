#include "subtitles/SubtitleDownloader.h"

#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "online/ServiceAddress.h"
#include "subtitles/MovieHash.h"
#include "subtitles/SubtitleChunker.h"
#include "subtitles/SubtitleNames.h"

#include <QDir>
#include <QFile>
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

constexpr auto kUserAgent = "Velmoran v4.5";
// Qt waits forever by default; a stalled service would leave the dialog searching for good.
constexpr int kApiTimeoutMs = 30000;
constexpr int kTransferTimeoutMs = 60000; // files and translations carry more
// No subtitle comes near this; anything bigger is not one and is not kept in memory further.
constexpr qint64 kMaxSubtitleBytes = 10 * 1024 * 1024;
// DeepL refuses bodies over 128 KiB; the margin covers the form fields around the text.
constexpr qsizetype kDeeplBodyBudget = 120 * 1024;
// Papago takes 5,000 characters per request.
constexpr qsizetype kPapagoCharacterBudget = 4800;
// A server's explanation is shown to the user; a runaway body must not fill the screen.
constexpr qsizetype kMaxServerMessageChars = 400;

QUrl openSubtitlesEndpoint(const char *path)
{
    return serviceEndpoint(serviceBaseUrl("OPENSUBTITLES", "https://api.opensubtitles.com/api/v1"),
                           QLatin1String(path));
}

QJsonObject jsonObject(const QByteArray &body)
{
    return QJsonDocument::fromJson(body).object();
}

// Qt's text for the failure, followed by the explanation the service sent with an error status
// ("message" at OpenSubtitles and DeepL, "errorMessage" at Papago): a spent quota only makes
// sense to the user in the service's own words.
QString failureText(const char *prefix, QNetworkReply *reply, const QByteArray &body)
{
    QString text = QString::fromUtf8(prefix) + reply->errorString();
    const QJsonObject answer = jsonObject(body);
    for (const char *key : {"message", "errorMessage"}) {
        const QString explanation = answer.value(QLatin1String(key)).toString().trimmed();
        if (!explanation.isEmpty())
            return text + u'\n' + explanation.left(kMaxServerMessageChars);
    }
    return text;
}

QNetworkRequest serviceRequest(const QUrl &url, int timeoutMs)
{
    QNetworkRequest request(url);
    request.setRawHeader("User-Agent", kUserAgent);
    request.setTransferTimeout(timeoutMs);
    return request;
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

qsizetype encodedLength(QStringView text)
{
    return QUrl::toPercentEncoding(text.toString()).size();
}

qsizetype characterCount(QStringView text)
{
    return text.size();
}

} // namespace

struct SubtitleDownloader::Translation
{
    bool deepl = true;
    QString outputPath;
    QByteArray targetLang; // upper-case, percent-encoded
    QString credential;    // DeepL key or Papago client id
    QString secret;
    SubtitleChunker::Chunks chunks;
    QStringList translated;
};

SubtitleDownloader::SubtitleDownloader(QObject *parent)
    : QObject(parent)
    , network_(new QNetworkAccessManager(this))
{
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

    QNetworkRequest request = serviceRequest(url, kApiTimeoutMs);
    request.setRawHeader("Api-Key", apiKey_.toUtf8());
    if (byHash)
        request.setRawHeader("Content-Type", "application/json");
    QNetworkReply *reply = network_->get(request);
    pendingSearch_ = reply;
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, generation = searchGeneration_] { onSearchReply(reply, generation); });
}

void SubtitleDownloader::onSearchReply(QNetworkReply *reply, quint64 generation)
{
    reply->deleteLater();
    if (generation != searchGeneration_)
        return;
    const QByteArray body = reply->readAll();
    if (reply->error() != QNetworkReply::NoError) {
        if (nameSearchTried_ || isRefusal(reply))
            emit errorOccurred(failureText("자막 검색 실패: ", reply, body));
        else
            startNameSearch();
        return;
    }
    const QJsonArray data = jsonObject(body).value(QLatin1String("data")).toArray();
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
    QNetworkRequest request = serviceRequest(openSubtitlesEndpoint("/download"), kApiTimeoutMs);
    request.setRawHeader("Api-Key", apiKey_.toUtf8());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/json"));
    const QJsonObject body{{QStringLiteral("file_id"), id}};
    QNetworkReply *reply = network_->post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
    connect(reply, &QNetworkReply::finished, this, [this, reply, destDir] { onDownloadLinkReply(reply, destDir); });
}

void SubtitleDownloader::onDownloadLinkReply(QNetworkReply *reply, const QString &destDir)
{
    reply->deleteLater();
    const QByteArray body = reply->readAll();
    if (reply->error() != QNetworkReply::NoError) {
        emit errorOccurred(failureText("자막 다운로드 링크 획득 실패: ", reply, body));
        return;
    }
    const QJsonObject answer = jsonObject(body);
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
    QNetworkReply *reply = network_->get(serviceRequest(link, kTransferTimeoutMs));
    auto received = std::make_shared<QByteArray>();
    auto oversized = std::make_shared<bool>(false);
    auto refuseBeyond = [reply, oversized](qint64 bytes) {
        if (bytes > kMaxSubtitleBytes && !*oversized) {
            *oversized = true;
            reply->abort();
        }
    };
    connect(reply, &QNetworkReply::metaDataChanged, this, [reply, refuseBeyond] {
        refuseBeyond(reply->header(QNetworkRequest::ContentLengthHeader).toLongLong());
    });
    connect(reply, &QNetworkReply::readyRead, this, [reply, received, refuseBeyond] {
        received->append(reply->readAll());
        refuseBeyond(received->size());
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply, received, oversized, targetPath] {
        reply->deleteLater();
        if (*oversized) {
            emit errorOccurred(QStringLiteral("자막 파일 다운로드 실패: 자막 파일이 너무 큽니다 (10MB 초과)."));
            return;
        }
        received->append(reply->readAll());
        if (reply->error() != QNetworkReply::NoError) {
            emit errorOccurred(failureText("자막 파일 다운로드 실패: ", reply, *received));
            return;
        }
        saveSubtitleFile(targetPath, *received);
    });
}

void SubtitleDownloader::saveSubtitleFile(const QString &targetPath, const QByteArray &content)
{
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
    QFile input(subtitlePath);
    if (!input.open(QIODevice::ReadOnly)) {
        emit errorOccurred(QStringLiteral("번역할 자막 파일을 열 수 없습니다: ") + subtitlePath);
        return;
    }
    const QString text = QString::fromUtf8(input.readAll());

    auto job = std::make_unique<Translation>();
    job->outputPath = SubtitleNames::translatedPath(subtitlePath);
    if (!deeplKey.isEmpty()) {
        job->deepl = true;
        job->credential = deeplKey;
        job->targetLang = QUrl::toPercentEncoding(targetLang.toUpper());
        const qsizetype fields = qsizetype(sizeof("text=&target_lang=")) - 1 + job->targetLang.size();
        job->chunks = SubtitleChunker::split(text, kDeeplBodyBudget - fields, encodedLength);
    } else if (!papagoClientId.isEmpty() && !papagoClientSecret.isEmpty()) {
        job->deepl = false;
        job->credential = papagoClientId;
        job->secret = papagoClientSecret;
        job->chunks = SubtitleChunker::split(text, kPapagoCharacterBudget, characterCount);
    } else {
        emit errorOccurred(QStringLiteral("번역 API 키가 설정되지 않았습니다.\n설정 → 자막 탭에서 DeepL 또는 파파고 API 키를 입력하세요."));
        return;
    }
    translation_ = std::move(job);
    ++translationGeneration_;
    sendNextChunk();
}

void SubtitleDownloader::sendNextChunk()
{
    const Translation &job = *translation_;
    const QByteArray text = QUrl::toPercentEncoding(job.chunks.texts.at(job.translated.size()));
    QNetworkRequest request;
    QByteArray body;
    if (job.deepl) {
        const QUrl base = serviceBaseUrl("DEEPL", job.credential.endsWith(QLatin1String(":fx"))
                                                      ? "https://api-free.deepl.com"
                                                      : "https://api.deepl.com");
        request = serviceRequest(serviceEndpoint(base, QStringLiteral("/v2/translate")), kTransferTimeoutMs);
        request.setRawHeader("Authorization", "DeepL-Auth-Key " + job.credential.toUtf8());
        body = "text=" + text + "&target_lang=" + job.targetLang;
    } else {
        const QUrl base = serviceBaseUrl("PAPAGO", "https://openapi.naver.com");
        request = serviceRequest(serviceEndpoint(base, QStringLiteral("/v1/papago/n2mt")), kTransferTimeoutMs);
        request.setRawHeader("X-Naver-Client-Id", job.credential.toUtf8());
        request.setRawHeader("X-Naver-Client-Secret", job.secret.toUtf8());
        body = "source=en&target=ko&text=" + text;
    }
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/x-www-form-urlencoded"));
    QNetworkReply *reply = network_->post(request, body);
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, generation = translationGeneration_] { onTranslationReply(reply, generation); });
}

void SubtitleDownloader::onTranslationReply(QNetworkReply *reply, quint64 generation)
{
    reply->deleteLater();
    if (generation != translationGeneration_ || !translation_)
        return;
    const bool deepl = translation_->deepl;
    const QByteArray body = reply->readAll();
    // A part missing is a failure of the whole: the job ends here and nothing is written.
    auto fail = [this](const QString &message) {
        translation_.reset();
        emit errorOccurred(message);
    };
    if (reply->error() != QNetworkReply::NoError) {
        fail(failureText(deepl ? "DeepL 번역 실패: " : "파파고 번역 실패: ", reply, body));
        return;
    }
    const QJsonObject answer = jsonObject(body);
    const QString translated = deepl
        ? answer.value(QLatin1String("translations")).toArray().at(0).toObject().value(QLatin1String("text")).toString()
        : answer.value(QLatin1String("message")).toObject().value(QLatin1String("result")).toObject()
              .value(QLatin1String("translatedText")).toString();
    if (translated.isEmpty()) {
        fail(deepl ? QStringLiteral("DeepL 번역 결과가 비어 있습니다.") : QStringLiteral("파파고 번역 결과가 비어 있습니다."));
        return;
    }
    translation_->translated.append(translated);
    if (translation_->translated.size() < translation_->chunks.texts.size())
        sendNextChunk();
    else
        finishTranslation();
}

void SubtitleDownloader::finishTranslation()
{
    const std::unique_ptr<Translation> job = std::move(translation_);
    QSaveFile file(job->outputPath);
    const QByteArray content = SubtitleChunker::join(job->translated, job->chunks.separators).toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit()) {
        emit errorOccurred(QStringLiteral("번역 파일 저장 실패: ") + job->outputPath);
        return;
    }
    emit translateFinished(job->outputPath);
}
