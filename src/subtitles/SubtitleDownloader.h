#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QNetworkAccessManager;
class SubtitleTranslator;
class QNetworkReply;
class QUrl;

// One subtitle file OpenSubtitles offers for the searched video.
struct SubtitleResult
{
    QString fileId;
    QString fileName;
    QString language;
    int downloadCount = 0;
    double rating = 0.0;
    bool hearingImpaired = false;
};

// Finds subtitles for a video on OpenSubtitles, fetches one next to it and has it translated by
// DeepL or Papago. One per open search dialog; every outcome arrives as a signal, every failure
// as errorOccurred with a message for the user.
class SubtitleDownloader : public QObject
{
    Q_OBJECT

public:
    explicit SubtitleDownloader(QObject *parent = nullptr);
    ~SubtitleDownloader() override;

    // By the video's hash first, by its cleaned-up file name when that finds nothing or fails.
    // A new search makes the answers of the previous one irrelevant; they are dropped.
    void search(const QString &filePath, const QStringList &languages);
    // Saves the subtitle as destDir/<the server's name, made safe>, only when the bytes read as a
    // subtitle.
    void downloadSubtitle(const QString &fileId, const QString &destDir);
    // Writes the translation beside the subtitle ("movie.srt" → "movie_ko.srt"). DeepL is used
    // when its key is given, Papago when both of its values are. The file is read in the
    // encoding it was written in.
    void translateSubtitle(const QString &subtitlePath, const QString &targetLang, const QString &deeplKey,
                           const QString &papagoClientId, const QString &papagoClientSecret);

signals:
    void searchFinished(const QList<SubtitleResult> &results);
    void downloadFinished(const QString &savedPath);
    void translateFinished(const QString &translatedPath);
    void errorOccurred(const QString &message);

private:
    void sendSearch(const QList<std::pair<QString, QString>> &items, bool byHash);
    void startNameSearch();
    void onSearchReply(QNetworkReply *reply, quint64 generation);
    void onDownloadLinkReply(QNetworkReply *reply, const QString &destDir);
    void fetchSubtitleFile(const QUrl &link, const QString &targetPath);
    void saveSubtitleFile(const QString &targetPath, const QByteArray &content);
    void saveTranslation(const QString &translated);

    QNetworkAccessManager *network_ = nullptr;
    QString apiKey_;
    QString searchFile_;
    QStringList searchLanguages_;
    bool nameSearchTried_ = false;
    quint64 searchGeneration_ = 0;
    QPointer<QNetworkReply> pendingSearch_;
    SubtitleTranslator *translator_ = nullptr;
    QString translationOutput_;
};
