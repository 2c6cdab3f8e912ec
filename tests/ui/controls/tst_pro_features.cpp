// The pro features panel: A-B loop points, presets and sliders against a fake engine, the clip
// export's refusals, and one real export through libmpv and ffmpeg.
#include "FakeEngineSession.h"
#include "ShownEngine.h"
#include "TestMedia.h"
#include "engine/MpvCore.h"
#include "ui/controls/ProFeaturesWidget.h"

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class ProFeaturesTest : public QObject
{
    Q_OBJECT

    FakeEngine engine_;
    std::unique_ptr<ProFeaturesWidget> panel_;
    QStringList notices_; // "icon|title|text"
    QStringList proposals_;
    QString chosenPath_;

    QPushButton *button(const QString &textOrTip) const
    {
        for (QPushButton *b : panel_->findChildren<QPushButton *>())
            if (b->text() == textOrTip || b->toolTip() == textOrTip)
                return b;
        return nullptr;
    }
    QString abText() const { return panel_->findChild<QLabel *>(QStringLiteral("abLabel"))->text(); }
    QVariant lastWrite(const QString &name) const
    {
        const QVariantList values = engine_.fake->valuesWritten(name);
        return values.isEmpty() ? QVariant() : values.last();
    }

    // Answers the panel's dialogs instead of a person.
    void makePanel(MpvCore *core)
    {
        panel_ = std::make_unique<ProFeaturesWidget>();
        panel_->connectToCore(core);
        panel_->setNotifier([this](QMessageBox::Icon icon, const QString &title, const QString &text) {
            notices_ << QStringLiteral("%1|%2|%3").arg(int(icon)).arg(title, text);
        });
        panel_->setClipPathChooser([this](const QString &proposed) {
            proposals_ << proposed;
            return chosenPath_;
        });
    }
    void setPointsAt(double a, double b)
    {
        engine_.fake->properties[QStringLiteral("time-pos")] = a;
        panel_->setPointA();
        engine_.fake->properties[QStringLiteral("time-pos")] = b;
        panel_->setPointB();
    }
    static QString notice(QMessageBox::Icon icon, const char *title, const char *text)
    {
        return QStringLiteral("%1|%2|%3").arg(int(icon)).arg(QString::fromUtf8(title), QString::fromUtf8(text));
    }
private slots:
    void init()
    {
        engine_ = makeFakeEngine();
        notices_.clear();
        proposals_.clear();
        chosenPath_.clear();
        makePanel(engine_.core.get());
    }

    void cleanup()
    {
        panel_.reset();
        engine_.core.reset();
    }

    void loopPointsInEitherOrder()
    {
        engine_.fake->properties[QStringLiteral("time-pos")] = 70.25;
        panel_->setPointB();

        // A below an existing B writes both points again so the engine loops the whole range.
        engine_.fake->properties[QStringLiteral("time-pos")] = 65.5;
        panel_->setPointA();
        QCOMPARE(engine_.fake->valuesWritten(QStringLiteral("ab-loop-a")), QVariantList{65.5});
        QCOMPARE(engine_.fake->valuesWritten(QStringLiteral("ab-loop-b")), (QVariantList{70.25, 70.25}));
        QCOMPARE(abText(), QStringLiteral("01:05 ~ 01:10"));

        // A past B is a lone point; B is not written again.
        engine_.fake->properties[QStringLiteral("time-pos")] = 3599.9;
        panel_->setPointA();
        QCOMPARE(abText(), QStringLiteral("A: 59:59"));
        QCOMPARE(engine_.fake->valuesWritten(QStringLiteral("ab-loop-b")).size(), 2);

        panel_->clearAB();
        QCOMPARE(lastWrite(QStringLiteral("ab-loop-a")), QVariant(QStringLiteral("no")));
        QCOMPARE(lastWrite(QStringLiteral("ab-loop-b")), QVariant(QStringLiteral("no")));
        QCOMPARE(panel_->pointA(), -1.0);
        QCOMPARE(panel_->pointB(), -1.0);
    }

    // The delays keep to their ranges; a reset puts back only its own value.
    void delaysKeepToTheirRanges()
    {
        panel_->setAudioDelayMs(9999);
        QCOMPARE(lastWrite(QStringLiteral("audio-delay")), QVariant(0.5));
        panel_->setSubDelayMs(-5000);
        QCOMPARE(lastWrite(QStringLiteral("sub-delay")), QVariant(-2.0));
        button(QStringLiteral("자막 딜레이 초기화"))->click();
        QCOMPARE(lastWrite(QStringLiteral("sub-delay")), QVariant(0.0));
        QCOMPARE(panel_->audioDelayMs(), 500);
    }

    void clipCommandLine()
    {
        QCOMPARE(ProFeaturesWidget::clipArguments(65.5, 70.25, "/v/in.mkv", "/v/out.mp4"),
                 (QStringList{"-y", "-ss", "65.500", "-i", "/v/in.mkv", "-t", "4.750", "-c", "copy", "/v/out.mp4"}));
        // The name is cut at its first dot, not its last.
        QCOMPARE(ProFeaturesWidget::proposedClipPath("/v/show.s01e02.mkv"), QStringLiteral("/v/show_clip.mp4"));
    }

    void exportRefusals()
    {
        QSignalSpy finished(panel_.get(), &ProFeaturesWidget::clipExportFinished);
        const QString askRange = notice(QMessageBox::Information, "클립 저장", "A-B 구간을 먼저 설정해주세요.");
        const QString localOnly = notice(QMessageBox::Information, "클립 저장", "로컬 파일만 지원됩니다.");
        engine_.fake->properties[QStringLiteral("path")] = QStringLiteral("/v/movie.mkv");

        engine_.fake->properties[QStringLiteral("time-pos")] = 5.0;
        panel_->setPointA();
        button(QStringLiteral("클립 저장"))->click();
        setPointsAt(7.0, 7.0);
        panel_->exportClip();
        setPointsAt(7.0, 9.0);
        engine_.fake->properties[QStringLiteral("path")] = QStringLiteral("http://127.0.0.1/live.m3u8");
        panel_->exportClip();
        QCOMPARE(notices_, (QStringList{askRange, askRange, localOnly}));

        // A cancelled save dialog ends it quietly.
        engine_.fake->properties[QStringLiteral("path")] = QStringLiteral("/v/movie.mkv");
        panel_->exportClip();
        QCOMPARE(proposals_, QStringList{"/v/movie_clip.mp4"});
        QVERIFY(!finished.wait(300));
        QCOMPARE(notices_.size(), 3);
    }

    void realClipIsPlayableAndAsLongAsTheRange()
    {
        ShownEngine shown;
        QVERIFY(shown.start());
        MpvCore &core = shown.core;
        makePanel(&core);
        QSignalSpy loaded(&core, &MpvCore::fileLoaded);
        core.loadFile(TestMedia::path(QStringLiteral("clip_100s.mp4")));
        QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 1, 10000);
        core.pause();
        core.seek(10.0);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(core.position() - 10.0) < 0.05, 5000);
        panel_->setPointA();
        core.seek(14.0);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(core.position() - 14.0) < 0.05, 5000);
        panel_->setPointB();

        QTemporaryDir dir;
        chosenPath_ = dir.filePath(QStringLiteral("my clip.mp4"));
        QSignalSpy finished(panel_.get(), &ProFeaturesWidget::clipExportFinished);
        panel_->exportClip();
        QVERIFY(!button(QStringLiteral("클립 저장"))->isEnabled());
        panel_->exportClip(); // while the first runs: no second dialog, no second ffmpeg
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 30000);
        QVERIFY(!finished.wait(500));
        QCOMPARE(proposals_.size(), 1);
        QCOMPARE(finished.first().at(0).toBool(), true);
        QCOMPARE(notices_, QStringList{notice(QMessageBox::Information, "클립 저장 완료", "저장되었습니다:\n")
                                       + chosenPath_});
        QVERIFY(button(QStringLiteral("클립 저장"))->isEnabled());

        // Cutting without re-encoding snaps to keyframes (one a second in this clip).
        QProcess probe;
        probe.start(QStringLiteral("ffprobe"), {"-v", "error", "-show_entries", "format=duration:stream=codec_type",
                                                "-of", "default=noprint_wrappers=1", chosenPath_});
        QVERIFY(probe.waitForFinished(15000) && probe.exitCode() == 0);
        const QString report = QString::fromUtf8(probe.readAllStandardOutput());
        QVERIFY2(report.contains("codec_type=video") && report.contains("codec_type=audio"), qPrintable(report));
        const double seconds = report.section(QStringLiteral("duration="), 1).section(QLatin1Char('\n'), 0, 0).toDouble();
        QVERIFY2(qAbs(seconds - 4.0) <= 1.5, qPrintable(report));
        panel_.reset(); // before the engine it is connected to
    }
};

QTEST_MAIN(ProFeaturesTest)
#include "tst_pro_features.moc"
