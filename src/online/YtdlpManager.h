#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QUrl>

class QNetworkReply;

// Finds yt-dlp for the engine's web-video hook and, when it is missing, downloads the latest
// release into the per-user data folder (the install folder is read-only for users).
class YtdlpManager : public QObject
{
    Q_OBJECT
public:
    static constexpr auto kUserAgent = "Velmoran/1.1";
    static constexpr int kTimeoutMs = 120000;
    static constexpr auto kReleasesPage = "https://github.com/yt-dlp/yt-dlp/releases";

    explicit YtdlpManager(QObject *parent = nullptr);

    bool isAvailable() const { return !ytdlpPath().isEmpty(); }
    // Beside the executable, then the per-user data folder, then PATH; empty when none is there.
    QString ytdlpPath() const;
    // Where a download goes.
    static QString downloadFolder();
    // True for addresses only yt-dlp can turn into media: pages of video sites. Media files,
    // stream manifests and the stream protocols play without it.
    static bool isStreamingUrl(const QString &url);
    // Engine settings that make the hook run the copy at `path`: this engine looks only on PATH
    // by itself. Length-quoted, so a folder name with commas stays one value.
    static QString engineScriptOptions(const QString &path);
    static QString engineRawOptions(const QString &path);

    void downloadYtdlp();

signals:
    void ytdlpReady(const QString &path);
    void downloadProgress(int percent);
    void downloadFailed(const QString &error);

private:
    enum class Stage { Checksums, Binary };

    void get(const QUrl &url, Stage stage);
    void onReplyFinished(QNetworkReply *reply, Stage stage);
    void install(const QByteArray &body);
    void fail(const QString &error);

    QNetworkAccessManager network_;
    QUrl base_;
    bool downloading = false;
    int redirects_ = 0;
    QByteArray expectedSha256_; // lower-case hex from the release's sums file
};
