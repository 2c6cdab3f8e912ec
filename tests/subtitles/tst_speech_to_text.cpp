// The "AI 자막" page: the script's line protocol, runs of a stand-in interpreter (with the
// translation service faked), failures that must leave the page idle, and the real script
// recognising synthesised speech offline.

#include "FakeHttpServer.h"
#include "TestFiles.h"
#include "TestMedia.h"
#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "subtitles/AudioWaveform.h"
#include "subtitles/SegmentLine.h"
#include "subtitles/WhisperWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrlQuery>

namespace {

// A stand-in for python3: answers the probe, records its arguments beside itself, then runs `body`.
QString writeFakeInterpreter(const QTemporaryDir &dir, const QByteArray &body)
{
    const QString path = writeTestFile(dir.filePath(QStringLiteral("fake-python")),
                                       "#!/bin/sh\n"
                                       "for a; do [ \"$a\" = --probe ] && { echo pocketsphinx; exit 0; }; done\n"
                                       "printf '%s\\n' \"$@\" > \"$0.args\"\n" + body, -1, true);
    qputenv("VELMORAN_PYTHON", path.toUtf8());
    return path;
}

QStringList argumentsOf(const QString &fake)
{
    return QString::fromUtf8(readTestFile(fake + QStringLiteral(".args"))).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString labelText(const WhisperWidget &widget, const char *name = "previewLabel")
{
    return widget.findChild<QLabel *>(QLatin1String(name))->text();
}

void setDeeplKey(const QString &key)
{
    QSettings settings(QLatin1StringView(AppIdentity::kOrganisation), QLatin1StringView(AppIdentity::kSettingsApplication));
    writeSetting(settings, SettingsKeys::subtitleDeeplApiKey, key);
}

} // namespace

class SpeechToTextTest : public QObject
{
    Q_OBJECT
    FakeHttpServer deepl_;

private slots:
    void initTestCase()
    {
        // The copy the build places beside the player, as an installed player would find it.
        const QString script = QFileInfo(TestMedia::playerBinary()).dir().filePath(QStringLiteral("whisper_server.py"));
        QVERIFY2(QFileInfo::exists(script), qPrintable(script));
        qputenv("VELMORAN_WHISPER_SCRIPT", script.toUtf8());
        // The system's own tools only: no python3 (or nvidia-smi) a user installed elsewhere.
        qputenv("PATH", "/usr/bin:/bin");
        QVERIFY(deepl_.listen());
        qputenv("VELMORAN_DEEPL_URL", deepl_.url(QStringLiteral("/")).toEncoded());
    }

    void init()
    {
        qunsetenv("VELMORAN_PYTHON");
        setDeeplKey(QString());
    }

    void protocolLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("segment"); // start, end, text and confidence; empty when refused
        QTest::newRow("full") << "1.5|3.25|안녕하세요|0.93" << "1.5 3.25 안녕하세요 93";
        QTest::newRow("no confidence") << "1|2|text" << "1 2 text 80";
        QTest::newRow("nan") << "1|2|x|nan" << "1 2 x 0";
        QTest::newRow("huge") << "1|2|x|1e10" << "1 2 x 100";
        QTest::newRow("negative") << "1|2|x|-0.5" << "1 2 x 0";
        QTest::newRow("end before start") << "5|4|x|0.5" << "5 5 x 50";
        QTest::newRow("no separator") << "Loading model medium" << "";
        QTest::newRow("times not numbers") << "a|b|c" << "";
        QTest::newRow("no text") << "1|2| |0.9" << "";
    }
    void protocolLine()
    {
        QFETCH(QString, line);
        const std::optional<SubtitleSegment> s = SegmentLine::parse(line);
        QTEST(s ? QStringLiteral("%1 %2 %3 %4").arg(s->startSec).arg(s->endSec).arg(s->text).arg(s->confidence) : QString(),
              "segment");
    }

    void srtTimestamp() { QCOMPARE(SegmentLine::srtTimestamp(3725.0405), QStringLiteral("01:02:05,041")); }

