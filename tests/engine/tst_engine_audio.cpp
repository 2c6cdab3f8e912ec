// Audio-output decisions of MpvCore driven through a fake engine: the passthrough device
// heuristic, the recoveries from a dead audio output, and the exclusive-mode fallback.

#include "FakeEngineSession.h"

#include "engine/MpvCore.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <vector>

namespace {

struct Engine {
    FakeEngineSession *fake = nullptr;
    std::unique_ptr<MpvCore> core;
    QVariantList written(const QString &name) const { return fake->valuesWritten(name); }
};

Engine makeEngine(bool initialise = true)
{
    FakeEngine made = makeFakeEngine(initialise);
    return Engine{made.fake, std::move(made.core)};
}

// Every recorded command, then every write as "kind name=value", in order.
QStringList described(const FakeEngineSession &fake)
{
    QStringList lines;
    for (const QStringList &command : fake.commands)
        lines << command.join(u' ');
    for (const FakeEngineSession::Write &write : fake.writes)
        lines << QStringLiteral("%1 %2=%3").arg(write.kind, write.name, write.value.toString());
    return lines;
}

QVariantMap device(const QString &name, const QString &description)
{
    return {{QStringLiteral("name"), name}, {QStringLiteral("description"), description}};
}

const QVariantList kRealtekFirst = {device("auto", "Autoselect device"),
                                   device("wasapi/{realtek}", "Speakers (Realtek High Definition Audio)"),
                                   device("wasapi/{nvidia}", "TV (NVIDIA High Definition Audio)")};

const QStringList kRecovery = {"ao-reload", "string audio-spdif=", "flagAsync pause=false"};

} // namespace

Q_DECLARE_METATYPE(EngineEvent::LogLevel)

class TestEngineAudio : public QObject
{
    Q_OBJECT

private slots:
    void passthroughCapability_data()
    {
        QTest::addColumn<QString>("currentDevice");
        QTest::addColumn<QVariantList>("devices");
        QTest::addColumn<bool>("capable");
        QTest::newRow("auto judges the first wasapi device") << "auto" << kRealtekFirst << false;
        QTest::newRow("GPU audio over HDMI") << "auto" << kRealtekFirst.mid(2) << true;
        QTest::newRow("S/PDIF output") << "auto" << QVariantList{device("wasapi/{o}", "S/PDIF Out (USB Audio)")} << true;
        QTest::newRow("no devices listed") << "auto" << QVariantList{} << true;
        QTest::newRow("explicit device is judged, not the first") << "wasapi/{nvidia}" << kRealtekFirst << true;
    }
    void passthroughCapability()
    {
        QFETCH(QString, currentDevice);
        QFETCH(QVariantList, devices);
        QFETCH(bool, capable);
        Engine engine = makeEngine();
        engine.fake->properties.insert(QStringLiteral("audio-device"), currentDevice);
        engine.fake->properties.insert(QStringLiteral("audio-device-list"), devices);
        QCOMPARE(engine.core->isPassthroughCapableDevice(), capable);

        // Passthrough is on by default, so a new file either keeps the codecs or drops them all.
        engine.core->loadFile(QStringLiteral("/media/film.mkv"));
        QCOMPARE(engine.written("audio-spdif"),
                 QVariantList{capable ? QStringLiteral("ac3,eac3,dts,dts-hd,truehd") : QString()});
    }

    void loadLeavesOrDropsPassthrough()
    {
        Engine engine = makeEngine();
        engine.fake->properties.insert(QStringLiteral("audio-device-list"), kRealtekFirst);
        // An appended file leaves the audio options to the one playing, even on an unfit device.
        engine.core->loadFile(QStringLiteral("/media/next.mkv"), true);
        QVERIFY(engine.written("audio-spdif").isEmpty() && engine.written("audio-channels").isEmpty());
        QCOMPARE(engine.fake->commands, (QList<QStringList>{{"loadfile", "/media/next.mkv", "append-play"}}));

        // An empty codec list is passthrough off, whatever the switch says.
        engine.fake->properties.remove(QStringLiteral("audio-device-list"));
        engine.core->setPassthroughCodecs({QStringLiteral("ac3"), QStringLiteral("dts")});
        engine.core->setPassthroughCodecs({});
        engine.core->setPassthrough(true);
        engine.core->loadFile(QStringLiteral("/media/film.mkv"));
        QCOMPARE(engine.written("audio-spdif"), (QVariantList{"ac3,dts", "", "", ""}));
    }

    void audioDriverFailureRecovers_data()
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
    void audioDriverFailureRecovers()
    {
        QFETCH(EngineEvent::LogLevel, level);
        QFETCH(QString, text);
        QFETCH(bool, recovers);
        Engine engine = makeEngine();
        engine.fake->queueLog(level, text);
        engine.core->onMpvEvents();
        QCOMPARE(described(*engine.fake), recovers ? kRecovery : QStringList{});
    }

