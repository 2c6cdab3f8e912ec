#include "library/CoverReader.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <optional>

namespace CoverReader {
namespace {

quint32 bigEndian32(QByteArrayView bytes, qsizetype at)
{
    return quint32(uchar(bytes[at])) << 24 | quint32(uchar(bytes[at + 1])) << 16
         | quint32(uchar(bytes[at + 2])) << 8 | quint32(uchar(bytes[at + 3]));
}

// 7 bits per byte, most significant first; the top bit of each byte is ignored.
quint32 syncsafe32(QByteArrayView bytes, qsizetype at)
{
    return quint32(uchar(bytes[at]) & 0x7f) << 21 | quint32(uchar(bytes[at + 1]) & 0x7f) << 14
         | quint32(uchar(bytes[at + 2]) & 0x7f) << 7 | quint32(uchar(bytes[at + 3]) & 0x7f);
}

qint64 remaining(const QIODevice &device)
{
    return qMax<qint64>(0, device.size() - device.pos());
}

bool rewind(QIODevice &device)
{
    return device.isOpen() && device.isReadable() && !device.isSequential() && device.seek(0);
}

// QIODevice::read(n) allocates n bytes before reading, so every request is first clamped to
// what the device really holds: a lying size field must not cost memory.
QByteArray readAtMost(QIODevice &device, qint64 n)
{
    n = qMin(n, remaining(device));
    return n > 0 ? device.read(n) : QByteArray();
}

std::optional<QByteArray> readExactly(QIODevice &device, qint64 n)
{
    if (n < 0 || n > remaining(device))
        return std::nullopt;
    QByteArray bytes = readAtMost(device, n);
    if (bytes.size() != n) // the file shrank under us
        return std::nullopt;
    return bytes;
}

// Hands picture bytes to the toolkit's loader, which detects the format from the data itself.
class PictureDecoder
{
public:
    QImage decode(QByteArrayView bytes)
    {
        if (exhausted() || bytes.isEmpty())
            return {};
        --attemptsLeft_;
        QImage image;
        if (!image.loadFromData(bytes))
            return {};
        return image;
    }
    bool exhausted() const { return attemptsLeft_ <= 0; }

private:
    int attemptsLeft_ = kMaxDecodeAttempts;
};

qsizetype skipZeros(QByteArrayView bytes, qsizetype at)
{
    while (at < bytes.size() && bytes[at] == '\0')
        ++at;
    return at;
}

// End of a UTF-16 description: the first 0x00 0x00 on a character boundary. A search for a
// single zero stops inside the first character of any non-empty UTF-16 text.
qsizetype utf16TerminatorEnd(QByteArrayView payload, qsizetype from)
{
    for (qsizetype i = from; i + 1 < payload.size(); i += 2) {
        if (payload[i] == '\0' && payload[i + 1] == '\0')
            return i + 2;
    }
    return -1;
}

enum class ApicResult { Picture, Undecodable, Malformed };

ApicResult decodeApic(QByteArrayView payload, PictureDecoder &decoder, QImage &image)
{
    // encoding byte, MIME type + 0, picture type byte, description + terminator, picture
    if (payload.size() < 2)
        return ApicResult::Malformed;
    const qsizetype mimeEnd = payload.indexOf('\0', 1);
    if (mimeEnd < 0 || mimeEnd + 2 >= payload.size())
        return ApicResult::Malformed;
    const qsizetype descriptionStart = mimeEnd + 2;
    const qsizetype descriptionEnd = payload.indexOf('\0', descriptionStart);
    if (descriptionEnd < 0)
        return ApicResult::Malformed;

    const qsizetype start = skipZeros(payload, descriptionEnd + 1);
    image = decoder.decode(payload.sliced(start));
    if (!image.isNull())
        return ApicResult::Picture;

    // The single-zero reading above goes first, so a tagger that declares UTF-16 but ends the
    // description with one zero byte is still read.
    const uchar encoding = uchar(payload[0]);
    if (encoding == 1 || encoding == 2) { // UTF-16 with BOM, UTF-16BE
        const qsizetype end = utf16TerminatorEnd(payload, descriptionStart);
        if (end >= 0) {
            const qsizetype utf16Start = skipZeros(payload, end);
            if (utf16Start != start) {
                image = decoder.decode(payload.sliced(utf16Start));
                if (!image.isNull())
                    return ApicResult::Picture;
            }
        }
    }
    return ApicResult::Undecodable;
}

// FLAC PICTURE block: type, MIME length + MIME, description length + description, width, height,
// depth, colour count, data length + data; all big-endian 32-bit. Every length is checked against
// the block before the next field is read.
std::optional<QByteArrayView> flacPictureData(QByteArrayView block)
{
    const qint64 size = block.size();
    qint64 at = 4; // picture type
    if (at + 4 > size)
        return std::nullopt;
    const qint64 mimeLength = bigEndian32(block, at);
    at += 4 + mimeLength;
    if (at + 4 > size)
        return std::nullopt;
    const qint64 descriptionLength = bigEndian32(block, at);
    at += 4 + descriptionLength + 16;
    if (at + 4 > size)
        return std::nullopt;
    const qint64 dataLength = bigEndian32(block, at);
    at += 4;
    if (dataLength > size - at)
        return std::nullopt;
    return block.sliced(at, dataLength);
}

// Only regular files: opening a FIFO that happens to be named "x.mp3" would block the thread.
bool openForReading(QFile &file)
{
    return QFileInfo(file.fileName()).isFile() && file.open(QIODevice::ReadOnly);
}

} // namespace

QString extensionOf(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('.')) + 1).toLower();
}

