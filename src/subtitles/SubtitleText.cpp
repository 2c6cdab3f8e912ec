#include "subtitles/SubtitleText.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace SubtitleText {

namespace {

// ICU's "CP949" is IBM's code page, which lacks the extended Hangul (e.g. "똠") that Windows, and
// so nearly every Korean subtitle file, writes; "windows-949" is the one they are made with.
constexpr char kCp949Name[] = "windows-949";

std::optional<QString> decodeStrictly(QStringDecoder decoder, QByteArrayView bytes)
{
    QString text = decoder.decode(bytes);
    if (!decoder.isValid() || decoder.hasError())
        return std::nullopt;
    return text;
}

// Decoded with every undecodable sequence replaced, and how many there were.
std::pair<QString, qsizetype> decodeLeniently(QStringDecoder decoder, QByteArrayView bytes)
{
    const QString text = decoder.decode(bytes);
    return {text, text.count(QChar::ReplacementCharacter)};
}

std::optional<QByteArray> encodeStrictly(QStringEncoder encoder, const QString &text)
{
    QByteArray bytes = encoder.encode(text);
    if (!encoder.isValid() || encoder.hasError())
        return std::nullopt;
    return bytes;
}

} // namespace

std::optional<QByteArray> readFile(const QString &path)
{
    // Opened without blocking and checked on the open handle: a FIFO put in place of the file
    // after a check by name would otherwise hang the window in open() or read().
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size > kMaxFileBytes) {
        ::close(fd);
        return std::nullopt;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    // A file still growing is cut off by the limit rather than read to the end.
    QByteArray bytes = file.read(kMaxFileBytes + 1);
    if (file.error() != QFileDevice::NoError || bytes.size() > kMaxFileBytes)
        return std::nullopt;
    return bytes;
}

Decoded decode(const QByteArray &bytes)
{
    Decoded decoded;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        decoded.encoding = Encoding::Utf8Bom;
        decoded.text = QString::fromUtf8(bytes.mid(3));
    } else if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        const bool little = bytes.startsWith("\xFF\xFE");
        decoded.encoding = little ? Encoding::Utf16LE : Encoding::Utf16BE;
        QStringDecoder decoder(little ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
        decoded.text = decoder.decode(QByteArrayView(bytes).sliced(2));
    } else if (auto utf8 = decodeStrictly(QStringDecoder(QStringConverter::Utf8), bytes)) {
        decoded.text = *utf8;
    } else if (auto korean = decodeStrictly(QStringDecoder(kCp949Name), bytes)) {
        decoded.encoding = Encoding::Cp949;
        decoded.text = *korean;
    } else {
        // One stray byte (a cut-off download, a careless edit) must not turn a whole Korean file
        // into Latin-1 mojibake: the encoding that stumbles least, its stumbles replaced, as long
        // as they are few. Many stumbles in both mean the file is neither; Latin-1 keeps its bytes.
        auto [utf8Text, utf8Errors] = decodeLeniently(QStringDecoder(QStringConverter::Utf8), bytes);
        auto [koreanText, koreanErrors] = decodeLeniently(QStringDecoder(kCp949Name), bytes);
        const bool cp949 = koreanErrors < utf8Errors;
        const qsizetype errors = cp949 ? koreanErrors : utf8Errors;
        const qsizetype nonAscii = std::count_if(bytes.cbegin(), bytes.cend(), [](char c) { return uchar(c) >= 0x80; });
        if (errors <= std::max<qsizetype>(1, nonAscii / 100)) {
            decoded.encoding = cp949 ? Encoding::Cp949 : Encoding::Utf8;
            decoded.text = cp949 ? std::move(koreanText) : std::move(utf8Text);
            decoded.replaced = errors;
        } else {
            decoded.encoding = Encoding::Latin1;
            decoded.text = QString::fromLatin1(bytes);
        }
    }
    decoded.crlf = decoded.text.contains(QLatin1String("\r\n"));
    decoded.text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return decoded;
}

