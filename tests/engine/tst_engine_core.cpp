// The engine object's own logic against a fake engine: set-up order, event dispatch, commands,
// the audio-format description and the spectrum's bounds.
#include "FakeEngineSession.h"
#include "engine/AudioFormat.h"
#include "engine/MpvCore.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <algorithm>

using Format = EngineEvent::Format;

class EngineCoreTest : public QObject
{
    Q_OBJECT

    FakeEngineSession *fake_ = nullptr;
    std::unique_ptr<MpvCore> core_;

    void makeCore(bool initialise = true)
    {
        FakeEngine engine = makeFakeEngine(initialise);
        fake_ = engine.fake;
        core_ = std::move(engine.core);
        QCOMPARE(core_->isInitialized(), initialise);
    }

private slots:
    void init() { QSettings(QStringLiteral("Velmoran"), QStringLiteral("VelmoranPlayer")).clear(); }

    void initialisation()
    {
        makeCore(false);
        QVERIFY(core_->initialize(0));
        // Before the engine starts: the output and the fixed options; everything else after.
        for (qsizetype i = 0; i < fake_->writes.size(); ++i)
            QCOMPARE(fake_->writes.at(i).kind, QLatin1String(i < 7 ? "option" : "string"));
        QCOMPARE(fake_->valuesWritten("audio-exclusive"), QVariantList{QStringLiteral("yes")});
        QVERIFY(fake_->observed.contains(QStringLiteral("video-codec")) && fake_->wakeupInstalled);
        fake_->clearRecords();
        QVERIFY(core_->initialize(0)); // a second call changes nothing
        QVERIFY(fake_->writes.isEmpty());

        QSettings settings(QStringLiteral("Velmoran"), QStringLiteral("VelmoranPlayer"));
        settings.setValue("video/gpu_api", "d3d12");
        settings.setValue("audio/exclusive", false);
        makeCore(false);
        QVERIFY(core_->initialize(0));
        QCOMPARE(fake_->namesWritten().mid(0, 4), (QStringList{"vo", "gpu-api", "scale", "dscale"}));
        QCOMPARE(fake_->valuesWritten("audio-exclusive"), QVariantList{QStringLiteral("no")});

        makeCore(false);
        QVERIFY(core_->initialize(0x1234));
        QCOMPARE(fake_->valuesWritten("wid"), QVariantList{QStringLiteral("4660")});
        QCOMPARE(fake_->valuesWritten("vo"), QVariantList{QStringLiteral("gpu")});
        QVERIFY(!fake_->namesWritten().contains(QStringLiteral("gpu-api")));

        // An engine that failed to start is left alone, and reads as neutral values.
        makeCore(false);
        fake_->initializeResult = -1;
        QVERIFY(!core_->initialize(0));
        QVERIFY(!core_->isInitialized());
        fake_->clearRecords();
        QSignalSpy stopped(core_.get(), &MpvCore::playbackStopped);
        core_->loadFile(QStringLiteral("/a.mkv"));
        core_->play();
        core_->stop();
        core_->seek(10);
        core_->setVolume(50);
        core_->setMpvProperty(QStringLiteral("volume"), 10);
        QVERIFY(fake_->writes.isEmpty() && fake_->commands.isEmpty() && stopped.isEmpty());
        QVERIFY(core_->volume() == 100 && core_->isPaused() && core_->position() == 0.0);
        QVERIFY(!core_->getMpvProperty(QStringLiteral("path")).isValid());
    }

    void commandsAndWrites()
    {
        makeCore();
        core_->seek(-5, true);
        core_->seek(90.5);
        core_->togglePause();
        core_->loadFile(QStringLiteral("/b.mkv"), true);
        QCOMPARE(fake_->commands, (QList<QStringList>{{"seek", "-5.000", "relative"}, {"seek", "90.500", "absolute"},
                                                      {"cycle", "pause"}, {"loadfile", "/b.mkv", "append-play"}}));
        QVERIFY(fake_->valuesWritten("audio-channels").isEmpty()); // append mode makes no audio decisions

        core_->loadFile(QStringLiteral("/a.mkv"));
        QCOMPARE(fake_->commands.last(), (QStringList{"loadfile", "/a.mkv", "replace"}));
        QCOMPARE(fake_->valuesWritten("audio-channels"), QVariantList{QStringLiteral("auto")});

        fake_->properties["volume"] = 99.9;
        QCOMPARE(core_->volume(), 99);

        fake_->clearRecords();
        core_->setMpvProperty(QStringLiteral("sub-delay"), 0.25);
        core_->setMpvProperty(QStringLiteral("sid"), 3);
        core_->setMpvProperty(QStringLiteral("mute"), true);
        core_->setMpvProperty(QStringLiteral("ignored"), QPoint(1, 1));
        QStringList kinds;
        for (const FakeEngineSession::Write &write : fake_->writes)
            kinds << write.name + ':' + write.kind;
        QCOMPARE(kinds, (QStringList{"sub-delay:double", "sid:int64", "mute:flag"}));
    }

