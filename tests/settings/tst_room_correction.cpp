// Room correction and the LADSPA plug-in chain of the high-end audio page on real libmpv,
// measured in what the engine's "pcm" output writes; and the impulse-response reader on its own.
#include "PcmPlayback.h"
#include "TestFiles.h"
#include "TestMedia.h"
#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "engine/MpvCore.h"
#include "settings/AudioAdvancedWidget.h"
#include "settings/ImpulseResponse.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cmath>

namespace {
enum class Sample { Pcm8, Pcm16, Pcm24, Pcm32, Float32, Float64 };

// A WAV file of the given samples (interleaved, ±1.0), optionally with the extensible header.
QByteArray wavBytes(const QList<double> &samples, int channels, int rate, Sample kind, bool extensible = false)
{
    const int bits = kind == Sample::Pcm8 ? 8 : kind == Sample::Pcm16 ? 16 : kind == Sample::Pcm24 ? 24
                   : kind == Sample::Float64 ? 64 : 32;
    const bool isFloat = kind == Sample::Float32 || kind == Sample::Float64;
    QByteArray data;
    for (const double s : samples) {
        char bytes[8];
        if (kind == Sample::Float32)
            qToLittleEndian<float>(float(s), bytes);
        else if (kind == Sample::Float64)
            qToLittleEndian<double>(s, bytes);
        else if (kind == Sample::Pcm8)
            bytes[0] = char(qBound(0, int(std::lround(s * 127 + 128)), 255));
        else
            qToLittleEndian<qint32>(qint32(std::llround(std::clamp(s, -1.0, 1.0 - 1e-9) * std::ldexp(1.0, bits - 1))), bytes);
        data.append(bytes, bits / 8);
    }
    auto u16 = [](QByteArray &b, int v) { char x[2]; qToLittleEndian<quint16>(quint16(v), x); b.append(x, 2); };
    auto u32 = [](QByteArray &b, qint64 v) { char x[4]; qToLittleEndian<quint32>(quint32(v), x); b.append(x, 4); };
    QByteArray fmt;
    u16(fmt, extensible ? 0xFFFE : isFloat ? 3 : 1);
    u16(fmt, channels);
    u32(fmt, rate);
    u32(fmt, qint64(rate) * channels * bits / 8);
    u16(fmt, channels * bits / 8);
    u16(fmt, bits);
    if (extensible) {
        u16(fmt, 22);
        u16(fmt, bits);
        u32(fmt, channels == 1 ? 0x4 : 0x3);
        u16(fmt, isFloat ? 3 : 1);
        fmt.append("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
    }
    QByteArray wav("RIFF");
    u32(wav, 4 + 8 + fmt.size() + 8 + data.size());
    wav += "WAVEfmt ";
    u32(wav, fmt.size());
    wav += fmt + "data";
    u32(wav, data.size());
    return wav + data;
}

// A mono response whose only non-zero sample, of `amplitude`, lies `delayMs` in.
QByteArray delayedImpulse(int delayMs, double amplitude = 0.5, int rate = 48000)
{
    QList<double> samples(rate * (delayMs + 20) / 1000, 0.0);
    samples[rate * delayMs / 1000] = amplitude;
    return wavBytes(samples, 1, rate, Sample::Pcm16);
}

// Where the loudest sample of channel 0 lies, in frames.
qsizetype peakFrame(const WavAudio &audio)
{
    qsizetype best = -1;
    double peak = 0;
    for (qsizetype f = 0; f < audio.frames(); ++f)
        if (std::abs(audio.samples.at(f * audio.channels)) > peak)
            peak = std::abs(audio.samples.at(f * audio.channels)), best = f;
    return best;
}

double rmsDb(const WavAudio &audio, int channel)
{
    double sum = 0;
    for (qsizetype f = 0; f < audio.frames(); ++f)
        sum += std::pow(audio.samples.at(f * audio.channels + channel), 2);
    return 10 * std::log10(sum / std::max<qsizetype>(1, audio.frames()) + 1e-30);
}
} // namespace

class RoomCorrectionTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    std::unique_ptr<PcmPlayback> playback_;
    MpvCore *core_ = nullptr;

    QString file(const QString &name) const { return dir_.filePath(name); }
    WavAudio play(const QString &path) { return playback_->play(path); }
    WavAudio playTone() { return play(TestMedia::path(QStringLiteral("tone_1k.wav"))); }
    static double toneGain(const WavAudio &out)
    {
        return toneLevelDb(out, 1000, 1) - toneLevelDb(readWav(TestMedia::path(QStringLiteral("tone_1k.wav"))), 1000, 1);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        // A stereo click of 0.5 at 100 ms in one second of silence.
        QList<double> click(48000 * 2, 0.0);
        click[4800 * 2] = click[4800 * 2 + 1] = 0.5;
        writeTestFile(file(QStringLiteral("click.wav")), wavBytes(click, 2, 48000, Sample::Pcm16));
        writeTestFile(file(QStringLiteral("ir10ms.wav")), delayedImpulse(10));
    }
    void init()
    {
        QSettings(QLatin1StringView(AppIdentity::kOrganisation), QLatin1StringView(AppIdentity::kSettingsApplication)).clear();
        playback_ = std::make_unique<PcmPlayback>();
        QVERIFY(playback_->isReady());
        core_ = playback_->core();
    }
    void cleanup() { playback_.reset(); }

