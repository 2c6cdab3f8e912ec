#include "library/AudioHeader.h"
#include "library/CoverReader.h"

#include "TestFiles.h"
#include "TestMedia.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <sys/stat.h>

namespace {

enum Reader { Id3, Flac, Mp4 };

QByteArray be32(quint32 v)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(v, bytes.data());
    return bytes;
}

QByteArray syncsafe(quint32 v)
{
    return be32((v & 0x7f) | (v << 1 & 0x7f00) | (v << 2 & 0x7f0000) | (v << 3 & 0x7f000000));
}

// Noise keeps the PNG above 127 bytes, where plain and syncsafe frame sizes differ; the side
// tells the pictures apart.
QByteArray png(int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    QRandomGenerator random(side);
    for (int i = 0; i < side * side; ++i)
        image.setPixel(i % side, i / side, random.generate());
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

const QByteArray title("\0x", 2);
const QByteArray junk("\x89PNG\r\n\x1a\n-not-really", 19);

QByteArray apic(const QByteArray &picture, char encoding = 0, const QByteArray &description = "")
{
    const int terminator = encoding == 1 || encoding == 2 ? 2 : 1;
    return encoding + QByteArray("image/png", 10) + '\x03' + description + QByteArray(terminator, '\0') + picture;
}

QByteArray frame(int major, const QByteArray &id, const QByteArray &payload)
{
    return id + (major >= 4 ? syncsafe(payload.size()) : be32(payload.size())) + QByteArray(2, '\0') + payload;
}

QByteArray id3(int major, const QByteArray &frames)
{
    return "ID3" + QByteArray(1, char(major)) + QByteArray(2, '\0') + syncsafe(frames.size()) + frames;
}

QByteArray flacBlock(int type, const QByteArray &data, bool last = false)
{
    return char(type | (last ? 0x80 : 0)) + be32(data.size()).sliced(1) + data;
}

QByteArray flacPicture(const QByteArray &picture)
{
    return be32(3) + be32(9) + "image/png" + be32(0) + QByteArray(16, '\0') + be32(picture.size()) + picture;
}

const QByteArray flacHead = "fLaC" + flacBlock(0, QByteArray(34, '\x11'));

QByteArray atom(const QByteArray &type, const QByteArray &content)
{
    return be32(8 + content.size()) + type + content;
}

QByteArray covr(const QByteArray &picture)
{
    return atom("covr", atom("data", be32(14) + be32(0) + picture));
}

QByteArray mp4(const QByteArray &covrAtoms)
{
    return atom("ftyp", "M4A ") + atom("moov", atom("udta", atom("meta", be32(0) + atom("ilst", covrAtoms))));
}

// Records the largest single read: QIODevice::read(n) allocates n bytes before it asks us.
class RecordingBuffer : public QBuffer
{
public:
    using QBuffer::QBuffer;
    qint64 largestRead = 0;

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        largestRead = qMax(largestRead, maxSize);
        return QBuffer::readData(data, maxSize);
    }
};

QImage read(Reader reader, QByteArray bytes, qint64 *largestRead = nullptr)
{
    RecordingBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    const QImage image = reader == Id3    ? CoverReader::readId3v2Picture(buffer)
                       : reader == Flac ? CoverReader::readFlacPicture(buffer)
                                        : CoverReader::readMp4Picture(buffer);
    if (largestRead)
        *largestRead = buffer.largestRead;
    return image;
}

} // namespace

