#pragma once

#include <QList>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkReply;

// Asks the product's update server once per run whether a newer release exists.
class UpdateChecker : public QObject
{
    Q_OBJECT
public:
    static constexpr int kRequestDelayMs = 3000;

    explicit UpdateChecker(QObject *parent = nullptr);

    // The manifest request leaves kRequestDelayMs later.
    void checkForUpdates();

    // Where the update server lives (VELMORAN_UPDATE_URL overrides it).
    static QUrl serviceBase();
    // Three components at least; a part that is not a number counts as 0.
    static QList<int> parseVersion(const QString &text);
    // Only the first three components count.
    static bool isNewer(const QString &serverVersion, const QString &currentVersion);

signals:
    // `installerSha256` is empty when the manifest gives none.
    void updateAvailable(const QString &newVersion, const QString &releaseNotes, const QString &installerUrl,
                         const QString &installerSha256);

private slots:
    void onReplyFinished(QNetworkReply *reply);

private:
    void requestManifest();

    QNetworkAccessManager network_;
};