    void readsResponses_data()
    {
        QTest::addColumn<QByteArray>("wav");
        QTest::addColumn<int>("channels"); // 0: refused
        QTest::addColumn<qint64>("frames");
        QTest::addColumn<double>("peak");
        const QList<double> stereo{0.0, 0.25, -0.5, 0.125, 0.0, 0.0};
        QTest::newRow("pcm16") << wavBytes(stereo, 2, 48000, Sample::Pcm16) << 2 << qint64(3) << 0.5;
        QTest::newRow("pcm24") << wavBytes(stereo, 2, 48000, Sample::Pcm24) << 2 << qint64(3) << 0.5;
        QTest::newRow("pcm8 mono") << wavBytes({0.0, -0.5}, 1, 8000, Sample::Pcm8) << 1 << qint64(2) << 0.5;
        QTest::newRow("float32") << wavBytes(stereo, 2, 44100, Sample::Float32) << 2 << qint64(3) << 0.5;
        QTest::newRow("float64 extensible") << wavBytes(stereo, 2, 96000, Sample::Float64, true) << 2 << qint64(3) << 0.5;
        QTest::newRow("pcm24 extensible") << wavBytes({0.75}, 1, 48000, Sample::Pcm24, true) << 1 << qint64(1) << 0.75;
        const QByteArray good = wavBytes(stereo, 2, 48000, Sample::Pcm16);
        QTest::newRow("truncated data") << good.left(good.size() - 3) << 0 << qint64(0) << 0.0;
        QByteArray lyingFmt = good;
        qToLittleEndian<quint32>(0x7FFFFFF0u, lyingFmt.data() + 16);
        QTest::newRow("fmt size beyond file") << lyingFmt << 0 << qint64(0) << 0.0;
        QByteArray lyingData = good;
        qToLittleEndian<quint32>(0xFFFFFFFFu, lyingData.data() + 40);
        QTest::newRow("data size beyond file") << lyingData << 0 << qint64(0) << 0.0;
        QByteArray badAlign = good;
        qToLittleEndian<quint16>(3, badAlign.data() + 32);
        QTest::newRow("block align disagrees") << badAlign << 0 << qint64(0) << 0.0;
        QByteArray adpcm = good;
        qToLittleEndian<quint16>(2, adpcm.data() + 20);
        QTest::newRow("compressed") << adpcm << 0 << qint64(0) << 0.0;
        QTest::newRow("not a wav") << QByteArray("RIFX\0\0\0\0WAVEfmt ", 16) << 0 << qint64(0) << 0.0;
    }
    void readsResponses()
    {
        QFETCH(QByteArray, wav);
        QFETCH(int, channels);
        const ImpulseResponse ir = ImpulseResponse::parse(wav);
        QCOMPARE(ir.ok(), channels > 0);
        if (channels == 0)
            return;
        QCOMPARE(ir.channels, channels);
        QTEST(ir.frames, "frames");
        QFETCH(double, peak);
        QVERIFY2(qAbs(ir.peak - peak) < 0.01, qPrintable(QString::number(ir.peak)));
    }

    // The click comes out late by the response's delay, as loud as it went in (normalised), both
    // channels alike; the gain trim lowers the level; switched off, the sound is as it was.
    void correctsThroughThePage()
    {
        AudioAdvancedWidget page(core_);
        QVERIFY(page.setIrFile(file(QStringLiteral("ir10ms.wav"))).isEmpty());
        page.findChild<QCheckBox *>(QStringLiteral("convolutionCheck"))->setChecked(true);
        QVERIFY(page.findChild<QLabel *>(QStringLiteral("roomStatus"))->text().startsWith(QStringLiteral("활성화")));

        const WavAudio clicked = play(file(QStringLiteral("click.wav")));
        QCOMPARE(clicked.channels, 2);
        QCOMPARE(peakFrame(clicked), qsizetype(4800 + 480));
        QVERIFY2(qAbs(clicked.samples.at((4800 + 480) * 2) - 0.5) < 0.01, "normalised click level");
        QVERIFY(qAbs(clicked.samples.at((4800 + 480) * 2 + 1) - 0.5) < 0.01);

        page.findChild<QSlider *>(QStringLiteral("gainSlider"))->setValue(-12);
        const double trimmed = toneGain(playTone());
        QVERIFY2(qAbs(trimmed + 12.0) < 0.3, qPrintable(QString::number(trimmed)));

        page.findChild<QCheckBox *>(QStringLiteral("convolutionCheck"))->setChecked(false);
        QVERIFY(playTone().samples == readWav(TestMedia::path(QStringLiteral("tone_1k.wav"))).samples);
    }

