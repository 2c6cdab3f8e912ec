// What is playing, in the three places that say it: the control bar read-out, the title-bar
// badge and the information panel, whose cards are filled from the engine and slide in and out.
#include "FakeEngineSession.h"
#include "engine/MpvCore.h"
#include "ui/controls/ControlBar.h"
#include "ui/controls/MediaInfoOverlay.h"
#include "ui/controls/TitleBar.h"

#include <QLabel>
#include <QPropertyAnimation>
#include <QSettings>
#include <QTest>

using Format = EngineEvent::Format;

namespace {

const QString kDim = QStringLiteral("#8888a8"); // what is not there, or not in use

QString colourOf(const QLabel *label)
{
    const QString style = label->styleSheet();
    const qsizetype at = style.indexOf(QLatin1String("color:"));
    return at < 0 ? QString() : style.mid(at + 6).section(QLatin1Char(';'), 0, 0);
}

} // namespace

class MediaInfoTest : public QObject
{
    Q_OBJECT

    FakeEngineSession *fake_ = nullptr;
    std::unique_ptr<MpvCore> core_;

private slots:
    void init()
    {
        QSettings(QStringLiteral("Velmoran"), QStringLiteral("VelmoranPlayer")).clear();
        FakeEngine engine = makeFakeEngine();
        fake_ = engine.fake;
        core_ = std::move(engine.core);
        QVERIFY(core_->isInitialized());
    }

    void codecWordings_data()
    {
        QTest::addColumn<QString>("codec");
        QTest::addColumn<QString>("bar");
        QTest::addColumn<QString>("title"); // empty: badge hidden
        QTest::addColumn<QString>("panel");
        QTest::newRow("eac3 atmos") << "eac3 atmos" << "DD+ Atmos" << "DD+ Atmos" << "DD+";
        QTest::newRow("dts-hd ma") << "dts-hd ma" << "DTS-HD MA" << "DTS-HD MA" << "DTS-HD";
        QTest::newRow("dtshd") << "dtshd" << "DTS-HD MA" << "DTS" << "DTS";
        QTest::newRow("opus") << "opus" << "opus" << "OPUS" << "Opus";
        QTest::newRow("pcm") << "pcm_s24le" << "PCM" << "PCM_S24LE" << "PCM";
        // Each place tests its words in its own order.
        QTest::newRow("flac and aac") << "flac aac" << "FLAC" << "FLAC AAC" << "AAC";
        QTest::newRow("unknown, long") << "wmapro-lossless" << "wmapro-lossl" << "WMAPRO-LOSSLESS" << "WMAPRO-L";
        QTest::newRow("empty") << "" << "" << "" << "—";
    }

    void codecWordings()
    {
        QFETCH(QString, codec);
        QFETCH(QString, bar);
        QFETCH(QString, title);
        QFETCH(QString, panel);
        ControlBar controlBar;
        TitleBar titleBar;
        MediaInfoOverlay overlay;

        controlBar.onAudioFormatChanged(codec, 0, 0, QString());
        // No codec means nothing loaded: the read-out stays empty rather than claim a decode.
        QCOMPARE(controlBar.formatText(),
                 codec.isEmpty() ? QString()
                                 : QStringLiteral("<span style='color:#ff9800;font-weight:700;'>DECODE</span>"
                                                  "<span style='color:#555;'>  %1</span>")
                                       .arg(bar));

        titleBar.setCodecBadge(codec.toUpper()); // as the main window hands it over
        QCOMPARE(titleBar.codecBadge()->isHidden(), title.isEmpty());
        if (!title.isEmpty())
            QCOMPARE(titleBar.codecBadge()->text(), title);

        overlay.updateAudioInfo(codec, 0, 0, QString());
        QCOMPARE(overlay.audioCard().badge->text(), panel);
    }

    void audioCard_data()
    {
        QTest::addColumn<QString>("codec");
        QTest::addColumn<int>("channels");
        QTest::addColumn<QString>("output");
        QTest::addColumn<bool>("exclusive");
        QTest::addColumn<QString>("source");
        QTest::addColumn<bool>("passthrough");
        QTest::addColumn<bool>("bitPerfect");
        QTest::newRow("spdif truehd") << "truehd" << 8 << "spdif-truehd" << true << "TRUEHD 7.1ch" << true << true;
        QTest::newRow("float flac") << "flac" << 2 << "floatp" << true << "FLAC 2.0ch" << false << true;
        QTest::newRow("s16 flac") << "flac" << 1 << "s16" << false << "FLAC 1.0ch" << false << false;
        QTest::newRow("dts decoded") << "dts" << 7 << "s16" << true << "DTS 6.1ch" << true << true;
        QTest::newRow("nothing known") << "" << 0 << "" << true << "—" << false << false;
    }

    void audioCard()
    {
        QFETCH(QString, codec);
        QFETCH(int, channels);
        QFETCH(QString, output);
        QFETCH(bool, exclusive);
        QFETCH(QString, source);
        QFETCH(bool, passthrough);
        QFETCH(bool, bitPerfect);
        QSettings(QStringLiteral("Velmoran"), QStringLiteral("VelmoranPlayer")).setValue("audio/exclusive", exclusive);
        MediaInfoOverlay overlay;
        overlay.connectToCore(core_.get());
        emit core_->audioFormatChanged(codec, channels, 48000, output);

        const MediaInfoOverlay::Card &card = overlay.audioCard();
        QCOMPARE(card.source->text(), source);
        QCOMPARE(card.output->text(), passthrough ? QStringLiteral("패스스루") : QStringLiteral("PCM 디코딩"));
        QCOMPARE(card.third->text(), exclusive ? QStringLiteral("독점") : QStringLiteral("공유"));
        QCOMPARE(card.fourth->text(), bitPerfect ? QStringLiteral("✓") : QStringLiteral("—"));
        QCOMPARE(colourOf(card.fourth) == kDim, !bitPerfect);
    }

