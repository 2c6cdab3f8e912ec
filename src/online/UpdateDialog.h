#pragma once

#include <QCryptographicHash>
#include <QDialog>
#include <QNetworkAccessManager>

#include <memory>

class QLabel;
class QNetworkReply;
class QProgressBar;
class QPushButton;
class QSaveFile;

// Offers a newer release; on request downloads its package into a private per-user folder,
// checks it and hands it to the desktop's package installer. The dialog is accepted only when
// an installer took the package, and the caller then quits so the update can replace the
// player; otherwise the player keeps running and the status says where the package is.
class UpdateDialog : public QDialog
{
    Q_OBJECT
public:
    // Anything smaller is a broken download, not a release.
    static constexpr qint64 kMinInstallerBytes = 10LL * 1024 * 1024;
    static constexpr qint64 kMaxInstallerBytes = 1024LL * 1024 * 1024;
    static constexpr int kTimeoutMs = 60000;

    UpdateDialog(const QString &newVersion, const QString &releaseNotes, const QString &installerUrl,
                 const QString &installerSha256, QWidget *parent = nullptr);
    ~UpdateDialog() override;

    // The private folder the package is downloaded into (owner only).
    static QString downloadFolder();

public slots:
    void onUpdateClicked();
    void onDownloadProgress(qint64 received, qint64 total);
    void onDownloadReadyRead();
    void onDownloadFinished(QNetworkReply *reply);

private:
    QString targetPath() const;
    void failDownload(const QString &status);
    void installDownloaded(const QString &path, qint64 size);
    void keepDownloaded(const QString &path);

    QString installerUrl_;
    QString expectedSha256_;
    QLabel *statusLabel_ = nullptr;
    QProgressBar *progressBar_ = nullptr;
    QPushButton *laterButton_ = nullptr;
    QPushButton *updateButton_ = nullptr;
    QNetworkAccessManager network_;
    QNetworkReply *reply_ = nullptr;
    std::unique_ptr<QSaveFile> target_;
    QCryptographicHash hash_{QCryptographicHash::Sha256};
    qint64 written_ = 0;
    QString writeError_;
    bool downloading = false;
};