    void propertyChangesBecomeSignals()
    {
        makeCore();
        QSignalSpy position(core_.get(), &MpvCore::positionChanged);
        QSignalSpy started(core_.get(), &MpvCore::playbackStarted);
        QSignalSpy paused(core_.get(), &MpvCore::playbackPaused);
        QSignalSpy volume(core_.get(), &MpvCore::volumeChanged);
        QSignalSpy ended(core_.get(), &MpvCore::playbackEnded);
        fake_->queuePropertyChange("time-pos", Format::Double, 12.5);
        fake_->queuePropertyChange("time-pos", Format::Unavailable); // property gone: ignored
        fake_->queuePropertyChange("pause", Format::Flag, true);
        fake_->queuePropertyChange("pause", Format::Flag, false);
        fake_->queuePropertyChange("volume", Format::Double, 57.9);
        fake_->queuePropertyChange("eof-reached", Format::Flag, false);
        fake_->queuePropertyChange("eof-reached", Format::Flag, true);
        fake_->queueEndFile(EngineEvent::EndReason::Eof);
        fake_->queueEndFile(EngineEvent::EndReason::Stop);
        core_->onMpvEvents();
        QCOMPARE(position, (QList<QVariantList>{{12.5}}));
        QVERIFY(paused.size() == 1 && started.size() == 1 && volume.at(0).at(0).toInt() == 57);
        QCOMPARE(ended.size(), 1); // one end, seen both as "eof-reached" and as the end event

        // Sought back from the end and played out again; then the next file ends.
        fake_->queuePropertyChange("eof-reached", Format::Flag, false);
        fake_->queuePropertyChange("eof-reached", Format::Flag, true);
        fake_->queueStartFile(2);
        fake_->queueEndFile(EngineEvent::EndReason::Eof);
        core_->onMpvEvents();
        QCOMPARE(ended.size(), 3);

        // A restart is a start only when playing, not after a seek in a paused file.
        started.clear();
        for (const bool paused : {true, false}) {
            fake_->properties["pause"] = paused;
            fake_->queueEvent(EngineEvent::Type::PlaybackRestart);
            core_->onMpvEvents();
            QCOMPARE(started.size(), paused ? 0 : 1);
        }
    }

    void fileLoadUnpausesAndRefreshesLateProperties()
    {
        makeCore();
        QSignalSpy loaded(core_.get(), &MpvCore::fileLoaded);
        QSignalSpy duration(core_.get(), &MpvCore::durationChanged);
        QSignalSpy format(core_.get(), &MpvCore::audioFormatChanged);
        QSignalSpy tracks(core_.get(), &MpvCore::tracksChanged);
        fake_->properties = {{"path", "/m/곡.flac"}, {"duration", 200.0}, {"audio-codec-name", "flac"},
                             {"audio-channels", "stereo"}, {"audio-samplerate", 96000}, {"current-ao", "pulse"},
                             {"pause", true}};
        fake_->queueEvent(EngineEvent::Type::FileLoaded);
        core_->onMpvEvents();
        QCOMPARE(loaded.at(0).at(0).toString(), QStringLiteral("/m/곡.flac"));
        QCOMPARE(fake_->commands.first(), (QStringList{"set", "pause", "no"}));

        // A property change falls back to the output's name; the refresh reports the raw format.
        fake_->queuePropertyChange("audio-codec-name", Format::String, "flac");
        core_->onMpvEvents();
        QCOMPARE(format.at(0), (QVariantList{"flac", 2, 96000, "pulse"}));
        QTRY_COMPARE(format.size(), 2);
        QCOMPARE(format.at(1), (QVariantList{"flac", 2, 96000, ""}));
        QCOMPARE(duration.at(0).at(0).toDouble(), 200.0);
        QCOMPARE(tracks.size(), 1);
    }

