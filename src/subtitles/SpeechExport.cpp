#include "subtitles/SpeechExport.h"

#include "app/CommandLine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <tuple>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Far more than anyone keeps beside one video; beyond it the folder is not a place to write.
constexpr int kMaxAttempts = 100;

QString candidate(const QString &mediaPath, int attempt)
{
    const QFileInfo media(mediaPath);
    const QString base = media.dir().filePath(media.completeBaseName());
    if (attempt == 0)
        return base + QStringLiteral(".srt");
    if (attempt == 1)
        return base + QStringLiteral(".stt.srt");
    return base + QStringLiteral(".stt.%1.srt").arg(attempt);
}

bool isStream(const QString &mediaPath)
{
    return mediaPath.isEmpty() || isSchemeAddress(mediaPath);
}

} // namespace

namespace SpeechExport {

QList<SubtitleSegment> cues(const QList<SubtitleSegment> &segments, const QString &mediaPath)
{
    QList<SubtitleSegment> ordered;
    for (const SubtitleSegment &segment : segments)
        if (segment.source == mediaPath)
            ordered << segment;
    const auto key = [](const SubtitleSegment &s) { return std::tie(s.startSec, s.endSec, s.text); };
    std::stable_sort(ordered.begin(), ordered.end(), [&key](const auto &a, const auto &b) { return key(a) < key(b); });
    // A second run over the same file repeats the first one's segments.
    ordered.erase(std::unique(ordered.begin(), ordered.end(), [&key](const auto &a, const auto &b) { return key(a) == key(b); }),
                  ordered.end());
    return ordered;
}

Outcome write(const QString &mediaPath, const QList<SubtitleSegment> &cues)
{
    if (isStream(mediaPath))
        return {{}, QStringLiteral("스트림의 자막은 파일로 내보낼 수 없습니다")};
    QTemporaryFile temporary(QFileInfo(mediaPath).dir().filePath(QStringLiteral(".velmoran-XXXXXX.srt")));
    const QByteArray content = SegmentLine::srtDocument(cues).toUtf8();
    if (!temporary.open() || temporary.write(content) != content.size() || !temporary.flush())
        return {{}, temporary.errorString()};
    // The private file gets the permissions the user's other files get.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(temporary.handle(), 0666 & ~mask);
    // link() fails when the name is taken, even by a file made a moment ago: nothing is replaced.
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        const QString target = candidate(mediaPath, attempt);
        if (::link(QFile::encodeName(temporary.fileName()).constData(), QFile::encodeName(target).constData()) == 0)
            return {target, {}};
        if (errno != EEXIST)
            return {{}, QString::fromLocal8Bit(strerror(errno))};
    }
    return {{}, QStringLiteral("같은 이름의 파일이 너무 많습니다")};
}

} // namespace SpeechExport
