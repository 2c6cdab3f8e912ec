#include "subtitles/SubtitleChunker.h"

#include <QRegularExpression>

namespace SubtitleChunker {

namespace {

struct Piece
{
    QStringView text;
    QStringView separatorAfter;
};

// Pieces of `text` cut at every match of `boundary`, each with the boundary that follows it.
QList<Piece> cutAt(QStringView text, const QRegularExpression &boundary)
{
    QList<Piece> pieces;
    qsizetype start = 0;
    QRegularExpressionMatchIterator matches = boundary.globalMatch(text);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        pieces.append({text.sliced(start, match.capturedStart() - start), text.sliced(match.capturedStart(), match.capturedLength())});
        start = match.capturedEnd();
    }
    pieces.append({text.sliced(start), QStringView()});
    return pieces;
}

// Single characters, never splitting a surrogate pair.
QList<Piece> cutIntoCharacters(QStringView text)
{
    QList<Piece> pieces;
    for (qsizetype at = 0; at < text.size();) {
        const qsizetype length = text[at].isHighSurrogate() && at + 1 < text.size() ? 2 : 1;
        pieces.append({text.sliced(at, length), QStringView()});
        at += length;
    }
    return pieces;
}

// Cues, and where a cue exceeds the budget, its lines or characters instead. The last piece of
// a cut-up cue keeps the cue's own separator.
void appendFitting(const Piece &piece, int depth, qsizetype budget, const Cost &cost, QList<Piece> &out)
{
    static const QRegularExpression blankLines(QStringLiteral("\\r?\\n(?:[ \\t]*\\r?\\n)+"));
    static const QRegularExpression lineBreak(QStringLiteral("\\r?\\n"));

    if (depth > 0 && cost(piece.text) <= budget) {
        out.append(piece);
        return;
    }
    QList<Piece> parts = depth == 0 ? cutAt(piece.text, blankLines)
                         : depth == 1 ? cutAt(piece.text, lineBreak)
                                      : cutIntoCharacters(piece.text);
    parts.last().separatorAfter = piece.separatorAfter;
    for (const Piece &part : std::as_const(parts)) {
        if (depth >= 2)
            out.append(part);
        else
            appendFitting(part, depth + 1, budget, cost, out);
    }
}

} // namespace

Chunks split(const QString &text, qsizetype budget, const Cost &cost)
{
    QList<Piece> pieces;
    appendFitting({text, QStringView()}, 0, budget, cost, pieces);

    Chunks chunks;
    QString current = pieces.first().text.toString();
    qsizetype currentCost = cost(current);
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        const QStringView separator = pieces[i - 1].separatorAfter;
        const qsizetype added = cost(separator) + cost(pieces[i].text);
        if (currentCost + added <= budget) {
            current += separator;
            current += pieces[i].text;
            currentCost += added;
            continue;
        }
        chunks.texts.append(current);
        chunks.separators.append(separator.toString());
        current = pieces[i].text.toString();
        currentCost = cost(current);
    }
    chunks.texts.append(current);
    return chunks;
}

QString join(const QStringList &pieces, const QStringList &separators)
{
    QString joined;
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        joined += pieces[i];
        if (i < separators.size())
            joined += separators[i];
    }
    return joined;
}

} // namespace SubtitleChunker
