// Audio-output decisions of MpvCore driven through a fake engine: the passthrough device
// heuristic, the recoveries from a dead audio output, and the exclusive-mode fallback.

#include "FakeEngineSession.h"

#include "engine/EngineDialect.h"
#include "engine/MpvCore.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

namespace {

// With the file's audio track selected, which a recovery restarts.
FakeEngine makeEngine(bool initialise = true)
{
    FakeEngine made = makeFakeEngine(initialise);
    made.fake->properties.insert(QStringLiteral("aid"), QStringLiteral("1"));
    return made;
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

const QVariantList kLinuxDevices = {
    device("pulse/alsa_output.pci-0000_00_1f.3.analog-stereo", "Built-in Audio Analog Stereo"),
    device("alsa/hdmi:CARD=PCH,DEV=0", "HDA Intel PCH, HDMI 0"),
    device("pulse/alsa_output.usb-0d8c_0014-00.stereo", "USB Audio Digital Output (S/PDIF)")};

// Passthrough off, the file's audio track restarted (so it is decoded), the output reopened and
// playback restarted where it stands.
const QStringList kRecovery = {"ao-reload", "seek 0 relative+exact", "string audio-spdif=", "string file-local-options/aid=no",
                               "string file-local-options/aid=1", "flagAsync pause=false"};

} // namespace

class TestEngineAudio : public QObject
{
    Q_OBJECT

private slots:
    // The sound servers the machine running the tests has must not count.
    void init()
    {
        qunsetenv("PIPEWIRE_REMOTE");
        qunsetenv("PULSE_SERVER");
    }

    void passthroughCapability_data()
    {
        QTest::addColumn<QString>("currentDevice");
        QTest::addColumn<QVariantList>("devices");
        QTest::addColumn<bool>("capable");
        QTest::newRow("analog sink") << "pulse/alsa_output.pci-0000_00_1f.3.analog-stereo" << kLinuxDevices << false;
        QTest::newRow("S/PDIF sink, by its description") << "pulse/alsa_output.usb-0d8c_0014-00.stereo" << kLinuxDevices << true;
        QTest::newRow("unlisted HDMI sink, judged by its id")
            << "pipewire/alsa_output.pci-0000_01_00.1.hdmi-stereo" << QVariantList{} << true;
    }
    void passthroughCapability()
    {
        QFETCH(QString, currentDevice);
        QFETCH(QVariantList, devices);
        QFETCH(bool, capable);
        FakeEngine engine = makeEngine();
        engine.fake->properties.insert(QStringLiteral("audio-device"), currentDevice);
        engine.fake->properties.insert(QStringLiteral("audio-device-list"), devices);
        QCOMPARE(engine.core->isPassthroughCapableDevice(), capable);

        // Passthrough is on by default, so a new file either keeps the codecs or drops them all.
        engine.core->loadFile(QStringLiteral("/media/film.mkv"));
        QCOMPARE(engine.fake->valuesWritten("audio-spdif"),
                 QVariantList{capable ? QStringLiteral("ac3,eac3,dts,dts-hd,truehd") : QString()});
    }

    // The desktop's default output is offered only the sound servers that run (a socket in the
    // runtime folder, or an address in the server's own variable), then ALSA.
    void desktopOutputsAreTheRunningServers_data()
    {
        QTest::addColumn<QStringList>("present"); // sockets, or "VARIABLE=address"
        QTest::addColumn<QString>("outputs");
        QTest::newRow("PipeWire with its PulseAudio server") << QStringList{"pipewire-0", "pulse/native"} << "pipewire,pulse,alsa";
        QTest::newRow("PipeWire by address") << QStringList{"PIPEWIRE_REMOTE=remote"} << "pipewire,alsa";
        QTest::newRow("PulseAudio by address") << QStringList{"PULSE_SERVER=unix:/x"} << "pulse,alsa";
    }
    void desktopOutputsAreTheRunningServers()
    {
        QFETCH(QStringList, present);
        QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        for (const QString &item : present) {
            if (item.contains(u'='))
                qputenv(item.section(u'=', 0, 0).toLatin1(), item.section(u'=', 1).toUtf8());
            else if (QDir(runtime.path()).mkpath(QFileInfo(item).path()))
                QFile(runtime.filePath(item)).open(QIODevice::WriteOnly);
        }
        QTEST(desktopAudioOutputs(), "outputs");
    }

