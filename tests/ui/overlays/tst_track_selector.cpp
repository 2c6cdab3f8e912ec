// The track lists: against a fake engine, which engine writes a rebuild or a choice makes; against real libmpv, a generated file with two audio tracks
// and a subtitle track, and choices read back from the engine.
#include "FakeEngineSession.h"
#include "ShownEngine.h"
#include "TestMedia.h"
#include "engine/MpvCore.h"
#include "ui/controls/TrackSelector.h"

#include <QComboBox>
#include <QSignalSpy>
#include <QTest>

namespace {
QVariantMap track(const QString &type, int id, QVariantMap fields = {})
{
    fields.insert(QStringLiteral("type"), type);
    fields.insert(QStringLiteral("id"), qlonglong(id));
    return fields;
}

QStringList itemsOf(const QComboBox *list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

QVariantList filmTracks()
{
    return {track("video", 1, {{"codec", "h264"}}),
            track("audio", 1, {{"codec", "ac3"}, {"demux-channel-count", 6}, {"lang", "eng"}, {"title", "Main"}}),
            track("audio", 2, {{"codec", "aac"}, {"demux-channel-count", 2}}),
            track("sub", 1, {{"lang", "kor"}, {"title", "한국어"}}), track("sub", 2, {{"lang", ""}})};
}

// A track property that is switched off reads back as the flag false.
bool isOff(const QVariant &value)
{
    return value.typeId() == QMetaType::Bool ? !value.toBool() : value.toString() == QLatin1String("no");
}
} // namespace

class TrackSelectorTest : public QObject
{
    Q_OBJECT

    FakeEngine engine_;
    std::unique_ptr<TrackSelector> selector_;

    void setTracks(const QVariantList &tracks, const QVariant &aid, const QVariant &sid)
    {
        engine_.fake->properties.insert(QStringLiteral("track-list"), tracks);
        engine_.fake->properties.insert(QStringLiteral("aid"), aid);
        engine_.fake->properties.insert(QStringLiteral("sid"), sid);
    }

    QStringList trackWrites() const
    {
        QStringList writes;
        for (const FakeEngineSession::Write &write : engine_.fake->writes)
            if (write.name == QLatin1String("aid") || write.name == QLatin1String("sid"))
                writes << write.name + QLatin1Char('=') + write.value.toString();
        return writes;
    }

private slots:
    void init()
    {
        engine_ = makeFakeEngine();
        selector_ = std::make_unique<TrackSelector>();
        selector_->connectToCore(engine_.core.get());
    }

    void cleanup()
    {
        selector_.reset();
        engine_.core.reset();
    }

    // Rebuilding because the engine said so must never echo its selection back to it.
    void rebuildsFromEngineSignalsWithoutWriting()
    {
        setTracks(filmTracks(), 1, false);
        engine_.fake->queuePropertyChange(QStringLiteral("track-list"), EngineEvent::Format::Node, filmTracks());
        engine_.core->onMpvEvents();
        QCOMPARE(selector_->audioList()->count(), 2);
        setTracks(filmTracks(), 2, 1);
        engine_.fake->queueEvent(EngineEvent::Type::FileLoaded);
        engine_.core->onMpvEvents();
        QCOMPARE(selector_->audioList()->currentIndex(), 1);
        QCOMPARE(selector_->subtitleList()->currentIndex(), 1);
        // Nor does the placeholder of a file without audio stand for a track.
        setTracks({}, false, false);
        selector_->onTracksChanged();
        selector_->onAudioTrackChanged(0);
        QCOMPARE(trackWrites(), QStringList());
    }

    void choices_data()
    {
        QTest::addColumn<bool>("subtitle");
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("writes");
        QTest::newRow("second audio track") << false << 1 << QStringList{"aid=2"};
        QTest::newRow("subtitle by id") << true << 2 << QStringList{"sid=2"};
        QTest::newRow("자막 없음 turns subtitles off") << true << 0 << QStringList{"sid=no"};
    }

    void choices()
    {
        QFETCH(bool, subtitle);
        QFETCH(int, index);
        QFETCH(QStringList, writes);
        setTracks(filmTracks(), 1, 1);
        selector_->onTracksChanged();
        (subtitle ? selector_->subtitleList() : selector_->audioList())->setCurrentIndex(index);
        QCOMPARE(trackWrites(), writes);
    }

    void realTrackList()
    {
        ShownEngine shown;
        QVERIFY(shown.start());
        MpvCore &core = shown.core;
        TrackSelector selector;
        selector.connectToCore(&core);
        QSignalSpy loaded(&core, &MpvCore::fileLoaded);
        core.loadFile(TestMedia::path(QStringLiteral("tracks.mkv")));
        QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 1, 10000);

        const QStringList audio{"1: AC3 6ch [eng] - Main", "2: AAC 2ch [und]"};
        QTRY_COMPARE_WITH_TIMEOUT(itemsOf(selector.audioList()), audio, 5000);
        QCOMPARE(itemsOf(selector.subtitleList()), (QStringList{"자막 없음", "1: [und]"}));
        // The engine picks the first audio track itself and leaves this subtitle (not flagged
        // as default) off.
        QTRY_COMPARE(selector.audioList()->currentIndex(), 0);
        QCOMPARE(selector.subtitleList()->currentIndex(), 0);

        selector.subtitleList()->setCurrentIndex(1);
        QTRY_COMPARE(core.getMpvProperty(QStringLiteral("sid")).toInt(), 1);
        selector.audioList()->setCurrentIndex(1);
        QTRY_COMPARE(core.getMpvProperty(QStringLiteral("aid")).toInt(), 2);
        selector.subtitleList()->setCurrentIndex(0);
        QTRY_VERIFY(isOff(core.getMpvProperty(QStringLiteral("sid"))));
        QTest::qWait(300);
        // The engine's own change notices rebuilt the lists; the choices survived them.
        QCOMPARE(itemsOf(selector.audioList()), audio);
        QCOMPARE(selector.audioList()->currentIndex(), 1);
        QCOMPARE(selector.subtitleList()->currentIndex(), 0);
    }
};

QTEST_MAIN(TrackSelectorTest)
#include "tst_track_selector.moc"
