#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

// Translation services take a bounded amount of text per request, while a film's subtitles are
// far longer. The text is cut where cues meet (at blank lines), so every request carries whole
// cues and the translations can be put back together with the original spacing.
namespace SubtitleChunker {

// What a piece of text costs against a service's limit. It must be additive (the cost of two
// pieces together is the sum of their costs), like a character count or an encoded length.
using Cost = std::function<qsizetype(QStringView)>;

struct Chunks
{
    QStringList texts;      // each costs at most the budget
    QStringList separators; // separators[i] stood between texts[i] and texts[i + 1]
};

// A cue too long for the budget on its own is cut between its lines, a line too long between
// characters. An empty text gives one empty chunk.
Chunks split(const QString &text, qsizetype budget, const Cost &cost);

// The pieces (translations of split's texts, in order) with the separators back between them.
QString join(const QStringList &pieces, const QStringList &separators);

} // namespace SubtitleChunker
