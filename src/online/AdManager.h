#pragma once

#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QUrl>

// Asks the product's content server for the sponsored item of a placement ("slot") and reports
// clicks. Every failure ends in an empty item, which shows nothing.
class AdManager : public QObject
{
    Q_OBJECT
public:
    static constexpr int kTimeoutMs = 15000;

    explicit AdManager(QObject *parent = nullptr);

    void setVersion(const QString &version) { version_ = version; }
    void fetchAd(const QString &slot);
    void reportClick(int adId, const QString &slot);

signals:
    void adReady(const QString &slot, const QJsonObject &adObj);

private slots:
    void onFetchReply();

private:
    static QUrl endpoint();

    QNetworkAccessManager network_;
    QString version_;
};
