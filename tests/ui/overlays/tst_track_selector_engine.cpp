// The track lists against real libmpv: a generated file with two audio tracks and a subtitle
// track, the lists the engine's "track-list" produces, and choices read back from the engine.
#include "TestMedia.h"
#include "engine/MpvCore.h"
#include "ui/controls/TrackSelector.h"

#include <QComboBox>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace {
QStringList itemsOf(const QComboBox *list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

// A track property that is switched off reads back as the flag false.
bool isOff(const QVariant &value)
{
    return value.typeId() == QMetaType::Bool ? !value.toBool() : value.toString() == QLatin1String("no");
}
} // namespace

class TrackSelectorEngineTest : public QObject
{
    Q_OBJECT

private slots:
    void realTrackList()
    {
        QWidget window;
        window.resize(640, 300);
        auto *layout = new QVBoxLayout(&window);
        auto *video = new QWidget(&window);
        video->setAttribute(Qt::WA_NativeWindow);
        layout->addWidget(video, 1);
        auto *selector = new TrackSelector(&window);
        layout->addWidget(selector);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        MpvCore core;
        QVERIFY(core.initialize(qint64(video->winId())));
        selector->connectToCore(&core);
        QSignalSpy loaded(&core, &MpvCore::fileLoaded);
        core.loadFile(TestMedia::path(QStringLiteral("tracks.mkv")));
        QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 1, 10000);

        const QStringList audio{"1: AC3 6ch [eng] - Main", "2: AAC 2ch [und]"};
        QTRY_COMPARE_WITH_TIMEOUT(itemsOf(selector->audioList()), audio, 5000);
        QCOMPARE(itemsOf(selector->subtitleList()), (QStringList{"자막 없음", "1: [und]"}));
        // The engine picks the first audio track itself and leaves this subtitle (not flagged
        // as default) off.
        QTRY_COMPARE(selector->audioList()->currentIndex(), 0);
        QCOMPARE(selector->subtitleList()->currentIndex(), 0);
        QVERIFY(isOff(core.getMpvProperty(QStringLiteral("sid"))));

        selector->subtitleList()->setCurrentIndex(1);
        QTRY_COMPARE(core.getMpvProperty(QStringLiteral("sid")).toInt(), 1);

        selector->audioList()->setCurrentIndex(1);
        QTRY_COMPARE(core.getMpvProperty(QStringLiteral("aid")).toInt(), 2);

        selector->subtitleList()->setCurrentIndex(0);
        QTRY_VERIFY(isOff(core.getMpvProperty(QStringLiteral("sid"))));
        QTest::qWait(300);
        // The engine's own change notices rebuilt the lists; the choices survived them.
        QCOMPARE(itemsOf(selector->audioList()), audio);
        QCOMPARE(selector->audioList()->currentIndex(), 1);
        QCOMPARE(selector->subtitleList()->currentIndex(), 0);
    }
};

QTEST_MAIN(TrackSelectorEngineTest)
#include "tst_track_selector_engine.moc"
