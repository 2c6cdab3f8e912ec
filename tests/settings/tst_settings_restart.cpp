// Every choice the settings dialog and the processing pages store, made through their controls
// in the player's window in one process, and shown by the window and the engine of the next
// process: within one process Qt's settings cache hides a key that cannot be read back. The
// test's executable plays both starts itself ("--set", "--show") to reach the controls; the
// player binary then shows the last file resumed.
#include "PlayerProcess.h"
#include "ShownEngine.h"
#include "TestFiles.h"
#include "TestMedia.h"
#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "mainwindow/MainWindow.h"
#include "settings/AudioAdvancedWidget.h"
#include "settings/SettingsDialog.h"
#include "settings/VideoAdvancedWidget.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

// Long enough for every choice to show on a slow machine.
const QString kClip = QStringLiteral("clip_100s.mp4");

// One stored choice: the control that makes it (or `act`, for what a file chooser or button
// does), what that control shows after the restart, and an engine property with a pattern its
// value matches.
struct Row {
    const char *key;
    const char *control;
    QVariant pick = {};
    QString shown = {}; // empty: the pick as text
    const char *property = nullptr;
    const char *engine = nullptr;
    std::function<void(QWidget &window, const QString &folder)> act = {};
};

QList<Row> rows()
{
    return {
        {"audio/device", "deviceCombo", "기본 장치 (auto)", {}, "audio-device", "^auto$"},
        {"audio/exclusive", "exclusiveCheck", false, {}, "audio-exclusive", "^no$"},
        {"audio/passthrough", "passthroughCheck", false, {}, "audio-spdif", "^$"},
        {"audio/pt_ac3", "ac3Check", false},
        {"audio/pt_eac3", "eac3Check", false},
        {"audio/pt_dts", "dtsCheck", false},
        {"audio/pt_dtshd", "dtsHdCheck", false},
        {"audio/pt_truehd", "trueHdCheck", false},
        {"audio/volume", "volumeSlider", 150, {}, "volume", "^150"},
        {"audio/dsd_mode", "dsdCombo", "PCM 변환 (호환성 우선)"}, // the only one this engine offers
        {"remote/enabled", "remoteCheck", true},
        {"video/hwdec", "hwdecCombo", "nvdec-copy", {}, "hwdec", "^nvdec$"},
        {"video/gpu_api, video/vo_index", "gpuApiCombo", "OpenGL (호환성)", {}, "gpu-api", "^opengl$"},
        {"video/surface", "surfaceCombo", "OpenGL"}, // the test's surface is forced to it besides
        {"video/render_profile", "profileCombo", "Eco (절전 - 노트북 통합 GPU)", {}, "dither", "^no$"},
        {"video/scaling", "scalingCombo", "lanczos", {}, "scale", "^lanczos$"},
        {"video/deband", "debandCheck", true, {}, "deband", "^yes$"},
        {"video/motion_smoothing", "motionSmoothingCheck", true, {}, "interpolation", "^yes$"},
        {"General/remember_pos", "rememberPosCheck", false},
        {"General/resume", "resumeCheck", true, {}, "filename", "^clip_100s\\.mp4$"}, // started without files
        {"General/screenshot_dir", "screenshotDirEdit", "/tmp/스크린샷 폴더"},
        {"General/screenshot_format", "screenshotFormatCombo", "WEBP"},
        {"General/language", "languageCombo", "한국어"},
        {"subtitle/auto_load", "autoLoadCheck", false, {}, "sub-auto", "^no$"},
        {"subtitle/opensubtitles_apikey", "openSubtitlesKeyEdit", " os-key-1 ", "os-key-1"},
        {"subtitle/deepl_api_key", "deeplKeyEdit", " deepl:fx", "deepl:fx"},
        {"subtitle/papago_client_id", "papagoIdEdit", "papago-id ", "papago-id"},
        {"subtitle/papago_client_secret", "papagoSecretEdit", " secret", "secret"},

        {"audio_advanced/ir_path", "irFileLabel", {}, "tone_1k.wav", nullptr, nullptr,
         [](QWidget &w, const QString &) { w.findChild<AudioAdvancedWidget *>()->setIrFile(TestMedia::path("tone_1k.wav")); }},
        {"audio_advanced/conv_enabled", "convolutionCheck", true, {}, "af", "@room:"},
        {"audio_advanced/gain_db", "gainSlider", -6},
        {"audio_advanced/ir_normalize", "normalizeCheck", false},
        {"audio_advanced/vst_plugins", "pluginList", {}, "amp.so — amp_stereo  [c0=0.5]", nullptr, nullptr,
         [](QWidget &w, const QString &) {
             w.findChild<AudioAdvancedWidget *>()->addPlugin("/usr/lib/ladspa/amp.so", "amp_stereo", "c0=0.5");
         }},
        {"audio_advanced/plugins_enabled", "pluginsCheck", true, {}, "af", "@plugins:"},
        {"video_advanced/lut_path", "lutFileLabel", {}, "calibration.cube", nullptr, nullptr,
         [](QWidget &w, const QString &folder) { w.findChild<VideoAdvancedWidget *>()->setLutPath(folder + "/calibration.cube"); }},
        {"video_advanced/lut_enabled", "lutCheckBox", true, {}, "glsl-shaders", "/lut-[0-9a-f]+\\.glsl"},
        // Drawing since the start, before the page was opened.
        {"video_advanced/lut_enabled (status)", "lutStatusLabel", {}, "3D LUT 적용됨: calibration.cube"},
        {"video_advanced/colorspace_idx", "colorspaceBox", "DCI-P3 (영화관/전문가)", {}, "target-prim", "^dci-p3$"},
        {"network/smb_favorites", "smbFavorites", {}, "\\\\nas\\영화", nullptr, nullptr,
         [](QWidget &w, const QString &) {
             setControl(w, "smbPathEdit", "\\\\nas\\영화");
             buttonWithText(w, QStringLiteral("즐겨찾기 추가"))->click();
         }},
        {"network/vr360_enabled", "vr360Check", true, {}, "vf", "@vr360:"},
        {"network/cast_ip", "castIpEdit", {}, "127.0.0.1", nullptr, nullptr,
         [](QWidget &w, const QString &) {
             setControl(w, "castIpEdit", "127.0.0.1");
             buttonWithText(w, QStringLiteral("캐스팅 시작"))->click();
         }},
    };
}