    // A fatal failure recovers, once: decoded audio failing too gets no second retry. A warning
    // is only reported.
    void audioDriverFailureRecovers()
    {
        for (const auto level : {EngineEvent::LogLevel::Fatal, EngineEvent::LogLevel::Warn}) {
            FakeEngine engine = makeEngine();
            for (int i = 0; i < 2; ++i)
                engine.fake->queueLog(level, QStringLiteral("Failed to initialize audio driver 'pulse'"));
            engine.core->onMpvEvents();
            QCOMPARE(described(*engine.fake), level == EngineEvent::LogLevel::Fatal ? kRecovery : QStringList{});
        }
    }

    void exclusiveFallback_data()
    {
        QTest::addColumn<QString>("exclusive");
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("userOpensAnother");
        QTest::addColumn<bool>("fallsBack");
        const int outputFailed = -14, loadingFailed = -13;
        QTest::newRow("output failure replays the entry") << "yes" << outputFailed << false << true;
        QTest::newRow("user opened another file meanwhile") << "yes" << outputFailed << true << true;
        QTest::newRow("shared mode reports the engine") << "no" << outputFailed << false << false;
        QTest::newRow("broken file reports the engine") << "yes" << loadingFailed << false << false;
    }
    void exclusiveFallback()
    {
        QFETCH(QString, exclusive);
        QFETCH(int, error);
        QFETCH(bool, userOpensAnother);
        QFETCH(bool, fallsBack);
        FakeEngine engine = makeEngine();
        engine.fake->properties.insert(QStringLiteral("audio-exclusive"), exclusive);
        // The engine has moved on to the next entry: "path" no longer names the failed file.
        engine.fake->properties.insert(QStringLiteral("path"), QStringLiteral("/media/third.mkv"));
        engine.fake->properties.insert(QStringLiteral("playlist"),
                                       QVariantList{QVariantMap{{"id", 7}}, QVariantMap{{"id", 8}}, QVariantMap{{"id", 9}}});
        QSignalSpy errors(engine.core.get(), &MpvCore::errorOccurred);

        engine.fake->queueStartFile(8);
        engine.fake->queueEndFile(EngineEvent::EndReason::Error, error, 8);
        engine.core->onMpvEvents();
        if (userOpensAnother)
            engine.core->loadFile(QStringLiteral("/media/other.mkv"));
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(0).toString(),
                 fallsBack ? MpvCore::kExclusiveFallbackMessage.toString() : QStringLiteral("fake error %1").arg(error));
        QCOMPARE(engine.fake->valuesWritten("audio-exclusive"), fallsBack ? QVariantList{"no"} : QVariantList{});
        const qsizetype commandsBefore = engine.fake->commands.size();
        QTest::qWait(300);
        QCOMPARE(engine.fake->commands.mid(commandsBefore),
                 (fallsBack && !userOpensAnother ? QList<QStringList>{{"playlist-play-index", "1"}} : QList<QStringList>{}));
    }