    void channelText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("channels");
        QTest::newRow("mono") << "mono" << 1;
        QTest::newRow("5.1(side)") << "5.1(side)" << 6;
        QTest::newRow("4.0") << "4.0" << 0;
    }
    void channelText()
    {
        QFETCH(QString, text);
        QFETCH(int, channels);
        QCOMPARE(channelCountFromText(text), channels);
    }

    void videoPropertiesDriveRenderDecisions()
    {
        makeCore();
        QSignalSpy video(core_.get(), &MpvCore::videoInfoChanged);
        fake_->properties["video-params/w"] = 0; // audio only
        fake_->queuePropertyChange("video-params/w", Format::Int64, 0);
        core_->onMpvEvents();
        QCOMPARE(video.size(), 0);
        QVERIFY(fake_->writes.isEmpty());

        fake_->properties = {{"video-params/w", 640}, {"video-params/h", 360}, {"container-fps", 25.0},
                             {"video-codec", "h264"}, {"hwdec", "no"}};
        fake_->queuePropertyChange("video-codec", Format::String, "h264");
        core_->onMpvEvents();
        QCOMPARE(video.at(0), (QVariantList{640, 360, 25.0, "h264"}));
        // 640x360 on the default 1920x1080 display is a 3x upscale on a Medium GPU.
        QCOMPARE(fake_->valuesWritten("scale"), QVariantList{QStringLiteral("ewa_lanczossharp")});
        QCOMPARE(fake_->valuesWritten("hwdec"), QVariantList{QStringLiteral("d3d11va")});
        QVERIFY(!fake_->valuesWritten("video-sync").isEmpty());
    }

    void tracksComeFromTheTrackList()
    {
        makeCore();
        const QVariantList list{
            QVariantMap{{"id", 1}, {"type", "video"}, {"codec", "h264"}},
            QVariantMap{{"id", 1}, {"type", "audio"}, {"codec", "ac3"}, {"lang", "eng"}, {"title", "Main"}},
            QVariantMap{{"id", 2}, {"type", "audio"}, {"codec", "aac"}},
            QVariantMap{{"id", 1}, {"type", "sub"}, {"codec", "subrip"}, {"lang", "kor"}}};
        fake_->properties["track-list"] = list;
        QCOMPARE(core_->audioTracks(), (QList<MediaTrack>{{1, "eng", "Main", "ac3"}, {2, "", "", "aac"}}));
        QCOMPARE(core_->subtitleTracks(), (QList<MediaTrack>{{1, "kor", "", "subrip"}}));
    }

    // The bars stay within 0..1 however loud, and sink to nothing while paused, when they stop
    // coming until playback goes on.
    void spectrumStaysInRangeAndSinks()
    {
        makeCore();
        QSignalSpy ready(core_.get(), &MpvCore::spectrumReady);
        core_->setSpectrumEnabled(true);
        const auto lastBins = [&] { return ready.last().at(0).value<QList<float>>(); };
        fake_->properties["volume"] = 200.0;
        fake_->properties["pause"] = false;
        for (int i = 0; i < 200; ++i)
            core_->onSpectrumTick();
        QCOMPARE(lastBins().size(), 32);
        QVERIFY(std::ranges::all_of(lastBins(), [](float value) { return value >= 0.0f && value <= 1.0f; }));
        fake_->properties["pause"] = true;
        for (int i = 0; i < 200; ++i)
            core_->onSpectrumTick();
        QVERIFY(std::ranges::all_of(lastBins(), [](float value) { return value == 0.0f; }));
        const auto *timer = core_->findChild<QTimer *>(QStringLiteral("spectrumTimer"));
        QVERIFY(!timer->isActive());
        fake_->queuePropertyChange(QStringLiteral("pause"), EngineEvent::Format::Flag, false);
        core_->onMpvEvents();
        QVERIFY(timer->isActive());
    }
};

QTEST_GUILESS_MAIN(EngineCoreTest)
#include "tst_engine_core.moc"
