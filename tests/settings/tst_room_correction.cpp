// Room correction and the LADSPA plug-in chain of the high-end audio page on real libmpv,
// measured in what the engine's "pcm" output writes; and the impulse-response reader on its own.
#include "PcmPlayback.h"
#include "TestFiles.h"
#include "TestMedia.h"
#include "app/SettingsKeys.h"
#include "engine/MpvCore.h"
#include "settings/AudioAdvancedSettings.h"
#include "settings/AudioAdvancedWidget.h"
#include "settings/ImpulseResponse.h"

#include <QCheckBox>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cmath>

namespace {
const QString kAmp = QStringLiteral("/usr/lib/ladspa/amp.so");

// A WAV file of the given samples (interleaved, ±1.0), integer or float, optionally with the
// extensible header.
QByteArray wavBytes(const QList<double> &samples, int channels, int rate, int bits, bool isFloat = false,
                    bool extensible = false)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.setFloatingPointPrecision(bits == 32 ? QDataStream::SinglePrecision : QDataStream::DoublePrecision);
    for (const double s : samples) {
        if (isFloat) {
            out << s;
        } else if (bits == 8) {
            out << quint8(qBound(0, int(std::lround(s * 127 + 128)), 255));
        } else {
            char bytes[4];
            qToLittleEndian<qint32>(qint32(std::llround(std::clamp(s, -1.0, 1.0 - 1e-9) * std::ldexp(1.0, bits - 1))), bytes);
            out.writeRawData(bytes, bits / 8);
        }
    }
    const quint32 fmtSize = extensible ? 40 : 16;
    QByteArray wav;
    QDataStream head(&wav, QIODevice::WriteOnly);
    head.setByteOrder(QDataStream::LittleEndian);
    head.writeRawData("RIFF", 4);
    head << quint32(4 + 8 + fmtSize + 8 + data.size());
    head.writeRawData("WAVEfmt ", 8);
    head << fmtSize << quint16(extensible ? 0xFFFE : isFloat ? 3 : 1) << quint16(channels) << quint32(rate)
         << quint32(rate * channels * bits / 8) << quint16(channels * bits / 8) << quint16(bits);
    if (extensible) {
        head << quint16(22) << quint16(bits) << quint32(channels == 1 ? 0x4 : 0x3) << quint16(isFloat ? 3 : 1);
        head.writeRawData("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
    }
    head.writeRawData("data", 4);
    head << quint32(data.size());
    return wav + data;
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

} // namespace

class RoomCorrectionTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;
    std::unique_ptr<PcmPlayback> playback_;
    MpvCore *core_ = nullptr;

