#pragma once

#include <QString>
#include <QUrl>

// Where each web service lives. The public address is the default; VELMORAN_<SERVICE>_URL
// (e.g. VELMORAN_LRCLIB_URL) points the player at another one, which is how the tests reach
// their fake servers on 127.0.0.1 and never the internet.
// A set but unusable override gives an invalid URL, so requests fail instead of quietly going to
// the public service.
QUrl serviceBaseUrl(const char *service, const char *publicDefault);

// `path` ("/api/get") appended to the base address's own path, so a service behind a prefix
// ("http://host/lrclib") keeps it.
QUrl serviceEndpoint(const QUrl &base, const QString &path);

// An http or https address with a host: the only kind a link or picture from a server may be.
// Qt would open file:// (and others) just as readily, and a FIFO behind one froze the player.
bool isWebAddress(const QUrl &url);

// An address a service handed out (a redirect, a download link) that the player may fetch:
// https, or http only when the service itself is reached over http (an overridden base address).
bool isAddressFromService(const QUrl &url, const QUrl &serviceBase);
