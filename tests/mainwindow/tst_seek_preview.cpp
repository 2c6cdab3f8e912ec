// The seek-bar preview: in the player's window, the picture of the hovered moment (not the one
// playing), built on the first hover and released when idle, while playback goes on untouched;
// the time alone where there are no pictures; chapter titles; the cache of recent pictures.
#include "FakeEngineSession.h"
#include "ShownEngine.h"
#include "WindowKit.h"
#include "engine/PreviewEngine.h"
#include "ui/controls/ClickSeekSlider.h"
#include "ui/controls/ControlBar.h"
#include "ui/controls/MediaText.h"
#include "ui/controls/PreviewPictureCache.h"
#include "ui/controls/SeekPreviewManager.h"
#include "ui/controls/SeekPreviewWidget.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <optional>

namespace {
// colours_20s.mp4 shows red, green, blue and white, five seconds each.
constexpr double kStretch = 5.0;
const QStringList kClipColours{QStringLiteral("red"), QStringLiteral("green"), QStringLiteral("blue"),
                               QStringLiteral("white")};

int stretchAt(double seconds)
{
    return std::clamp(int(seconds / kStretch), 0, int(kClipColours.size()) - 1);
}

// The clip colour the middle of `image` shows, or "other".
QString colourOf(const QImage &image)
{
    const QImage middle = image.copy(image.rect().adjusted(image.width() / 4, image.height() / 4,
                                                           -image.width() / 4, -image.height() / 4))
                              .scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QColor c = middle.pixelColor(0, 0);
    if (c.red() > 200 && c.green() > 200 && c.blue() > 200)
        return QStringLiteral("white");
    if (c.red() > 180 && c.green() < 60 && c.blue() < 60)
        return QStringLiteral("red");
    if (c.green() > 90 && c.red() < 60 && c.blue() < 60)
        return QStringLiteral("green");
    if (c.blue() > 180 && c.red() < 60 && c.green() < 60)
        return QStringLiteral("blue");
    return QStringLiteral("other");
}

// The slider point whose moment is closest to `seconds` of `duration`.
QPoint pointFor(ClickSeekSlider *slider, double seconds, double duration)
{
    const int wanted = int(seconds / duration * slider->maximum());
    QPoint best(0, slider->height() / 2);
    for (int x = 0; x < slider->width(); ++x) {
        const QPoint point(x, slider->height() / 2);
        if (std::abs(slider->positionToValue(point) - wanted) < std::abs(slider->positionToValue(best) - wanted))
            best = point;
    }
    return best;
}
// The pointer moved over `widget` to `point`, through the window as the platform reports it
// (enter and leave included), handled before this returns.
void hover(QWidget *widget, const QPoint &point)
{
    QTest::mouseMove(widget->window()->windowHandle(), widget->mapTo(widget->window(), point));
}
} // namespace

class SeekPreviewTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { store().clear(); }

    void showsTheHoveredMomentWithoutDisturbingPlayback()
    {
        MainWindow window;
        QVERIFY(openAndWait(window, QStringLiteral("colours_20s.mp4")));
        MpvCore *core = window.videoSurface()->core();
        core->setMpvProperty(QStringLiteral("loop-file"), QStringLiteral("inf")); // plays on throughout
        ControlBar *bar = window.controlBar();
        SeekPreviewManager *preview = bar->seekPreview();
        QVERIFY(window.findChildren<PreviewEngine *>().isEmpty()); // nothing before the first hover
        QVERIFY(!preview->card());

        QSignalSpy shown(preview, &SeekPreviewManager::pictureShown);
        QSignalSpy seeks(bar, &ControlBar::seeked);
        const double duration = core->duration();
        // Two stretches away from the one playing, so the playing picture can never pass for it.
        for (const int ahead : {2, 3}) {
            const int stretch = (stretchAt(core->position()) + ahead) % int(kClipColours.size());
            const QPoint point = pointFor(bar->seekSlider(), (stretch + 0.5) * kStretch, duration);
            const double hovered = bar->seekSlider()->positionToValue(point) / double(bar->seekSlider()->maximum()) * duration;
            hover(bar->seekSlider(), point);
            QVERIFY(QTest::qWaitFor([&] {
                return !shown.isEmpty() && std::abs(shown.last().at(0).toDouble() - hovered) < 0.01;
            }, 15000));
            SeekPreviewWidget *card = preview->card();
            QVERIFY(card->isVisible());
            QCOMPARE(card->timeText(), MediaText::formatTime(hovered));
            const QImage onScreen = shownPicture(*card).copy(card->pictureRect());
            QCOMPARE(colourOf(onScreen), kClipColours.at(stretch));
            const QString playing = colourOf(shownPicture(*window.videoSurface()));
            QVERIFY2(playing != kClipColours.at(stretch), qPrintable(playing));
            QCOMPARE(window.findChildren<PreviewEngine *>().size(), 1);
        }

        hover(window.videoSurface(), window.videoSurface()->rect().center());
        QTRY_VERIFY(!preview->card()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(window.findChildren<PreviewEngine *>().isEmpty(),
                                 SeekPreviewManager::kReleaseAfterMs + 10000);
        // Hovering asked the playing engine for nothing: it never sought and went on playing.
        QCOMPARE(seeks.count(), 0);
        QVERIFY(!core->isPaused());
        const double before = core->position();
        QTRY_VERIFY(std::abs(core->position() - before) > 0.5);
    }

    void answersEachMomentInTurn()
    {
        // A pointer resting on one moment after another: each is asked once the one before has
        // come, and each must come, the picture of its own keyframe (the clip has one a second).
        PreviewEngine engine;
        QVERIFY(engine.isReady());
        std::optional<PreviewPicture> got;
        connect(&engine, &PreviewEngine::pictureReady, this, [&](const PreviewPicture &picture) { got = picture; });
        const QString clip = TestMedia::path(QStringLiteral("colours_20s.mp4"));
        for (const double seconds : {12.5, 2.5, 17.5, 7.5, 13.2, 3.7, 18.1, 8.4, 0.5, 16.6, 11.3, 6.2}) {
            got.reset();
            engine.request(clip, seconds);
            QVERIFY2(QTest::qWaitFor([&] { return got.has_value(); }, 4500), qPrintable(QString::number(seconds)));
            QCOMPARE(got->askedSeconds, seconds);
            QVERIFY2(got->shownSeconds <= seconds + 0.05 && got->shownSeconds > seconds - 1.05,
                     qPrintable(QString::number(got->shownSeconds)));
            QCOMPARE(colourOf(got->image), kClipColours.at(stretchAt(seconds)));
        }
    }

    void showsTheTimeOnlyWithoutPictures_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("engineDecides"); // only opening the file tells
        QTest::newRow("http stream") << QStringLiteral("http://127.0.0.1:9/film.mp4") << false;
        QTest::newRow("rtsp stream") << QStringLiteral("rtsp://127.0.0.1:9/live") << false;
        QTest::newRow("audio file") << TestMedia::path(QStringLiteral("cover.flac")) << false;
        QTest::newRow("sound under a film's name") << QStringLiteral("song.mkv") << true;
        QTest::newRow("file that does not open") << TestMedia::path(QStringLiteral("truncated.mp4")) << true;
    }

    void showsTheTimeOnlyWithoutPictures()
    {
        QFETCH(QString, path);
        QFETCH(bool, engineDecides);
        QTemporaryDir folder;
        if (path == QLatin1String("song.mkv")) {
            path = folder.filePath(path);
            QVERIFY(QFile::copy(TestMedia::path(QStringLiteral("plain.mp3")), path));
        }
        FakeEngine engine = makeFakeEngine();
        ControlBar bar;
        bar.connectToCore(engine.core.get());
        bar.resize(900, bar.height());
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        bar.setDuration(20);
        bar.onFileLoaded(path);

        hover(bar.seekSlider(), pointFor(bar.seekSlider(), 10, 20));
        SeekPreviewWidget *card = bar.seekPreview()->card();
        QVERIFY(card && card->isVisible());
        QCOMPARE(card->timeText(), QStringLiteral("00:10"));
        if (engineDecides)
            QTRY_VERIFY_WITH_TIMEOUT(!card->showsPicture(), 10000);
        else
            QVERIFY(!bar.seekPreview()->engine()); // not even built
        QVERIFY(!card->showsPicture());
        hover(bar.seekSlider(), pointFor(bar.seekSlider(), 15, 20));
        QCOMPARE(card->timeText(), QStringLiteral("00:15"));
        QVERIFY(!card->showsPicture());
    }

    void namesTheChapterBesideTheTime()
    {
        ControlBar bar;
        bar.resize(900, bar.height());
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        bar.setDuration(90);
        bar.onFileLoaded(QStringLiteral("http://127.0.0.1:9/film.mp4"));
        // In the engine's order, which need not be the time order.
        bar.setChapters({{60, QStringLiteral("셋째")}, {10, QStringLiteral("첫째")}, {30, QStringLiteral("둘째")}}, 90);
        const std::pair<double, QString> hovers[] = {{5, QString()}, {45, QStringLiteral("둘째")}, {75, QStringLiteral("셋째")}};
        for (const auto &[seconds, title] : hovers) {
            hover(bar.seekSlider(), pointFor(bar.seekSlider(), seconds, 90));
            QCOMPARE(bar.seekPreview()->card()->chapterTitle(), title);
        }
    }

    void cacheCoversTheMomentsOfEachKeyframe()
    {
        PreviewPictureCache cache;
        cache.setFile(QStringLiteral("/films/a.mkv"));
        QImage first(8, 8, QImage::Format_RGB32);
        first.fill(Qt::red);
        cache.insert(10.0, 11.5, first); // asked 11.5, the keyframe before it is at 10
        double keyframe = 0;
        QCOMPARE(cache.find(10.7, &keyframe), first);
        QCOMPARE(keyframe, 10.0);
        QVERIFY(cache.find(9.9).isNull());
        QVERIFY(cache.find(11.6).isNull()); // a later keyframe may lie there
        cache.insert(10.0, 13.0, first);    // the same keyframe asked from further on
        QCOMPARE(cache.find(12.9), first);
        QCOMPARE(cache.size(), 1);

        // Full: the least recently shown goes; the oldest, shown again, counts as recent.
        for (int i = 1; i < PreviewPictureCache::kCapacity; ++i)
            cache.insert(100.0 + i, 100.5 + i, first);
        QVERIFY(!cache.find(10.5).isNull());
        cache.insert(500.0, 500.0, first);
        QCOMPARE(cache.size(), PreviewPictureCache::kCapacity);
        QVERIFY(cache.find(101.2).isNull());
        QVERIFY(!cache.find(10.5).isNull());
        QVERIFY(!cache.find(500.0).isNull());
        cache.setFile(QStringLiteral("/films/b.mkv"));
        QCOMPARE(cache.size(), 0);
    }
};

QTEST_MAIN(SeekPreviewTest)
#include "tst_seek_preview.moc"
