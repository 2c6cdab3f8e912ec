// Feeds arbitrary bytes to every embedded-cover reader, picture decoding included. The input is a
// whole file, so the generated media serve as seeds unchanged, and each input goes through all
// three containers. Beyond "no crash": extractCover must give what the reader its extension names
// (with the ID3v2 fallback) gives, for an extension the input's length picks. The stored-depth
// reader walks the same headers and gets the same bytes.
#include "library/AudioHeader.h"
#include "library/CoverReader.h"

#include <QBuffer>
#include <QImageReader>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Every failed decode warns; at thousands of inputs a second that is all the run would do.
    // A failed assertion (bounds checks are forced on in this build) still says what it was when
    // the crashing input is replayed.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type == QtFatalMsg)
            fprintf(stderr, "%s\n", qPrintable(message));
    });
    // Without the JPEG plug-in the MP3 and M4A seeds' covers would never be decoded.
    if (!QImageReader::supportedImageFormats().contains("jpeg")) {
        fprintf(stderr, "fuzz_cover_reader: Qt's JPEG image plug-in is not available\n");
        abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // fromRawData: a read past the input is a read past libFuzzer's buffer, which ASan sees.
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        abort();

    const QImage id3 = CoverReader::readId3v2Picture(buffer);
    const QImage flac = CoverReader::readFlacPicture(buffer);
    const QImage mp4 = CoverReader::readMp4Picture(buffer);

    static const char *const extensions[] = {"mp3", "flac", "m4a", "ogg"};
    const QString extension = QString::fromLatin1(extensions[size % 4]);
    QImage expected = extension == QLatin1String("flac") ? flac
                    : extension == QLatin1String("m4a")  ? mp4
                                                         : QImage();
    if (expected.isNull())
        expected = id3;
    if (CoverReader::extractCover(buffer, extension) != expected)
        abort();
    if (const int depth = AudioHeader::bitDepth(buffer); depth < 0 || depth > 64)
        abort();
    return 0;
}
