#include "mainwindow/RemoteProtocol.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace RemoteProtocol {

std::optional<QString> requestPath(const QByteArray &received)
{
    const qsizetype lineEnd = received.indexOf('\n');
    if (lineEnd < 0)
        return std::nullopt;
    QString line = QString::fromUtf8(received.first(lineEnd));
    if (line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    const QStringList fields = line.split(QLatin1Char(' '));
    if (fields.size() < 2)
        return QString();
    return fields.at(1).section(QLatin1Char('?'), 0, 0);
}

namespace {
const QString kSeekPrefix = QStringLiteral("/api/seek/");
const QString kVolumePrefix = QStringLiteral("/api/volume/");
} // namespace

Route routeFor(const QString &path)
{
    using Kind = Route::Kind;
    static const std::pair<const char *, Kind> exact[] = {
        {"/api/play", Kind::Play}, {"/api/pause", Kind::Pause}, {"/api/toggle", Kind::Toggle},
        {"/api/next", Kind::Next}, {"/api/prev", Kind::Prev},   {"/api/status", Kind::Status}};
    for (const auto &[route, kind] : exact)
        if (path == QLatin1String(route))
            return {kind};

    if (path.startsWith(kSeekPrefix)) {
        // A text that is no finite number seeks to the start, like a missing one.
        const double seconds = path.mid(kSeekPrefix.size()).toDouble();
        return {Kind::Seek, std::isfinite(seconds) ? seconds : 0.0};
    }
    if (path.startsWith(kVolumePrefix)) {
        const qlonglong volume = path.mid(kVolumePrefix.size()).toLongLong();
        return {Kind::Volume, 0.0, int(std::clamp<qlonglong>(volume, 0, 200))};
    }
    return {Kind::Page};
}

namespace {
// Double quotes become single quotes (the page never needs them); what else JSON forbids in a
// string is escaped, so any file name gives a parseable answer.
QString jsonStringContent(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('"'))
            out += QLatin1Char('\'');
        else if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c.unicode() < 0x20)
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

QString oneDecimal(double value)
{
    return QString::number(std::isfinite(value) ? value : 0.0, 'f', 1);
}
} // namespace

QByteArray statusBody(const Status &status)
{
    return QStringLiteral("{\"pos\":%1,\"dur\":%2,\"paused\":%3,\"vol\":%4,\"title\":\"%5\"}")
        .arg(oneDecimal(status.position), oneDecimal(status.duration),
             status.paused ? QStringLiteral("true") : QStringLiteral("false"), QString::number(status.volume),
             jsonStringContent(status.title))
        .toUtf8();
}

QString titleFor(const QString &currentFile)
{
    return currentFile.section(QLatin1Char('/'), -1);
}

QByteArray commandBody()
{
    return QByteArrayLiteral("{\"ok\":true}");
}

QByteArray page()
{
    // The title reaches the page only through textContent: a file name is never markup here.
    // The first poll runs at once so the status line is filled as soon as the page is open.
    return QByteArrayLiteral(
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
        "<title>Velmoran 리모컨</title><style>"
        "body{background:#111;color:#eee;text-align:center;font-family:sans-serif}"
        "h2{color:#4fc3f7}"
        "a{display:inline-block;background:#1a3a5c;color:#4fc3f7;border:1px solid #4fc3f7;border-radius:8px;"
        "padding:14px 22px;margin:6px;font-size:18px;text-decoration:none}"
        "a:active{background:#0d2a4c}#status{color:#888;font-size:13px;margin-top:16px}"
        "</style></head><body><h2>🎵 Velmoran 리모컨</h2>"
        "<div><a href=\"/api/prev\">⏮</a><a href=\"/api/toggle\">⏯</a><a href=\"/api/next\">⏭</a></div>"
        "<div><a href=\"/api/volume/70\">🔉</a><a href=\"/api/volume/100\">🔊</a>"
        "<a href=\"/api/volume/130\">🔊+</a></div>"
        "<div id=\"status\">연결됨</div><script>"
        "function t(s){s=Math.floor(s);return Math.floor(s/60)+':'+String(s%60).padStart(2,'0')}"
        "function poll(){fetch('/api/status').then(function(r){return r.json()}).then(function(d){"
        "document.getElementById('status').textContent=(d.paused?'⏸ ':'▶ ')+d.title+' | '+t(d.pos)+' / '"
        "+t(d.dur)+' | 볼륨 '+d.vol+'%'}).catch(function(){})}poll();setInterval(poll,1000)"
        "</script></body></html>");
}

QByteArray answer(const QByteArray &contentType, const QByteArray &body)
{
    return QByteArrayLiteral("HTTP/1.1 200 OK\r\nContent-Type: ") + contentType
           + QByteArrayLiteral("\r\nContent-Length: ") + QByteArray::number(body.size())
           + QByteArrayLiteral("\r\nAccess-Control-Allow-Origin: *\r\nConnection: close\r\n\r\n") + body;
}

QByteArray jsonAnswer(const QByteArray &body)
{
    return answer(QByteArrayLiteral("application/json"), body);
}

QByteArray pageAnswer()
{
    return answer(QByteArrayLiteral("text/html; charset=utf-8"), page());
}

} // namespace RemoteProtocol