QString shownBy(const QWidget *control)
{
    if (auto *list = qobject_cast<const QListWidget *>(control))
        return list->count() > 0 ? list->item(0)->text() : QString();
    return control ? shownValue(control).toString() : QStringLiteral("(nothing)");
}

// One start of the player: the window, playing; then the dialog and pages as a user opens them.
struct Start {
    MainWindow window;

    MpvCore *core() const { return window.videoSurface()->core(); }
    bool play(bool resume)
    {
        window.resize(1152, 648);
        window.show();
        if (!QTest::qWaitFor([&] { return window.videoSurface()->isInitialized(); }, 20000))
            return false;
        resume ? void(window.resumeLastFile()) : window.openFiles({TestMedia::path(kClip)});
        return QTest::qWaitFor([&] { return core()->position() > 1.0; }, 20000);
    }
    SettingsDialog *openPages()
    {
        window.toggleProFeatures();
        return new SettingsDialog(core(), &window);
    }
    QWidget *control(const Row &row) const { return window.findChild<QWidget *>(QLatin1String(row.control)); }
};

// The first start: every choice made through its control, then the window closed.
int setEverything(const QString &folder)
{
    Start start;
    if (!start.play(false))
        return 2;
    SettingsDialog *dialog = start.openPages();
    for (const Row &row : rows()) {
        if (row.act)
            row.act(start.window, folder);
        else if (row.pick.isValid())
            setControl(start.window, row.control, row.pick);
    }
    dialog->findChild<QPushButton *>(QStringLiteral("btnOk"))->click();
    start.window.close();
    return 0;
}

