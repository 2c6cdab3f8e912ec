// The file playlist panel: cover icons off the GUI thread and never on the wrong row, the current
// mark through reordering, and playlists loaded from disk.
#include "TestMedia.h"
#include "ui/playlist/PlaylistWidget.h"

#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {
// A cover is a 48 × 48 picture; the audio placeholder is drawn from SVG at any size.
bool showsCover(const PlaylistWidget &widget, int row)
{
    return widget.list()->item(row)->icon().availableSizes() == QList<QSize>{QSize(48, 48)};
}
} // namespace

class PlaylistWidgetTest : public QObject
{
    Q_OBJECT
private slots:
    void coversArriveOnTheirRowsOnly()
    {
        PlaylistWidget widget;
        const QString cover = TestMedia::path(QStringLiteral("cover.flac"));
        const QString plain = TestMedia::path(QStringLiteral("plain.mp3"));
        widget.addFile(cover);
        widget.addFile(plain);
        widget.addFile(TestMedia::path(QStringLiteral("clip_320x240.mp4")));
        QTRY_VERIFY(showsCover(widget, 0));
        QTest::qWait(200);
        QVERIFY(!showsCover(widget, 1)); // no cover: keeps the audio icon

        // Cleared while a cover is read: nothing lands on the rows that follow.
        widget.clearPlaylist();
        const QString other = TestMedia::path(QStringLiteral("cover.m4a"));
        widget.addFile(other);
        widget.clearPlaylist();
        widget.addFile(plain);
        QTest::qWait(500);
        QVERIFY(!showsCover(widget, 0));
        // Read once: a file added again shows its cover at once.
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
        QTemporaryDir dir;
        QFile m3u(dir.filePath(QStringLiteral("list.m3u")));
        QVERIFY(m3u.open(QIODevice::WriteOnly));
        m3u.write("\n#EXTM3U\n#EXTINF:-1,a\n/m/a.mkv\nrel/b.mp3\n");
        m3u.close();
        PlaylistWidget widget;
        widget.addFile(QStringLiteral("/m/first.mkv"));
        QVERIFY(widget.loadPlaylist(m3u.fileName()));
        QCOMPARE(widget.files(), (QStringList{"/m/first.mkv", "/m/a.mkv", dir.filePath(QStringLiteral("rel/b.mp3"))}));
        QVERIFY(!widget.loadPlaylist(dir.filePath(QStringLiteral("missing.m3u"))));
        QCOMPARE(widget.files().size(), 3);
    }
};

QTEST_MAIN(PlaylistWidgetTest)
#include "tst_playlist_widget.moc"
