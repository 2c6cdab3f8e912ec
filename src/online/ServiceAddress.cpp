#include "online/ServiceAddress.h"

#include <QDebug>

QUrl serviceBaseUrl(const char *service, const char *publicDefault)
{
    const QByteArray variable = "VELMORAN_" + QByteArray(service).toUpper() + "_URL";
    if (!qEnvironmentVariableIsSet(variable.constData()))
        return QUrl(QString::fromLatin1(publicDefault));

    const QString value = qEnvironmentVariable(variable.constData()).trimmed();
    const QUrl url(value, QUrl::StrictMode);
    const bool web = url.scheme() == u"http" || url.scheme() == u"https";
    if (url.isValid() && web && !url.host().isEmpty())
        return url;
    qWarning().noquote() << "[Online]" << variable << "is not an http(s) address:" << value;
    return {};
}

QUrl serviceEndpoint(const QUrl &base, const QString &path)
{
    if (!base.isValid())
        return {};
    QUrl url = base;
    QString prefix = base.path();
    while (prefix.endsWith(u'/'))
        prefix.chop(1);
    url.setPath(prefix + path);
    url.setQuery(QString());
    url.setFragment(QString());
    return url;
}

bool isWebAddress(const QUrl &url)
{
    return url.isValid() && (url.scheme() == u"https" || url.scheme() == u"http") && !url.host().isEmpty();
}

bool isAddressFromService(const QUrl &url, const QUrl &serviceBase)
{
    if (!isWebAddress(url))
        return false;
    return url.scheme() == u"https" || serviceBase.scheme() == u"http";
}
