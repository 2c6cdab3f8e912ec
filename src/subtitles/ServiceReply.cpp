#include "subtitles/ServiceReply.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QTimer>

namespace {

constexpr auto kUserAgent = "Velmoran v4.5";
// A server's explanation is shown to the user; a runaway body must not fill the screen.
constexpr qsizetype kMaxServerMessageChars = 400;
// What stopped a reply on our side, kept on the reply for failure().
constexpr auto kStopReason = "velmoranStopReason";
constexpr auto kLimitBytes = "velmoranLimitBytes";
constexpr auto kLimitMs = "velmoranLimitMs";

enum class Stop { Size = 1, Time = 2 };

void stop(QNetworkReply *reply, Stop reason)
{
    if (reply->property(kStopReason).isValid() || reply->isFinished())
        return;
    reply->setProperty(kStopReason, int(reason));
    reply->abort();
}

QString megabytes(qint64 bytes)
{
    return QString::number(double(bytes) / 1e6, 'g', 3) + QStringLiteral("MB");
}

} // namespace

namespace ServiceReply {

QNetworkRequest request(const QUrl &url, const Limits &limits, bool json)
{
    QNetworkRequest request(url);
    request.setRawHeader("User-Agent", kUserAgent);
    if (json)
        request.setRawHeader("Accept", "application/json");
    request.setTransferTimeout(limits.idleMs);
    // Qt's check against compressed bodies that unpack to many times their size is kept, and
    // starts below the size limit, so that failure() can tell a bomb from a big answer.
    request.setDecompressedSafetyCheckThreshold(std::min<qint64>(limits.maxBytes / 2, 10 * 1024 * 1024));
    return request;
}

void watch(QNetworkReply *reply, const Limits &limits)
{
    reply->setProperty(kLimitBytes, limits.maxBytes);
    reply->setProperty(kLimitMs, limits.deadlineMs);
    const qint64 maxBytes = limits.maxBytes;
    // The body stays in the reply until it is read at the end; what it holds is what arrived.
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, maxBytes] {
        if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > maxBytes
            && reply->rawHeader("Content-Encoding").isEmpty())
            stop(reply, Stop::Size);
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [reply, maxBytes] {
        if (reply->bytesAvailable() > maxBytes)
            stop(reply, Stop::Size);
    });
    QTimer::singleShot(limits.deadlineMs, reply, [reply] { stop(reply, Stop::Time); });
}

QByteArray body(QNetworkReply *reply)
{
    return reply->property(kStopReason).isValid() ? QByteArray() : reply->readAll();
}

QString failure(const char *prefix, QNetworkReply *reply)
{
    const QString start = QString::fromUtf8(prefix);
    switch (Stop(reply->property(kStopReason).toInt())) {
    case Stop::Size:
        return start + QStringLiteral("응답이 너무 큽니다 (%1 초과).").arg(megabytes(reply->property(kLimitBytes).toLongLong()));
    case Stop::Time:
        return start + QStringLiteral("응답이 %1초 안에 끝나지 않았습니다.")
                           .arg(QString::number(reply->property(kLimitMs).toInt() / 1000.0, 'g', 3));
    }
    if (reply->error() == QNetworkReply::NoError)
        return QString();
    // Qt reports a body that unpacks beyond its safety check as a content error, in words
    // meant for programmers.
    if (reply->error() == QNetworkReply::UnknownContentError && !reply->rawHeader("Content-Encoding").isEmpty())
        return start + QStringLiteral("압축된 응답을 풀면 비정상적으로 커집니다 (압축 폭탄으로 보여 받지 않았습니다).");
    QString text = start + reply->errorString();
    const QJsonObject answer = QJsonDocument::fromJson(reply->readAll()).object();
    for (const char *key : {"message", "errorMessage"}) {
        const QString explanation = answer.value(QLatin1String(key)).toString().trimmed();
        if (!explanation.isEmpty())
            return text + u'\n' + explanation.left(kMaxServerMessageChars);
    }
    return text;
}

} // namespace ServiceReply
