#include "music/LrclibApi.h"

#include "online/ServiceAddress.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

#include <cmath>

namespace {

// LRCLIB asks clients to name themselves and where they come from.
constexpr auto kUserAgent = "Velmoran/6.4.0 (https://velmoran.app)";
// Beyond a day no track is looked up by length; this also keeps the rounding well defined.
constexpr double kLongestDurationSec = 24 * 3600;

// QUrlQuery leaves "+" as it is, and the server decodes it as a space: "C++" would be looked up
// as "C  ". Encoding every value completely first keeps "+", "&", "=" and "%" literal.
void addItem(QUrlQuery &query, const char *key, const QString &value)
{
    query.addQueryItem(QLatin1StringView(key), QString::fromLatin1(QUrl::toPercentEncoding(value)));
}

QNetworkRequest request(const QString &path, const QUrlQuery &query)
{
    QUrl url = serviceEndpoint(serviceBaseUrl(Lrclib::kServiceName, Lrclib::kPublicAddress), path);
    if (url.isValid())
        url.setQuery(query.toString(QUrl::FullyEncoded), QUrl::StrictMode);
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(kUserAgent));
    request.setRawHeader("Accept", "application/json");
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(Lrclib::kTransferTimeoutMs);
    return request;
}

// A record's lyrics, synced preferred; Nothing when neither field (string or null) gives lines.
Lrclib::Answer lyricsOf(const QJsonObject &record)
{
    const QString synced = record.value(QLatin1StringView("syncedLyrics")).toString();
    if (!synced.isEmpty()) {
        QList<LyricLine> lines = LrcParser::parseLrc(synced);
        if (!lines.isEmpty())
            return {Lrclib::Answer::Kind::Synced, std::move(lines)};
    }
    const QString plain = record.value(QLatin1StringView("plainLyrics")).toString();
    if (!plain.isEmpty()) {
        QList<LyricLine> lines = LrcParser::plainLyricLines(plain);
        if (!lines.isEmpty())
            return {Lrclib::Answer::Kind::Plain, std::move(lines)};
    }
    return {};
}

bool isInstrumental(const QJsonObject &record)
{
    return record.value(QLatin1StringView("instrumental")).toBool();
}

} // namespace

namespace Lrclib {

bool hasDuration(const TrackQuery &track)
{
    return track.durationSec > 0 && track.durationSec < kLongestDurationSec;
}

QNetworkRequest exactRequest(const TrackQuery &track)
{
    QUrlQuery query;
    addItem(query, "track_name", track.title);
    if (!track.artist.isEmpty())
        addItem(query, "artist_name", track.artist);
    if (!track.album.isEmpty())
        addItem(query, "album_name", track.album);
    const long long seconds = hasDuration(track) ? std::llround(track.durationSec) : 0; // half away from zero
    query.addQueryItem(QStringLiteral("duration"), QString::number(seconds));
    return request(QStringLiteral("/api/get"), query);
}

QNetworkRequest searchRequest(const TrackQuery &track)
{
    QUrlQuery query;
    addItem(query, "track_name", track.title);
    if (!track.artist.isEmpty())
        addItem(query, "artist_name", track.artist);
    return request(QStringLiteral("/api/search"), query);
}

Answer readExactAnswer(const QByteArray &body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isObject())
        return {};
    const QJsonObject record = document.object();
    // An error record ({"statusCode": 404, …}, or "code" in older answers) is no track.
    for (const char *key : {"statusCode", "code"}) {
        if (record.contains(QLatin1StringView(key)))
            return {};
    }
    if (isInstrumental(record))
        return {Answer::Kind::Instrumental, {}};
    return lyricsOf(record);
}

Answer readSearchAnswer(const QByteArray &body)
{
    const QJsonDocument document = QJsonDocument::fromJson(body);
    if (!document.isArray())
        return {};
    for (const QJsonValue &entry : document.array()) {
        const QJsonObject record = entry.toObject();
        if (isInstrumental(record))
            continue;
        Answer answer = lyricsOf(record);
        if (answer.kind != Answer::Kind::Nothing)
            return answer;
    }
    return {};
}

} // namespace Lrclib
