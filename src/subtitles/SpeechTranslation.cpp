#include "subtitles/SpeechTranslation.h"

#include <utility>

SpeechTranslation::SpeechTranslation(QObject *parent) : QObject(parent), translator_(new SubtitleTranslator(this))
{
    connect(translator_, &SubtitleTranslator::finished, this, &SpeechTranslation::onTranslated);
    connect(translator_, &SubtitleTranslator::failed, this, &SpeechTranslation::onFailed);
}

void SpeechTranslation::begin(const TranslationKeys &keys, const QString &language)
{
    flush();
    keys_ = keys;
    // Papago wants the source named; the recognisers' usual language stands in for "auto".
    papagoSource_ = language == u"auto" ? QStringLiteral("en") : language == u"zh" ? QStringLiteral("zh-CN") : language;
    translating_ = true;
}

void SpeechTranslation::add(const QList<SubtitleSegment> &segments)
{
    if (!translating_) {
        emit ready(segments);
        emit drained();
        return;
    }
    const bool wasIdle = waiting_.isEmpty();
    waiting_ << segments;
    if (wasIdle && !waiting_.isEmpty())
        sendNext();
}

void SpeechTranslation::flush()
{
    translator_->cancel();
    translating_ = false;
    if (waiting_.isEmpty())
        return;
    emit ready(std::exchange(waiting_, {}));
    emit drained();
}

void SpeechTranslation::sendNext()
{
    translator_->translate(waiting_.constFirst().text, QStringLiteral("ko"), keys_, papagoSource_);
}

void SpeechTranslation::onTranslated(const QString &text)
{
    if (waiting_.isEmpty())
        return;
    SubtitleSegment segment = waiting_.takeFirst();
    segment.text = text.trimmed().isEmpty() ? segment.text : text.trimmed();
    emit ready({segment});
    if (waiting_.isEmpty())
        emit drained();
    else
        sendNext();
}

void SpeechTranslation::onFailed(const QString &message)
{
    emit failed(message);
    flush();
}
