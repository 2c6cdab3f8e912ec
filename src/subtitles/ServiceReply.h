#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QString>

class QNetworkReply;
class QUrl;

// Requests to the subtitle and translation services and the limits their answers are held to.
// Qt's own time-out only fires when a connection goes idle: a server that trickles bytes, or
// sends without end, would otherwise hold the dialog and fill the memory.
namespace ServiceReply {

struct Limits
{
    qint64 maxBytes;  // of the body as it arrives, unpacked
    int idleMs;       // without a byte received
    int deadlineMs;   // in all, from the request on
};

// A request with the player's user agent and the idle time-out of `limits`; `json` adds
// "Accept: application/json" for the services' APIs (a file fetch takes what comes).
QNetworkRequest request(const QUrl &url, const Limits &limits, bool json);

// Collects the body of `reply` and aborts it once it passes `limits` (size or time); read the
// body with body(), the reason with failure().
void watch(QNetworkReply *reply, const Limits &limits);
QByteArray body(QNetworkReply *reply);

// Why the reply failed, in words for the user, after `prefix`: a limit it passed, a compressed
// body that would unpack to more than any answer of the service, or Qt's text followed by the
// explanation the service sent with its error status ("message" at OpenSubtitles and DeepL,
// "errorMessage" at Papago). Empty when it did not fail.
QString failure(const char *prefix, QNetworkReply *reply);

} // namespace ServiceReply
