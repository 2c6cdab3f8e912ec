#include "subtitles/SubtitleTranslator.h"

#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "online/ServiceAddress.h"
#include "subtitles/ServiceReply.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSettings>

namespace {

// A translation of a 120 KiB piece, JSON-escaped, stays far below this.
constexpr ServiceReply::Limits kLimits{4 * 1000 * 1000, 60000, 120000};
// DeepL refuses bodies over 128 KiB; the margin covers the form fields around the text.
constexpr qsizetype kDeeplBodyBudget = 120 * 1024;
// Papago takes 5,000 characters per request.
constexpr qsizetype kPapagoCharacterBudget = 4800;

qsizetype encodedLength(QStringView text)
{
    return QUrl::toPercentEncoding(text.toString()).size();
}

qsizetype characterCount(QStringView text)
{
    return text.size();
}

} // namespace

TranslationKeys TranslationKeys::fromSettings()
{
    const QSettings settings(QLatin1StringView(AppIdentity::kOrganisation),
                             QLatin1StringView(AppIdentity::kSettingsApplication));
    return {readSetting(settings, SettingsKeys::subtitleDeeplApiKey),
            readSetting(settings, SettingsKeys::subtitlePapagoClientId),
            readSetting(settings, SettingsKeys::subtitlePapagoClientSecret)};
}

struct SubtitleTranslator::Job
{
    bool deepl = true;
    QByteArray targetLang; // DeepL: upper-case, percent-encoded
    QByteArray papagoSource;
    TranslationKeys keys;
    SubtitleChunker::Chunks chunks;
    QStringList translated;
};

SubtitleTranslator::SubtitleTranslator(QObject *parent)
    : QObject(parent)
    , network_(new QNetworkAccessManager(this))
{
}

SubtitleTranslator::~SubtitleTranslator() = default;

void SubtitleTranslator::translate(const QString &text, const QString &targetLang, const TranslationKeys &keys,
                                   const QString &papagoSource)
{
    cancel();
    if (!keys.isSet()) {
        emit failed(QStringLiteral("번역 API 키가 설정되지 않았습니다.\n설정 → 자막 탭에서 DeepL 또는 파파고 API 키를 입력하세요."));
        return;
    }
    auto job = std::make_unique<Job>();
    job->deepl = keys.hasDeepl();
    job->keys = keys;
    if (job->deepl) {
        job->targetLang = QUrl::toPercentEncoding(targetLang.toUpper());
        const qsizetype fields = qsizetype(sizeof("text=&target_lang=")) - 1 + job->targetLang.size();
        job->chunks = SubtitleChunker::split(text, kDeeplBodyBudget - fields, encodedLength);
    } else {
        job->papagoSource = QUrl::toPercentEncoding(papagoSource);
        job->chunks = SubtitleChunker::split(text, kPapagoCharacterBudget, characterCount);
    }
    job_ = std::move(job);
    sendNextPiece();
}

void SubtitleTranslator::cancel()
{
    job_.reset();
    ++generation_; // replies still on their way find an old generation and are dropped
}

void SubtitleTranslator::sendNextPiece()
{
    const Job &job = *job_;
    const QByteArray text = QUrl::toPercentEncoding(job.chunks.texts.at(job.translated.size()));
    QNetworkRequest request;
    QByteArray body;
    if (job.deepl) {
        const QUrl base = serviceBaseUrl("DEEPL", job.keys.deeplKey.endsWith(QLatin1String(":fx"))
                                                      ? "https://api-free.deepl.com"
                                                      : "https://api.deepl.com");
        request = ServiceReply::request(serviceEndpoint(base, QStringLiteral("/v2/translate")), kLimits, true);
        request.setRawHeader("Authorization", "DeepL-Auth-Key " + job.keys.deeplKey.toUtf8());
        body = "text=" + text + "&target_lang=" + job.targetLang;
    } else {
        const QUrl base = serviceBaseUrl("PAPAGO", "https://openapi.naver.com");
        request = ServiceReply::request(serviceEndpoint(base, QStringLiteral("/v1/papago/n2mt")), kLimits, true);
        request.setRawHeader("X-Naver-Client-Id", job.keys.papagoClientId.toUtf8());
        request.setRawHeader("X-Naver-Client-Secret", job.keys.papagoClientSecret.toUtf8());
        body = "source=" + job.papagoSource + "&target=ko&text=" + text;
    }
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/x-www-form-urlencoded"));
    QNetworkReply *reply = network_->post(request, body);
    ServiceReply::watch(reply, kLimits);
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, generation = generation_] { onReply(reply, generation); });
}

void SubtitleTranslator::onReply(QNetworkReply *reply, quint64 generation)
{
    reply->deleteLater();
    if (generation != generation_ || !job_)
        return;
    const bool deepl = job_->deepl;
    // A piece missing is a failure of the whole: the job ends here.
    auto fail = [this](const QString &message) {
        job_.reset();
        emit failed(message);
    };
    if (const QString why = ServiceReply::failure(deepl ? "DeepL 번역 실패: " : "파파고 번역 실패: ", reply);
        !why.isEmpty()) {
        fail(why);
        return;
    }
    const QJsonObject answer = QJsonDocument::fromJson(ServiceReply::body(reply)).object();
    const QString translated = deepl
        ? answer.value(QLatin1String("translations")).toArray().at(0).toObject().value(QLatin1String("text")).toString()
        : answer.value(QLatin1String("message")).toObject().value(QLatin1String("result")).toObject()
              .value(QLatin1String("translatedText")).toString();
    if (translated.isEmpty()) {
        fail(deepl ? QStringLiteral("DeepL 번역 결과가 비어 있습니다.") : QStringLiteral("파파고 번역 결과가 비어 있습니다."));
        return;
    }
    job_->translated.append(translated);
    if (job_->translated.size() < job_->chunks.texts.size()) {
        sendNextPiece();
        return;
    }
    const std::unique_ptr<Job> job = std::move(job_);
    emit finished(SubtitleChunker::join(job->translated, job->chunks.separators));
}
