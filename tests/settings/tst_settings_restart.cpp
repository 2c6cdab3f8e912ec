// Every choice the settings dialog and the processing pages store, made through their controls
// in the player's window in one process, and shown by the window and the engine of the next
// process. Within one process Qt's settings cache hides a key that cannot be read back; across
// two it cannot. The test's executable plays both starts itself ("--set", "--show"), so that it
// can reach the controls; the real player binary then shows the last file resumed.
#include "PlayerProcess.h"
#include "TestFiles.h"
#include "TestMedia.h"
#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "mainwindow/MainWindow.h"
#include "settings/AudioAdvancedWidget.h"
#include "settings/NetworkBrowserWidget.h"
#include "settings/SettingsDialog.h"
#include "settings/VideoAdvancedWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

// Long enough for every choice to show on a slow machine.
const QString kClip = QStringLiteral("clip_100s.mp4");

// One start of the player: its window, and the settings dialog and pages as a user opens them.
struct Start {
    MainWindow window;
    SettingsDialog *dialog = nullptr;
    AudioAdvancedWidget *audio = nullptr;
    VideoAdvancedWidget *video = nullptr;
    NetworkBrowserWidget *network = nullptr;

    MpvCore *core() const { return window.videoSurface()->core(); }
    void openPages()
    {
        window.toggleProFeatures();
        dialog = new SettingsDialog(core(), &window);
        audio = window.findChild<AudioAdvancedWidget *>();
        video = window.findChild<VideoAdvancedWidget *>();
        network = window.findChild<NetworkBrowserWidget *>();
    }
};

enum class Page { Dialog, Audio, Video, Network };

// One stored choice: how the user makes it, the control that shows it after the restart and
// what it shows, and the engine property (with a pattern its value matches) that shows it acts.
struct Row {
    const char *key;
    Page page;
    const char *control;
    QVariant pick;                          // a combo takes the item starting with it; none: `act`
    QString shown;                          // empty: the pick as text
    const char *property = nullptr;
    const char *engine = nullptr;
    std::function<void(Start &, const QString &folder)> act = {};
};

