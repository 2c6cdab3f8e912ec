#include "library/AudioHeader.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <functional>

namespace AudioHeader {
namespace {

// Metadata chunks and boxes in front of the format description are small; a file asking the
// reader to walk further than this is not worth trusting.
constexpr int kMaxChunks = 256;
constexpr int kMaxBoxDepth = 8;
constexpr qint64 kMaxFormatChunk = 1 << 16;

quint32 be(const QByteArray &b, int at, int bytes)
{
    quint32 value = 0;
    for (int i = 0; i < bytes; ++i)
        value = value << 8 | uchar(b[at + i]);
    return value;
}

quint32 le(const QByteArray &b, int at, int bytes)
{
    quint32 value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | uchar(b[at + i]);
    return value;
}

// Reads exactly n bytes at `offset`, or nothing.
QByteArray readAt(QIODevice &device, qint64 offset, qint64 n)
{
    if (offset < 0 || n <= 0 || n > kMaxFormatChunk || offset > device.size() - n || !device.seek(offset))
        return {};
    QByteArray bytes = device.read(n);
    return bytes.size() == n ? bytes : QByteArray();
}

int sane(quint32 bits)
{
    return bits >= 1 && bits <= 64 ? int(bits) : 0;
}

int flacDepth(QIODevice &device, qint64 start)
{
    // "fLaC", then the first metadata block is always STREAMINFO: its 14th byte holds the low
    // bit of (bits per sample - 1) and the next byte the other four.
    const QByteArray head = readAt(device, start, 4 + 4 + 14);
    if (head.isEmpty() || !head.startsWith("fLaC") || (uchar(head[4]) & 0x7f) != 0)
        return 0;
    const QByteArray info = head.mid(8);
    return sane(((uchar(info[12]) & 0x01) << 4 | uchar(info[13]) >> 4) + 1);
}

qint64 afterId3v2(QIODevice &device)
{
    const QByteArray tag = readAt(device, 0, 10);
    if (tag.isEmpty() || !tag.startsWith("ID3"))
        return 0;
    const quint32 size = (uchar(tag[6]) & 0x7f) << 21 | (uchar(tag[7]) & 0x7f) << 14 | (uchar(tag[8]) & 0x7f) << 7
                       | (uchar(tag[9]) & 0x7f);
    const bool footer = uchar(tag[5]) & 0x10;
    return 10 + qint64(size) + (footer ? 10 : 0);
}

// RIFF and IFF share the walk: an id, a size (little- or big-endian), data padded to even length.
using ChunkHandler = std::function<int(const QByteArray &id, qint64 dataOffset, quint32 size)>;
int walkChunks(QIODevice &device, bool littleEndian, const ChunkHandler &handler)
{
    qint64 offset = 12;
    for (int i = 0; i < kMaxChunks; ++i) {
        const QByteArray header = readAt(device, offset, 8);
        if (header.isEmpty())
            return 0;
        const quint32 size = littleEndian ? le(header, 4, 4) : be(header, 4, 4);
        if (const int depth = handler(header.left(4), offset + 8, size))
            return depth;
        offset += 8 + qint64(size) + (size & 1);
    }
    return 0;
}

int wavDepth(QIODevice &device)
{
    return walkChunks(device, true, [&device](const QByteArray &id, qint64 at, quint32 size) {
        if (id != "fmt " || size < 16)
            return 0;
        const QByteArray fmt = readAt(device, at, qMin<qint64>(size, 40));
        if (fmt.isEmpty())
            return -1; // a broken format chunk: stop, nothing after it can be trusted
        const quint32 container = le(fmt, 14, 2);
        constexpr quint32 kExtensible = 0xfffe;
        if (le(fmt, 0, 2) == kExtensible && fmt.size() >= 20 && le(fmt, 18, 2) > 0)
            return sane(le(fmt, 18, 2)); // the valid bits inside the container
        return sane(container) ? sane(container) : -1;
    });
}

int aiffDepth(QIODevice &device)
{
    return walkChunks(device, false, [&device](const QByteArray &id, qint64 at, quint32 size) {
        if (id != "COMM" || size < 8)
            return 0;
        const QByteArray comm = readAt(device, at, 8);
        return comm.isEmpty() || !sane(be(comm, 6, 2)) ? -1 : sane(be(comm, 6, 2));
    });
}

// MP4: moov/trak/mdia/minf/stbl/stsd holds the sample entry; an "alac" entry carries an "alac"
// configuration box whose sixth byte after the version is the stored depth.
int mp4Depth(QIODevice &device, qint64 from, qint64 to, int depth)
{
    if (depth > kMaxBoxDepth)
        return 0;
    qint64 offset = from;
    for (int i = 0; i < kMaxChunks && offset + 8 <= to; ++i) {
        const QByteArray header = readAt(device, offset, 16);
        const QByteArray shortHeader = header.isEmpty() ? readAt(device, offset, 8) : header;
        if (shortHeader.isEmpty())
            return 0;
        qint64 size = be(shortHeader, 0, 4);
        qint64 body = offset + 8;
        if (size == 1 && !header.isEmpty()) {
            size = qint64(be(header, 8, 4)) << 32 | be(header, 12, 4);
            body = offset + 16;
        } else if (size == 0) {
            size = to - offset;
        }
        if (size < body - offset || offset + size > to)
            return 0;
        const QByteArray type = shortHeader.mid(4, 4);
        const qint64 end = offset + size;
        if (type == "moov" || type == "trak" || type == "mdia" || type == "minf" || type == "stbl") {
            if (const int found = mp4Depth(device, body, end, depth + 1))
                return found;
        } else if (type == "stsd") {
            // version, flags and the entry count come before the entries
            if (const int found = mp4Depth(device, body + 8, end, depth + 1))
                return found;
        } else if (type == "alac") {
            // 28 bytes of audio description (44 in the QuickTime version-1 layout), then the
            // configuration box: size, "alac", version and flags, frame length, version, depth.
            const QByteArray entry = readAt(device, body, qMin<qint64>(end - body, 128));
            const qsizetype config = entry.indexOf("alac", 28);
            if (config >= 0 && config + 4 + 4 + 5 < entry.size())
                return sane(uchar(entry[config + 4 + 4 + 5]));
            return 0;
        }
        offset = end;
    }
    return 0;
}

} // namespace

int bitDepth(QIODevice &device)
{
    if (!device.isOpen() || !device.isReadable() || device.isSequential())
        return 0;
    const QByteArray magic = readAt(device, 0, 12);
    if (magic.isEmpty())
        return 0;
    int depth = 0;
    if (magic.startsWith("fLaC") || magic.startsWith("ID3"))
        depth = flacDepth(device, afterId3v2(device));
    else if ((magic.startsWith("RIFF") || magic.startsWith("RF64")) && magic.mid(8, 4) == "WAVE")
        depth = wavDepth(device);
    else if (magic.startsWith("FORM") && (magic.mid(8, 4) == "AIFF" || magic.mid(8, 4) == "AIFC"))
        depth = aiffDepth(device);
    else if (magic.mid(4, 4) == "ftyp")
        depth = mp4Depth(device, 0, device.size(), 0);
    return qMax(depth, 0);
}

int bitDepth(const QString &path)
{
    // Only regular files: a named pipe would block the reader for ever.
    if (!QFileInfo(path).isFile())
        return 0;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return bitDepth(file);
}

} // namespace AudioHeader