    void exclusiveFallback_data()
    {
        QTest::addColumn<QString>("exclusive");
        QTest::addColumn<QString>("path"); // empty: the engine has no path
        QTest::addColumn<int>("error");
        const int loadingFailed = -13;
        QTest::newRow("exclusive reloads shared") << "yes" << "/media/film.mkv" << loadingFailed;
        QTest::newRow("shared reports the engine") << "no" << "/media/film.mkv" << loadingFailed;
        QTest::newRow("exclusive without a path reports the engine") << "yes" << "" << loadingFailed;
        QTest::newRow("unreadable file reports the engine") << "yes" << "/media/broken.mkv" << -17;
    }
    void exclusiveFallback()
    {
        QFETCH(QString, exclusive);
        QFETCH(QString, path);
        QFETCH(int, error);
        const bool fallsBack = exclusive == QLatin1String("yes") && error != -17;
        const bool reloads = fallsBack && !path.isEmpty();
        const QList<QStringList> reload = reloads ? QList<QStringList>{{"loadfile", path}} : QList<QStringList>{};
        Engine engine = makeEngine();
        engine.fake->properties.insert(QStringLiteral("audio-exclusive"), exclusive);
        if (!path.isEmpty())
            engine.fake->properties.insert(QStringLiteral("path"), path);
        QSignalSpy errors(engine.core.get(), &MpvCore::errorOccurred);

        engine.fake->queueEndFile(EngineEvent::EndReason::Error, error);
        engine.core->onMpvEvents();
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(0).toString(),
                 reloads ? QStringLiteral("WASAPI Exclusive 실패 - 공유 모드로 자동 전환") : QStringLiteral("fake error %1").arg(error));
        QCOMPARE(engine.written("audio-exclusive"), fallsBack ? QVariantList{"no"} : QVariantList{});
        QVERIFY(engine.fake->commands.isEmpty()); // the reload waits for the engine to finish with the failed file
        QTest::qWait(300);
        QTRY_COMPARE(engine.fake->commands, reload);
    }

    // Two seconds after a load, a file that should be playing but has not moved gets its audio
    // output reopened. All cases share one wait: their engines load at the same moment.
    void stallWatchdog()
    {
        // position invalid: none yet
        struct Case { const char *name; bool paused; QVariant position; bool coreIdle; bool recovers; };
        const Case cases[] = {{"paused by the user", true, {}, true, false},
                              {"stuck before the first frame", false, {}, true, true},
                              {"stuck at the start", false, 0.2, true, true},
                              {"already playing", false, 1.0, true, false},
                              {"still buffering", false, {}, false, false}};
        std::vector<Engine> engines;
        for (const Case &c : cases) {
            Engine &engine = engines.emplace_back(makeEngine());
            engine.fake->properties.insert(QStringLiteral("path"), QStringLiteral("/media/film.mkv"));
            engine.fake->queueEvent(EngineEvent::Type::FileLoaded);
            engine.core->onMpvEvents();
            // The load itself unpauses; what the watchdog sees is set afterwards.
            engine.fake->properties.insert(QStringLiteral("pause"), c.paused);
            engine.fake->properties.insert(QStringLiteral("core-idle"), c.coreIdle);
            if (c.position.isValid())
                engine.fake->properties.insert(QStringLiteral("time-pos"), c.position);
            engine.fake->clearRecords();
        }
        QTest::qWait(2500);
        QStringList seen, expected;
        for (size_t i = 0; i < engines.size(); ++i) {
            seen << QString::fromLatin1(cases[i].name) + ": " + described(*engines[i].fake).join(", ");
            expected << QString::fromLatin1(cases[i].name) + ": " + (cases[i].recovers ? kRecovery.join(", ") : "");
        }
        QCOMPARE(seen, expected);
    }

    void settingsBeforeInitialisationWaitForTheEngine()
    {
        Engine engine = makeEngine(false);
        engine.fake->properties.insert(QStringLiteral("audio-device-list"), kRealtekFirst);
        QVERIFY(engine.core->audioDevices().isEmpty());
        QVERIFY(engine.core->isPassthroughCapableDevice());
        engine.core->setAudioDevice(QStringLiteral("wasapi/{nvidia}"));
        engine.core->setAudioExclusive(true);
        engine.core->setPassthroughCodecs({QStringLiteral("ac3")});
        engine.core->setPassthrough(false);
        engine.core->loadFile(QStringLiteral("/media/film.mkv"));
        QVERIFY(engine.fake->writes.isEmpty() && engine.fake->commands.isEmpty());

        // Chosen before the engine existed, still holding once it does: passthrough stays off on
        // load, and the codecs are the ones it turns on with.
        engine.fake->properties.insert(QStringLiteral("audio-device-list"),
                                       kRealtekFirst + QVariantList{QVariantMap{}, QStringLiteral("junk")});
        engine.core->initialize(0);
        QCOMPARE(engine.core->audioDevices(), kRealtekFirst); // entries that are no device are left out
        engine.fake->properties.insert(QStringLiteral("audio-device"), QStringLiteral("wasapi/{nvidia}"));
        engine.fake->clearRecords();
        engine.core->loadFile(QStringLiteral("/media/film.mkv"));
        QVERIFY(engine.written("audio-spdif").isEmpty());
        engine.core->setPassthrough(true);
        QCOMPARE(engine.written("audio-spdif"), QVariantList{"ac3"});
    }
};

QTEST_GUILESS_MAIN(TestEngineAudio)
#include "tst_engine_audio.moc"
