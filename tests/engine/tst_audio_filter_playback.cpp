// Audio filters and the music configuration on real libmpv, measured in what the engine's "pcm"
// output writes (faster than real time), and the engine's rule for labelled filters that the
// fake engine follows.
#include "FakeEngineSession.h"
#include "PcmPlayback.h"
#include "TestMedia.h"
#include "engine/MpvCore.h"
#include "music/EqPanel.h"
#include "music/HiFiEngine.h"

#include <QSignalSpy>
#include <QTest>

class AudioFilterPlaybackTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<PcmPlayback> playback_;
    MpvCore *core_ = nullptr;

    WavAudio play(const QString &fixture) { return playback_->play(TestMedia::path(fixture)); }
    static WavAudio source(const char *fixture) { return readWav(TestMedia::path(QLatin1String(fixture))); }

private slots:
    void init()
    {
        playback_ = std::make_unique<PcmPlayback>();
        QVERIFY(playback_->isReady());
        core_ = playback_->core();
    }
    void cleanup() { playback_.reset(); }

    // However many steps a preset takes to reach the engine, and through the hi-fi set-up of the
    // next file, the chain holds one entry per slot and sounds as the last step says; "Flat",
    // with the hi-fi equalizer off, gives the file back bit for bit.
    void equalizerStepsLeaveOneEntryPerSlot()
    {
        EqPanel panel;
        connect(&panel, &EqPanel::eqChanged, core_, [this](const QList<double> &gains) {
            QVERIFY(core_->setAudioFilter(AudioFilterSlot::GraphicEq, EqPanel::filterString(gains)));
        });
        HiFiEngine hifi(core_);
        hifi.setEqEnabled(true);
        for (int band = 0; band < 4; ++band)
            hifi.setBandGain(band, band - 1.5);
        for (const int preset : {2, 5, 1, 3}) // Bass Boost, Rock, Audiophile, Vocal
            panel.applyPreset(preset);
        hifi.apply();
        QStringList labels;
        for (const QVariant &filter : core_->getMpvProperty(QStringLiteral("af")).toList())
            labels << filter.toMap().value(QStringLiteral("label")).toString();
        QCOMPARE(labels, (QStringList{AudioFilterChain::label(AudioFilterSlot::GraphicEq), AudioFilterChain::label(AudioFilterSlot::HiFiEq)}));
        const WavAudio stepped = play(QStringLiteral("tone_1k.wav"));

        // The same two equalizers, each set once into an empty chain.
        QVERIFY(core_->clearAudioFilter(AudioFilterSlot::GraphicEq) && core_->clearAudioFilter(AudioFilterSlot::HiFiEq));
        QVERIFY(core_->setAudioFilter(AudioFilterSlot::GraphicEq, EqPanel::filterString(panel.gains())));
        QVERIFY(core_->setAudioFilter(AudioFilterSlot::HiFiEq, hifi.buildFilterChain()));
        const WavAudio once = play(QStringLiteral("tone_1k.wav"));
        const double gain = toneLevelDb(once, 1000) - toneLevelDb(source("tone_1k.wav"), 1000);
        QVERIFY2(gain > 2.0 && gain < 8.0, qPrintable(QStringLiteral("Vocal moved 1 kHz by %1 dB").arg(gain)));
        QVERIFY2(stepped.samples == once.samples, "the steps left filters behind");

        panel.applyPreset(0);
        hifi.setEqEnabled(false);
        QVERIFY(core_->getMpvProperty(QStringLiteral("af")).toList().isEmpty());
        QVERIFY2(play(QStringLiteral("tone_1k.wav")).samples == source("tone_1k.wav").samples, "flat is not bit-exact");
    }

    // The fake engine edits its chain by this engine's rule: a label names only the first filter
    // of a comma list, so replacing or removing it leaves the others.
    void fakeFollowsTheLabelRule()
    {
        FakeEngineSession fake;
        for (const QStringList &step : QList<QStringList>{{"af", "add", "@a:volume=1,anull"},
                                                          {"af", "add", "@a:volume=2,anull,acopy"},
                                                          {"af", "pre", "@b:anull"},
                                                          {"af", "remove", "@a"}}) {
            fake.command(step);
            core_->command(step);
        }
        QCOMPARE(fake.audioFilters, (QStringList{"@b:anull", "anull", "anull", "acopy"}));
        QTRY_COMPARE(core_->propertyText(QStringLiteral("af")), fake.audioFilters.join(','));
    }

    // The music configuration as the engine holds it, in its own words ("options/…" is not
    // translated back): gapless at each file's rate, ReplayGain kept from clipping, the resampler.
    void hiFiSettingsReachTheEngine()
    {
        HiFiEngine hifi(core_);
        hifi.setResamplerQuality(3);
        hifi.setReplayGain(2);
        hifi.apply();
        QCOMPARE(core_->propertyText(QStringLiteral("options/gapless-audio")), QStringLiteral("weak"));
        QCOMPARE(core_->propertyText(QStringLiteral("options/replaygain")), QStringLiteral("album"));
        QCOMPARE(core_->propertyText(QStringLiteral("options/replaygain-clip")), QStringLiteral("no"));
        QCOMPARE(core_->propertyText(QStringLiteral("audio-swresample-o")), QStringLiteral("filter_size=256,phase_shift=12"));
        QCOMPARE(play(QStringLiteral("tone_1k.wav")).sampleRate, 48000);
    }

    // A filter the engine cannot build: refused while audio plays; added between files, it is
    // taken out when the next file's audio fails to start, and that file then plays.
    void unbuildableFilterIsTakenOut()
    {
        QSignalSpy failed(core_, &MpvCore::audioFilterFailed);
        QSignalSpy errors(core_, &MpvCore::errorOccurred);
        const QString broken = QStringLiteral("lavfi=[no_such_filter]");
        QVERIFY(core_->setAudioFilter(AudioFilterSlot::GraphicEq, EqPanel::filterString({0, 0, 0, 0, 0, 6.0, 0, 0, 0, 0})));
        core_->setMpvProperty(QStringLiteral("ao"), QStringLiteral("null")); // in real time: still playing below
        core_->loadFile(TestMedia::path(QStringLiteral("tone_125.wav")));
        QTRY_VERIFY_WITH_TIMEOUT(core_->position() > 0.2, 5000);
        QVERIFY(!core_->setAudioFilter(AudioFilterSlot::PlugIns, broken));
        QCOMPARE(failed.size(), 1);
        core_->stop();
        QTRY_COMPARE(core_->propertyText(QStringLiteral("idle-active")), QStringLiteral("yes"));

        core_->setMpvProperty(QStringLiteral("ao"), QStringLiteral("pcm"));
        QVERIFY(core_->setAudioFilter(AudioFilterSlot::PlugIns, broken));
        const WavAudio out = play(QStringLiteral("tone_1k.wav"));
        QCOMPARE(failed.size(), 2);
        QVERIFY(core_->audioFilter(AudioFilterSlot::PlugIns).isEmpty());
        QVERIFY2(toneLevelDb(out, 1000) - toneLevelDb(source("tone_1k.wav"), 1000) > 5.0, "not played, or without the equalizer");
        QVERIFY2(errors.isEmpty(), qPrintable(errors.value(0).value(0).toString()));
    }
};

QTEST_MAIN(AudioFilterPlaybackTest)
#include "tst_audio_filter_playback.moc"
