// The chapter panel's rules (merging, names, geometry) and the pictures of the chapter cards.
#include "FakeEngineSession.h"
#include "TestMedia.h"
#include "engine/MpvCore.h"
#include "ui/chapters/ChapterThumbnailer.h"
#include "ui/chapters/ChapterTimeline.h"
#include "ui/chapters/ChapterWidget.h"
#include "ui/chapters/ThumbnailStrip.h"

#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <cmath>

namespace {
QVariantMap chapter(double time, const QString &title)
{
    return {{QStringLiteral("time"), time}, {QStringLiteral("title"), title}};
}

QStringList titles(const QList<ChapterEntry> &entries)
{
    QStringList result;
    for (const ChapterEntry &entry : entries)
        result << QStringLiteral("%1 %2").arg(entry.time).arg(entry.title);
    return result;
}
} // namespace

class ChaptersTest : public QObject
{
    Q_OBJECT

private slots:
    // Bookmarks survive a reload of the file's chapters; untitled chapters (also the engine's
    // "(unnamed)") are named after the place they take among all entries; file chapters cannot
    // be deleted.
    void chaptersMergeWithBookmarks()
    {
        FakeEngine engine = makeFakeEngine();
        ChapterWidget panel(engine.core.get());
        QSignalSpy changed(&panel, &ChapterWidget::chaptersChanged);
        panel.addBookmark(65.4);
        engine.fake->properties.insert(QStringLiteral("chapter-list"),
                                       QVariantList{chapter(120, {}), chapter(0, QStringLiteral("Opening")),
                                                    chapter(300, QStringLiteral("(unnamed)"))});
        panel.loadChapters();
        panel.loadChapters(); // a second load replaces the file's chapters, keeps the bookmark
        QCOMPARE(titles(panel.entries()),
                 (QStringList{"0 Opening", "65.4 북마크 01:05", "120 챕터 2", "300 챕터 4"}));
        QCOMPARE(changed.size(), 3);

        panel.removeBookmark(0);
        panel.list()->setCurrentRow(2);
        QVERIFY(!panel.findChild<QPushButton *>(QStringLiteral("btnDel"))->isEnabled());
        panel.list()->setCurrentRow(1);
        QVERIFY(panel.findChild<QPushButton *>(QStringLiteral("btnDel"))->isEnabled());
        panel.removeBookmark(1);
        QCOMPARE(panel.entries().size(), 3);
        QVERIFY(!panel.entries().at(1).isBookmark);

        engine.fake->properties.insert(QStringLiteral("chapter-list"), QVariantList{});
        panel.addBookmark(3600);
        panel.loadChapters();
        QCOMPARE(titles(panel.entries()), QStringList{"3600 북마크 1:00:00"});

        QSignalSpy seeks(&panel, &ChapterWidget::seekRequested);
        panel.jumpToChapter(0);
        panel.jumpToChapter(1);
        QCOMPARE(seeks.size(), 1);
    }

    void timelineAndStripGeometry_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("width");
        QTest::addColumn<double>("seekTo");
        QTest::newRow("left of the track") << 3 << 220 << 0.0;
        QTest::newRow("middle") << 110 << 220 << 50.0;
        QTest::newRow("right of the track") << 219 << 220 << 100.0;
        QTest::newRow("no track at 20 px") << 15 << 20 << 0.0;
        QTest::newRow("narrower than its margins") << 5 << 8 << 0.0;
    }
    void timelineAndStripGeometry()
    {
        QFETCH(int, x);
        QFETCH(int, width);
        QFETCH(double, seekTo);
        const double t = ChapterTimeline::timeAt(x, width, 100.0);
        QVERIFY(std::isfinite(t));
        QCOMPARE(t, seekTo);

        QCOMPARE(ThumbnailStrip::firstCardX(3, 600), 112);
        QCOMPARE(ThumbnailStrip::cardAt(112 + 128 + 119, 3, 600), 1);
        QCOMPARE(ThumbnailStrip::cardAt(112 + 128 + 121, 3, 600), -1); // the gap between cards
        // Forty cards do not fit 600 px: the first starts at the left edge, the last is reachable.
        QVERIFY(ThumbnailStrip::firstCardX(40, 600) >= 0);
        ThumbnailStrip strip;
        QList<ChapterEntry> many(40);
        strip.setEntries(many);
        QCOMPARE(ThumbnailStrip::cardAt(strip.minimumWidth() - 20, 40, strip.minimumWidth()), 39);
    }

    // Each chapter's card shows its own moment of the film.
    void cardsShowTheirChapters()
    {
        ChapterThumbnailer thumbnailer;
        QSignalSpy ready(&thumbnailer, &ChapterThumbnailer::thumbnailReady);
        const QString clip = TestMedia::path(QStringLiteral("chapters_3.mkv"));
        thumbnailer.start(clip, {0.0, 3.0, 6.0});
        QTRY_COMPARE_WITH_TIMEOUT(ready.size(), 3, 30000);
        QList<QImage> pictures;
        for (const QList<QVariant> &result : ready) {
            pictures << result.at(2).value<QImage>();
            QCOMPARE(pictures.last().size(), ThumbnailStrip::kImageSize);
        }
        QVERIFY(pictures.at(0) != pictures.at(1));
        QVERIFY(pictures.at(1) != pictures.at(2));

        // A new file drops what was pending for the old one.
        thumbnailer.start(clip, {1.0, 2.0, 4.0});
        thumbnailer.start(TestMedia::path(QStringLiteral("clip_320x240.mp4")), {1.0});
        QTRY_COMPARE_WITH_TIMEOUT(ready.size(), 4, 30000);
        QTest::qWait(500);
        QCOMPARE(ready.size(), 4);
        QCOMPARE(ready.last().at(0).toString(), TestMedia::path(QStringLiteral("clip_320x240.mp4")));
    }
};

QTEST_MAIN(ChaptersTest)
#include "tst_chapters.moc"
