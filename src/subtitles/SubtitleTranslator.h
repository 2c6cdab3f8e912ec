#pragma once

#include "subtitles/SubtitleChunker.h"

#include <QObject>
#include <QString>

#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

// The translation services' credentials as the settings dialog stores them.
struct TranslationKeys
{
    QString deeplKey;
    QString papagoClientId;
    QString papagoClientSecret;

    bool hasDeepl() const { return !deeplKey.isEmpty(); }
    bool isSet() const { return hasDeepl() || (!papagoClientId.isEmpty() && !papagoClientSecret.isEmpty()); }
    // Read at the moment of asking: the keys may have been entered since the caller was made.
    static TranslationKeys fromSettings();
};

// Machine translation through DeepL or, failing a DeepL key, Papago. A text longer than one
// request may carry goes out in pieces cut between cues and comes back joined with the original
// spacing; a piece that fails fails the whole. One text at a time: a new one drops the last.
class SubtitleTranslator : public QObject
{
    Q_OBJECT

public:
    explicit SubtitleTranslator(QObject *parent = nullptr);
    ~SubtitleTranslator() override;

    // Papago needs the source language named ("en", "ja", …); DeepL finds it itself. Without a
    // usable key nothing is sent and failed() says so at once.
    void translate(const QString &text, const QString &targetLang, const TranslationKeys &keys,
                   const QString &papagoSource = QStringLiteral("en"));
    // The running text is dropped; nothing more is reported for it.
    void cancel();

signals:
    void finished(const QString &translated);
    void failed(const QString &message);

private:
    struct Job;

    void sendNextPiece();
    void onReply(QNetworkReply *reply, quint64 generation);

    QNetworkAccessManager *network_ = nullptr;
    std::unique_ptr<Job> job_;
    quint64 generation_ = 0;
};