// Exit code of a start whose frame-drop ladder stepped the quality down (a loaded machine) before
// the engine was read: the engine then rightly holds something else than the choices.
constexpr int kSteppedDown = 3;

// The next start: the engine first, as the start left it, then the controls.
int showEverything()
{
    Start start;
    bool steppedDown = false;
    QObject::connect(start.core(), &MpvCore::renderQualityDegraded, [&] { steppedDown = true; });
    if (!start.play(true))
        return 2;
    const QList<Row> table = rows();
    QStringList engine;
    for (const Row &row : table)
        engine << (row.property ? start.core()->propertyText(QLatin1String(row.property)) : QString());
    if (steppedDown)
        return kSteppedDown;
    // The saved LUT has drawn frames before the pages are opened.
    if (!QTest::qWaitFor([&] { return start.core()->shadersRunningNow(ShaderSlot::Calibration); }, 60000))
        return 2;
    start.openPages();
    for (qsizetype i = 0; i < table.size(); ++i)
        qInfo("ROW %lld\t%s\t%s", qlonglong(i), qPrintable(shownBy(start.control(table[i])).replace('\n', ' ')),
              qPrintable(engine[i].replace('\n', ' ')));
    start.window.close();
    return 0;
}

} // namespace

class SettingsRestartTest : public QObject
{
    Q_OBJECT
    QTemporaryDir files_;
    QHash<int, QStringList> shown_; // row → {control, engine}
    int steppedDownStarts_ = 0;

    bool runStart(const QStringList &role)
    {
        PlayerProcess start(QCoreApplication::applicationFilePath(), role);
        const bool exited = start.waitForExit(120000);
        // Only a start that shows what was chosen can be judged; a few tries outlast a busy moment.
        if (exited && start.process().exitCode() == kSteppedDown && ++steppedDownStarts_ < 4)
            return runStart(role);
        const bool ended = exited && start.process().exitCode() == 0;
        static const QRegularExpression reported(QStringLiteral("^ROW (\\d+)\t([^\t]*)\t(.*)$"), QRegularExpression::MultilineOption);
        for (const QRegularExpressionMatch &match : reported.globalMatch(start.console()))
            shown_.insert(match.captured(1).toInt(), {match.captured(2), match.captured(3)});
        if (!ended)
            qWarning().noquote() << role << start.console();
        return ended;
    }

private slots:
    void initTestCase()
    {
        writeTestFile(files_.filePath(QStringLiteral("calibration.cube")), kInvertingLut);
        QVERIFY(runStart({QStringLiteral("--set"), files_.path()}));
        QVERIFY(runStart({QStringLiteral("--show")}));
    }

    void roundTrip_data()
    {
        QTest::addColumn<int>("row");
        const QList<Row> table = rows();
        for (qsizetype i = 0; i < table.size(); ++i)
            QTest::newRow(table[i].key) << int(i);
    }
    void roundTrip()
    {
        QFETCH(int, row);
        const Row expected = rows().at(row);
        const QStringList shown = shown_.value(row, {QStringLiteral("(not reported)"), QString()});
        QCOMPARE(shown[0], expected.shown.isEmpty() ? expected.pick.toString() : expected.shown);
        if (expected.property)
            QVERIFY2(shown[1].contains(QRegularExpression(QString::fromUtf8(expected.engine))),
                     qPrintable(QStringLiteral("%1 = \"%2\"").arg(QLatin1String(expected.property), shown[1])));
    }

    // The player binary itself, started without files, takes up the file played last.
    void playerResumesTheLastFile()
    {
        PlayerProcess player({});
        QVERIFY2(player.waitForLoads(TestMedia::path(kClip)), qPrintable(player.console()));
    }
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.value(1) == QLatin1String("--set"))
        return setEverything(arguments.value(2));
    if (arguments.value(1) == QLatin1String("--show"))
        return showEverything();
    SettingsRestartTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settings_restart.moc"
