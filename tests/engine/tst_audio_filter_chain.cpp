// The shared audio filter chain against a fake engine, and the dialect that turns the player's
// filter notation into filters this engine can build.
#include "FakeEngineSession.h"
#include "engine/EngineDialect.h"
#include "engine/MpvCore.h"

#include <QSignalSpy>
#include <QTest>

namespace {
QStringList labels(const QStringList &entries)
{
    QStringList result;
    for (const QString &entry : entries)
        result << entry.section(QLatin1Char(':'), 0, 0);
    return result;
}

QString peaking(const char *hz, const char *gain)
{
    return QStringLiteral("equalizer=f=%1:t=q:w=1.41:g=%2:r=f64").arg(QLatin1String(hz), QLatin1String(gain));
}
} // namespace

class AudioFilterChainTest : public QObject
{
    Q_OBJECT
private slots:
    void dialect_data()
    {
        QTest::addColumn<QString>("value"); // of "af"
        QTest::addColumn<QStringList>("writes"); // "property=value" or a command, in order
        const QString noResampler = QStringLiteral("audio-swresample-o=");
        QTest::newRow("graphic") << "equalizer=f0=2.0:f1=0.0:f2=0.0:f3=0.0:f4=0.0:f5=12.0:f6=0.0:f7=0.0:f8=0.0:f9=-0.0"
                                 << QStringList{noResampler, "af=" + peaking("31", "2.0") + "," + peaking("1000", "12.0")};
        QTest::newRow("resampler, parametric")
            << "lavrresample:filter_size=16:phase_shift=8,equalizer=31/1.41/0.0:63/1.41/0.0:125/1.41/0.0:250/1.41/0.0:"
               "500/1.41/0.0:1000/1.41/-3.0:2000/1.41/0.0:4000/1.41/0.0:8000/0.70/0.5:16000/1.41/0.0"
            << QStringList{"audio-swresample-o=filter_size=16,phase_shift=8",
                           "af=" + peaking("1000", "-3.0") + ",equalizer=f=8000:t=q:w=0.70:g=0.5:r=f64"};
        QTest::newRow("engine's own notation") << "equalizer=f=50:t=q:w=2:g=3,volume=0.5"
                                               << QStringList{noResampler, "af=equalizer=f=50:t=q:w=2:g=3,volume=0.5"};
        QTest::newRow("quoted graph is one filter") << "lavfi=graph=%22%anull,equalizer=f0=1.0,lavfi=[anull,equalizer=f0=1.0]"
                                                    << QStringList{noResampler, "af=lavfi=graph=%22%anull,equalizer=f0=1.0,lavfi=[anull,equalizer=f0=1.0]"};
    }
    void dialect()
    {
        QFETCH(QString, value);
        QStringList actual;
        for (const EngineWrite &write : engineWritesFor(QStringLiteral("af"), value))
            actual << (write.property.isEmpty() ? write.command.join(' ') : write.property + '=' + write.value);
        QTEST(actual, "writes");
    }

    // Whatever order features come in, the chain runs equalizers, plug-ins, room correction; a
    // change replaces only that feature's entry, in place, and all of it: an entry of several
    // filters is one filter to the engine, whose label names only the first of a list.
    void entriesKeepTheirOrderAndOwners()
    {
        FakeEngine engine = makeFakeEngine();
        MpvCore &core = *engine.core;
        QVERIFY(core.setAudioFilter(AudioFilterSlot::RoomCorrection, QStringLiteral("volume=0.5")));
        QVERIFY(core.setAudioFilter(AudioFilterSlot::PlugIns, QStringLiteral("lavfi=[anull],volume=2")));
        QVERIFY(core.setAudioFilter(AudioFilterSlot::HiFiEq, QStringLiteral("equalizer=1000/1.41/-3.0:63/1.41/2.0")));
        QVERIFY(core.setAudioFilter(AudioFilterSlot::GraphicEq, QStringLiteral("equalizer=f0=2.0:f5=6.0")));
        QVERIFY(core.setAudioFilter(AudioFilterSlot::GraphicEq, QStringLiteral("equalizer=f0=1.0:f5=6.0:f9=-2.0")));
        const QStringList all{"@graphic-eq", "@hifi-eq", "@plugins", "@room"};
        QCOMPARE(labels(engine.fake->audioFilters), all);
        engine.fake->clearRecords();
        QVERIFY(core.setAudioFilter(AudioFilterSlot::GraphicEq, QStringLiteral("equalizer=f5=3.0")));
        QVERIFY(core.setAudioFilter(AudioFilterSlot::GraphicEq, QStringLiteral("equalizer=f5=3.0")));
        QCOMPARE(engine.fake->commands.size(), 1);
        QCOMPARE(labels(engine.fake->audioFilters), all);
        QCOMPARE(engine.fake->audioFilters.first(), "@graphic-eq:" + peaking("1000", "3.0"));
        QVERIFY(core.setAudioFilter(AudioFilterSlot::HiFiEq, QStringLiteral("equalizer=500/1.41/1.0:8000/0.70/0.5")));
        QCOMPARE(labels(engine.fake->audioFilters), all);

        QVERIFY(core.setAudioFilter(AudioFilterSlot::GraphicEq, QStringLiteral("equalizer=f5=0.0"))); // flat
        QVERIFY(core.clearAudioFilter(AudioFilterSlot::PlugIns));
        QVERIFY(core.setAudioFilter(AudioFilterSlot::PlugIns, QStringLiteral("lavfi=[anull]")));
        QCOMPARE(labels(engine.fake->audioFilters), (QStringList{"@hifi-eq", "@plugins", "@room"}));
    }

