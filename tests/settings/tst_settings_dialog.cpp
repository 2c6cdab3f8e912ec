// The preferences window: what it stores, what it tells the engine (real libmpv under Xvfb,
// and a fake engine where the count of writes matters), and the start-up replay of stored choices.
#include "FakeEngineSession.h"
#include "ShownEngine.h"
#include "TestFiles.h"

#include "engine/MpvCore.h"
#include "settings/SettingsDialog.h"

#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QPushButton>
#include <QTest>

namespace {

QString shownText(SettingsDialog &dialog, const char *name)
{
    return dialog.findChild<QComboBox *>(QLatin1String(name))->currentText();
}

void apply(SettingsDialog &dialog)
{
    dialog.findChild<QPushButton *>(QStringLiteral("btnApply"))->click();
}

QVariantMap device(const QString &name, const QString &description)
{
    return {{QStringLiteral("name"), name}, {QStringLiteral("description"), description}};
}

} // namespace

class SettingsDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { playerSettings().clear(); }

    // Real libmpv: the values the restart round trip does not cover reach the engine, the user's
    // scaler wins over the profile's, and a reopened window starts from what the engine now uses.
    void applyReachesTheEngine()
    {
        ShownEngine engine;
        QVERIFY(engine.start());
        MpvCore &core = engine.core;
        core.loadFile(TestMedia::path(QStringLiteral("clip_320x240.mp4")));

        const std::pair<const char *, const char *> choices[] = {
            {"profileCombo", "Eco (절전 - 노트북 통합 GPU)"}, {"scalingCombo", "lanczos"}, {"toneMappingCombo", "hable"},
            {"fontCombo", "나눔고딕"}, {"colorCombo", "노란색"}};
        {
            SettingsDialog dialog(&core);
            for (const auto &[name, value] : choices)
                setControl(dialog, name, value);
            apply(dialog);
        }
        const auto text = [&core](const char *name) { return core.propertyText(QLatin1String(name)); };
        QCOMPARE(text("scale") + ' ' + text("dscale"), QStringLiteral("lanczos lanczos"));
        QCOMPARE(text("tone-mapping"), QStringLiteral("hable"));
        QVERIFY2(QFontDatabase::hasFamily(text("sub-font")), qPrintable(text("sub-font")));
        QVERIFY(text("sub-color").toUpper().endsWith(QLatin1String("FFFF00")));
        // The store holds the service keys: the owner alone may read it.
        QCOMPARE(QFile::permissions(playerSettings().fileName()) & 0x0FFF, QFile::ReadUser | QFile::WriteUser);

        SettingsDialog reopened(&core);
        QCOMPARE(shownText(reopened, "toneMappingCombo"), QStringLiteral("hable"));
        QCOMPARE(shownText(reopened, "colorCombo"), QStringLiteral("노란색"));
        setControl(reopened, "toneMappingCombo", "clip (끄기)");
        apply(reopened);
        QCOMPARE(text("tone-mapping"), QStringLiteral("hable"));
    }

    // Rewriting the audio options reopens the output; only what changed goes out.
    void onlyChangesAreWritten()
    {
        FakeEngine engine = makeFakeEngine();
        const QString analog = QStringLiteral("pulse/alsa_output.pci-0000_00_1f.3.analog-stereo");
        const QString hdmi = QStringLiteral("alsa/hdmi:CARD=PCH,DEV=0");
        engine.fake->properties.insert(QStringLiteral("audio-device-list"),
                                       QVariantList{device(QStringLiteral("auto"), QStringLiteral("Autoselect device")),
                                                    device(analog, QStringLiteral("Built-in Audio Analog Stereo")),
                                                    device(hdmi, QStringLiteral("HDA Intel PCH, HDMI 0"))});
        SettingsDialog dialog(engine.core.get());
        auto *devices = dialog.findChild<QComboBox *>(QStringLiteral("deviceCombo"));
        QCOMPARE(devices->currentData().toString(), QStringLiteral("auto"));
        QVERIFY(devices->itemText(2).contains(QLatin1String("HDMI 0")));

        apply(dialog);
        QCOMPARE(engine.fake->namesWritten(), QStringList());

        devices->setCurrentIndex(2);
        apply(dialog);
        QCOMPARE(engine.fake->namesWritten(), QStringList{QStringLiteral("audio-device")});
        QCOMPARE(engine.fake->valuesWritten(QStringLiteral("audio-device")), QVariantList{hdmi});

        // A new profile rewrites the scalers and debanding; only the user's own picks follow it.
        setControl(dialog, "scalingCombo", "lanczos");
        apply(dialog);
        engine.fake->clearRecords();
        setControl(dialog, "profileCombo", "HiEnd (최고화질 - 전문가용)");
        apply(dialog);
        QCOMPARE(engine.fake->valuesWritten(QStringLiteral("scale")).last().toString(), QStringLiteral("lanczos"));
        QCOMPARE(engine.fake->valuesWritten(QStringLiteral("deband")), QVariantList{"yes"});
        QVERIFY(!engine.fake->namesWritten().contains(QStringLiteral("audio-spdif")));
    }

    // The engine reads the threshold back as a decimal; the strength shown is the engine's, and
    // a profile change leaves it alone unless the user picked one. An unpicked scaler shows what
    // the engine uses.
    void debandStrengthAndScalerShowTheEngine()
    {
        FakeEngine engine = makeFakeEngine();
        engine.fake->properties.insert(QStringLiteral("deband-threshold"), QStringLiteral("64.000000"));
        engine.fake->properties.insert(QStringLiteral("scale"), QStringLiteral("bilinear"));
        SettingsDialog dialog(engine.core.get());
        QCOMPARE(shownText(dialog, "debandStrengthCombo"), QStringLiteral("강하게"));
        QCOMPARE(shownText(dialog, "scalingCombo"), QStringLiteral("bilinear (빠름)"));
        setControl(dialog, "profileCombo", "Balanced (균형 - 중급 GPU)");
        apply(dialog);
        QVERIFY(engine.fake->valuesWritten(QStringLiteral("deband-threshold")).isEmpty());
    }

    // What the start replays: only what the user picked. A file of an earlier version stored
    // every control on each apply, so there a default is no pick.
    void startReplaysOnlyPicks_data()
    {
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<QStringList>("writes"); // scale, deband and hwdec writes, and the profile's dither
        const QVariantMap defaults{{"video/render_profile", 2}, {"video/scaling", "spline36"}, {"video/deband", false},
                                   {"video/hwdec", "d3d11va (DirectX 11)"}, {"video/motion_smoothing", false}};
        QTest::newRow("empty store") << QVariantMap() << QStringList();
        QTest::newRow("earlier file, defaults") << defaults << QStringList();
        QVariantMap earlier = defaults;
        earlier.insert({{"video/render_profile", 0}, {"video/scaling", "lanczos"}});
        QTest::newRow("earlier file, other values")
            << earlier << QStringList{"scale=bilinear", "deband=no", "dither=no", "scale=lanczos"};
        QVariantMap picked = earlier;
        picked.insert({{"video/chosen", QStringList{"deband", "hwdec"}}, {"video/hwdec", "nvdec-copy"}});
        QTest::newRow("picks named") << picked << QStringList{"deband=no", "hwdec=nvdec"};
    }
    void startReplaysOnlyPicks()
    {
        QFETCH(QVariantMap, stored);
        QSettings s = playerSettings();
        for (auto it = stored.cbegin(); it != stored.cend(); ++it)
            s.setValue(it.key(), it.value());
        s.sync();
        FakeEngine engine = makeFakeEngine();
        SettingsDialog::applySavedAtStart(engine.core.get());
        QStringList writes;
        for (const FakeEngineSession::Write &write : engine.fake->writes)
            if (QStringList{"scale", "deband", "hwdec", "dither"}.contains(write.name))
                writes << write.name + u'=' + write.value.toString();
        QTEST(writes, "writes");
    }
};

QTEST_MAIN(SettingsDialogTest)
#include "tst_settings_dialog.moc"
