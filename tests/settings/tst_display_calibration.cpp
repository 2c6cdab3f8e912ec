// Display calibration: the .cube reader's rules, and the LUT and colour-space presets on the real
// engine, judged by the rendered frame.
#include "ShownEngine.h"
#include "TestFiles.h"
#include "settings/CubeLut.h"
#include "settings/VideoAdvancedWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The inverting LUT at the largest size there is, a common export size, with the header lines
// other tools add.
const QByteArray kLargeInvertingLut = [] {
    QByteArray text = "TITLE \"invert\"\nLUT_3D_SIZE 65\nLUT_IN_VIDEO_RANGE\nLUT_OUT_VIDEO_RANGE\n";
    for (int i = 0; i < 65 * 65 * 65; ++i) {
        const int steps[] = {i % 65, i / 65 % 65, i / (65 * 65)}; // red changes fastest
        for (int c = 0; c < 3; ++c)
            text += QByteArray::number(1.0 - steps[c] / 64.0, 'f', 6) + (c == 2 ? '\n' : ' ');
    }
    return text;
}();

QStringList shaderList(MpvCore *core)
{
    return core->getMpvProperty(QStringLiteral("glsl-shaders")).toStringList();
}

const QString kClip = QStringLiteral("clip_320x240.mp4");

} // namespace

class DisplayCalibrationTest : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir dir_;

