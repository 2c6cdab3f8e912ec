// The graphic equalizer panel's slider, preset and user-preset rules, and the hi-fi engine's
// file test and filter chain. What they do to the sound: tst_audio_filter_playback.
#include "music/EqPanel.h"
#include "music/HiFiEngine.h"

#include <QLabel>
#include <QPushButton>
#include <QSettings>
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
    static QPushButton *button(const EqPanel &panel, const QString &text)
    {
        for (QPushButton *button : panel.findChildren<QPushButton *>())
            if (button->text() == text)
                return button;
        return nullptr;
    }

private slots:
    void init() { QSettings(QStringLiteral("Velmoran"), QStringLiteral("VelmoranPlayer")).clear(); }

    // Each row runs its steps on a new panel; whatever they do, every slider that moves reports
    // once, with all ten gains.
    void panelRules_data()
    {
        QTest::addColumn<QStringList>("steps");  // "band B V", "preset I" or the text of a button to click
        QTest::addColumn<QVariant>("stored");    // eq/user_preset beforehand
        QTest::addColumn<QList<int>>("sliders"); // afterwards; empty: not checked
        QTest::addColumn<QString>("label3");     // band 3's value label afterwards
        QTest::addColumn<QString>("filter");     // the music view's filter for the gains; empty: not checked
        const QList<int> flat(10, 0);
        const auto storedText = [](int band, const QString &value, int size = 10) {
            QStringList list(size, QStringLiteral("0"));
            list[band] = value;
            return QVariant(list);
        };
        QTest::newRow("slider") << QStringList{"band 3 25"} << QVariant() << QList<int>{0, 0, 0, 25, 0, 0, 0, 0, 0, 0} << "+2.5" << "";
        QTest::newRow("Audiophile") << QStringList{"preset 1"} << QVariant() << QList<int>() << "0"
                                    << "equalizer=f0=2.0:f1=1.0:f2=0.0:f3=0.0:f4=-0.5:f5=-0.5:f6=0.0:f7=0.5:f8=1.0:f9=1.5";
        QTest::newRow("Reset") << QStringList{"Bass Boost", "Reset"} << QVariant() << flat << "+0.0"
                               << "equalizer=f0=0.0:f1=0.0:f2=0.0:f3=0.0:f4=0.0:f5=0.0:f6=0.0:f7=0.0:f8=0.0:f9=0.0";
        QTest::newRow("no such preset") << QStringList{"preset 7", "preset -1"} << QVariant() << flat << "0" << "";
        const QString load = QStringLiteral("저장된 프리셋");
        QTest::newRow("text from the file") << QStringList{load} << storedText(3, " 2.5") << QList<int>{0, 0, 0, 25, 0, 0, 0, 0, 0, 0} << "+2.5" << "";
        QTest::newRow("numbers, clamped") << QStringList{load} << QVariant(QVariantList{1, 2.25, -3, 0, 0, 0, 0, 0, 0, 12.5})
                                          << QList<int>{10, 23, -30, 0, 0, 0, 0, 0, 0, 120} << "0" << "";
        QTest::newRow("nine entries") << QStringList{load} << storedText(3, "2.5", 9) << flat << "0" << "";
        QTest::newRow("nan") << QStringList{load} << storedText(3, "nan") << flat << "0" << "";
        QTest::newRow("saved, then loaded") << QStringList{"band 3 -35", "band 9 120", "프리셋 저장", "preset 0", load}
                                            << QVariant() << QList<int>{0, 0, 0, -35, 0, 0, 0, 0, 0, 120} << "-3.5" << "";
    }
    void panelRules()
    {
        QFETCH(QStringList, steps);
        QFETCH(QVariant, stored);
        if (stored.isValid())
            QSettings(QStringLiteral("Velmoran"), QStringLiteral("VelmoranPlayer")).setValue("eq/user_preset", stored);
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
            else if (QPushButton *target = button(panel, step))
                target->click();
            else
                QFAIL(qPrintable(step));
            int moved = 0;
            for (int band = 0; band < EqPanel::kBandCount; ++band)
                moved += before.at(band) != sliders(panel).at(band);
            QCOMPARE(changed.size(), moved);
            if (moved > 0)
                QCOMPARE(changed.last().at(0).value<QList<double>>(), panel.gains());
        }
        QFETCH(QList<int>, sliders);
        QFETCH(QString, label3);
        QFETCH(QString, filter);
        if (!sliders.isEmpty())
            QCOMPARE(EqualizerTest::sliders(panel), sliders);
        QCOMPARE(panel.findChild<QLabel *>(QStringLiteral("value3"))->text(), label3);
        if (!filter.isEmpty())
            QCOMPARE(EqPanel::filterString(panel.gains()), filter);
    }

    // Stored gains beyond ±12 dB are clamped before they reach a slider, which would only hide it.
    void storedGainsAreClamped()
    {
        QCOMPARE(EqPanel::presetSliderValues(QVariantList{12.5, -12.5, 0, 0, 0, 0, 0, 0, 0, 11.96}),
                 (std::optional<QList<int>>{{120, -120, 0, 0, 0, 0, 0, 0, 0, 120}}));
    }

    void hiFiRules_data()
    {
        QTest::addColumn<QString>("path"); // an isAudioFile row; empty: a filter chain row
        QTest::addColumn<bool>("audio");
        QTest::addColumn<int>("quality");
        QTest::addColumn<bool>("eqOn");
        QTest::addColumn<QString>("chain"); // with -3 dB at 1 kHz
        QTest::newRow("stream ending in .flac") << "https://example.com/a.flac" << false << 0 << false << "";
        QTest::newRow("upper-case suffix") << "C:/x/Track.FLAC" << true << 0 << false << "";
        QTest::newRow("medium resampler, equalizer off") << "" << false << 2 << false << "lavrresample:filter_size=64:phase_shift=10";
        QTest::newRow("fast resampler and the equalizer")
            << "" << false << 1 << true
            << "lavrresample:filter_size=16:phase_shift=8,equalizer=31/1.41/0.0:63/1.41/0.0:125/1.41/0.0:250/1.41/0.0:"
               "500/1.41/0.0:1000/1.41/-3.0:2000/1.41/0.0:4000/1.41/0.0:8000/1.41/0.0:16000/1.41/0.0";
    }
    void hiFiRules()
    {
        QFETCH(QString, path);
        QFETCH(bool, audio);
        QFETCH(int, quality);
        QFETCH(bool, eqOn);
        QFETCH(QString, chain);
        if (!path.isEmpty()) {
            QCOMPARE(HiFiEngine::isAudioFile(path), audio);
            return;
        }
        HiFiEngine hifi(nullptr);
        hifi.setResamplerQuality(quality);
        hifi.setEqEnabled(eqOn);
        QCOMPARE(hifi.buildFilterChain(), chain.section(QLatin1Char(','), 0, 0)); // flat: no equalizer
        hifi.setBandGain(5, -3.0);
        QCOMPARE(hifi.buildFilterChain(), chain);
    }
};

QTEST_MAIN(EqualizerTest)
#include "tst_equalizer.moc"
