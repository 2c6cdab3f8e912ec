#include "library/PictureCache.h"
#include "platform/MemoryRelease.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
double residentMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        qFatal("no /proc/self/status");
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    qFatal("no VmRSS");
}

QPixmap picture(int side)
{
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::red);
    return pixmap;
}
} // namespace

class MemoryTest : public QObject
{
    Q_OBJECT
private slots:
    // First, before freed pictures leave room in the heap that a large block would reuse. glibc
    // alone would serve the second block from its heap (the first one's release raises its mapping
    // threshold) and keep it after the free.
    void largeBlocksGoBackWhenFreed()
    {
        MemoryRelease::configureAllocator();
        constexpr size_t kMiB = 1024 * 1024;
        std::free(std::memset(std::malloc(4 * kMiB), 1, 4 * kMiB));
        void *second = std::memset(std::malloc(3 * kMiB), 1, 3 * kMiB);
        const double held = residentMiB();
        std::free(second);
        QVERIFY2(held - residentMiB() > 2.5, qPrintable(QString::number(held - residentMiB())));
    }

    void pictureCacheKeepsToCountAndBytes_data()
    {
        QTest::addColumn<int>("maxCount");
        QTest::addColumn<int>("maxKiB");
        QTest::addColumn<int>("side");
        QTest::addColumn<int>("kept");
        // 16 × 16 × 4 bytes = 1 KiB, 256 × 256 × 4 = 256 KiB, 1024 × 1024 × 4 = 4 MiB.
        QTest::newRow("small pictures: the count binds") << 10 << 10240 << 16 << 10;
        QTest::newRow("large pictures: the bytes bind") << 100 << 1024 << 256 << 4;
        QTest::newRow("one picture above the whole budget") << 10 << 1024 << 1024 << 0;
    }

    void pictureCacheKeepsToCountAndBytes()
    {
        QFETCH(int, maxCount);
        QFETCH(int, maxKiB);
        QFETCH(int, side);
        QFETCH(int, kept);
        PictureCache cache(maxCount, qsizetype(maxKiB) * 1024);
        constexpr int kInserted = 25;
        for (int i = 0; i < kInserted; ++i)
            cache.insert(QString::number(i), picture(side));
        QCOMPARE(cache.count(), kept);
        // The newest are the ones kept.
        for (int i = 0; i < kInserted; ++i)
            QCOMPARE(cache.contains(QString::number(i)), i >= kInserted - kept);
        if (kept < 2)
            return;
        // A picture just shown outlives one that was not.
        const QString oldest = QString::number(kInserted - kept);
        QVERIFY(cache.find(oldest));
        cache.insert(QStringLiteral("new"), picture(side));
        QVERIFY(cache.contains(oldest));
        QVERIFY(!cache.contains(QString::number(kInserted - kept + 1)));
        QCOMPARE(cache.count(), kept);
    }

    // Memory another thread freed stays with the process until a trim, which a burst of file
    // changes asks for once.
    void freedMemoryGoesBackOnceFilesSettle()
    {
        constexpr int kBlocks = 3072;
        constexpr size_t kBlockBytes = 16 * 1024; // below the size glibc maps on its own
        std::vector<void *> kept;
        QThread *worker = QThread::create([&kept] {
            std::vector<void *> blocks;
            for (int i = 0; i < kBlocks; ++i)
                blocks.push_back(std::memset(std::malloc(kBlockBytes), 1, kBlockBytes));
            // Every 64th block stays, as live objects do between freed ones: the free space lies
            // in the middle of the arena, where only a trim can give it back.
            for (int i = 0; i < kBlocks; ++i)
                (i % 64 == 63 ? kept.push_back(blocks[i]) : std::free(blocks[i]));
        });
        const double before = residentMiB();
        worker->start();
        QVERIFY(worker->wait(30000));
        delete worker;
        const double freed = residentMiB();
        QVERIFY2(freed - before > 36, qPrintable(QString::number(freed - before)));

        MemoryRelease release;
        QSignalSpy released(&release, &MemoryRelease::released);
        for (int i = 0; i < 50; ++i)
            release.releaseSoon();
        QVERIFY(released.wait(10000));
        QCOMPARE(released.count(), 1);
        QVERIFY2(freed - residentMiB() > 36, qPrintable(QString::number(freed - residentMiB())));
        for (void *block : kept)
            std::free(block);
    }
};

QTEST_MAIN(MemoryTest)
#include "tst_memory.moc"
