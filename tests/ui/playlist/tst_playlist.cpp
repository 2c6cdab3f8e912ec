// The playlist: M3U files (what is written, what is read back from other tools, what a hostile
// playlist or file name cannot do) and the panel (cover icons on their rows only, the current
// mark through reordering, playlists loaded from disk with names shown as they are).
#include "ShownText.h"
#include "TestFiles.h"
#include "TestMedia.h"
#include "ui/playlist/M3uFile.h"
#include "ui/playlist/PlaylistWidget.h"

#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {
// A cover is a 48 × 48 picture; the audio placeholder is drawn from SVG at any size.
bool showsCover(const PlaylistWidget &widget, int row)
{
    return widget.list()->item(row)->icon().availableSizes() == QList<QSize>{QSize(48, 48)};
}
} // namespace

class PlaylistTest : public QObject
{
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    // A line break in a name would end its entry early and start one of the name's choosing, so
    // such a name is not written.
    void savedPlaylistLoadsTheSame()
    {
        QCOMPARE(M3uFile::text({QStringLiteral("/m/a b.mp3")}), QByteArray("#EXTM3U\n#EXTINF:-1,a b\n/m/a b.mp3\n"));
        const QStringList paths = {QStringLiteral("/m/a b.mp3"), QStringLiteral("/음악/콤마, 곡.live.flac"),
                                   QStringLiteral("https://example.org/live.m3u8")};
        const QString file = dir_.filePath(QStringLiteral("list.m3u"));
        const M3uFile::Saved saved = M3uFile::save(file, {paths.at(0), "/m/x\n/etc/passwd", paths.at(1), "/m/y\r.mp3", paths.at(2)});
        QVERIFY(saved.ok);
        QCOMPARE(saved.skipped, 2);
        QString error;
        QCOMPARE(M3uFile::load(file, &error), std::optional<QStringList>(paths));
    }

    // Entries as the playlist at /lists/mine names them.
    void entriesOfAForeignPlaylist_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("Windows tool") << QByteArray("\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:123,Artist - Song\r\n..\\Music\\a b.mp3\r\n"
                                                    "sub\\c.flac  \r\nC:\\Music\\d.mp3\r\n")
                                      << QStringList{"/lists/Music/a b.mp3", "/lists/mine/sub/c.flac", "C:\\Music\\d.mp3"};
        QTest::newRow("relative and absolute") << QByteArray("sub/song.flac\n../up.mp3\n/abs/film.mkv\n./x/../y.ogg")
                                               << QStringList{"/lists/mine/sub/song.flac", "/lists/up.mp3", "/abs/film.mkv",
                                                              "/lists/mine/y.ogg"};
        QTest::newRow("addresses") << QByteArray("rtsp://cam/1\nhttps://example.org/a.mp3?x=1\nfile:///m/a%20b.mp3\n")
                                   << QStringList{"rtsp://cam/1", "https://example.org/a.mp3?x=1", "/m/a b.mp3"};
        QTest::newRow("Linux names keep their spaces") << QByteArray("/m/song.mp3 \n  two  spaces.flac\n")
                                                       << QStringList{"/m/song.mp3 ", "/lists/mine/  two  spaces.flac"};
        QTest::newRow("blank, header and comment lines") << QByteArray("\n#EXTM3U\n \t \n  # note\n/m/a.mp3\n#EXTINF:-1,a")
                                                         << QStringList{"/m/a.mp3"};
    }
    void entriesOfAForeignPlaylist()
    {
        QFETCH(QByteArray, text);
        QTEST(M3uFile::entries(text, QStringLiteral("/lists/mine")), "entries");
    }

    void onlyRegularFilesOfSaneSizeAreRead()
    {
        // A pipe must fail at once instead of waiting for a writer.
        QCOMPARE(mkfifo(QFile::encodeName(dir_.filePath(QStringLiteral("fifo.m3u"))).constData(), 0600), 0);
        writeTestFile(dir_.filePath(QStringLiteral("huge.m3u")), {}, M3uFile::kMaxBytes + 1);
        for (const char *name : {"missing.m3u", "fifo.m3u", "huge.m3u"}) {
            QString error;
            QVERIFY2(!M3uFile::load(dir_.filePath(QLatin1String(name)), &error) && !error.isEmpty(), name);
        }
        // Millions of short lines fit in that size: the first entries come, and a notice says so.
        const QString many = writeTestFile(dir_.filePath(QStringLiteral("many.m3u")),
                                           QByteArray("/m/a.mp3\n").repeated(M3uFile::kMaxEntries + 3));
        QString error;
        QCOMPARE(M3uFile::load(many, &error)->size(), M3uFile::kMaxEntries);
        QVERIFY(!error.isEmpty());

        const M3uFile::Saved saved = M3uFile::save(dir_.filePath(QStringLiteral("no/such/folder/x.m3u")), {"/a.mp3"});
        QVERIFY(!saved.ok && !saved.error.isEmpty());
    }

    void coversArriveOnTheirRowsOnly()
    {
        PlaylistWidget widget;
        const QString cover = TestMedia::path(QStringLiteral("cover.flac"));
        const QString plain = TestMedia::path(QStringLiteral("plain.mp3"));
        widget.addFile(cover);
        widget.addFile(plain);
        QTRY_VERIFY(showsCover(widget, 0));
        QTest::qWait(200);
        QVERIFY(!showsCover(widget, 1)); // no cover: keeps the audio icon

        // Cleared while a cover is read: nothing lands on the rows that follow.
        widget.clearPlaylist();
        widget.addFile(TestMedia::path(QStringLiteral("cover.m4a")));
        widget.clearPlaylist();
        widget.addFile(plain);
        QTest::qWait(500);
        QVERIFY(!showsCover(widget, 0));
        // Read once: a file added again shows its cover at once, without a job of its own.
        widget.addFile(cover);
        QVERIFY(showsCover(widget, 1));
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
        const QString m3u =
            writeTestFile(dir_.filePath(QStringLiteral("appended.m3u")), "\n#EXTM3U\n#EXTINF:-1,a\n/m/<b>a</b>.mkv\nrel/b.mp3\n");
        PlaylistWidget widget;
        widget.addFile(QStringLiteral("/m/first.mkv"));
        QVERIFY(widget.loadPlaylist(m3u));
        QCOMPARE(widget.files(), (QStringList{"/m/first.mkv", "/m/<b>a</b>.mkv", dir_.filePath(QStringLiteral("rel/b.mp3"))}));
        // A name is shown as it is, whatever markup it looks like.
        QCOMPARE(shownToolTip(widget.list()->item(1)->toolTip()), QStringLiteral("/m/<b>a</b>.mkv"));
        QVERIFY(!widget.loadPlaylist(dir_.filePath(QStringLiteral("missing.m3u"))));
        QCOMPARE(widget.files().size(), 3);
    }
};

QTEST_MAIN(PlaylistTest)
#include "tst_playlist.moc"
