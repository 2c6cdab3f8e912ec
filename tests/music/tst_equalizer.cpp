// The graphic equalizer panel's slider, preset and user-preset rules, and the hi-fi engine's
// audio-file test and filter chain. What they do to the sound: tst_audio_filter_playback.
#include "TestFiles.h"
#include "app/SettingsKeys.h"
#include "music/EqPanel.h"
#include "music/HiFiEngine.h"

#include <QLabel>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>

class EqualizerTest : public QObject
{
    Q_OBJECT

    static QList<int> sliders(const EqPanel &panel)
    {
        QList<int> values;
        for (int band = 0; band < EqPanel::kBandCount; ++band)
            values << panel.findChild<QSlider *>(QStringLiteral("band%1").arg(band))->value();
        return values;
    }

private slots:
    void init() { playerSettings().clear(); }

    // Each row runs its steps on a new panel; whatever they do, every slider that moves reports
    // once, with all ten gains.
    void panelRules_data()
    {
        QTest::addColumn<QStringList>("steps");  // "band B V", "preset I" or the text of a button to click
        QTest::addColumn<QVariant>("stored");    // eq/user_preset beforehand
        QTest::addColumn<QList<int>>("sliders"); // afterwards
        QTest::addColumn<QString>("label3");     // band 3's value label afterwards
        QTest::addColumn<QVariant>("filter");    // what the panel has the engine run; invalid: not checked
        const QList<int> flat(10, 0);
        const QList<int> audiophile{20, 10, 0, 0, -5, -5, 0, 5, 10, 15};
        const QVariant any;
        QTest::newRow("Reset") << QStringList{"Bass Boost", "Reset"} << any << flat << "+0.0" << any;
        QTest::newRow("no such preset") << QStringList{"preset 7", "preset -1"} << any << flat << "0" << any;
        const QString load = QStringLiteral("저장된 프리셋");
        QTest::newRow("text from the file") << QStringList{load} << QVariant(QStringList(10, " 2.5")) << QList<int>(10, 25) << "+2.5" << any;
        QTest::newRow("nine entries") << QStringList{load} << QVariant(QStringList(9, "2.5")) << flat << "0" << any;
        QTest::newRow("infinite") << QStringList{load} << QVariant(QStringList(10, "inf")) << flat << "0" << any;
        // Beyond ±12 dB a slider would only hide the number.
        QTest::newRow("rounded half away from zero, clamped")
            << QStringList{load} << QVariant(QVariantList{12.5, -12.5, 2.25, -3, 0, 0, 0, 0, 0, 11.96})
            << QList<int>{120, -120, 23, -30, 0, 0, 0, 0, 0, 120} << "-3.0" << any;
        QTest::newRow("saved, then loaded") << QStringList{"band 3 -35", "band 9 120", "프리셋 저장", "preset 0", load}
                                            << any << QList<int>{0, 0, 0, -35, 0, 0, 0, 0, 0, 120} << "-3.5" << any;
        // "ON" off bypasses the equalizer and keeps the sliders, which still move; on, it runs them.
        QTest::newRow("switched off") << QStringList{"preset 1", "ON", "band 3 25"} << any
                                      << QList<int>{20, 10, 0, 25, -5, -5, 0, 5, 10, 15} << "+2.5" << QVariant(QString());
        QTest::newRow("Audiophile, switched off and on") << QStringList{"preset 1", "ON", "ON"} << any << audiophile << "0"
            << QVariant("equalizer=f0=2.0:f1=1.0:f2=0.0:f3=0.0:f4=-0.5:f5=-0.5:f6=0.0:f7=0.5:f8=1.0:f9=1.5");
    }
    void panelRules()
    {
        QFETCH(QStringList, steps);
        QFETCH(QVariant, stored);
        if (stored.isValid())
            playerSettings().setValue(QLatin1StringView(SettingsKeys::eqUserPreset.name), stored);
        EqPanel panel;
        QSignalSpy changed(&panel, &EqPanel::eqChanged);
        for (const QString &step : steps) {
            const QStringList words = step.split(QLatin1Char(' '));
            const QList<int> before = sliders(panel);
            changed.clear();
            if (words.at(0) == QLatin1String("band"))
                panel.findChild<QSlider *>(QStringLiteral("band") + words.at(1))->setValue(words.at(2).toInt());
            else if (words.at(0) == QLatin1String("preset"))
                panel.applyPreset(words.at(1).toInt());
            else
                buttonWithText(panel, step)->click();
            int moved = 0;
            for (int band = 0; band < EqPanel::kBandCount; ++band)
                moved += before.at(band) != sliders(panel).at(band);
            QCOMPARE(changed.size(), moved);
            if (moved > 0)
                QCOMPARE(changed.last().at(0).value<QList<double>>(), panel.gains());
        }
        QFETCH(QList<int>, sliders);
        QFETCH(QString, label3);
        QFETCH(QVariant, filter);
        QCOMPARE(EqualizerTest::sliders(panel), sliders);
        QCOMPARE(panel.findChild<QLabel *>(QStringLiteral("value3"))->text(), label3);
        if (filter.isValid())
            QCOMPARE(panel.engineFilter(), filter.toString());
    }

    void audioFilesByName()
    {
        QVERIFY(!HiFiEngine::isAudioFile(QStringLiteral("https://example.com/a.flac"))); // a stream
        QVERIFY(HiFiEngine::isAudioFile(QStringLiteral("C:/x/Track.FLAC")));
    }

    // The resampler at its quality; the equalizer only while it is on and not flat.
    void filterChain()
    {
        HiFiEngine hifi(nullptr);
        hifi.setResamplerQuality(2);
        hifi.setBandGain(5, -3.0);
        QCOMPARE(hifi.buildFilterChain(), "lavrresample:filter_size=64:phase_shift=10");
        hifi.setResamplerQuality(1);
        hifi.setEqEnabled(true);
        QCOMPARE(hifi.buildFilterChain(), "lavrresample:filter_size=16:phase_shift=8,equalizer=31/1.41/0.0:63/1.41/0.0:125/1.41/0.0:"
                                          "250/1.41/0.0:500/1.41/0.0:1000/1.41/-3.0:2000/1.41/0.0:4000/1.41/0.0:8000/1.41/0.0:16000/1.41/0.0");
        hifi.setBandGain(5, 0.0);
        QCOMPARE(hifi.buildFilterChain(), "lavrresample:filter_size=16:phase_shift=8");
    }
};

QTEST_MAIN(EqualizerTest)
#include "tst_equalizer.moc"
