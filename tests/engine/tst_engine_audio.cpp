// Audio-output decisions of MpvCore driven through a fake engine: the passthrough device
// heuristic, the recoveries from a dead audio output, and the exclusive-mode fallback.

#include "FakeEngineSession.h"

#include "engine/MpvCore.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

const QString kDefaultCodecs = QStringLiteral("ac3,eac3,dts,dts-hd,truehd");

struct Engine {
    FakeEngineSession *fake = nullptr;
    std::unique_ptr<MpvCore> core;
};

Engine makeEngine(bool initialise = true)
{
    auto session = std::make_unique<FakeEngineSession>();
    Engine engine;
    engine.fake = session.get();
    engine.core = std::make_unique<MpvCore>(std::move(session));
    engine.core->setEnvironmentDetector([] { return RenderEnvironment{}; });
    if (initialise) {
        engine.core->initialize(0);
        engine.fake->clearRecords();
    }
    return engine;
}

// "kind name=value" for every recorded write, in order.
QStringList described(const FakeEngineSession &fake)
{
    QStringList lines;
    for (const FakeEngineSession::Write &write : fake.writes)
        lines << QStringLiteral("%1 %2=%3").arg(write.kind, write.name, write.value.toString());
    return lines;
}

QVariantMap device(const QString &name, const QString &description)
{
    return {{QStringLiteral("name"), name}, {QStringLiteral("description"), description}};
}

const QVariantList kRealtekFirst = {
    device(QStringLiteral("auto"), QStringLiteral("Autoselect device")),
    device(QStringLiteral("wasapi/{realtek}"), QStringLiteral("Speakers (Realtek High Definition Audio)")),
    device(QStringLiteral("wasapi/{nvidia}"), QStringLiteral("TV (NVIDIA High Definition Audio)")),
};

const QStringList kRecovery = {
    QStringLiteral("string audio-spdif="),
    QStringLiteral("flagAsync pause=false"),
};

} // namespace

Q_DECLARE_METATYPE(EngineEvent::LogLevel)

class TestEngineAudio : public QObject
{
    Q_OBJECT

private slots:
    void passthroughCapability_data();
    void passthroughCapability();
    void deviceListKeepsOnlyDevices();
    void emptyCodecListTurnsPassthroughOff();
    void disabledPassthroughIsLeftAloneOnLoad();
    void appendLoadLeavesAudioOptions();
    void audioDriverFailureRecovers_data();
    void audioDriverFailureRecovers();
    void exclusiveFallback_data();
    void exclusiveFallback();
    void stallWatchdog_data();
    void stallWatchdog();
    void nothingHappensBeforeInitialisation();
};

void TestEngineAudio::passthroughCapability_data()
{
    QTest::addColumn<QVariant>("currentDevice"); // invalid: the engine has no value
    QTest::addColumn<QVariantList>("devices");
    QTest::addColumn<bool>("capable");

    QTest::newRow("auto judges the first wasapi device") << QVariant(QStringLiteral("auto")) << kRealtekFirst << false;
    QTest::newRow("unavailable device counts as auto") << QVariant() << kRealtekFirst << false;
    QTest::newRow("GPU audio over HDMI")
        << QVariant(QStringLiteral("auto"))
        << QVariantList{device(QStringLiteral("wasapi/{tv}"), QStringLiteral("TV (NVIDIA High Definition Audio)"))}
        << true;
    QTest::newRow("optical output")
        << QVariant(QStringLiteral("auto"))
        << QVariantList{device(QStringLiteral("wasapi/{spdif}"), QStringLiteral("Digital Output (S/PDIF)"))} << true;
    QTest::newRow("no devices listed") << QVariant(QStringLiteral("auto")) << QVariantList{} << true;
    QTest::newRow("explicit device is judged, not the first")
        << QVariant(QStringLiteral("wasapi/{nvidia}")) << kRealtekFirst << true;
    QTest::newRow("explicit analogue device behind an HDMI one")
        << QVariant(QStringLiteral("wasapi/{realtek}"))
        << QVariantList{kRealtekFirst.at(2), kRealtekFirst.at(1)} << false;
    QTest::newRow("vanished explicit device falls back to the first wasapi device")
        << QVariant(QStringLiteral("wasapi/{unplugged}")) << kRealtekFirst << false;
    QTest::newRow("names without the wasapi prefix are not a default")
        << QVariant(QStringLiteral("auto"))
        << QVariantList{device(QStringLiteral("pulse/analog"), QStringLiteral("Speakers (Realtek High Definition Audio)"))}
        << true;
}

