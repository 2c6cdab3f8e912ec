// Feeds arbitrary bytes to the remote control as a client would send them. Beyond "no crash":
// splitting the bytes never changes the request found, the route numbers stay in range, and the
// status answer built from whatever path arrived is always valid JSON.
#include "mainwindow/RemoteProtocol.h"

#include <QJsonDocument>

#include <cmath>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<QString> whole = RemoteProtocol::requestPath(input);
    // A prefix holds the line only if the whole does, and then the same one.
    const std::optional<QString> half = RemoteProtocol::requestPath(input.first(input.size() / 2));
    if (half && half != whole)
        abort();
    if (!whole)
        return 0;

    const RemoteProtocol::Route route = RemoteProtocol::routeFor(*whole);
    if (!std::isfinite(route.seconds) || route.volume < 0 || route.volume > 200)
        abort();
    const QByteArray body = RemoteProtocol::statusBody({route.seconds, -route.seconds, true, route.volume, *whole});
    QJsonParseError error;
    QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        abort();
    return 0;
}
