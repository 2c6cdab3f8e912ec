// The track lists against a fake engine: texts and selection from "track-list", and which
// engine writes a rebuild or a choice makes.
#include "FakeEngineSession.h"
#include "engine/MpvCore.h"
#include "ui/controls/TrackSelector.h"

#include <QComboBox>
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
} // namespace

class TrackSelectorTest : public QObject
{
    Q_OBJECT

    FakeEngineSession *fake_ = nullptr;
    std::unique_ptr<MpvCore> core_;
    std::unique_ptr<TrackSelector> selector_;

    void setTracks(const QVariantList &tracks, const QVariant &aid, const QVariant &sid)
    {
        fake_->properties.insert(QStringLiteral("track-list"), tracks);
        fake_->properties.insert(QStringLiteral("aid"), aid);
        fake_->properties.insert(QStringLiteral("sid"), sid);
    }

    QStringList trackWrites() const
    {
        QStringList writes;
        for (const FakeEngineSession::Write &write : fake_->writes)
            if (write.name == QLatin1String("aid") || write.name == QLatin1String("sid"))
                writes << write.name + QLatin1Char('=') + write.value.toString();
        return writes;
    }

private slots:
    void init()
    {
        FakeEngine engine = makeFakeEngine();
        fake_ = engine.fake;
        core_ = std::move(engine.core);
        QVERIFY(core_->isInitialized());
        selector_ = std::make_unique<TrackSelector>();
        selector_->connectToCore(core_.get());
    }

    void cleanup()
    {
        selector_.reset();
        core_.reset();
    }

    void lists_data()
    {
        QTest::addColumn<QVariantList>("tracks");
        QTest::addColumn<QVariant>("aid");
        QTest::addColumn<QVariant>("sid");
        QTest::addColumn<QStringList>("items"); // audio items, "|", subtitle items
        QTest::addColumn<int>("audioIndex");
        QTest::addColumn<int>("subtitleIndex");
        QTest::newRow("film, second audio and the subtitle without language")
            << filmTracks() << QVariant(2) << QVariant(2)
            << QStringList{"1: AC3 6ch [eng] - Main", "2: AAC 2ch [und]", "|", "자막 없음", "1: [kor] - 한국어", "2: [und]"}
            << 1 << 2;
        QTest::newRow("subtitles off reads as the flag false")
            << filmTracks() << QVariant(1) << QVariant(false)
            << QStringList{"1: AC3 6ch [eng] - Main", "2: AAC 2ch [und]", "|", "자막 없음", "1: [kor] - 한국어", "2: [und]"}
            << 0 << 0;
        QTest::newRow("channel count unknown")
            << QVariantList{track("audio", 1, {{"codec", "mp3"}, {"lang", "jpn"}})} << QVariant(1) << QVariant("no")
            << QStringList{"1: MP3 [jpn]", "|", "자막 없음"} << 0 << 0;
        QTest::newRow("no audio") << QVariantList{track("video", 1, {})} << QVariant(false) << QVariant()
                                  << QStringList{"오디오 없음", "|", "자막 없음"} << 0 << 0;
    }

    void lists()
    {
        QFETCH(QVariantList, tracks);
        QFETCH(QVariant, aid);
        QFETCH(QVariant, sid);
        QFETCH(QStringList, items);
        QFETCH(int, audioIndex);
        QFETCH(int, subtitleIndex);
        setTracks(tracks, aid, sid);
        selector_->onTracksChanged();
        QCOMPARE(itemsOf(selector_->audioList()) + QStringList{"|"} + itemsOf(selector_->subtitleList()), items);
        QCOMPARE(selector_->audioList()->currentIndex(), audioIndex);
        QCOMPARE(selector_->subtitleList()->currentIndex(), subtitleIndex);
    }

    // Rebuilding because the engine said so must never echo its selection back to it.
    void rebuildsFromEngineSignalsWithoutWriting()
    {
        setTracks(filmTracks(), 1, false);
        fake_->queuePropertyChange(QStringLiteral("track-list"), EngineEvent::Format::Node, filmTracks());
        core_->onMpvEvents();
        QCOMPARE(selector_->audioList()->count(), 2);
        setTracks(filmTracks(), 2, 1);
        fake_->queueEvent(EngineEvent::Type::FileLoaded);
        core_->onMpvEvents();
        QCOMPARE(selector_->audioList()->currentIndex(), 1);
        QCOMPARE(selector_->subtitleList()->currentIndex(), 1);
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

    void noAudioPlaceholderWritesNothing()
    {
        setTracks({}, false, false);
        selector_->onTracksChanged();
        selector_->onAudioTrackChanged(0);
        QVERIFY(trackWrites().isEmpty());
    }
};

QTEST_MAIN(TrackSelectorTest)
#include "tst_track_selector.moc"
