// The library page as a user meets it: folders added, kept and removed, searching, opening a
// file, and covers that arrive after the list has changed under them.
#include "library/MediaLibraryWidget.h"

#include "TestMedia.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList shownNames(const QListView *view)
{
    QStringList names;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        names << view->model()->index(row, 0).data().toString();
    return names;
}

// Covers are solid red; the audio placeholder is a light outline.
bool showsCover(const QModelIndex &index)
{
    const QPixmap icon = index.data(Qt::DecorationRole).value<QPixmap>();
    return !icon.isNull() && icon.toImage().pixelColor(icon.width() / 2, icon.height() / 2).red() > 150;
}

} // namespace

class MediaLibraryTest : public QObject
{
    Q_OBJECT
private slots:
    void foldersSearchAndOpening()
    {
        QTemporaryDir dir;
        for (const char *name : {"Alpha.One.mkv", "beta.mp4", "notes.txt", "zeta.mp3"})
            QFile(dir.filePath(QLatin1String(name))).open(QIODevice::WriteOnly);
        QVERIFY(QFile::copy(TestMedia::path(QStringLiteral("plain.mp3")), dir.filePath(QStringLiteral("alphabet.mp3"))));
        {
            MediaLibraryWidget widget;
            QVERIFY(widget.addFolder(dir.path()));
            QTRY_VERIFY(!widget.isScanning());
            QVERIFY(!widget.addFolder(dir.path())); // already there: no second scan
            QVERIFY(!widget.isScanning());
        }

        // Kept for the next start, which rescans at once.
        MediaLibraryWidget widget;
        widget.resize(600, 400);
        widget.show();
        QCOMPARE(widget.libraryFolders(), QStringList{dir.path()});
        QTRY_COMPARE(widget.videoFiles().size(), 2);
        QCOMPARE(widget.audioFiles().size(), 2);

        // Typed into the box; the other tab takes the text up when it is shown.
        const QString counts = widget.statusLabel()->text();
        QTest::keyClicks(widget.searchEdit(), QStringLiteral("ALPHA"));
        QTRY_COMPARE(shownNames(widget.videoList()), QStringList{QStringLiteral("Alpha.One")});
        widget.tabs()->setCurrentWidget(widget.audioList());
        QCOMPARE(shownNames(widget.audioList()), QStringList{QStringLiteral("alphabet")});
        widget.onSearch(QStringLiteral("nothing like it"));
        QCOMPARE(widget.audioList()->model()->rowCount(), 0);
        QCOMPARE(widget.statusLabel()->text(), counts);

        widget.searchEdit()->clear();
        widget.onSearch({});
        QSignalSpy requested(&widget, &MediaLibraryWidget::fileRequested);
        const QModelIndex first = widget.audioList()->model()->index(0, 0);
        QTRY_VERIFY(widget.audioList()->visualRect(first).isValid());
        const QPoint at = widget.audioList()->visualRect(first).center();
        QTest::mouseClick(widget.audioList()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(widget.audioList()->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(requested.size(), 1);
        QCOMPARE(requested.at(0).at(0).toString(), widget.audioFiles().at(0));

        // Removed through the folder list: the lists empty, and the next start has no folder.
        QCOMPARE(widget.folderList()->currentData().toString(), dir.path());
        widget.onRemoveFolder();
        QVERIFY(widget.videoFiles().isEmpty() && widget.videoList()->model()->rowCount() == 0);
        QVERIFY(MediaLibraryWidget().libraryFolders().isEmpty());
    }

    void lateCoversLandOnlyOnTheirFile()
    {
        QTemporaryDir dir;
        const QString covered = dir.filePath(QStringLiteral("covered.flac"));
        QVERIFY(QFile::copy(TestMedia::path(QStringLiteral("cover.flac")), covered));
        QVERIFY(QFile::copy(TestMedia::path(QStringLiteral("plain.mp3")), dir.filePath(QStringLiteral("plain.mp3"))));
        MediaLibraryWidget widget;
        widget.tabs()->setCurrentWidget(widget.audioList());
        widget.addFolder(dir.path());
        QTRY_COMPARE(widget.audioFiles().size(), 2);
        QAbstractItemModel *model = widget.audioList()->model();
        const int coverRow = widget.audioFiles().indexOf(covered);

        // The row is drawn, its cover is asked for, and the search leaves another file in that
        // place before the cover is read.
        QVERIFY(!showsCover(model->index(coverRow, 0)));
        widget.onSearch(QStringLiteral("plain"));
        QTRY_VERIFY(widget.hasThumbnail(covered));
        QTest::qWait(200);
        QVERIFY(!showsCover(model->index(0, 0)));

        widget.onSearch({});
        QVERIFY(showsCover(model->index(coverRow, 0)));
        QVERIFY(!showsCover(model->index(1 - coverRow, 0)));
    }
};

QTEST_MAIN(MediaLibraryTest)
#include "tst_media_library.moc"
