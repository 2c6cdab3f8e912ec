// The playlist: M3U files (what is written, what is read back, what a hostile playlist or file
// name cannot do) and the panel (the current mark through reordering, playlists loaded from disk).
#include "TestFiles.h"
#include "ui/playlist/M3uFile.h"
#include "ui/playlist/PlaylistWidget.h"

#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class PlaylistTest : public QObject
{
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void savedPlaylistLoadsTheSame()
    {
        QCOMPARE(M3uFile::text({QStringLiteral("/m/a b.mp3")}), QByteArray("#EXTM3U\n#EXTINF:-1,a b\n/m/a b.mp3\n"));

        const QStringList paths = {QStringLiteral("/m/a b.mp3"), QStringLiteral("/음악/콤마, 곡.live.flac"),
                                   QStringLiteral("https://example.org/live.m3u8")};
        const QString file = dir_.filePath(QStringLiteral("list.m3u"));
        QVERIFY(M3uFile::save(file, paths).ok);
        QString error;
        QCOMPARE(M3uFile::load(file, &error), std::optional<QStringList>(paths));
    }

    // A line break in a name would end its entry early and start one of the name's choosing.
    void lineBreakInANameAddsNoEntry()
    {
        const QString file = dir_.filePath(QStringLiteral("evil.m3u"));
        const M3uFile::Saved saved = M3uFile::save(file, {QStringLiteral("/m/x\n/etc/passwd"), QStringLiteral("/m/y\r.mp3"),
                                                          QStringLiteral("/m/ok.mp3")});
        QCOMPARE(saved.skipped, 2);
        QString error;
        QCOMPARE(M3uFile::load(file, &error), std::optional<QStringList>(QStringList{QStringLiteral("/m/ok.mp3")}));
    }

    void entriesOfAForeignPlaylist()
    {
        const QByteArray text = "\xEF\xBB\xBF#EXTM3U\r\n\r\n#EXTINF:123,Artist - Song\r\n  sub/song.flac  \r\n"
                                "../up.mp3\n/abs/film.mkv\nrtsp://cam/1\n# a comment\n";
        QCOMPARE(M3uFile::entries(text, QStringLiteral("/lists/mine")),
                 (QStringList{"/lists/mine/sub/song.flac", "/lists/up.mp3", "/abs/film.mkv", "rtsp://cam/1"}));
    }

    void onlyRegularFilesOfSaneSizeAreRead()
    {
        QString error;
        QVERIFY(!M3uFile::load(dir_.filePath(QStringLiteral("missing.m3u")), &error));
        QVERIFY(!error.isEmpty());

        const QString fifo = dir_.filePath(QStringLiteral("fifo.m3u"));
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        error.clear();
        QVERIFY(!M3uFile::load(fifo, &error)); // returns at once instead of waiting for a writer
        QVERIFY(!error.isEmpty());

        const QString huge = writeTestFile(dir_.filePath(QStringLiteral("huge.m3u")), {}, M3uFile::kMaxBytes + 1);
        QVERIFY(!M3uFile::load(huge, &error));

        const M3uFile::Saved saved = M3uFile::save(dir_.filePath(QStringLiteral("no/such/folder/x.m3u")), {"/a.mp3"});
        QVERIFY(!saved.ok && !saved.error.isEmpty());
    }

    void currentMarkFollowsReordering_data()
    {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("destination");
        QTest::addColumn<int>("currentAfter");
        QTest::newRow("current dragged to the end") << 1 << 1 << 4 << 3;
        QTest::newRow("row from below moved above") << 1 << 3 << 0 << 2;
        QTest::newRow("row from above moved below") << 2 << 0 << 4 << 1;
        QTest::newRow("unrelated rows") << 0 << 2 << 4 << 0;
    }
    void currentMarkFollowsReordering()
    {
        QFETCH(int, current);
        QFETCH(int, from);
        QFETCH(int, destination);
        QFETCH(int, currentAfter);
        PlaylistWidget widget;
        for (const char *name : {"/m/a.mkv", "/m/b.mkv", "/m/c.mkv", "/m/d.mkv"})
            widget.addFile(QLatin1String(name));
        const QString marked = widget.files().at(current);
        widget.onItemDoubleClicked(widget.list()->item(current));
        QVERIFY(widget.list()->model()->moveRow(QModelIndex(), from, QModelIndex(), destination));
        QCOMPARE(widget.currentIndex(), currentAfter);
        QCOMPARE(widget.files().at(currentAfter), marked);
        QCOMPARE(widget.list()->item(currentAfter)->text(), QStringLiteral("▶  ") + QFileInfo(marked).fileName());
    }

    void loadedPlaylistAppends()
    {
        QTemporaryDir dir;
        const QString m3u =
            writeTestFile(dir.filePath(QStringLiteral("list.m3u")), "\n#EXTM3U\n#EXTINF:-1,a\n/m/a.mkv\nrel/b.mp3\n");
        PlaylistWidget widget;
        widget.addFile(QStringLiteral("/m/first.mkv"));
        QVERIFY(widget.loadPlaylist(m3u));
        QCOMPARE(widget.files(), (QStringList{"/m/first.mkv", "/m/a.mkv", dir.filePath(QStringLiteral("rel/b.mp3"))}));
        QVERIFY(!widget.loadPlaylist(dir.filePath(QStringLiteral("missing.m3u"))));
        QCOMPARE(widget.files().size(), 3);
    }
};

QTEST_MAIN(PlaylistTest)
#include "tst_playlist.moc"