    // 600 lines and a last one without a newline: everything arrives, the history keeps the
    // newest 500, and the page shows the end and is idle again when the script ends. Exports go
    // beside the file in time order, never over a file already there.
    void runsTheScriptToItsEnd()
    {
        QTemporaryDir dir;
        QByteArray lines;
        for (int i = 0; i < 600; ++i)
            lines += QStringLiteral("%1|%2|줄 %1|0.9\n").arg(i).arg(i + 0.5).toUtf8();
        lines += "600|601|마지막 줄|0.5";
        writeTestFile(dir.filePath(QStringLiteral("lines")), lines);
        const QString fake = writeFakeInterpreter(dir, "cat \"$(dirname \"$0\")/lines\"\n");
        const QString users = writeTestFile(dir.filePath(QStringLiteral("clip.srt")), "the user's own");

        WhisperWidget widget;
        auto *translate = widget.findChild<QCheckBox *>(QStringLiteral("translateBox"));
        QVERIFY(!translate->isEnabled() && !translate->isChecked());
        auto *language = widget.findChild<QComboBox *>(QStringLiteral("languageBox"));
        language->setCurrentIndex(language->findText(QStringLiteral("한국어")));
        const QString media = dir.filePath(QStringLiteral("clip.mkv"));
        // The page's own button asks the window for the file that plays.
        connect(&widget, &WhisperWidget::mediaPathRequested, &widget, [&] { widget.setMediaPath(media); });
        widget.setDuration(1200);
        QSignalSpy segments(&widget, &WhisperWidget::subtitleGenerated);
        QSignalSpy active(&widget, &WhisperWidget::activeChanged);
        widget.findChild<QPushButton *>(QStringLiteral("btnStart"))->click();
        QVERIFY(widget.isActive());
        QTRY_VERIFY_WITH_TIMEOUT(!widget.isActive(), 20000);

        QCOMPARE(active.size(), 2);
        QCOMPARE(segments.size(), 601);
        QCOMPARE(widget.segmentHistory().size(), WhisperWidget::kMaxHistory);
        QCOMPARE(widget.segmentHistory().constLast().text, QStringLiteral("줄 101"));
        QCOMPARE(labelText(widget), QStringLiteral("음성 인식 완료"));
        QCOMPARE(labelText(widget, "progressLabel"), QStringLiteral("100%"));
        QCOMPARE(argumentsOf(fake), QStringList({"-u", qEnvironmentVariable("VELMORAN_WHISPER_SCRIPT"), "--file", media,
                                                 "--model", "medium", "--language", "ko"}));

        widget.exportSRT();
        widget.exportSRT();
        QCOMPARE(readTestFile(users), QByteArray("the user's own"));
        const QByteArray exported = readTestFile(dir.filePath(QStringLiteral("clip.stt.srt")));
        QVERIFY2(exported.startsWith("1\n00:01:41,000 --> 00:01:41,500\n줄 101\n\n2\n00:01:42,000"), exported.left(80));
        QCOMPARE(readTestFile(dir.filePath(QStringLiteral("clip.stt.2.srt"))), exported);
    }

    // Another file handed over, running or idle, neither wipes the history nor restarts the run.
    // Stopping kills the script at once.
    void historyOutlivesTheFile()
    {
        QTemporaryDir dir;
        const QString fake = writeFakeInterpreter(dir, "echo '1|2|Hello World|0.95'\n"
                                                       "echo '3|4|bye|0.5'\n"
                                                       "echo $$ > \"$0.pid\"\n"
                                                       "exec sleep 30\n");
        const QString pidFile = fake + QStringLiteral(".pid");
        WhisperWidget widget;
        QSignalSpy segments(&widget, &WhisperWidget::subtitleGenerated);
        const QString first = dir.filePath(QStringLiteral("first.mkv"));
        widget.setMediaPath(first);
        widget.setActive(true);
        QTRY_COMPARE(segments.size(), 2);
        widget.onSearchChanged(QStringLiteral("hello"));
        const QListWidget *history = widget.findChild<QListWidget *>(QStringLiteral("historyList"));
        QVERIFY(history->count() == 1 && history->item(0)->text() == QStringLiteral("00:01  Hello World  95%"));

        widget.setMediaPath(dir.filePath(QStringLiteral("second.mkv")));
        QTRY_VERIFY(readTestFile(pidFile).endsWith('\n'));
        const QString proc = QStringLiteral("/proc/%1").arg(QString::fromLatin1(readTestFile(pidFile)).trimmed());
        QVERIFY(widget.isActive() && QFileInfo::exists(proc) && argumentsOf(fake).contains(first));
        QCOMPARE(widget.segmentHistory().size(), 2);
        widget.setActive(false);
        QVERIFY(!QFileInfo::exists(proc));

        widget.setMediaPath(dir.filePath(QStringLiteral("third.mkv")));
        QCOMPARE(widget.segmentHistory().size(), 2);
    }

