#include "music/LrcParser.h"

#include <algorithm>

namespace {

constexpr double kPlainLinePaceMs = 3000;

qsizetype countDigits(QStringView line, qsizetype from)
{
    qsizetype end = from;
    // ASCII only: other scripts' digits are no time stamp, and the number readers would refuse them.
    while (end < line.size() && line[end] >= u'0' && line[end] <= u'9')
        ++end;
    return end - from;
}

// Two digits are hundredths and three milliseconds, as LRC writers use them; read as the decimal
// fraction it is, ".5" is half a second and longer fractions add precision instead of growing into
// whole seconds.
double fractionMs(QStringView digits)
{
    QString whole = digits.left(3).toString();
    whole.resize(3, u'0');
    double ms = whole.toInt();
    if (digits.size() > 3)
        ms += (QStringLiteral("0.") + digits.sliced(3).toString()).toDouble();
    return ms;
}

enum class StampRead { None, Read, TooLarge };

// One "[m:s.f]" or "[m:s:f]" stamp starting at `pos`; `end` is set past its "]".
StampRead readStamp(QStringView line, qsizetype pos, double &timeMs, qsizetype &end)
{
    QStringView fields[3];
    qsizetype at = pos;
    if (at >= line.size() || line[at] != u'[')
        return StampRead::None;
    ++at;
    for (int field = 0; field < 3; ++field) {
        const qsizetype length = countDigits(line, at);
        if (length == 0)
            return StampRead::None;
        fields[field] = line.sliced(at, length);
        at += length;
        if (at >= line.size())
            return StampRead::None;
        const QChar separator = line[at];
        const bool expected = field == 0 ? separator == u':'
                            : field == 1 ? (separator == u'.' || separator == u':')
                                         : separator == u']';
        if (!expected)
            return StampRead::None;
        ++at;
    }
    bool minutesOk = false;
    bool secondsOk = false;
    const qint64 minutes = fields[0].toLongLong(&minutesOk);
    const qint64 seconds = fields[1].toLongLong(&secondsOk);
    if (!minutesOk || !secondsOk)
        return StampRead::TooLarge;
    timeMs = (double(minutes) * 60 + double(seconds)) * 1000 + fractionMs(fields[2]);
    end = at;
    return StampRead::Read;
}

} // namespace

namespace LrcParser {

QList<LyricLine> parseLrc(const QString &text)
{
    QList<LyricLine> lines;
    for (const QString &rawLine : text.split(u'\n', Qt::SkipEmptyParts)) {
        const QStringView line = QStringView(rawLine).trimmed();
        // Only the stamps that open the line count: the words may hold brackets of their own.
        QList<double> times;
        qsizetype pos = 0;
        StampRead read = StampRead::None;
        double timeMs = 0;
        qsizetype end = 0;
        while ((read = readStamp(line, pos, timeMs, end)) == StampRead::Read) {
            times.append(timeMs);
            pos = end;
            while (pos < line.size() && line[pos].isSpace())
                ++pos;
        }
        // A stamp whose numbers do not fit is a broken file, not a time to jump to.
        if (read == StampRead::TooLarge || times.isEmpty())
            continue;
        const QString words = line.sliced(pos).trimmed().toString();
        if (words.isEmpty())
            continue;
        for (double time : std::as_const(times))
            lines.append({time, words});
    }
    // Stable: a chorus stamped twice at the same moment keeps the file's order.
    std::stable_sort(lines.begin(), lines.end(),
                     [](const LyricLine &a, const LyricLine &b) { return a.timeMs < b.timeMs; });
    return lines;
}

QList<LyricLine> plainLyricLines(const QString &text)
{
    QList<LyricLine> lines;
    const QStringList rawLines = text.split(u'\n');
    for (qsizetype k = 0; k < rawLines.size(); ++k) {
        const QString words = rawLines[k].trimmed();
        if (!words.isEmpty())
            lines.append({double(k) * kPlainLinePaceMs, words});
    }
    return lines;
}

} // namespace LrcParser