    // The engine's error lines about filters: which entries go, and whether the file plays again.
    // The engine hands its log lines over after its events, so a file's error end may come first.
    void failureReports_data()
    {
        QTest::addColumn<QString>("pluginAdded"); // "between files", "while playing", "refused", or "both between files" (room too)
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("endFirst");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<bool>("replayed");
        const QStringList atStart{"Creating filter 'lavfi' failed.", "Audio filter initialized failed!"};
        const QStringList all{"@graphic-eq", "@plugins", "@room"};
        QTest::newRow("new entry, as the file starts") << "between files" << atStart << true << QStringList{"@graphic-eq", "@room"} << true;
        QTest::newRow("refused add") << "refused" << atStart << false << QStringList{"@graphic-eq", "@room"} << false;
        QTest::newRow("built entry of the named kind") << "between files" << QStringList{"Creating filter 'equalizer' failed.", atStart.last()}
                                                       << false << QStringList{"@plugins", "@room"} << true;
        QTest::newRow("no entry of the named kind") << "between files" << QStringList{"Creating filter 'ladspa' failed.", atStart.last()}
                                                    << false << all << false;
        // Measured: room correction and plug-ins are both "lavfi"; ffmpeg names the filter inside
        // the graph that failed.
        QTest::newRow("graph filter named") << "both between files"
            << QStringList{"Parsed_amovie_1: Failed to avformat_open_input '/ir.wav'",
                           "AVFilterGraph: Error initializing filter 'amovie' with args 'filename=/ir.wav'",
                           "parsing the filter graph failed", atStart.first(), atStart.last()}
            << false << QStringList{"@graphic-eq", "@plugins"} << true;
        QTest::newRow("stopped while playing") << "while playing" << QStringList{"Disabling filter room because it has failed."} << false
                                               << QStringList{"@graphic-eq", "@plugins"} << false;
    }
    void failureReports()
    {
        QFETCH(QString, pluginAdded);
        QFETCH(QStringList, lines);
        QFETCH(bool, endFirst);
        FakeEngine engine = makeFakeEngine();
        FakeEngineSession &fake = *engine.fake;
        MpvCore &core = *engine.core;
        fake.properties.insert(QStringLiteral("playlist"), QVariantList{QVariantMap{{"id", 7}}});
        fake.queueStartFile(7);
        fake.queueEvent(EngineEvent::Type::PlaybackRestart);
        core.onMpvEvents();
        QVERIFY(core.setAudioFilter(AudioFilterSlot::GraphicEq, QStringLiteral("equalizer=f5=6.0")));
        const QString room = QStringLiteral("lavfi=[amovie=filename=/ir.wav,anull]");
        const bool roomLate = pluginAdded == QLatin1String("both between files");
        if (!roomLate)
            QVERIFY(core.setAudioFilter(AudioFilterSlot::RoomCorrection, room));
        const bool betweenFiles = pluginAdded.endsWith(QLatin1String("between files"));
        if (betweenFiles) { // the next file starts; its audio is not built yet
            fake.queueEndFile(EngineEvent::EndReason::Eof, 0, 7);
            fake.queueStartFile(7);
            core.onMpvEvents();
        }
        if (roomLate)
            QVERIFY(core.setAudioFilter(AudioFilterSlot::RoomCorrection, room));
        QSignalSpy failed(&core, &MpvCore::audioFilterFailed);
        QSignalSpy errors(&core, &MpvCore::errorOccurred);
        if (pluginAdded == QLatin1String("refused"))
            fake.commandResult = [](const QStringList &) { return -12; };
        QCOMPARE(core.setAudioFilter(AudioFilterSlot::PlugIns, QStringLiteral("lavfi=[anull,anull]")), !fake.commandResult);
        fake.commandResult = nullptr;

        const bool fileFails = betweenFiles && lines.last() == QLatin1String("Audio filter initialized failed!");
        if (fileFails && endFirst) // an audio-only file ends at once
            fake.queueEndFile(EngineEvent::EndReason::Error, -16, 7);
        for (const QString &line : lines)
            fake.queueLog(EngineEvent::LogLevel::Error, line);
        if (fileFails && !endFirst)
            fake.queueEndFile(EngineEvent::EndReason::Error, -16, 7);
        fake.clearRecords();
        core.onMpvEvents();

        QFETCH(QStringList, left);
        QFETCH(bool, replayed);
        QCOMPARE(labels(fake.audioFilters), left);
        QCOMPARE(failed.size(), 3 - left.size());
        QCOMPARE(errors.size(), fileFails && !replayed ? 1 : 0);
        QTest::qWait(200);
        QCOMPARE(fake.commands.contains(QStringList{"playlist-play-index", "0"}), replayed);
    }
};

QTEST_MAIN(AudioFilterChainTest)
#include "tst_audio_filter_chain.moc"