std::optional<QByteArray> encode(const QString &text, Encoding encoding, bool crlf)
{
    QString lines = text;
    if (crlf)
        lines.replace(u'\n', QLatin1String("\r\n"));
    // A byte replaced on reading has no value to go back to; the old code pages write the
    // usual stand-in instead of giving up their encoding for it.
    if (encoding == Encoding::Cp949 || encoding == Encoding::Latin1)
        lines.replace(QChar::ReplacementCharacter, u'?');
    constexpr auto withBom = QStringConverter::Flag::WriteBom;
    switch (encoding) {
    case Encoding::Utf8:
        return lines.toUtf8();
    case Encoding::Utf8Bom:
        return encodeStrictly(QStringEncoder(QStringConverter::Utf8, withBom), lines);
    case Encoding::Utf16LE:
        return encodeStrictly(QStringEncoder(QStringConverter::Utf16LE, withBom), lines);
    case Encoding::Utf16BE:
        return encodeStrictly(QStringEncoder(QStringConverter::Utf16BE, withBom), lines);
    case Encoding::Cp949:
        return encodeStrictly(QStringEncoder(kCp949Name), lines);
    case Encoding::Latin1:
        if (std::any_of(lines.cbegin(), lines.cend(), [](QChar c) { return c.unicode() > 0xFF; }))
            return std::nullopt;
        return lines.toLatin1();
    }
    return std::nullopt;
}

QString encodingName(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf8:
        return QStringLiteral("UTF-8");
    case Encoding::Utf8Bom:
        return QStringLiteral("UTF-8 (BOM)");
    case Encoding::Utf16LE:
        return QStringLiteral("UTF-16LE");
    case Encoding::Utf16BE:
        return QStringLiteral("UTF-16BE");
    case Encoding::Cp949:
        return QStringLiteral("CP949");
    case Encoding::Latin1:
        return QStringLiteral("Latin-1");
    }
    return QString();
}

QString cueProblem(const QString &text)
{
    if (text.trimmed().isEmpty())
        return QStringLiteral("자막 내용이 비어 있습니다.");
    const auto invalid = [](const char *why) {
        return QStringLiteral("자막 형식이 올바르지 않습니다: ") + QString::fromUtf8(why);
    };
    if (text.contains(QLatin1String("[Script Info]"), Qt::CaseInsensitive)
        || text.contains(QLatin1String("[Events]"), Qt::CaseInsensitive)) {
        static const QRegularExpression dialogue(QStringLiteral("^\\s*Dialogue:"), QRegularExpression::MultilineOption);
        return text.contains(dialogue) ? QString() : invalid("Dialogue 줄이 없습니다.");
    }
    if (text.contains(QLatin1String("<SAMI"), Qt::CaseInsensitive))
        return text.contains(QLatin1String("<SYNC"), Qt::CaseInsensitive) ? QString() : invalid("SYNC 태그가 없습니다.");
    // The timing lines of the text formats the engine reads: SubRip and WebVTT ("-->" between two
    // clock times, so that an HTML comment does not pass), MicroDVD ("{frame}{frame}"), MPL2
    // ("[tenths][tenths]"), SubViewer ("h:mm:ss.cc,h:mm:ss.cc") and TMPlayer ("h:mm:ss:").
    static const QRegularExpression timing(QStringLiteral(
        "(\\d+:)?\\d{1,2}:\\d\\d[,.]\\d{1,3}[ \\t]*-->[ \\t]*(\\d+:)?\\d{1,2}:\\d\\d[,.]\\d{1,3}"
        "|^[ \\t]*(\\{\\d+\\}\\{\\d*\\}|\\[\\d+\\]\\[\\d*\\])"
        "|^[ \\t]*\\d{1,2}:\\d\\d:\\d\\d([.,]\\d\\d,\\d{1,2}:\\d\\d:\\d\\d[.,]\\d\\d|[:=])"),
        QRegularExpression::MultilineOption);
    return text.contains(timing) ? QString() : invalid("시간 정보가 있는 줄이 없습니다.");
}

} // namespace SubtitleText
