// The picture-enhancement page on the real engine, judged by read-back values and rendered
// frames, and the rules of its graphs.
#include "ShownEngine.h"
#include "TestFiles.h"
#include "TestMedia.h"
#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "enhance/GpuStats.h"
#include "enhance/PerfGraph.h"
#include "enhance/UpscaleWidget.h"
#include "settings/NetworkBrowserWidget.h"
#include "settings/SettingsDialog.h"
#include "settings/VideoAdvancedWidget.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <functional>

namespace {
QMap<QString, QString> engineValues(MpvCore *core)
{
    QMap<QString, QString> values;
    for (const QString &name : UpscaleModes::touchedProperties())
        values.insert(name, core->propertyText(name));
    return values;
}

// The frame once the engine has drawn the current settings: two grabs in a row that agree.
QImage settledFrame(MpvWidget &surface)
{
    QImage last = surface.grabFramebuffer();
    for (int i = 0; i < 20; ++i) {
        QTest::qWait(150);
        const QImage next = surface.grabFramebuffer();
        if (next == last)
            return next;
        last = next;
    }
    return last;
}
// How sharp a picture is: the summed brightness steps between horizontal neighbours.
double edgeEnergy(const QImage &frame)
{
    double sum = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 1; x < frame.width(); ++x)
            sum += qAbs(qGray(frame.pixel(x, y)) - qGray(frame.pixel(x - 1, y)));
    return sum;
}
} // namespace

class UpscaleTest : public QObject
{
    Q_OBJECT

private slots:
    void modesReachTheEngineAndTheFrame()
    {
        MpvWidget surface;
        QVERIFY(startPlaying(surface, QStringLiteral("clip_320x240.mp4")));
        MpvCore *core = surface.core();
        core->setMpvProperty(QStringLiteral("pause"), true);
        const QMap<QString, QString> before = engineValues(core);
        const QImage original = settledFrame(surface);

        UpscaleWidget panel(core);
        QCOMPARE(engineValues(core), before); // opening the page changes nothing

        const std::pair<UpscaleMode, const char *> scalers[] = {
            {UpscaleMode::Lanczos, "lanczos"}, {UpscaleMode::Fsr, "ewa_lanczos"}, {UpscaleMode::RtxVsr, "ewa_lanczossharp"}};
        // Each change is waited for until the picture moves on; a busy machine draws late. This
        // engine's separable lanczos now and then draws a blank picture on the software renderer
        // (measured), so only its values are judged there.
        QImage previous = original;
        for (const auto &[mode, scale] : scalers) {
            panel.setStrength(1);
            panel.setMode(mode);
            QCOMPARE(core->propertyText(QStringLiteral("scale")), QString::fromLatin1(scale));
            const double softBlur = core->propertyText(QStringLiteral("scale-blur")).toDouble();
            const bool judgeFrames = mode != UpscaleMode::Lanczos;
            QImage soft;
            if (judgeFrames) {
                QTRY_VERIFY2(surface.grabFramebuffer() != previous, scale);
                soft = settledFrame(surface);
                QVERIFY2(soft != original, scale);
            }
            panel.setStrength(4);
            QVERIFY2(core->propertyText(QStringLiteral("scale-blur")).toDouble() < softBlur, scale);
            if (!judgeFrames)
                continue;
            QTRY_VERIFY2(surface.grabFramebuffer() != soft, scale); // the strength sharpens every scaler
            previous = settledFrame(surface);
            QVERIFY2(edgeEnergy(previous) > edgeEnergy(soft), scale);
        }
        panel.setStrength(9);
        QCOMPARE(panel.strength(), 4);

        panel.setMode(UpscaleMode::Rife);
        QCOMPARE(core->propertyText(QStringLiteral("interpolation")), QStringLiteral("yes"));
        panel.setShaderFolder(QStringLiteral("/nonexistent"));
        panel.setMode(UpscaleMode::RealEsrgan);
        panel.setStrength(2); // the shader's state shows once the mode is applied again
        QCOMPARE(panel.statusText(), QStringLiteral("⚠️ 셋어 파일 없음 - 고화질 알고리즘 적용중"));

        panel.setMode(UpscaleMode::Off);
        QCOMPARE(engineValues(core), before);
        QTRY_COMPARE(surface.grabFramebuffer(), original);
    }

