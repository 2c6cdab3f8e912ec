// Feeds arbitrary text to the LRC reader. Beyond "no crash": every line it gives has a time that
// is a real, non-negative number, text that is neither empty nor padded, and the lines come in
// time order, whatever the file looked like.
#include "music/LrcParser.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {
void check(const QList<LyricLine> &lines)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const LyricLine &line = lines[i];
        if (!std::isfinite(line.timeMs) || line.timeMs < 0 || line.text.isEmpty() || line.text != line.text.trimmed())
            abort();
        if (i > 0 && lines[i - 1].timeMs > line.timeMs)
            abort();
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    check(LrcParser::parseLrc(text));
    check(LrcParser::plainLyricLines(text));
    return 0;
}
