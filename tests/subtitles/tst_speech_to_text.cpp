// The "AI 자막" page: the script's line protocol, a run of a stand-in interpreter, failures that
// must leave the page idle, and the real script recognising synthesised speech.

#include "TestFiles.h"
#include "TestMedia.h"
#include "subtitles/SegmentLine.h"
#include "subtitles/WhisperWidget.h"

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

QString previewText(const WhisperWidget &widget)
{
    return widget.findChild<QLabel *>(QStringLiteral("previewLabel"))->text();
}

} // namespace

class SpeechToTextTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The copy the build places beside the player, as an installed player would find it.
        const QString script = QFileInfo(TestMedia::playerBinary()).dir().filePath(QStringLiteral("whisper_server.py"));
        QVERIFY2(QFileInfo::exists(script), qPrintable(script));
        qputenv("VELMORAN_WHISPER_SCRIPT", script.toUtf8());
    }

    void init() { qunsetenv("VELMORAN_PYTHON"); }

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
    // newest 500, and the page is idle again when the script ends.
    void runsTheScriptToItsEnd()
    {
        QTemporaryDir dir;
        QByteArray lines;
        for (int i = 0; i < 600; ++i)
            lines += QStringLiteral("%1|%2|줄 %1|0.9\n").arg(i).arg(i + 0.5).toUtf8();
        lines += "600|601|마지막 줄|0.5";
        writeTestFile(dir.filePath(QStringLiteral("lines")), lines);
        const QString fake = writeFakeInterpreter(dir, "cat \"$(dirname \"$0\")/lines\"\n");

        WhisperWidget widget;
        auto *language = widget.findChild<QComboBox *>(QStringLiteral("languageBox"));
        language->setCurrentIndex(language->findText(QStringLiteral("한국어")));
        const QString media = dir.filePath(QStringLiteral("clip.mkv"));
        widget.setMediaPath(media);
        QSignalSpy segments(&widget, &WhisperWidget::subtitleGenerated);
        QSignalSpy active(&widget, &WhisperWidget::activeChanged);
        widget.findChild<QPushButton *>(QStringLiteral("btnStart"))->click();
        QVERIFY(widget.isActive());
        QTRY_VERIFY_WITH_TIMEOUT(!widget.isActive(), 20000);

        QCOMPARE(active.size(), 2);
        QCOMPARE(segments.size(), 601);
        QCOMPARE(widget.segmentHistory().size(), WhisperWidget::kMaxHistory);
        QCOMPARE(widget.segmentHistory().constLast().text, QStringLiteral("줄 101"));
        QCOMPARE(previewText(widget), QStringLiteral("마지막 줄"));
        QCOMPARE(QString::fromUtf8(readTestFile(fake + QStringLiteral(".args"))).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 QStringList({"-u", qEnvironmentVariable("VELMORAN_WHISPER_SCRIPT"), "--file", media, "--model",
                              "medium", "--language", "ko", "--translate"}));

        widget.exportSRT();
        QVERIFY(readTestFile(dir.filePath(QStringLiteral("clip.srt")))
                    .startsWith("1\n00:10:00,000 --> 00:10:01,000\n마지막 줄\n\n2\n00:09:59,000"));
    }

    // A new file replaces the old one's run and history; stopping kills the script at once.
    void followsTheFileAndStops()
    {
        QTemporaryDir dir;
        const QString fake = writeFakeInterpreter(dir, "echo '1|2|Hello World|0.95'\n"
                                                       "echo '3|4|bye|0.5'\n"
                                                       "echo $$ > \"$0.pid\"\n"
                                                       "exec sleep 30\n");
        WhisperWidget widget;
        QSignalSpy segments(&widget, &WhisperWidget::subtitleGenerated);
        widget.setMediaPath(dir.filePath(QStringLiteral("first.mkv")));
        widget.setActive(true);
        QTRY_COMPARE(segments.size(), 2);
        widget.onSearchChanged(QStringLiteral("hello"));
        const QListWidget *history = widget.findChild<QListWidget *>(QStringLiteral("historyList"));
        QVERIFY(history->count() == 1 && history->item(0)->text() == QStringLiteral("00:01  Hello World  95%"));

        QFile::remove(fake + QStringLiteral(".pid"));
        const QString second = dir.filePath(QStringLiteral("second.mkv"));
        widget.setMediaPath(second);
        QVERIFY(widget.segmentHistory().isEmpty());
        QTRY_COMPARE(segments.size(), 4);
        QVERIFY(widget.isActive());
        QVERIFY(readTestFile(fake + QStringLiteral(".args")).contains(second.toUtf8()));

        const QString pidFile = fake + QStringLiteral(".pid");
        QTRY_VERIFY(readTestFile(pidFile).endsWith('\n'));
        const QString proc = QStringLiteral("/proc/%1").arg(QString::fromLatin1(readTestFile(pidFile)).trimmed());
        QVERIFY(QFileInfo::exists(proc));
        widget.setActive(false);
        QVERIFY(!QFileInfo::exists(proc));
        QCOMPARE(widget.segmentHistory().size(), 2);
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
            QVERIFY2(previewText(widget).startsWith(QStringLiteral("음성 인식을 시작할 수 없습니다")),
                     qPrintable(previewText(widget)));
        }
        {
            // A script that fails after a flood on stderr: its last words reach the page.
            writeFakeInterpreter(dir, "head -c 300000 /dev/zero | tr '\\0' x >&2\n"
                                      "echo >&2; echo 'ffmpeg could not decode' >&2; exit 1\n");
            WhisperWidget widget;
            widget.setMediaPath(QStringLiteral("/tmp/clip.mkv"));
            widget.setActive(true);
            QTRY_VERIFY_WITH_TIMEOUT(!widget.isActive(), 20000);
            QCOMPARE(previewText(widget), QStringLiteral("음성 인식이 실패했습니다: ffmpeg could not decode"));
        }
    }

    // The real script with the offline engine on synthesised English: segments in time order,
    // exported beside the episode under its full name.
    void recognisesSpeech()
    {
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
        // Another episode's export must survive this one's.
        const QString otherExport = writeTestFile(dir.filePath(QStringLiteral("Show.srt")), "1\n00:00:01,000 --> 00:00:02,000\nother\n");

        WhisperWidget widget;
        QVERIFY2(widget.engineName() == QLatin1String("pocketsphinx"), qPrintable(widget.engineName()));
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
        // The layout of the cues is the stand-in run's to check; here, that every segment is there.
        QCOMPARE(readTestFile(dir.filePath(QStringLiteral("Show.S01E02.srt"))).count(" --> "), segments.size());
        QVERIFY(readTestFile(otherExport).contains("other"));
    }
};

QTEST_MAIN(SpeechToTextTest)
#include "tst_speech_to_text.moc"