    // Shaped to stereo first: a 5.1 film keeps sound on both sides, with its centre in both.
    void surroundIsDownmixed()
    {
        AudioAdvancedWidget page(core_);
        QVERIFY(page.setIrFile(file(QStringLiteral("ir10ms.wav"))).isEmpty());
        page.findChild<QCheckBox *>(QStringLiteral("convolutionCheck"))->setChecked(true);
        QVERIFY(page.findChild<QLabel *>(QStringLiteral("roomStatus"))->text().contains(QStringLiteral("다운믹스")));
        const WavAudio out = play(TestMedia::path(QStringLiteral("surround_51.mkv")));
        QCOMPARE(out.channels, 2);
        QVERIFY2(rmsDb(out, 0) > -30 && rmsDb(out, 1) > -30, qPrintable(QStringLiteral("%1 / %2").arg(rmsDb(out, 0)).arg(rmsDb(out, 1))));
        QVERIFY2(toneLevelDb(out, 660, 0) > -40 && toneLevelDb(out, 660, 1) > -40, "centre missing");
    }

    // The amplifier plug-in at 0.5 halves the level.
    void pluginPlaysAndIsSaved()
    {
        AudioAdvancedWidget page(core_);
        QVERIFY(page.addPlugin(QStringLiteral("/usr/lib/ladspa/amp.so"), QStringLiteral("amp_stereo"), QStringLiteral("c0=0.5")).isEmpty());
        page.findChild<QCheckBox *>(QStringLiteral("pluginsCheck"))->setChecked(true);
        page.applyPlugins();
        const double halved = toneGain(playTone());
        QVERIFY2(qAbs(halved + 6.02) < 0.3, qPrintable(QString::number(halved)));

        // Saved in list order with the controls, so a fresh start builds the same chain.
        QCOMPARE(PluginChain::fromStored(readSetting(QSettings(QLatin1StringView(AppIdentity::kOrganisation),
                                                               QLatin1StringView(AppIdentity::kSettingsApplication)),
                                                     SettingsKeys::audioAdvancedVstPlugins)),
                 page.plugins());
    }

    // Refused before the engine sees it: too long, not a plug-in library, unknown or hostile
    // controls.
    void hostileFiltersAreRefused()
    {
        AudioAdvancedWidget page(core_);
        writeTestFile(file(QStringLiteral("long.wav")), wavBytes(QList<double>(8000 * 31, 0.1), 1, 8000, Sample::Pcm16));
        QVERIFY(page.setIrFile(file(QStringLiteral("long.wav"))).contains(QStringLiteral("최대 30초")));
        writeTestFile(file(QStringLiteral("fake.so")), "not a library");
        QVERIFY(!page.addPlugin(file(QStringLiteral("fake.so"))).isEmpty());
        QVERIFY(!page.addPlugin(QStringLiteral("/usr/lib/ladspa/amp.so"), QStringLiteral("no_such")).isEmpty());
        QVERIFY(!page.addPlugin(QStringLiteral("/usr/lib/ladspa/amp.so"), QStringLiteral("amp_mono"), QStringLiteral("c0=1,volume=0")).isEmpty());
        QVERIFY(page.plugins().isEmpty());
    }

    // What was saved is in the engine from the start, without the page; a quote, comma, bracket
    // and semicolon in the response's name stay part of the name.
    void savedCorrectionAppliesAtStart()
    {
        QDir(dir_.path()).mkpath(QStringLiteral("room's [a]"));
        const QString nasty = file(QStringLiteral("room's [a]/ir',volume=0;x:1%.wav"));
        QVERIFY(QFile::copy(file(QStringLiteral("ir10ms.wav")), nasty));
        {
            QSettings settings(QLatin1StringView(AppIdentity::kOrganisation), QLatin1StringView(AppIdentity::kSettingsApplication));
            writeSetting(settings, SettingsKeys::audioAdvancedIrPath, nasty);
            writeSetting(settings, SettingsKeys::audioAdvancedConvEnabled, true);
            writeSetting(settings, SettingsKeys::audioAdvancedGainDb, -6);
        }
        AudioAdvancedWidget::applySaved(core_);
        const WavAudio clicked = play(file(QStringLiteral("click.wav")));
        QCOMPARE(peakFrame(clicked), qsizetype(4800 + 480));
        QVERIFY(qAbs(clicked.samples.at((4800 + 480) * 2) - 0.25) < 0.01);
    }
};

QTEST_MAIN(RoomCorrectionTest)
#include "tst_room_correction.moc"