    // Two seconds after a load, a file that should be playing but has not moved although its audio
    // output is open gets the output reopened. All cases share one wait: their engines load at the
    // same moment.
    void stallWatchdog()
    {
        // position invalid: none yet
        // output: the open audio output, "" while none is; reopened: after further waits for one
        struct Case { const char *name; bool paused; QVariant position; bool coreIdle; const char *output; bool recovers; bool reopened; };
        const Case cases[] = {{"paused by the user", true, {}, true, "alsa", false, false},
                              {"stuck before the first frame", false, {}, true, "alsa", true, false},
                              {"stuck at the start", false, 0.2, true, "alsa", true, false},
                              {"already playing", false, 1.0, true, "alsa", false, false},
                              {"still buffering", false, {}, false, "alsa", false, false},
                              {"output still opening", false, {}, true, "", false, true}};
        std::vector<FakeEngine> engines;
        for (const Case &c : cases) {
            FakeEngine &engine = engines.emplace_back(makeEngine());
            engine.fake->properties.insert(QStringLiteral("path"), QStringLiteral("/media/film.mkv"));
            engine.fake->queueEvent(EngineEvent::Type::FileLoaded);
            engine.core->onMpvEvents();
            // The load itself unpauses; what the watchdog sees is set afterwards.
            engine.fake->properties.insert(QStringLiteral("pause"), c.paused);
            engine.fake->properties.insert(QStringLiteral("core-idle"), c.coreIdle);
            engine.fake->properties.insert(QStringLiteral("current-ao"), QString::fromLatin1(c.output));
            if (c.position.isValid())
                engine.fake->properties.insert(QStringLiteral("time-pos"), c.position);
            engine.fake->clearRecords();
        }
        // What each engine was told since the last look, against what its case expects.
        const auto check = [&](auto expectedFor) {
            QStringList seen, expected;
            for (size_t i = 0; i < engines.size(); ++i) {
                seen << QString::fromLatin1(cases[i].name) + ": " + described(*engines[i].fake).join(", ");
                expected << QString::fromLatin1(cases[i].name) + ": " + expectedFor(cases[i]);
                engines[i].fake->clearRecords();
            }
            QCOMPARE(seen, expected);
        };
        QTest::qWait(2500);
        check([](const Case &c) { return c.recovers ? kRecovery.join(", ") : QString(); });

        // Still stuck with decoded audio and no output opening in three further checks: no output
        // takes sound at all, so the picture plays without it, and nothing is retried after that.
        // An output that never opens is reopened once its own waits are over.
        for (FakeEngine &engine : engines)
            engine.fake->properties.insert(QStringLiteral("current-ao"), QString());
        QTest::qWait(9000);
        check([](const Case &c) {
            return c.recovers ? QStringLiteral("string file-local-options/aid=no, flagAsync pause=false")
                              : c.reopened ? kRecovery.join(", ") : QString();
        });
    }

    void settingsBeforeInitialisationWaitForTheEngine()
    {
        FakeEngine engine = makeEngine(false);
        engine.fake->properties.insert(QStringLiteral("audio-device-list"), kLinuxDevices);
        QVERIFY(engine.core->audioDevices().isEmpty());
        QVERIFY(engine.core->isPassthroughCapableDevice());
        engine.core->setAudioDevice(QStringLiteral("alsa/hdmi:CARD=PCH,DEV=0"));
        engine.core->setAudioExclusive(true);
        engine.core->setPassthroughCodecs({QStringLiteral("ac3"), QStringLiteral("dts")});
        engine.core->setPassthrough(false);
        engine.core->loadFile(QStringLiteral("/media/film.mkv"));
        QVERIFY(engine.fake->writes.isEmpty() && engine.fake->commands.isEmpty());

        // Chosen before the engine existed, still holding once it does: passthrough stays off on
        // load, and the codecs are the ones it turns on with.
        engine.fake->properties.insert(QStringLiteral("audio-device-list"),
                                       kLinuxDevices + QVariantList{QVariantMap{}, QStringLiteral("junk")});
        engine.core->initialize(0);
        QCOMPARE(engine.core->audioDevices(), kLinuxDevices); // entries that are no device are left out
        engine.fake->properties.insert(QStringLiteral("audio-device"), QStringLiteral("alsa/hdmi:CARD=PCH,DEV=0"));
        engine.fake->clearRecords();
        engine.core->loadFile(QStringLiteral("/media/film.mkv"));
        QVERIFY(engine.fake->valuesWritten("audio-spdif").isEmpty());
        engine.core->setPassthrough(true);
        // An empty codec list is passthrough off, whatever the switch says.
        engine.core->setPassthroughCodecs({});
        engine.core->loadFile(QStringLiteral("/media/film.mkv"));
        QCOMPARE(engine.fake->valuesWritten("audio-spdif"), (QVariantList{"ac3,dts", "", ""}));
    }
};

QTEST_GUILESS_MAIN(TestEngineAudio)
#include "tst_engine_audio.moc"