    void videoCard_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QString>("codec");
        QTest::addColumn<QString>("primaries");
        QTest::addColumn<QString>("gamma");
        QTest::addColumn<QString>("hwdec");
        QTest::addColumn<QStringList>("shown"); // badge, source, decoder, colour space, HDR
        QTest::newRow("4K HDR10") << 3840 << 2160 << "hevc" << "bt.2020" << "pq" << "d3d11va-copy"
                                  << QStringList{"HEVC", "4K PQ", "D3D11VA", "BT.2020", "PQ (HDR10)"};
        QTest::newRow("FHD, VA-API") << 1920 << 1080 << "h264 (H.264 / AVC / MPEG-4 AVC)" << "bt.709" << "bt.1886"
                                     << "vaapi" << QStringList{"H.264", "FHD", "VAAPI", "BT.709", "SDR"};
        QTest::newRow("Dolby Vision, just under 4K") << 3839 << 2160 << "av1" << "bt.2020" << "dovi" << "d3d12va"
                                                     << QStringList{"AV1", "2K Dolby", "D3D12VA", "BT.2020", "Dolby Vision"};
        QTest::newRow("SD, software") << 720 << 480 << "mpeg2video" << "" << "" << "no"
                                      << QStringList{"MPEG2VIDEO", "720×480", "소프트웨어", "—", "SDR"};
        QTest::newRow("no decoder reported") << 640 << 360 << "" << "smpte170m" << "" << ""
                                             << QStringList{"—", "640×360", "소프트웨어", "—", "SDR"};
    }

    void videoCard()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QString, codec);
        QFETCH(QString, primaries);
        QFETCH(QString, gamma);
        QFETCH(QString, hwdec);
        QFETCH(QStringList, shown);
        MediaInfoOverlay overlay;
        overlay.connectToCore(core_.get());
        fake_->properties = {{"video-params/w", width}, {"video-params/h", height}, {"container-fps", 23.976},
                             {"video-codec", codec}, {"video-params/primaries", primaries},
                             {"video-params/gamma", gamma}, {"hwdec-current", hwdec}};
        fake_->queuePropertyChange(QStringLiteral("video-params/w"), Format::Int64, width);
        core_->onMpvEvents();

        const MediaInfoOverlay::Card &card = overlay.videoCard();
        QCOMPARE((QStringList{card.badge->text(), card.source->text(), card.output->text(), card.third->text(),
                              card.fourth->text()}),
                 shown);
        QCOMPARE(colourOf(card.fourth) == kDim, shown.at(4) == QStringLiteral("SDR"));
    }

    void fileLoadFillsCardsThatMissedTheSignals()
    {
        fake_->properties = {{"path", "/v/영화.mkv"},       {"video-params/w", 1920},
                             {"video-params/h", 1080},        {"container-fps", 23.976},
                             {"video-codec", "h264"},         {"video-params/primaries", "bt.709"},
                             {"audio-codec-name", "ac3"},     {"audio-channels", "5.1(side)"},
                             {"audio-samplerate", 48000},     {"audio-out-params/format", "spdif-ac3"}};
        MediaInfoOverlay overlay;
        overlay.connectToCore(core_.get());
        fake_->queueEvent(EngineEvent::Type::FileLoaded);
        core_->onMpvEvents();
        QCOMPARE(overlay.videoCard().source->text(), QStringLiteral("FHD"));
        QCOMPARE(overlay.audioCard().source->text(), QStringLiteral("AC3 5.1ch"));
        QCOMPARE(overlay.audioCard().output->text(), QStringLiteral("패스스루"));

        // An audio-only file leaves the video card as it was and still fills the audio card.
        fake_->properties.remove("video-params/w");
        fake_->properties["audio-codec-name"] = "flac";
        fake_->properties["audio-channels"] = 2;
        overlay.onFileLoaded(QStringLiteral("/m/곡.flac"));
        QCOMPARE(overlay.videoCard().source->text(), QStringLiteral("FHD"));
        QCOMPARE(overlay.audioCard().source->text(), QStringLiteral("FLAC 2.0ch"));
    }

    void slidesInAndOut()
    {
        QWidget video;
        video.resize(800, 450);
        MediaInfoOverlay overlay(&video);
        video.show();
        QVERIFY(QTest::qWaitForWindowExposed(&video));
        QVERIFY(overlay.isHidden());
        const QRect shown(0, 0, 180, 450);
        const QRect away(-180, 0, 180, 450);
        QPropertyAnimation *slide = overlay.slideAnimation();

        overlay.toggle();
        QVERIFY(overlay.isVisible());
        QCOMPARE(slide->startValue().toRect(), away);
        QTest::qWait(40);
        // Toggled during the slide-in: out from the fully shown place, hidden at the end.
        overlay.toggle();
        QCOMPARE(slide->startValue().toRect(), shown);
        QCOMPARE(slide->endValue().toRect(), away);
        QTRY_VERIFY(overlay.isHidden());

        overlay.toggle();
        QTRY_COMPARE(overlay.geometry(), shown);
        overlay.toggle();
        QTest::qWait(40);
        // Toggled during the slide-out: turns back and stays.
        overlay.toggle();
        QCOMPARE(slide->endValue().toRect(), shown);
        QTest::qWait(400);
        QVERIFY(overlay.isVisible());
        QCOMPARE(overlay.geometry(), shown);
    }
};

QTEST_MAIN(MediaInfoTest)
#include "tst_media_info.moc"