class CoverReaderTest : public QObject
{
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    // Every row, hostile ones included, must also finish quickly and never ask the device for
    // more bytes than it holds (a lying size field must not become an allocation).
    void handMadeTags_data()
    {
        QTest::addColumn<int>("reader");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("side"); // of the picture expected; 0 for none

        // The plain ways in are the truncation cases' whole files.
        const QByteArray apic20 = apic(png(20));
        QTest::newRow("id3v2.4 syncsafe frame size") << +Id3 << id3(4, frame(4, "APIC", apic20)) << 20;
        QTest::newRow("id3 undecodable picture, then a good one")
            << +Id3 << id3(3, frame(3, "TIT2", title) + frame(3, "APIC", apic(junk)) + frame(3, "APIC", apic20)) << 20;
        QTest::newRow("id3 utf-16 description")
            << +Id3 << id3(3, frame(3, "APIC", apic(png(9), 1, QByteArray("\xff\xfe" "C\0o\0v\0e\0r\0", 12)))) << 9;
        QTest::newRow("id3 padding first") << +Id3 << id3(3, QByteArray(10, '\0') + frame(3, "APIC", apic20)) << 0;
        QTest::newRow("id3 frame larger than the tag") << +Id3 << id3(3, "APIC" + be32(0xffffffff) + QByteArray(2, 0) + apic20) << 0;
        QTest::newRow("id3 tag size of 256 MiB") << +Id3 << QByteArray("ID3\x03\0\0\x7f\x7f\x7f\x7f", 10) + "TIT2" << 0;
        QTest::newRow("id3 apic without mime end") << +Id3 << id3(3, frame(3, "APIC", QByteArray("\0image/png", 10))) << 0;
        QByteArray flood;
        for (int i = 0; i < 500000; ++i)
            flood += frame(3, "APIC", QByteArray("\0\0\x03\0\x89PNG", 8));
        QTest::newRow("id3 half a million undecodable pictures") << +Id3 << id3(3, flood + frame(3, "APIC", apic20)) << 0;

        QTest::newRow("flac padding and an undecodable picture, then a good one last")
            << +Flac << flacHead + flacBlock(1, QByteArray(100, '\0')) + flacBlock(6, flacPicture(junk))
                   + flacBlock(6, flacPicture(png(20)), true) << 20;
        QTest::newRow("flac malformed picture, then a good one")
            << +Flac << flacHead + flacBlock(6, be32(3) + be32(0x7fffffff) + "image/png") + flacBlock(6, flacPicture(png(20))) << 20;
        QTest::newRow("flac nothing after the last block")
            << +Flac << "fLaC" + flacBlock(0, QByteArray(34, '\0'), true) + flacBlock(6, flacPicture(png(20))) << 0;
        QTest::newRow("flac endless empty blocks") << +Flac << flacHead + QByteArray(8 << 20, '\0') + flacBlock(6, flacPicture(png(9))) << 0;

        QTest::newRow("mp4 undecodable covr, then a good one") << +Mp4 << mp4(covr(junk) + covr(png(20))) << 20;
        QTest::newRow("mp4 data too far from covr, then a good one")
            << +Mp4 << mp4("covr" + QByteArray(13, ' ') + atom("data", be32(0) + be32(0) + png(9)) + covr(png(20))) << 20;
        QTest::newRow("mp4 data atom under 16 bytes") << +Mp4 << "covr" + be32(15) + "data" + QByteArray(40, '\0') + covr(png(9)) << 0;
        QTest::newRow("mp4 32 MiB of covr") << +Mp4 << QByteArray("covr").repeated(8 << 20) << 0;
    }
    void handMadeTags()
    {
        QFETCH(int, reader);
        QFETCH(QByteArray, bytes);
        QFETCH(int, side);
        QElapsedTimer timer;
        timer.start();
        qint64 largestRead = 0;
        QCOMPARE(read(Reader(reader), bytes, &largestRead).size(), QSize(side, side));
        // Linear scans take well under a second even under AddressSanitizer; a quadratic one takes minutes.
        QCOMPARE_LE(timer.elapsed(), 10000);
        QCOMPARE_LE(largestRead, bytes.size());
    }

    void everyTruncationIsNull_data()
    {
        QTest::addColumn<int>("reader");
        QTest::addColumn<QByteArray>("bytes");
        // The picture ends each file, so only the whole file holds all of it.
        QTest::newRow("id3") << +Id3 << id3(3, frame(3, "TIT2", title) + frame(3, "APIC", apic(png(9), 0, "d")));
        QTest::newRow("flac") << +Flac << flacHead + flacBlock(6, flacPicture(png(9)), true);
        QTest::newRow("mp4") << +Mp4 << mp4(covr(png(9)));
    }
    void everyTruncationIsNull()
    {
        QFETCH(int, reader);
        QFETCH(QByteArray, bytes);
        QCOMPARE(read(Reader(reader), bytes).size(), QSize(9, 9));
        for (qsizetype length = 0; length < bytes.size(); ++length)
            QVERIFY2(read(Reader(reader), bytes.first(length)).isNull(), qPrintable(QString::number(length)));
    }

    void extensionPicksTheReader_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("found");