QImage extractCover(QIODevice &device, const QString &extension)
{
    QImage image;
    if (extension == QLatin1String("mp3"))
        return readId3v2Picture(device);
    if (extension == QLatin1String("flac"))
        image = readFlacPicture(device);
    else if (extension == QLatin1String("m4a") || extension == QLatin1String("mp4")
             || extension == QLatin1String("alac") || extension == QLatin1String("aac"))
        image = readMp4Picture(device);
    if (image.isNull())
        image = readId3v2Picture(device);
    return image;
}

QImage readId3v2Picture(QIODevice &device)
{
    if (!rewind(device))
        return {};
    const QByteArray header = readAtMost(device, 10);
    if (header.size() < 10 || !header.startsWith("ID3"))
        return {};
    const int majorVersion = uchar(header[3]);
    const qint64 tagSize = syncsafe32(header, 6);
    // A truncated tag is walked as far as it goes; the frame checks below stop at its real end.
    const QByteArray body = readAtMost(device, qMin(tagSize, kMaxScanBytes));
    if (body.size() < 10)
        return {};

    PictureDecoder decoder;
    qint64 offset = 0;
    for (;;) {
        if (body[offset] == '\0') // padding
            return {};
        const qint64 frameSize = majorVersion >= 4 ? syncsafe32(body, offset + 4)
                                                   : bigEndian32(body, offset + 4);
        if (frameSize == 0)
            return {};
        const qint64 next = offset + 10 + frameSize;
        if (next > body.size())
            return {};
        if (QByteArrayView(body).sliced(offset, 4) == "APIC") {
            QImage image;
            switch (decodeApic(QByteArrayView(body).sliced(offset + 10, frameSize), decoder, image)) {
            case ApicResult::Picture:
                return image;
            case ApicResult::Malformed:
                return {};
            case ApicResult::Undecodable:
                if (decoder.exhausted())
                    return {};
                break;
            }
        }
        offset = next;
        if (offset + 10 > body.size())
            return {};
    }
}

QImage readFlacPicture(QIODevice &device)
{
    if (!rewind(device) || readAtMost(device, 4) != "fLaC")
        return {};
    PictureDecoder decoder;
    for (int blocks = 0; blocks < kMaxFlacBlocks; ++blocks) {
        const QByteArray header = readAtMost(device, 4);
        if (header.size() < 4)
            return {};
        const int type = uchar(header[0]) & 0x7f;
        const bool last = uchar(header[0]) & 0x80;
        const qint64 length = bigEndian32(header, 0) & 0xffffff;
        if (type == 6) {
            const auto block = readExactly(device, length);
            if (!block)
                return {};
            if (const auto data = flacPictureData(*block)) {
                QImage image = decoder.decode(*data);
                if (!image.isNull())
                    return image;
                if (decoder.exhausted())
                    return {};
            }
        } else {
            // Past the end there is no next header either; checking first keeps QBuffer from
            // warning about an invalid seek.
            if (length > remaining(device) || !device.seek(device.pos() + length))
                return {};
        }
        if (last)
            return {};
    }
    return {};
}

QImage readMp4Picture(QIODevice &device)
{
    if (!rewind(device))
        return {};
    const QByteArray buffer = readAtMost(device, kMaxScanBytes);
    const QByteArrayView bytes(buffer);
    const qint64 length = bytes.size();

    PictureDecoder decoder;
    for (qsizetype p = bytes.indexOf("covr"); p >= 0; p = bytes.indexOf("covr", p + 4)) {
        // Only a "data" that starts within 16 bytes of "covr" counts. Looking in that window
        // alone, rather than in the rest of the buffer, keeps a file full of "covr" linear.
        const qsizetype inWindow = bytes.sliced(p, qMin<qsizetype>(20, length - p)).indexOf("data");
        if (inWindow < 0)
            continue;
        const qint64 d = p + inWindow; // at least p + 4: "data" cannot overlap "covr"
        if (d + 12 >= length)
            return {};
        const qint64 atomSize = bigEndian32(bytes, d - 4);
        if (atomSize < 16 || d - 4 + atomSize > length)
            return {};
        // The data atom: size, "data", type and locale words, then the picture.
        QImage image = decoder.decode(bytes.sliced(d + 12, atomSize - 16));
        if (!image.isNull())
            return image;
        if (decoder.exhausted())
            return {};
    }
    return {};
}

QImage extractCover(const QString &path)
{
    QFile file(path);
    return openForReading(file) ? extractCover(file, extensionOf(path)) : QImage();
}

QImage readId3v2Picture(const QString &path)
{
    QFile file(path);
    return openForReading(file) ? readId3v2Picture(file) : QImage();
}

QImage readFlacPicture(const QString &path)
{
    QFile file(path);
    return openForReading(file) ? readFlacPicture(file) : QImage();
}

QImage readMp4Picture(const QString &path)
{
    QFile file(path);
    return openForReading(file) ? readMp4Picture(file) : QImage();
}

} // namespace CoverReader
