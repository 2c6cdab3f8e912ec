#pragma once

#include "subtitles/SegmentLine.h"
#include "subtitles/SubtitleTranslator.h"

#include <QList>
#include <QObject>

// Recognised speech on its way to the page in Korean: every segment goes through the subtitle
// search's translation service (DeepL or Papago) and is passed on in the order it came, one
// request at a time. Speech recognisers translate only into English, hence this stage. A failure
// is reported once; what waits, and what follows in that run, passes on as recognised, so
// nothing recognised is lost.
class SpeechTranslation : public QObject
{
    Q_OBJECT
public:
    explicit SpeechTranslation(QObject *parent = nullptr);

    // A run's segments are translated from `language` ("auto" or the recognition's code).
    void begin(const TranslationKeys &keys, const QString &language);
    void add(const QList<SubtitleSegment> &segments);
    // Passes on what waits, untranslated, and ends the run.
    void flush();
    bool isIdle() const { return waiting_.isEmpty(); }

signals:
    void ready(const QList<SubtitleSegment> &segments);
    void failed(const QString &message);
    // Everything added has been passed on.
    void drained();

private:
    void sendNext();
    void onTranslated(const QString &text);
    void onFailed(const QString &message);

    SubtitleTranslator *translator_ = nullptr;
    TranslationKeys keys_;
    QString papagoSource_;
    bool translating_ = false;
    QList<SubtitleSegment> waiting_;
};
