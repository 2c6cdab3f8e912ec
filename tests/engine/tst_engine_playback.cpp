// The engine object driving real libmpv on generated clips, drawing into a window of a private
// X display and playing audio into the null output.
#include "TestMedia.h"
#include "engine/MpvCore.h"

#include <QSignalSpy>
#include <QTest>
#include <QWidget>

class EnginePlaybackTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QWidget> window_;
    std::unique_ptr<MpvCore> core_;

private slots:
    // A fresh engine and window for every case; the previous case's engine goes first.
    void init()
    {
        core_.reset();
        window_ = std::make_unique<QWidget>();
        window_->resize(320, 240);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        core_ = std::make_unique<MpvCore>();
        QVERIFY(core_->initialize(qint64(window_->winId())));
    }

    void playsSeeksAndEnds()
    {
        QSignalSpy loaded(core_.get(), &MpvCore::fileLoaded);
        QSignalSpy duration(core_.get(), &MpvCore::durationChanged);
        QSignalSpy video(core_.get(), &MpvCore::videoInfoChanged);
        QSignalSpy audio(core_.get(), &MpvCore::audioFormatChanged);
        QSignalSpy ended(core_.get(), &MpvCore::playbackEnded);
        const QString clip = TestMedia::path(QStringLiteral("clip_320x240.mp4"));

        core_->loadFile(clip);
        QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 1, 10000);
        QCOMPARE(loaded.at(0).at(0).toString(), clip);
        QTRY_VERIFY(!duration.isEmpty() && !video.isEmpty() && !audio.isEmpty());
        QVERIFY(qAbs(duration.last().at(0).toDouble() - 6.0) < 0.1);
        QCOMPARE(video.last().mid(0, 3), (QVariantList{320, 240, 25.0}));
        QVERIFY(video.last().at(3).toString().startsWith(QLatin1String("h264")));
        QCOMPARE(audio.last().mid(0, 3), (QVariantList{"aac", 2, 48000}));

        QTRY_VERIFY_WITH_TIMEOUT(core_->position() > 0.5, 5000);
        core_->seek(4.5);
        QTRY_VERIFY_WITH_TIMEOUT(core_->position() >= 4.5, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, 8000);
    }

    // An unreadable file is reported and the next one plays; a missing file between two good ones
    // in a queue is reported once, as itself, and the queue goes on.
    void brokenFilesAreReportedAndPassed()
    {
        QSignalSpy loaded(core_.get(), &MpvCore::fileLoaded);
        QSignalSpy errors(core_.get(), &MpvCore::errorOccurred);
        core_->loadFile(TestMedia::path(QStringLiteral("truncated.mp4")));
        QTRY_COMPARE_WITH_TIMEOUT(errors.size(), 1, 10000);
        QVERIFY(!errors.last().at(0).toString().isEmpty());

        const QString first = TestMedia::path(QStringLiteral("clip_320x240.mp4"));
        const QString last = TestMedia::path(QStringLiteral("chapters_3.mkv"));
        core_->loadFile(first);
        core_->loadFile(TestMedia::directory() + QStringLiteral("/does-not-exist.mkv"), true);
        core_->loadFile(last, true);
        QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 1, 10000);
        QCOMPARE(loaded.at(0).at(0).toString(), first);
        core_->seek(5.5);
        QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 2, 10000);
        QCOMPARE(loaded.at(1).at(0).toString(), last);
        QTest::qWait(300);
        QCOMPARE(errors.size(), 2);
        QVERIFY(errors.at(1).at(0).toString() != MpvCore::kExclusiveFallbackMessage);
        QCOMPARE(core_->getMpvProperty(QStringLiteral("playlist-count")).toInt(), 3);
        QCOMPARE(core_->currentPath(), last);
    }

    // Default settings on real outputs: the desktop's own (on this machine no sound device at
    // all) and an HDMI output that refuses the bitstream. The AC-3 5.1 film plays on both.
    void surroundPlaysOnRealOutputs_data()
    {
        QTest::addColumn<QString>("device");
        QTest::newRow("desktop default") << "auto";
        QTest::newRow("HDMI output refusing passthrough") << "alsa/hdmi:CARD=VelmoranMissing";
    }
    void surroundPlaysOnRealOutputs()
    {
        QFETCH(QString, device);
        const QByteArray testOutput = qgetenv("VELMORAN_AUDIO_OUTPUT");
        qunsetenv("VELMORAN_AUDIO_OUTPUT");
        core_.reset();
        core_ = std::make_unique<MpvCore>();
        const bool started = core_->initialize(qint64(window_->winId()));
        qputenv("VELMORAN_AUDIO_OUTPUT", testOutput);
        QVERIFY(started);
        QSignalSpy audio(core_.get(), &MpvCore::audioFormatChanged);
        core_->setAudioDevice(device);
        core_->loadFile(TestMedia::path(QStringLiteral("surround_51.mkv")));
        QTRY_VERIFY_WITH_TIMEOUT(core_->position() > 1.0, 15000);
        QTRY_VERIFY(!core_->propertyText(QStringLiteral("current-ao")).isEmpty()); // with sound, decoded
        QTRY_VERIFY(!audio.isEmpty() && audio.last().at(1).toInt() == 6);
        QCOMPARE(audio.last().at(0).toString(), QStringLiteral("ac3"));
        QCOMPARE(core_->audioTracks().value(0).codec, QStringLiteral("ac3"));
    }

    // Values the engine takes or spells differently read back as the player wrote them; unknown
    // names are harmless. Written as a property, shuffle reorders the queue and unshuffle restores it.
    void propertiesAndShuffle()
    {
        core_->setMpvProperty(QStringLiteral("volume"), 99.9);
        QCOMPARE(core_->volume(), 99);
        core_->setHwdec(QStringLiteral("d3d11va"));
        QCOMPARE(core_->getMpvProperty(QStringLiteral("hwdec")).toString(), QStringLiteral("d3d11va"));
        QVERIFY(!core_->getMpvProperty(QStringLiteral("no-such-property")).isValid());
        core_->setMpvProperty(QStringLiteral("no-such-property"), QStringLiteral("x"));
        core_->command({QStringLiteral("no-such-command")});

        for (int i = 0; i < 12; ++i)
            core_->command({QStringLiteral("loadfile"), QStringLiteral("queued-%1.mkv").arg(i), QStringLiteral("append")});
        QTRY_COMPARE(core_->getMpvProperty(QStringLiteral("playlist-count")).toInt(), 12);
        const QVariant queued = core_->getMpvProperty(QStringLiteral("playlist"));
        core_->setMpvProperty(QStringLiteral("shuffle"), QStringLiteral("yes"));
        QVERIFY(core_->getMpvProperty(QStringLiteral("playlist")) != queued); // 1 in 479 001 600 stays put
        core_->setMpvProperty(QStringLiteral("shuffle"), QStringLiteral("no"));
        QCOMPARE(core_->getMpvProperty(QStringLiteral("playlist")), queued);
    }
};

QTEST_MAIN(EnginePlaybackTest)
#include "tst_engine_playback.moc"