void TestEngineAudio::passthroughCapability()
{
    QFETCH(QVariant, currentDevice);
    QFETCH(QVariantList, devices);
    QFETCH(bool, capable);
    Engine engine = makeEngine();
    if (currentDevice.isValid())
        engine.fake->properties.insert(QStringLiteral("audio-device"), currentDevice);
    else
        engine.fake->properties.remove(QStringLiteral("audio-device"));
    engine.fake->properties.insert(QStringLiteral("audio-device-list"), devices);

    QCOMPARE(engine.core->isPassthroughCapableDevice(), capable);

    // Passthrough is on by default, so a new file either keeps the codecs or drops them all.
    engine.core->loadFile(QStringLiteral("/media/film.mkv"));
    QCOMPARE(engine.fake->valuesWritten(QStringLiteral("audio-spdif")),
             QVariantList{capable ? kDefaultCodecs : QString()});
}

void TestEngineAudio::deviceListKeepsOnlyDevices()
{
    Engine engine = makeEngine();
    const QVariantMap speakers = device(QStringLiteral("wasapi/{a}"), QStringLiteral("Speakers"));
    engine.fake->properties.insert(QStringLiteral("audio-device-list"),
                                   QVariantList{speakers, QVariantMap{}, QStringLiteral("junk"), 7});
    QCOMPARE(engine.core->audioDevices(), QVariantList{speakers});

    engine.fake->properties.remove(QStringLiteral("audio-device-list"));
    QVERIFY(engine.core->audioDevices().isEmpty());
}

void TestEngineAudio::emptyCodecListTurnsPassthroughOff()
{
    Engine engine = makeEngine();
    engine.core->setPassthroughCodecs({QStringLiteral("ac3"), QStringLiteral("dts")});
    engine.core->setPassthroughCodecs({});
    QCOMPARE(engine.fake->valuesWritten(QStringLiteral("audio-spdif")), (QVariantList{"ac3,dts", ""}));

    engine.fake->clearRecords();
    engine.core->setPassthrough(true);
    engine.core->loadFile(QStringLiteral("/media/film.mkv"));
    QCOMPARE(engine.fake->valuesWritten(QStringLiteral("audio-spdif")), (QVariantList{"", ""}));
}

void TestEngineAudio::disabledPassthroughIsLeftAloneOnLoad()
{
    Engine engine = makeEngine(false);
    engine.core->setPassthrough(false); // remembered until the engine exists
    engine.core->initialize(0);
    engine.fake->clearRecords();

    engine.core->loadFile(QStringLiteral("/media/film.mkv"));
    QVERIFY(engine.fake->valuesWritten(QStringLiteral("audio-spdif")).isEmpty());

    engine.core->setPassthroughCodecs({QStringLiteral("truehd")});
    engine.core->setPassthrough(true);
    QCOMPARE(engine.fake->valuesWritten(QStringLiteral("audio-spdif")), (QVariantList{"truehd", "truehd"}));
}

void TestEngineAudio::appendLoadLeavesAudioOptions()
{
    Engine engine = makeEngine();
    engine.fake->properties.insert(QStringLiteral("audio-device-list"), kRealtekFirst);

    engine.core->loadFile(QStringLiteral("/media/next.mkv"), true);

    QVERIFY(engine.fake->valuesWritten(QStringLiteral("audio-spdif")).isEmpty());
    QVERIFY(engine.fake->valuesWritten(QStringLiteral("audio-channels")).isEmpty());
    QCOMPARE(engine.fake->commands,
             (QList<QStringList>{{"loadfile", "/media/next.mkv", "append-play"}}));
}

void TestEngineAudio::audioDriverFailureRecovers_data()
{
    QTest::addColumn<EngineEvent::LogLevel>("level");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("recovers");

    const QString failure = QStringLiteral("Failed to initialize audio driver 'wasapi'");
    QTest::newRow("error") << EngineEvent::LogLevel::Error << failure << true;
    QTest::newRow("fatal") << EngineEvent::LogLevel::Fatal << failure << true;
    QTest::newRow("warning is only reported") << EngineEvent::LogLevel::Warn << failure << false;
    QTest::newRow("other error") << EngineEvent::LogLevel::Error << QStringLiteral("Could not open device") << false;
}

void TestEngineAudio::audioDriverFailureRecovers()
{
    QFETCH(EngineEvent::LogLevel, level);
    QFETCH(QString, text);
    QFETCH(bool, recovers);
    Engine engine = makeEngine();

    engine.fake->queueLog(level, text);
    engine.core->onMpvEvents();

    QCOMPARE(described(*engine.fake), recovers ? kRecovery : QStringList{});
    QCOMPARE(engine.fake->commands, recovers ? QList<QStringList>{{"ao-reload"}} : QList<QStringList>{});
}

void TestEngineAudio::exclusiveFallback_data()
{
    QTest::addColumn<QString>("exclusive");
    QTest::addColumn<QVariant>("path"); // invalid: the engine has no path
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("reloads");

    const QString fallback = QStringLiteral("WASAPI Exclusive 실패 - 공유 모드로 자동 전환");
    QTest::newRow("exclusive reloads shared") << "yes" << QVariant(QStringLiteral("/media/film.mkv")) << fallback << true;
    QTest::newRow("shared reports the engine") << "no" << QVariant(QStringLiteral("/media/film.mkv"))
                                               << QStringLiteral("fake error -13") << false;
    QTest::newRow("exclusive without a path") << "yes" << QVariant() << QStringLiteral("fake error -13") << false;
}