    QString file(const QString &name) const { return dir_.filePath(name); }
    WavAudio playTone() { return playback_->play(TestMedia::path(QStringLiteral("tone_1k.wav"))); }
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
        writeTestFile(file(QStringLiteral("click.wav")), wavBytes(click, 2, 48000, 16));
        // A mono response whose only sample, of 0.5, lies 10 ms in.
        QList<double> impulse(48000 * 30 / 1000, 0.0);
        impulse[480] = 0.5;
        writeTestFile(file(QStringLiteral("ir10ms.wav")), wavBytes(impulse, 1, 48000, 16));
    }
    void init()
    {
        playerSettings().clear();
        playback_ = std::make_unique<PcmPlayback>();
        QVERIFY(playback_->isReady());
        core_ = playback_->core();
    }
    void cleanup() { playback_.reset(); }

    // Accepted files all peak at 0.5.
    void readsResponses_data()
    {
        QTest::addColumn<QByteArray>("wav");
        QTest::addColumn<int>("channels"); // 0: refused
        QTest::addColumn<qint64>("frames");
        const QList<double> stereo{0.0, 0.25, -0.5, 0.125, 0.0, 0.0};
        QTest::newRow("pcm16") << wavBytes(stereo, 2, 48000, 16) << 2 << qint64(3);
        QTest::newRow("pcm24") << wavBytes(stereo, 2, 48000, 24) << 2 << qint64(3);
        QTest::newRow("pcm8 mono") << wavBytes({0.0, -0.5}, 1, 8000, 8) << 1 << qint64(2);
        QTest::newRow("float32") << wavBytes(stereo, 2, 44100, 32, true) << 2 << qint64(3);
        QTest::newRow("float64 extensible") << wavBytes(stereo, 2, 96000, 64, true, true) << 2 << qint64(3);
        QTest::newRow("pcm24 extensible") << wavBytes({-0.5}, 1, 48000, 24, false, true) << 1 << qint64(1);
        const QByteArray good = wavBytes(stereo, 2, 48000, 16);
        // The good file with the little-endian field at `offset` overwritten.
        const auto patched = [good](int offset, const char *hex) {
            const QByteArray bytes = QByteArray::fromHex(hex);
            return QByteArray(good).replace(offset, bytes.size(), bytes);
        };
        QTest::newRow("fmt size beyond file") << patched(16, "f0ffff7f") << 0 << qint64(0);
        QTest::newRow("data size beyond file") << patched(40, "ffffffff") << 0 << qint64(0);
        QTest::newRow("block align disagrees") << patched(32, "0300") << 0 << qint64(0);
        QTest::newRow("compressed") << patched(20, "0200") << 0 << qint64(0);
        QTest::newRow("not a wav") << QByteArray("RIFX\0\0\0\0WAVEfmt ", 16) << 0 << qint64(0);
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
        QVERIFY2(qAbs(ir.peak - 0.5) < 0.01, qPrintable(QString::number(ir.peak)));
    }

    // The click comes out late by the response's delay, as loud as it went in (normalised), both
    // channels alike; a 5.1 film is shaped to stereo first, its front sides kept apart and its
    // centre in both; the equalizer's +6 dB at 1 kHz acts together with the correction; the gain
    // trim lowers the level; switched off, the sound is as it was.
    void correctsThroughThePage()
    {
        AudioAdvancedWidget page(core_);
        QVERIFY(page.setIrFile(file(QStringLiteral("ir10ms.wav"))).isEmpty());
        setControl(page, "convolutionCheck", true);

        const WavAudio clicked = playback_->play(file(QStringLiteral("click.wav")));
        QCOMPARE(clicked.channels, 2);
        QCOMPARE(peakFrame(clicked), qsizetype(4800 + 480));
        QVERIFY2(qAbs(clicked.samples.at((4800 + 480) * 2) - 0.5) < 0.01, "normalised click level");
        QVERIFY(qAbs(clicked.samples.at((4800 + 480) * 2 + 1) - 0.5) < 0.01);

        const WavAudio film = playback_->play(TestMedia::path(QStringLiteral("surround_51.mkv")));
        QCOMPARE(film.channels, 2);
        QVERIFY2(toneLevelDb(film, 440, 0) > -40 && toneLevelDb(film, 550, 1) > -40, "front sides missing");
        QVERIFY2(toneLevelDb(film, 660, 0) > -40 && toneLevelDb(film, 660, 1) > -40, "centre missing");

        QVERIFY(core_->setAudioFilter(AudioFilterSlot::GraphicEq,
                                      QStringLiteral("equalizer=f0=0.0:f1=0.0:f2=0.0:f3=0.0:f4=0.0:f5=6.0:f6=0.0:f7=0.0:f8=0.0:f9=0.0")));
        const double boosted = toneGain(playTone());
        QVERIFY2(qAbs(boosted - 6.0) < 0.3, qPrintable(QString::number(boosted)));
        QVERIFY(core_->clearAudioFilter(AudioFilterSlot::GraphicEq));

        setControl(page, "gainSlider", -12);
        const double trimmed = toneGain(playTone());
        QVERIFY2(qAbs(trimmed + 12.0) < 0.3, qPrintable(QString::number(trimmed)));

        setControl(page, "convolutionCheck", false);
        QVERIFY(playTone().samples == readWav(TestMedia::path(QStringLiteral("tone_1k.wav"))).samples);
    }

    // Refused before the engine sees it: a response too long, not a plug-in library, unknown or
    // hostile controls. The amplifier plug-in at 0.5 then halves the level, from the moment the
    // box is ticked and for the next file too.
    void pluginChainThroughThePage()
    {
        AudioAdvancedWidget page(core_);
        writeTestFile(file(QStringLiteral("long.wav")), wavBytes(QList<double>(8000 * 31, 0.1), 1, 8000, 16));
        QVERIFY(page.setIrFile(file(QStringLiteral("long.wav"))).contains(QStringLiteral("최대 30초")));
        QVERIFY(!page.addPlugin(writeTestFile(file(QStringLiteral("fake.so")), "not a library")).isEmpty());
        QVERIFY(!page.addPlugin(kAmp, QStringLiteral("no_such")).isEmpty());
        QVERIFY(!page.addPlugin(kAmp, QStringLiteral("amp_mono"), QStringLiteral("c0=1,volume=0")).isEmpty());
        QVERIFY(page.plugins().isEmpty());

        QVERIFY(page.addPlugin(kAmp, QStringLiteral("amp_stereo"), QStringLiteral("c0=0.5")).isEmpty());
        setControl(page, "pluginsCheck", true);
        for (int file = 0; file < 2; ++file) {
            const double halved = toneGain(playTone());
            QVERIFY2(qAbs(halved + 6.02) < 0.3, qPrintable(QString::number(halved)));
        }
    }

    // A response missing at start (a drive not mounted yet) keeps the choice, says so, and is
    // applied at the next start once it is back, with its gain trim; a quote, comma, bracket and
    // semicolon in its name stay part of the name.
    void missingResponseKeepsTheChoice()
    {
        QDir(dir_.path()).mkpath(QStringLiteral("room's [a]"));
        const QString later = file(QStringLiteral("room's [a]/ir',volume=0;x:1%.wav"));
        {
            QSettings settings = playerSettings();
            writeSetting(settings, SettingsKeys::audioAdvancedIrPath, later);
            writeSetting(settings, SettingsKeys::audioAdvancedConvEnabled, true);
            writeSetting(settings, SettingsKeys::audioAdvancedGainDb, -6);
        }
        QCOMPARE(AudioAdvanced::applySaved(core_), QStringList{QStringLiteral("룸 코렉션 IR 파일을 읽을 수 없습니다: ir',volume=0;x:1%.wav")});
        {
            AudioAdvancedWidget page(core_);
            QVERIFY(page.findChild<QCheckBox *>(QStringLiteral("convolutionCheck"))->isChecked());
            QVERIFY(page.findChild<QLabel *>(QStringLiteral("roomStatus"))->text().contains(QStringLiteral("다음 시작 때 적용")));
        }
        QVERIFY(AudioAdvancedChoices::load().roomCorrection);
        QVERIFY(QFile::copy(file(QStringLiteral("ir10ms.wav")), later));
        QVERIFY(AudioAdvanced::applySaved(core_).isEmpty());
        const WavAudio clicked = playback_->play(file(QStringLiteral("click.wav")));
        QCOMPARE(peakFrame(clicked), qsizetype(4800 + 480));
        QVERIFY(qAbs(clicked.samples.at((4800 + 480) * 2) - 0.25) < 0.01);
    }

    // Room correction and plug-ins are both filter graphs of one kind: when the response has
    // gone by the time the sound starts, only the correction is taken out.
    void oneFailingGraphLeavesTheOther()
    {
        const QString vanishing = file(QStringLiteral("vanishing.wav"));
        QVERIFY(QFile::copy(file(QStringLiteral("ir10ms.wav")), vanishing));
        AudioAdvancedChoices choices;
        choices.irPath = vanishing;
        choices.roomCorrection = true;
        choices.plugins = {{kAmp, QStringLiteral("amp_stereo"), QStringLiteral("c0=0.5")}};
        choices.pluginsOn = true;
        choices.save();
        QVERIFY(AudioAdvanced::applySaved(core_).isEmpty());
        QVERIFY(QFile::remove(vanishing));
        QSignalSpy failed(core_, &MpvCore::audioFilterFailed);
        const double halved = toneGain(playTone());
        QVERIFY2(qAbs(halved + 6.02) < 0.3, qPrintable(QString::number(halved)));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.first().first().value<AudioFilterSlot>(), AudioFilterSlot::RoomCorrection);
        QVERIFY(AudioAdvancedChoices::load().roomCorrection); // its file may come back
    }
};

QTEST_MAIN(RoomCorrectionTest)
#include "tst_room_correction.moc"
