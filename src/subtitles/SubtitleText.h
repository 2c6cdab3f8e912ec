#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Subtitle files as they arrive from download sites and old discs: Korean ones are very often
// CP949, some UTF-16, most UTF-8, many with Windows line breaks. Decoding remembers how the text
// came, so that saving an edit gives the user's other players the same kind of file back.
namespace SubtitleText {

enum class Encoding { Utf8, Utf8Bom, Utf16LE, Utf16BE, Cp949, Latin1 };

struct Decoded {
    QString text; // line breaks as "\n"
    Encoding encoding = Encoding::Utf8;
    bool crlf = false;
    qsizetype replaced = 0; // undecodable sequences shown as U+FFFD
};

// No subtitle comes near this; reading and showing a file this big would freeze the window.
inline constexpr qint64 kMaxFileBytes = 10 * 1024 * 1024;

// The bytes of a regular file of at most kMaxFileBytes; nothing for anything else (missing,
// unreadable, a folder, a FIFO or device that would block the window, too big).
std::optional<QByteArray> readFile(const QString &path);

// By byte order mark, else UTF-8 when the bytes are valid UTF-8, else CP949. Bytes that are
// neither because of a few stray ones are read in the closer of the two with those replaced;
// bytes far from both are kept as Latin-1, so saving them unedited loses nothing.
Decoded decode(const QByteArray &bytes);
// Nothing when a character of `text` has no place in `encoding` (a replaced byte is written
// as "?" in CP949 and Latin-1).
std::optional<QByteArray> encode(const QString &text, Encoding encoding, bool crlf);
QString encodingName(Encoding encoding);

// Empty when the text holds at least one cue the engine could show; otherwise why not, in words
// for the user. ASS/SSA need a "Dialogue:" line, SAMI a SYNC tag, the other text formats a
// timing line of their kind (SRT/VTT "a --> b", MicroDVD "{n}{n}", MPL2, SubViewer, TMPlayer).
QString cueProblem(const QString &text);

} // namespace SubtitleText