    // "한국어 번역" recognises, then has DeepL translate each segment; a refusal keeps the
    // recognised text and says so.
    void translatesIntoKorean_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("texts"); // newest first
        QTest::newRow("translated") << 200 << QStringList{"[KO] Goodbye", "[KO] Hello there"};
        QTest::newRow("quota spent") << 456 << QStringList{"Goodbye", "Hello there"};
    }
    void translatesIntoKorean()
    {
        QFETCH(int, status);
        QFETCH(QStringList, texts);
        deepl_.route("POST", "/v2/translate", [status](const FakeHttpServer::Request &request) {
            const QString text = QUrlQuery(QString::fromLatin1(request.body)).queryItemValue(QStringLiteral("text"), QUrl::FullyDecoded);
            return status == 200 ? FakeHttpServer::json(QJsonObject{{"translations", QJsonArray{QJsonObject{{"text", "[KO] " + text}}}}})
                                 : FakeHttpServer::json(QByteArray(R"({"message":"Quota Exceeded"})"), status);
        });
        setDeeplKey(QStringLiteral("key:fx"));
        QTemporaryDir dir;
        writeFakeInterpreter(dir, "echo '1|2|Hello there|0.9'; echo '3|4|Goodbye|0.8'\n");
        WhisperWidget widget;
        QSignalSpy segments(&widget, &WhisperWidget::subtitleGenerated);
        QSignalSpy statuses(&widget, &WhisperWidget::statusChanged);
        widget.setMediaPath(dir.filePath(QStringLiteral("talk.mkv")));
        widget.setActive(true);
        QTRY_VERIFY_WITH_TIMEOUT(!widget.isActive(), 20000);
        QCOMPARE((QStringList{segments.at(1).at(0).toString(), segments.at(0).at(0).toString()}), texts);
        QCOMPARE(widget.segmentHistory().constLast().text, texts.last()); // the history keeps what was shown
        QCOMPARE(statuses.size(), status == 200 ? 2 : 3); // started, (refused,) done
        QVERIFY(status == 200 || statuses.at(1).at(0).toString().endsWith(QStringLiteral("Quota Exceeded")));
        QCOMPARE(statuses.last().at(0).toString(), QStringLiteral("음성 인식 완료"));
    }

    // The position arrives at the engine's rate; the strip repaints only when its playhead moves
    // a pixel or its clock a second.
    void waveformRepaintsOnlyOnChange()
    {
        AudioWaveform waveform;
        waveform.resize(240, 44);
        waveform.show();
        QVERIFY(QTest::qWaitForWindowExposed(&waveform));
        struct Counter : QObject {
            int paints = 0;
            bool eventFilter(QObject *, QEvent *event) override { return (paints += event->type() == QEvent::Paint), false; }
        } counter;
        waveform.installEventFilter(&counter);
        for (int step = 0; step < 100; ++step) {
            waveform.setPosition(600.2 + step * 0.001, 3600);
            QCoreApplication::processEvents();
        }
        QVERIFY2(counter.paints <= 1, qPrintable(QString::number(counter.paints)));
        const int before = counter.paints;
        waveform.setPosition(700, 3600);
        QTRY_VERIFY(counter.paints > before);
    }

    void failuresLeaveThePageIdle()
    {
        {
            // No interpreter at all: nothing to start, and the page says so.
            qputenv("VELMORAN_PYTHON", "/nonexistent/python3");
            WhisperWidget widget;
            QVERIFY(!widget.findChild<QPushButton *>(QStringLiteral("btnStart"))->isEnabled());
            widget.setMediaPath(QStringLiteral("/tmp/clip.mkv"));
            QSignalSpy status(&widget, &WhisperWidget::statusChanged);
            widget.setActive(true);
            QVERIFY(!widget.isActive());
            QCOMPARE(status.size(), 1);
        }
        QTemporaryDir dir;
        {
            // The interpreter answered the probe and was gone by the start.
            const QString fake = writeFakeInterpreter(dir, "exit 0\n");
            WhisperWidget widget;
            QVERIFY(QFile::remove(fake));
            widget.setMediaPath(QStringLiteral("/tmp/clip.mkv"));
            widget.setActive(true);
            QTRY_VERIFY(!widget.isActive());
            QVERIFY2(labelText(widget).startsWith(QStringLiteral("음성 인식을 시작할 수 없습니다")),
                     qPrintable(labelText(widget)));
        }
        {
            // A script that fails after a flood on stderr: its last words reach the page.
            writeFakeInterpreter(dir, "head -c 300000 /dev/zero | tr '\\0' x >&2\n"
                                      "echo >&2; echo 'ffmpeg could not decode' >&2; exit 1\n");
            WhisperWidget widget;
            widget.setMediaPath(QStringLiteral("/tmp/clip.mkv"));
            widget.setActive(true);
            QTRY_VERIFY_WITH_TIMEOUT(!widget.isActive(), 20000);
            QCOMPARE(labelText(widget), QStringLiteral("음성 인식이 실패했습니다: ffmpeg could not decode"));
        }
    }

    // The real script with the offline engine on synthesised English: segments in time order,
    // saved by the script and exported beside the episode, the user's own subtitle left alone.
    void recognisesSpeech()
    {
        qputenv("VELMORAN_PYTHON", "/usr/bin/python3");
        // Offline whatever else is installed: faster-whisper would first download a model.
        qputenv("VELMORAN_SPEECH_ENGINE", "pocketsphinx");
        QTemporaryDir dir;
        const QString wav = dir.filePath(QStringLiteral("speech.wav"));
        const QString media = dir.filePath(QStringLiteral("Show.S01E02.mkv"));
        QCOMPARE(QProcess::execute(QStringLiteral("espeak-ng"),
                                   {"-m", "-w", wav,
                                    "<speak>The weather is nice today.<break time=\"1500ms\"/>"
                                    "We are going to the park this afternoon.<break time=\"1500ms\"/>"
                                    "I would like a cup of coffee.<break time=\"1500ms\"/>"
                                    "Please open the door.</speak>"}),
                 0);
        QCOMPARE(QProcess::execute(QStringLiteral("ffmpeg"),
                                   {"-v", "error", "-nostdin", "-f", "lavfi", "-i", "color=c=0x202020:s=160x120:r=10",
                                    "-i", wav, "-shortest", "-c:v", "libx264", "-pix_fmt", "yuv420p", "-c:a", "aac",
                                    media}),
                 0);
        const QByteArray own = "1\n00:00:01,000 --> 00:00:02,000\nthe user's own\n";
        const QString users = writeTestFile(dir.filePath(QStringLiteral("Show.S01E02.srt")), own);

        WhisperWidget widget;
        QVERIFY2(widget.engineName() == QLatin1String("pocketsphinx"), qPrintable(widget.engineName()));
        widget.findChild<QCheckBox *>(QStringLiteral("saveBox"))->setChecked(true);
        widget.setMediaPath(media);
        QSignalSpy segments(&widget, &WhisperWidget::subtitleGenerated);
        QSignalSpy status(&widget, &WhisperWidget::statusChanged);
        widget.setActive(true);
        QTRY_VERIFY_WITH_TIMEOUT(!widget.isActive(), 120000);
        QCOMPARE(status.last().at(0).toString(), QStringLiteral("음성 인식 완료"));

        QVERIFY2(segments.size() >= 3, qPrintable(QString::number(segments.size())));
        double previousStart = -1;
        for (const QList<QVariant> &segment : std::as_const(segments)) {
            const double start = segment.at(1).toDouble();
            const double end = segment.at(2).toDouble();
            QVERIFY(start >= previousStart);
            QVERIFY(end >= start && end <= 11.0);
            QVERIFY(segment.at(3).toInt() >= 0 && segment.at(3).toInt() <= 100);
            previousStart = start;
        }
        // The sentences are spread over the clip, not all counted from its start.
        QVERIFY(previousStart - segments.first().at(1).toDouble() >= 4.0);

        widget.exportSRT();
        QCOMPARE(readTestFile(users), own);
        QCOMPARE(readTestFile(dir.filePath(QStringLiteral("Show.S01E02.stt.srt"))).count(" --> "), segments.size());
        QCOMPARE(readTestFile(dir.filePath(QStringLiteral("Show.S01E02.stt.2.srt"))).count(" --> "), segments.size());
    }
};

QTEST_MAIN(SpeechToTextTest)
#include "tst_speech_to_text.moc"
