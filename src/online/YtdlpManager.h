#pragma once

#include "online/YtdlpLocator.h"

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkReply;

// Finds yt-dlp for the engine's web-video hook and, when it is missing or older than the
// newest release this build knows of, downloads the latest release into the per-user data
// folder (the install folder is read-only for users).
class YtdlpManager : public QObject
{
    Q_OBJECT
public:
    static constexpr auto kUserAgent = "Velmoran/1.1";
    static constexpr int kTimeoutMs = 120000;
    static constexpr auto kReleasesPage = "https://github.com/yt-dlp/yt-dlp/releases";
    // Sites change faster than packages: a copy older than this release is replaced by the
    // latest one. Raised with each release of the player.
    static constexpr auto kKnownRelease = "2025.01.26";

    explicit YtdlpManager(QObject *parent = nullptr);

    // Asks the copies on this machine for their versions (once; located() when known).
    void locate();
    bool isLocated() const { return located_; }
    bool isAvailable() const { return !ytdlpPath().isEmpty(); }
    // The newest working copy (per-user download, beside the executable or on PATH); empty when
    // none, or before locate() has finished.
    QString ytdlpPath() const { return current_.path; }
    // None, or an old copy nobody tried to replace yet in this run.
    bool needsDownload() const;
    // Where a download goes.
    static QString downloadFolder();
    // What the user can do by hand when the download fails.
    static QString manualInstallText(const QString &error);
    // True for addresses only yt-dlp can turn into media: pages of video sites. Media files,
    // stream manifests and the stream protocols play without it.
    static bool isStreamingUrl(const QString &url);
    // Engine settings that make the hook run the copy at `path`: this engine looks only on PATH
    // by itself. Length-quoted, so a folder name with commas stays one value.
    static QString engineScriptOptions(const QString &path);
    static QString engineRawOptions(const QString &path);

    void downloadYtdlp();
    // Stops a running download; nothing is reported and the working copy stays.
    void cancelDownload();

signals:
    void located();
    void ytdlpReady(const QString &path);
    void downloadProgress(int percent);
    void downloadFailed(const QString &error);

private:
    enum class Stage { Checksums, Binary };

    void get(const QUrl &url, Stage stage);
    void onReplyFinished(QNetworkReply *reply, Stage stage);
    void install(const QByteArray &body);
    void fail(const QString &error);

    YtdlpLocator locator_;
    YtdlpLocator::Copy current_;
    bool located_ = false;
    bool updateTried_ = false; // a download was started (or the copy came from one) in this run
    QNetworkAccessManager network_;
    QNetworkReply *reply_ = nullptr;
    QUrl base_;
    bool downloading = false;
    int redirects_ = 0;
    QByteArray expectedSha256_; // lower-case hex from the release's sums file
};
