#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The remote control's tiny HTTP dialect: one request line in, one fixed-form answer out.
// Everything here is pure so the server's handling of hostile bytes can be tested and fuzzed.
namespace RemoteProtocol {

inline constexpr quint16 kPort = 7373;
// A request line longer than this is not one the player ever serves.
inline constexpr qsizetype kMaxRequestBytes = 8192;

// The path of the request once its first line is complete (query cut off, "" when the line has
// no second field); nullopt while the line is still arriving.
std::optional<QString> requestPath(const QByteArray &received);

struct Route {
    enum class Kind { Play, Pause, Toggle, Next, Prev, Seek, Volume, Status, Page };
    Kind kind = Kind::Page;
    double seconds = 0.0; // Seek: absolute target, always finite
    int volume = 0;       // Volume: clamped to 0..200
};
Route routeFor(const QString &path);

struct Status {
    double position = 0.0;
    double duration = 0.0;
    bool paused = true;
    int volume = 0;
    QString title;
};
QByteArray statusBody(const Status &status);
// The part of a path or address after its last "/".
QString titleFor(const QString &currentFile);

QByteArray commandBody();
QByteArray page();
QByteArray answer(const QByteArray &contentType, const QByteArray &body);
QByteArray jsonAnswer(const QByteArray &body);
QByteArray pageAnswer();

} // namespace RemoteProtocol
