#pragma once

#include <QList>
#include <QString>

// One card of the streaming page.
struct ServiceEntry
{
    QString name;
    QString homeUrl;
    QString badge;
    QString badgeColor;
    QString logoText;
    QString logoColor;
    QString logoBackground;
};

// The nine services, in card order.
const QList<ServiceEntry> &ottServices();

// The service drop-down: its labels, and at the same indexes the addresses (index 0, the prompt,
// has none).
const QStringList &ottServiceChoiceLabels();
const QStringList &ottServiceChoiceUrls();

// What the address field's text opens: trimmed, with "https://" in front unless it already
// starts with "http://" or "https://". Empty stays empty.
QString ottAddressFromInput(const QString &typed);