private slots:
    void cubeRules_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("size"); // 0: refused

        QTest::newRow("title, domain, comments, CRLF")
            << QByteArray("# made by a probe\r\nTITLE \"Panel #2\"\r\nDOMAIN_MIN 0 0 0\r\nDOMAIN_MAX 2 2 2\r\n"
                          "LUT_3D_SIZE 2 # two\r\n\r\n" + QByteArray("0.5 .5 5e-1\r\n").repeated(8))
            << 2;
        QTest::newRow("one entry short") << QByteArray("LUT_3D_SIZE 2\n" + QByteArray("0 0 0\n").repeated(7)) << 0;
        QTest::newRow("size 1") << QByteArray("LUT_3D_SIZE 1\n0 0 0\n") << 0;
        QTest::newRow("size 66") << QByteArray("LUT_3D_SIZE 66\n" + QByteArray("0 0 0\n").repeated(66 * 66 * 66)) << 0;
        QTest::newRow("keyword inside data") << QByteArray("LUT_3D_SIZE 2\n0 0 0\nLUT_IN_VIDEO_RANGE\n"
                                                           + QByteArray("0 0 0\n").repeated(7))
                                             << 0;
        QTest::newRow("no size") << QByteArray("0 0 0\n") << 0;
        QTest::newRow("non-numeric") << QByteArray("LUT_3D_SIZE 2\n" + QByteArray("0 0 x\n").repeated(8)) << 0;
        QTest::newRow("nan") << QByteArray("LUT_3D_SIZE 2\n" + QByteArray("nan 0 0\n").repeated(8)) << 0;
        QTest::newRow("1D") << QByteArray("LUT_1D_SIZE 2\n0 0 0\n1 1 1\n") << 0;
        QTest::newRow("empty domain") << QByteArray("DOMAIN_MIN 1 0 0\nDOMAIN_MAX 1 1 1\nLUT_3D_SIZE 2\n"
                                                    + QByteArray("0 0 0\n").repeated(8))
                                      << 0;
        QTest::newRow("size after data") << QByteArray("LUT_3D_SIZE 2\n" + QByteArray("0 0 0\n").repeated(8)
                                                       + "LUT_3D_SIZE 2\n")
                                         << 0;
    }
    void cubeRules()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, size);
        QString error;
        const auto lut = CubeLut::parse(text, &error);
        QCOMPARE(lut.has_value(), size > 0);
        if (!lut) {
            QVERIFY(!error.isEmpty());
            return;
        }
        QCOMPARE(lut->size, size);
        QCOMPARE(lut->rgb.size(), size_t(size * size * size * 3));
    }

    void cubeFields()
    {
        QString error;
        const auto lut = CubeLut::parse("TITLE \"Panel #2\" # probe\nDOMAIN_MAX 2 2 2\n" + kInvertingLut, &error);
        QVERIFY2(lut, qPrintable(error));
        QCOMPARE(lut->title, QStringLiteral("Panel #2"));
        QCOMPARE(lut->domainMax[1], 2.0f);
    }

    // Drawn through the 65³ table, red changing fastest in the file: an axis taken in the wrong
    // order would turn the yellow bar red, not blue.
    void invertingLutChangesTheFrame()
    {
        MpvWidget surface;
        QVERIFY(startPlaying(surface, kClip));
        VideoAdvancedWidget page(surface.core());
        QSignalSpy changed(&page, &VideoAdvancedWidget::lutChanged);
        QVERIFY(!isBlueish(yellowBarPixel(surface)));

        // Quotes, commas and colons in the LUT's name reach the engine only as our cache file.
        page.setLutPath(writeTestFile(dir_.filePath(QStringLiteral("it's, a:lut.cube")), kLargeInvertingLut));
        page.findChild<QCheckBox *>()->setChecked(true);
        QTRY_VERIFY_WITH_TIMEOUT(page.statusText().startsWith(QStringLiteral("3D LUT 적용됨")), 5000);
        QCOMPARE(changed.size(), 1);
        QTRY_VERIFY2_WITH_TIMEOUT(isBlueish(yellowBarPixel(surface)), qPrintable(QColor(yellowBarPixel(surface)).name()), 3000);

        // Applying again replaces our entry instead of adding a second one.
        page.applyLut();
        QTRY_VERIFY_WITH_TIMEOUT(page.statusText().startsWith(QStringLiteral("3D LUT 적용됨")), 5000);
        QCOMPARE(shaderList(surface.core()).size(), 1);

        page.findChild<QCheckBox *>()->setChecked(false);
        QTRY_VERIFY(shaderList(surface.core()).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(!isBlueish(yellowBarPixel(surface)), 3000);
        QCOMPARE(changed.last().at(0).toBool(), false);

        // A malformed file is refused and playback goes on without it.
        page.setLutPath(writeTestFile(dir_.filePath(QStringLiteral("short.cube")), "LUT_3D_SIZE 2\n0 0 0\n"));
        page.findChild<QCheckBox *>()->setChecked(true);
        QVERIFY(page.statusText().startsWith(QStringLiteral("오류")));
        QVERIFY(!page.findChild<QCheckBox *>()->isChecked() && shaderList(surface.core()).isEmpty());
    }

    // Features share the engine's shader list in a fixed order, and a shader the GPU cannot
    // compile is taken out again, so the picture goes on without it.
    void shaderListKeepsOrderAndDropsWhatDoesNotCompile()
    {
        MpvWidget surface;
        QVERIFY(startPlaying(surface, kClip));
        MpvCore *core = surface.core();
        QSignalSpy failed(core, &MpvCore::shaderFailed);
        QSignalSpy running(core, &MpvCore::shadersRunning);
        const QString passThrough = writeTestFile(dir_.filePath(QStringLiteral("pass.glsl")),
                                              "//!HOOK MAIN\n//!BIND HOOKED\nvec4 hook() { return HOOKED_tex(HOOKED_pos); }\n");
        const QString broken = writeTestFile(dir_.filePath(QStringLiteral("broken.glsl")),
                                         "//!HOOK MAIN\n//!BIND HOOKED\nvec4 hook() { return undeclared; }\n");

        QVERIFY(core->setShaders(ShaderSlot::Calibration, {passThrough}));
        QTRY_COMPARE_WITH_TIMEOUT(running.size(), 1, 5000);
        QVERIFY(core->setShaders(ShaderSlot::Upscaling, {broken}));
        QCOMPARE(shaderList(core), (QStringList{broken, passThrough}));

        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 5000);
        QCOMPARE(failed.first().at(0).value<ShaderSlot>(), ShaderSlot::Upscaling);
        QCOMPARE(shaderList(core), QStringList{passThrough});
        QVERIFY(core->shaders(ShaderSlot::Upscaling).isEmpty());
        const double before = core->position();
        QTRY_VERIFY_WITH_TIMEOUT(core->position() > before + 0.5, 5000);
        const auto yellow = [&surface] {
            const QRgb pixel = yellowBarPixel(surface);
            return qRed(pixel) > 160 && qGreen(pixel) > 160 && qBlue(pixel) < 110;
        };
        QTRY_VERIFY_WITH_TIMEOUT(yellow(), 3000); // drawn again, and drawn right
        QCOMPARE(failed.size(), 1);
    }

    void presetsReadBackAndAutoRestores()
    {
        MpvWidget surface;
        QVERIFY(startPlaying(surface, kClip));
        MpvCore *core = surface.core();
        VideoAdvancedWidget page(core);
        auto *presets = page.findChild<QComboBox *>(QStringLiteral("colorspaceBox"));
        const auto target = [core] {
            return core->propertyText(QStringLiteral("target-prim")) + QLatin1Char('/')
                   + core->propertyText(QStringLiteral("target-trc"));
        };
        QSet<QString> seen;
        for (int index = 1; index < presets->count(); ++index) {
            presets->setCurrentIndex(index);
            seen << target();
        }
        // Every preset took effect (none was refused and left "auto" behind) and all differ.
        QVERIFY(!seen.contains(QStringLiteral("auto/auto")));
        QCOMPARE(seen.size(), presets->count() - 1);
        presets->setCurrentIndex(0);
        QCOMPARE(target(), QStringLiteral("auto/auto"));
    }
};

QTEST_MAIN(DisplayCalibrationTest)
#include "tst_display_calibration.moc"