    // Every picture choice holds when the next file plays.
    void choicesHoldOnTheNextFile_data()
    {
        QTest::addColumn<QString>("choice");
        for (const char *choice : {"upscaling mode", "settings scaler", "3D LUT", "360°"})
            QTest::newRow(choice) << QString::fromUtf8(choice);
    }
    void choicesHoldOnTheNextFile()
    {
        QFETCH(QString, choice);
        MpvWidget surface;
        QVERIFY(startPlaying(surface, QStringLiteral("clip_320x240.mp4")));
        MpvCore *core = surface.core();
        QTemporaryDir dir;
        UpscaleWidget panel(core);
        SettingsDialog dialog(core);
        VideoAdvancedWidget calibration(core);
        NetworkBrowserWidget network(core);
        const auto text = [core](const char *name) { return core->propertyText(QLatin1String(name)); };
        std::function<bool()> holds;
        if (choice == QLatin1String("upscaling mode")) {
            panel.setMode(UpscaleMode::Fsr);
            holds = [&] { return text("scale") == QLatin1String("ewa_lanczos") && panel.statusText() == QStringLiteral("AMD FSR 활성화됨"); };
        } else if (choice == QLatin1String("settings scaler")) {
            setControl(dialog, "scalingCombo", "lanczos");
            dialog.onApply();
            holds = [&] { return text("scale") == QLatin1String("lanczos"); };
        } else if (choice == QLatin1String("3D LUT")) {
            calibration.setLutPath(writeTestFile(dir.filePath(QStringLiteral("invert.cube")), kInvertingLut));
            setControl(calibration, "lutCheckBox", true);
            holds = [&] { return isBlueish(yellowBarPixel(surface)); };
        } else {
            setControl(network, "vr360Check", true);
            holds = [&] { return text("vf").contains(QLatin1String("@vr360:")); };
        }
        QTRY_VERIFY_WITH_TIMEOUT(holds(), 5000);
        QSignalSpy loaded(core, &MpvCore::fileLoaded);
        surface.loadFile(TestMedia::path(QStringLiteral("clip_320x240.mp4")));
        QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty() && core->position() > 0.5, 10000);
        QTest::qWait(300); // the new video's own decisions have all come in
        QTRY_VERIFY_WITH_TIMEOUT(holds(), 5000);
    }

    void graphsAndCounters()
    {
        // One value draws a point, not a division by zero; values above the scale stay inside.
        const QList<QPointF> single = PerfGraph::linePoints({42.0}, 100.0, QSize(200, 70));
        QCOMPARE(single.size(), 1);
        QVERIFY(std::isfinite(single.first().x()) && std::isfinite(single.first().y()));
        for (const QPointF &point : PerfGraph::linePoints({10.0, 250.0, 30.0}, 100.0, QSize(200, 70)))
            QVERIFY(point.y() >= 0 && point.y() <= 70 && point.x() >= 8 && point.x() <= 192);

        QTemporaryDir drm;
        QVERIFY(!GpuStats::read(drm.path()).busyPercent); // software rendering: nothing to show
        QDir(drm.path()).mkpath(QStringLiteral("card0/device"));
        QDir(drm.path()).mkpath(QStringLiteral("card0-HDMI-A-1"));
        writeTestFile(drm.filePath(QStringLiteral("card0/device/gpu_busy_percent")), "37\n");
        writeTestFile(drm.filePath(QStringLiteral("card0/device/mem_info_vram_used")), "2147483648\n");
        const GpuStats stats = GpuStats::read(drm.path());
        QCOMPARE(stats.busyPercent.value_or(-1), 37.0);
        QCOMPARE(stats.vramUsedGiB.value_or(-1), 2.0);
    }
};

QTEST_MAIN(UpscaleTest)
#include "tst_upscale.moc"