QList<Row> rows()
{
    const auto trimmed = [](const char *key, const char *control, const char *typed) {
        return Row{key, Page::Dialog, control, QString::fromUtf8(typed), QString::fromUtf8(typed).trimmed()};
    };
    return {
        {"audio/device", Page::Dialog, "deviceCombo", "기본 장치", "기본 장치 (auto)", "audio-device", "^auto$"},
        {"audio/exclusive", Page::Dialog, "exclusiveCheck", false, {}, "audio-exclusive", "^no$"},
        {"audio/passthrough", Page::Dialog, "passthroughCheck", false, {}, "audio-spdif", "^$"},
        {"audio/pt_ac3", Page::Dialog, "ac3Check", false},
        {"audio/pt_eac3", Page::Dialog, "eac3Check", false},
        {"audio/pt_dts", Page::Dialog, "dtsCheck", false},
        {"audio/pt_dtshd", Page::Dialog, "dtsHdCheck", false},
        {"audio/pt_truehd", Page::Dialog, "trueHdCheck", false},
        {"audio/volume", Page::Dialog, "volumeSlider", 150, {}, "volume", "^150"},
        // The only DSD output this engine offers.
        {"audio/dsd_mode", Page::Dialog, "dsdCombo", "PCM", "PCM 변환 (호환성 우선)"},
        {"remote/enabled", Page::Dialog, "remoteCheck", true},
        {"video/hwdec", Page::Dialog, "hwdecCombo", "nvdec-copy", {}, "hwdec", "^nvdec$"},
        {"video/gpu_api, video/vo_index", Page::Dialog, "gpuApiCombo", "OpenGL", "OpenGL (호환성)", "gpu-api", "^opengl$"},
        {"video/render_profile", Page::Dialog, "profileCombo", "Eco", "Eco (절전 - 노트북 통합 GPU)", "dither", "^no$"},
        {"video/scaling", Page::Dialog, "scalingCombo", "lanczos", {}, "scale", "^lanczos$"},
        {"video/deband", Page::Dialog, "debandCheck", true, {}, "deband", "^yes$"},
        {"video/motion_smoothing", Page::Dialog, "motionSmoothingCheck", true, {}, "interpolation", "^yes$"},
        {"General/remember_pos", Page::Dialog, "rememberPosCheck", false},
        // Started without files, the next start plays the last one.
        {"General/resume", Page::Dialog, "resumeCheck", true, {}, "filename", "^clip_100s\\.mp4$"},
        {"General/screenshot_dir", Page::Dialog, "screenshotDirEdit", "/tmp/스크린샷 폴더"},
        {"General/screenshot_format", Page::Dialog, "screenshotFormatCombo", "WEBP"},
        {"General/language", Page::Dialog, "languageCombo", "한국어"},
        {"subtitle/auto_load", Page::Dialog, "autoLoadCheck", false, {}, "sub-auto", "^no$"},
        trimmed("subtitle/opensubtitles_apikey", "openSubtitlesKeyEdit", "  os-key-1 "),
        trimmed("subtitle/deepl_api_key", "deeplKeyEdit", " deepl:fx "),
        trimmed("subtitle/papago_client_id", "papagoIdEdit", "papago-id "),
        trimmed("subtitle/papago_client_secret", "papagoSecretEdit", " papago-secret"),

        {"audio_advanced/ir_path", Page::Audio, "irFileLabel", {}, "ir.wav", nullptr, nullptr,
         [](Start &s, const QString &folder) { s.audio->setIrFile(folder + QStringLiteral("/ir.wav")); }},
        {"audio_advanced/conv_enabled", Page::Audio, "convolutionCheck", true, {}, "af", "@room:"},
        {"audio_advanced/gain_db", Page::Audio, "gainSlider", -6},
        {"audio_advanced/ir_normalize", Page::Audio, "normalizeCheck", false},
        {"audio_advanced/vst_plugins", Page::Audio, "pluginList", {}, "amp.so — amp_stereo  [c0=0.5]", nullptr, nullptr,
         [](Start &s, const QString &) {
             s.audio->addPlugin(QStringLiteral("/usr/lib/ladspa/amp.so"), QStringLiteral("amp_stereo"), QStringLiteral("c0=0.5"));
         }},
        {"audio_advanced/plugins_enabled", Page::Audio, "pluginsCheck", true, {}, "af", "@plugins:"},
        {"video_advanced/lut_path", Page::Video, "lutFileLabel", {}, "calibration.cube", nullptr, nullptr,
         [](Start &s, const QString &folder) { s.video->setLutPath(folder + QStringLiteral("/calibration.cube")); }},
        {"video_advanced/lut_enabled", Page::Video, "lutCheckBox", true, {}, "glsl-shaders", "/lut-[0-9a-f]+\\.glsl"},
        // Drawing since the start, before the page was opened.
        {"video_advanced/lut_enabled (status)", Page::Video, "lutStatusLabel", {}, "3D LUT 적용됨: calibration.cube"},
        {"video_advanced/colorspace_idx", Page::Video, "colorspaceBox", "DCI-P3", "DCI-P3 (영화관/전문가)", "target-prim", "^dci-p3$"},
        {"network/smb_favorites", Page::Network, "smbFavorites", {}, "\\\\nas\\영화", nullptr, nullptr,
         [](Start &s, const QString &) {
             s.network->findChild<QLineEdit *>(QStringLiteral("smbPathEdit"))->setText(QStringLiteral("\\\\nas\\영화"));
             buttonWithText(*s.network, QStringLiteral("즐겨찾기 추가"))->click();
         }},
        {"network/vr360_enabled", Page::Network, "vr360Check", true, {}, "vf", "@vr360:"},
        {"network/cast_ip", Page::Network, "castIpEdit", {}, "127.0.0.1", nullptr, nullptr,
         [](Start &s, const QString &) {
             s.network->findChild<QLineEdit *>(QStringLiteral("castIpEdit"))->setText(QStringLiteral("127.0.0.1"));
             buttonWithText(*s.network, QStringLiteral("캐스팅 시작"))->click();
         }},
    };
}

QWidget *pageOf(const Start &start, Page page)
{
    switch (page) {
    case Page::Dialog: return start.dialog;
    case Page::Audio: return start.audio;
    case Page::Video: return start.video;
    case Page::Network: return start.network;
    }
    return nullptr;
}

bool pick(QWidget *control, const QVariant &value)
{
    if (auto *combo = qobject_cast<QComboBox *>(control)) {
        const int index = combo->findText(value.toString(), Qt::MatchStartsWith);
        combo->setCurrentIndex(index);
        return index >= 0;
    }
    if (auto *check = qobject_cast<QCheckBox *>(control))
        check->setChecked(value.toBool());
    else if (auto *slider = qobject_cast<QSlider *>(control))
        slider->setValue(value.toInt());
    else if (auto *edit = qobject_cast<QLineEdit *>(control))
        edit->setText(value.toString());
    return control != nullptr;
}

