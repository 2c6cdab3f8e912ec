// Audio filters and the music configuration on real libmpv, measured in what the engine's "pcm"
// output writes (faster than real time).
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
    static QString graphicEq(double gain1k) { return EqPanel::filterString({0, 0, 0, 0, 0, gain1k, 0, 0, 0, 0}); }

private slots:
    void init()
    {
        playback_ = std::make_unique<PcmPlayback>();
        QVERIFY(playback_->isReady());
        core_ = playback_->core();
    }
    void cleanup() { playback_.reset(); }

    // The music view's equalizer moves only its band, stays through the hi-fi engine's set-up of
    // the next file, and leaves the sound bit for bit as it was once set flat.
    void graphicEqualizer()
    {
        HiFiEngine hifi(core_);
        QVERIFY(core_->setAudioFilter(AudioFilterSlot::GraphicEq, graphicEq(12.0)));
        hifi.apply();
        const WavAudio low = play(QStringLiteral("tone_125.wav"));
        QCOMPARE(low.frames(), source("tone_125.wav").frames());
        const double moved = toneLevelDb(low, 125) - toneLevelDb(source("tone_125.wav"), 125);
        QVERIFY2(qAbs(moved) <= 1.0, qPrintable(QStringLiteral("125 Hz moved by %1 dB").arg(moved)));

        hifi.apply();
        const WavAudio boosted = play(QStringLiteral("tone_1k.wav"));
        const double gain = toneLevelDb(boosted, 1000, 1) - toneLevelDb(source("tone_1k.wav"), 1000, 1);
        QVERIFY2(qAbs(gain - 12.0) <= 1.0, qPrintable(QStringLiteral("1 kHz rose by %1 dB").arg(gain)));

        QVERIFY(core_->setAudioFilter(AudioFilterSlot::GraphicEq, graphicEq(0.0)));
        hifi.apply();
        QVERIFY2(play(QStringLiteral("tone_1k.wav")).samples == source("tone_1k.wav").samples, "flat is not bit-exact");
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
        QVERIFY(core_->setAudioFilter(AudioFilterSlot::GraphicEq, graphicEq(6.0)));
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