        const QByteArray tag = id3(4, frame(4, "APIC", apic(png(9))));
        const QByteArray flac = flacHead + flacBlock(6, flacPicture(png(9)), true);
        const QByteArray m4a = mp4(covr(png(9)));
        for (const char *name : {"b.MP3", "c.wav", "no_dot", "e.flac", "f.m4a"})
            QTest::addRow("id3 in %s", name) << QString::fromLatin1(name) << tag << true;
        QTest::newRow("flac as flac") << "h.Flac" << flac << true;
        for (const char *name : {"i.wav", "dir.flac/track"})
            QTest::addRow("flac in %s", name) << QString::fromLatin1(name) << flac << false;
        for (const char *name : {"m.MP4", "n.alac"})
            QTest::addRow("mp4 in %s", name) << QString::fromLatin1(name) << m4a << true;
        for (const char *name : {"q.mp3", "r.flac"})
            QTest::addRow("mp4 in %s", name) << QString::fromLatin1(name) << m4a << false;
    }
    void extensionPicksTheReader()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, found);
        const QString path = dir_.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QCOMPARE(CoverReader::extractCover(writeTestFile(path, bytes)).size(), found ? QSize(9, 9) : QSize(0, 0));
    }

    // A data atom ending at the scan limit is found; one byte further, it is not.
    void covrOnlyWithinTheFirst32MiB()
    {
        const QByteArray atoms = covr(png(9));
        for (const qint64 ending : {CoverReader::kMaxScanBytes, CoverReader::kMaxScanBytes + 1}) {
            QFile file(dir_.filePath(QStringLiteral("big%1.m4a").arg(ending)));
            // Sparse: the zeros in front cost no disk.
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(ending - atoms.size()) && file.seek(file.size()));
            QCOMPARE(file.write(atoms), atoms.size());
            file.close();
            QCOMPARE(CoverReader::extractCover(file.fileName()).isNull(), ending > CoverReader::kMaxScanBytes);
        }
    }

    void nothingToReadGivesNull()
    {
        QVERIFY(CoverReader::extractCover(dir_.filePath(QStringLiteral("missing.mp3"))).isNull());
        // Opening a FIFO would block the thumbnail thread until someone writes to it.
        const QString fifo = dir_.filePath(QStringLiteral("pipe.flac"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QVERIFY(CoverReader::extractCover(fifo).isNull());
        QCOMPARE(AudioHeader::bitDepth(fifo), 0);
    }

    // Files as ffmpeg writes them: the cover, a solid rgb(200, 40, 40), and the stored depth,
    // which the engine's decoded sample format hides (24 bits decode to 32).
    void ffmpegFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("cover");
        QTest::addColumn<int>("depth");
        QTest::newRow("MP3, ID3v2.3") << "cover_id3v23.mp3" << true << 0;
        QTest::newRow("MP3, ID3v2.4") << "cover_id3v24.mp3" << true << 0;
        QTest::newRow("16-bit FLAC") << "cover.flac" << true << 16;
        QTest::newRow("AAC in M4A") << "cover.m4a" << true << 0;
        QTest::newRow("24-bit FLAC") << "hires_24.flac" << false << 24;
        QTest::newRow("ALAC in M4A") << "alac_24.m4a" << false << 24;
        QTest::newRow("extensible WAV") << "wav_24.wav" << false << 24;
        QTest::newRow("MP3 without a cover") << "plain.mp3" << false << 0;
    }
    void ffmpegFiles()
    {
        QFETCH(QString, name);
        QFETCH(bool, cover);
        QFETCH(int, depth);
        const QString path = TestMedia::path(name);
        const QImage image = CoverReader::extractCover(path);
        QCOMPARE(image.size(), cover ? QSize(300, 300) : QSize(0, 0));
        if (cover) {
            const QColor centre = image.pixelColor(150, 150);
            QVERIFY2(qAbs(centre.red() - 200) <= 8 && qAbs(centre.green() - 40) <= 8 && qAbs(centre.blue() - 40) <= 8,
                     qPrintable(centre.name()));
        }
        QCOMPARE(AudioHeader::bitDepth(path), depth);
        const QByteArray bytes = readTestFile(path);
        // Any cut through the header gives the depth or nothing, never a made-up one.
        for (qsizetype cut = 0; cut < qMin<qsizetype>(bytes.size(), 4096); cut += 7) {
            QByteArray head = bytes.left(cut);
            QBuffer buffer(&head);
            QVERIFY(buffer.open(QIODevice::ReadOnly));
            const int found = AudioHeader::bitDepth(buffer);
            QVERIFY2(found == 0 || found == depth, qPrintable(QString::number(cut)));
        }
    }
};

QTEST_GUILESS_MAIN(CoverReaderTest)
#include "tst_cover_reader.moc"