QString shownBy(const QWidget *control)
{
    if (auto *combo = qobject_cast<const QComboBox *>(control))
        return combo->currentText();
    if (auto *check = qobject_cast<const QCheckBox *>(control))
        return check->isChecked() ? QStringLiteral("true") : QStringLiteral("false");
    if (auto *slider = qobject_cast<const QSlider *>(control))
        return QString::number(slider->value());
    if (auto *edit = qobject_cast<const QLineEdit *>(control))
        return edit->text();
    if (auto *label = qobject_cast<const QLabel *>(control))
        return label->text();
    if (auto *list = qobject_cast<const QListWidget *>(control)) {
        QStringList items;
        for (int row = 0; row < list->count(); ++row)
            items << list->item(row)->text();
        return items.join(QLatin1Char('|'));
    }
    return QStringLiteral("(no control)");
}

QWidget *controlOf(const Start &start, const Row &row)
{
    QWidget *page = pageOf(start, row.page);
    return page ? page->findChild<QWidget *>(QLatin1String(row.control)) : nullptr;
}

bool startPlaying(Start &start, bool resume)
{
    start.window.resize(1152, 648);
    start.window.show();
    if (!QTest::qWaitFor([&] { return start.window.videoSurface()->isInitialized(); }, 20000))
        return false;
    if (resume)
        start.window.resumeLastFile();
    else
        start.window.openFiles({TestMedia::path(kClip)});
    return QTest::qWaitFor([&] { return start.core()->position() > 1.0; }, 20000);
}

// The first start: every choice made through its control, then the window closed.
int setEverything(const QString &folder)
{
    Start start;
    if (!startPlaying(start, false))
        return 2;
    start.openPages();
    int missing = 0;
    for (const Row &row : rows()) {
        const bool done = row.act ? (row.act(start, folder), true)
                        : !row.pick.isValid() || pick(controlOf(start, row), row.pick);
        if (!done) {
            ++missing;
            qInfo("MISSING %s", row.key);
        }
    }
    start.dialog->findChild<QPushButton *>(QStringLiteral("btnOk"))->click();
    start.window.close();
    return missing;
}

// The next start: the engine first, as the start left it, then the controls as a user opens them.
int showEverything()
{
    Start start;
    // The saved LUT has drawn frames before the pages are opened.
    if (!startPlaying(start, true)
        || !QTest::qWaitFor([&] { return start.core()->shadersRunningNow(ShaderSlot::Calibration); }, 60000))
        return 2;
    const QList<Row> table = rows();
    QStringList engine;
    for (const Row &row : table)
        engine << (row.property ? start.core()->propertyText(QLatin1String(row.property)) : QString());
    start.openPages();
    for (qsizetype i = 0; i < table.size(); ++i)
        qInfo("ROW %lld\t%s\t%s", qlonglong(i), qPrintable(shownBy(controlOf(start, table[i])).replace('\n', ' ')),
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

    bool runStart(const QStringList &role)
    {
        PlayerProcess start(QCoreApplication::applicationFilePath(), role);
        const bool ended = start.waitForExit(120000);
        const QString console = start.console();
        for (const QString &line : console.split(QLatin1Char('\n'))) {
            const QStringList fields = line.section(QStringLiteral("ROW "), 1).split(QLatin1Char('\t'));
            if (line.startsWith(QLatin1String("ROW ")) && fields.size() == 3)
                shown_.insert(fields[0].toInt(), fields.mid(1));
        }
        if (!ended || start.process().exitCode() != 0)
            qWarning().noquote() << role << "ended with" << start.process().exitCode() << console;
        return ended && start.process().exitCode() == 0;
    }

private slots:
    void initTestCase()
    {
        writeTestFile(files_.filePath(QStringLiteral("calibration.cube")),
                      "LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n");
        // A unit impulse, 10 ms of mono at 48 kHz.
        QByteArray pcm(960 * 2, '\0');
        pcm[0] = char(0xff), pcm[1] = char(0x3f);
        const QByteArray wav = "RIFF" + QByteArray::fromHex("a4070000") + "WAVEfmt "
                               + QByteArray::fromHex("100000000100010080bb00000077010002001000") + "data"
                               + QByteArray::fromHex("80070000") + pcm;
        writeTestFile(files_.filePath(QStringLiteral("ir.wav")), wav);
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
        const QStringList shown = shown_.value(row);
        QVERIFY2(shown.size() == 2, "the second start did not report it");
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