void TestEngineAudio::exclusiveFallback()
{
    QFETCH(QString, exclusive);
    QFETCH(QVariant, path);
    QFETCH(QString, message);
    QFETCH(bool, reloads);
    Engine engine = makeEngine();
    engine.fake->properties.insert(QStringLiteral("audio-exclusive"), exclusive);
    if (path.isValid())
        engine.fake->properties.insert(QStringLiteral("path"), path);
    else
        engine.fake->properties.remove(QStringLiteral("path"));
    QSignalSpy errors(engine.core.get(), &MpvCore::errorOccurred);

    engine.fake->queueEndFile(EngineEvent::EndReason::Error, -13);
    engine.core->onMpvEvents();

    QCOMPARE(errors.count(), 1);
    QCOMPARE(errors.at(0).at(0).toString(), message);
    QCOMPARE(engine.fake->valuesWritten(QStringLiteral("audio-exclusive")),
             exclusive == QLatin1String("yes") ? QVariantList{"no"} : QVariantList{});
    // The reload waits for the engine to finish with the failed file.
    QVERIFY(engine.fake->commands.isEmpty());
    if (reloads) {
        QTRY_COMPARE_WITH_TIMEOUT(engine.fake->commands, (QList<QStringList>{{"loadfile", path.toString()}}), 2000);
    } else {
        QTest::qWait(300);
        QVERIFY(engine.fake->commands.isEmpty());
    }
}

void TestEngineAudio::stallWatchdog_data()
{
    QTest::addColumn<bool>("paused");
    QTest::addColumn<QVariant>("position"); // invalid: no position yet
    QTest::addColumn<bool>("coreIdle");
    QTest::addColumn<bool>("recovers");

    QTest::newRow("paused by the user") << true << QVariant() << true << false;
    QTest::newRow("stuck before the first frame") << false << QVariant() << true << true;
    QTest::newRow("stuck at the start") << false << QVariant(0.2) << true << true;
    QTest::newRow("already playing") << false << QVariant(1.0) << true << false;
    QTest::newRow("still buffering") << false << QVariant() << false << false;
}

void TestEngineAudio::stallWatchdog()
{
    QFETCH(bool, paused);
    QFETCH(QVariant, position);
    QFETCH(bool, coreIdle);
    QFETCH(bool, recovers);
    Engine engine = makeEngine();
    engine.fake->properties.insert(QStringLiteral("path"), QStringLiteral("/media/film.mkv"));
    engine.fake->queueEvent(EngineEvent::Type::FileLoaded);
    engine.core->onMpvEvents();

    // The load itself unpauses; what the watchdog sees two seconds later is set afterwards.
    engine.fake->properties.insert(QStringLiteral("pause"), paused);
    engine.fake->properties.insert(QStringLiteral("core-idle"), coreIdle);
    if (position.isValid())
        engine.fake->properties.insert(QStringLiteral("time-pos"), position);
    else
        engine.fake->properties.remove(QStringLiteral("time-pos"));
    engine.fake->clearRecords();

    if (recovers) {
        QTRY_VERIFY_WITH_TIMEOUT(!engine.fake->commands.isEmpty(), 4000);
        QCOMPARE(engine.fake->commands, (QList<QStringList>{{"ao-reload"}}));
        QCOMPARE(described(*engine.fake), kRecovery);
    } else {
        QTest::qWait(2500);
        QVERIFY(engine.fake->commands.isEmpty());
        QVERIFY(engine.fake->writes.isEmpty());
    }
}

void TestEngineAudio::nothingHappensBeforeInitialisation()
{
    Engine engine = makeEngine(false);
    engine.fake->properties.insert(QStringLiteral("audio-device-list"), kRealtekFirst);

    QVERIFY(engine.core->audioDevices().isEmpty());
    QVERIFY(engine.core->isPassthroughCapableDevice());
    engine.core->setAudioDevice(QStringLiteral("wasapi/{nvidia}"));
    engine.core->setAudioExclusive(true);
    engine.core->setPassthrough(true);
    engine.core->setPassthroughCodecs({QStringLiteral("ac3")});
    engine.core->loadFile(QStringLiteral("/media/film.mkv"));

    QVERIFY(engine.fake->writes.isEmpty());
    QVERIFY(engine.fake->commands.isEmpty());

    // Codecs chosen before the engine existed are the ones passthrough turns on with.
    engine.core->initialize(0);
    engine.fake->clearRecords();
    engine.core->setPassthrough(true);
    QCOMPARE(engine.fake->valuesWritten(QStringLiteral("audio-spdif")), QVariantList{"ac3"});
}

QTEST_GUILESS_MAIN(TestEngineAudio)
#include "tst_engine_audio.moc"
