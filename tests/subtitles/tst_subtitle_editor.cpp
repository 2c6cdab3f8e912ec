// The subtitle editor: files in the encodings Korean subtitles come in, edits handed to the engine
// (a fake one for the commands, the real one for what reaches the screen) and the delay.
#include "FakeEngineSession.h"
#include "ShownEngine.h"
#include "TestFiles.h"
#include "subtitles/SubtitleEditorWidget.h"
#include "subtitles/SubtitleText.h"

#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

const QString kCue = QStringLiteral("1\n00:00:00,000 --> 00:00:01,500\n첫 자막 똠방각하\n");

// kCue as a Windows program writes it; "똠" exists only in Microsoft's code page, not in EUC-KR.
const QByteArray kCp949Cue = "1\r\n00:00:00,000 --> 00:00:01,500\r\n" + QByteArray::fromHex("c3b920c0dab8b7208c63b9e6b0a2c7cf") + "\r\n";

const QString kApply = QStringLiteral("적용 (MPV 재로드)");
const QString kSave = QStringLiteral("파일로 저장");

void click(const QWidget &widget, const QString &text)
{
    buttonWithText(widget, text)->click();
}

} // namespace

class SubtitleEditorTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir_;

    QString write(const QString &name, const QByteArray &bytes) { return writeTestFile(dir_.filePath(name), bytes); }

private slots:
    // Saved back in the encoding it came in, unless the edit holds a character that has no place in it.
    void encodingsRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("added");
        QTest::addColumn<QByteArray>("saved");
        const QByteArray utf8 = kCue.toUtf8();
        const QByteArray utf16 = QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom)(kCue);
        QTest::newRow("UTF-8") << utf8 << QString() << utf8;
        QTest::newRow("UTF-8 with BOM") << "\xEF\xBB\xBF" + utf8 << QString() << "\xEF\xBB\xBF" + utf8;
        QTest::newRow("UTF-16LE with BOM") << utf16 << QString() << utf16;
        QTest::newRow("CP949 with Windows line breaks") << kCp949Cue << QString() << kCp949Cue;
        QTest::newRow("CP949 edited beyond it") << kCp949Cue << QStringLiteral("☃\n")
                                                 << QString(kCue + QStringLiteral("☃\n")).replace(u'\n', QStringLiteral("\r\n")).toUtf8();
    }
    void encodingsRoundTrip()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, added);
        QFETCH(QByteArray, saved);
        SubtitleEditorWidget editor(nullptr);
        const QString path = write(QStringLiteral("cue.srt"), bytes);
        editor.loadSubtitleFile(path);
        QCOMPARE(editor.editorText(), kCue);
        editor.findChild<QPlainTextEdit *>()->setPlainText(kCue + added);
        click(editor, kSave);
        QCOMPARE(readTestFile(path), saved);
        QCOMPARE(editor.fileLabelText().contains(QLatin1String("UTF-8")), !added.isEmpty());
    }

    // The file is replaced behind the editor's back; reading it again must neither block nor lose the edit.
    void unreadableFilesAreRefused_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char *kind : {"missing", "folder", "FIFO", "over 10 MiB"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }
    void unreadableFilesAreRefused()
    {
        QFETCH(QString, kind);
        SubtitleEditorWidget editor(nullptr);
        const QString path = write(kind, kCue.toUtf8());
        editor.loadSubtitleFile(path);
        QVERIFY(QFile::remove(path));
        if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(path));
        if (kind == QLatin1String("FIFO"))
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        if (kind == QLatin1String("over 10 MiB"))
            writeTestFile(path, {}, SubtitleText::kMaxFileBytes + 1);
        click(editor, QStringLiteral("다시 불러오기"));
        QCOMPARE(editor.fileLabelText(), QStringLiteral("파일 열기 실패: ") + path);
        QCOMPARE(editor.editorText(), kCue);
        if (kind == QLatin1String("folder")) {
            click(editor, kSave);
            QCOMPARE(editor.fileLabelText(), QStringLiteral("저장 실패: ") + path);
        }
    }

    // A CP949 file reaches the engine as a UTF-8 copy in a folder only this user can enter; the
    // delay, stepped to its limit, is set again with it.
    void applyReplacesTheTrack()
    {
        FakeEngine engine = makeFakeEngine();
        auto editor = std::make_unique<SubtitleEditorWidget>(engine.core.get());
        editor->loadSubtitleFile(write(QStringLiteral("applied.srt"), kCp949Cue));
        editor->findChild<QPlainTextEdit *>()->setPlainText(kCue + QStringLiteral("\n2\n00:00:02,000 --> 00:00:03,000\n추가\n"));
        engine.fake->clearRecords();
        editor->onSyncOffsetChanged(-29800);
        click(*editor, QStringLiteral("-500ms"));
        QSignalSpy reloaded(editor.get(), &SubtitleEditorWidget::subtitleReloaded);
        click(*editor, kApply);

        QCOMPARE(reloaded.size(), 1);
        const QString copy = reloaded.at(0).at(0).toString();
        QCOMPARE(engine.fake->commands, (QList<QStringList>{{QStringLiteral("sub-remove")},
                                                           {QStringLiteral("sub-add"), copy, QStringLiteral("select")}}));
        QCOMPARE(engine.fake->valuesWritten(QStringLiteral("sub-delay")), (QVariantList{-29.8, -30.0, -30.0}));
        QCOMPARE(QString::fromUtf8(readTestFile(copy)), editor->editorText());
        const QFileInfo folder(QFileInfo(copy).absolutePath());
        QCOMPARE(folder.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther), 0);
        editor.reset();
        QVERIFY(!QFile::exists(copy));
    }

    void onlyEditsWithCuesAreApplied_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("applied");
        QTest::newRow("blank lines") << QStringLiteral("\n \n") << false;
        QTest::newRow("SRT without a timing line") << QStringLiteral("1\n첫 자막\n") << false;
        QTest::newRow("ASS without a dialogue line") << QStringLiteral("[Script Info]\n\n[Events]\nFormat: Start, End, Text\n") << false;
        QTest::newRow("ASS") << QStringLiteral("[Events]\nDialogue: 0,0:00:00.00,0:00:01.00,Default,,0,0,0,,첫 자막\n") << true;
        QTest::newRow("SAMI") << QStringLiteral("<SAMI><BODY><SYNC Start=0><P>첫 자막</BODY></SAMI>") << true;
    }
    void onlyEditsWithCuesAreApplied()
    {
        QFETCH(QString, text);
        QFETCH(bool, applied);
        FakeEngine engine = makeFakeEngine();
        SubtitleEditorWidget editor(engine.core.get());
        editor.findChild<QPlainTextEdit *>()->setPlainText(text);
        click(editor, kApply);
        QCOMPARE(engine.fake->commands.size(), applied ? 2 : 0);
        const std::unique_ptr<QMessageBox> box(editor.findChild<QMessageBox *>());
        QCOMPARE(box && box->isVisible() ? box->windowTitle() : QString(), applied ? QString() : QStringLiteral("오류"));
    }

    // tracks.mkv carries "첫 자막" (0–1.5 s) and "둘째 자막" (1.5–3 s) in its own track.
    void appliedEditIsShownByTheEngine()
    {
        ShownEngine shown;
        QVERIFY(shown.start());
        MpvCore &core = shown.core;
        QSignalSpy loaded(&core, &MpvCore::fileLoaded);
        core.loadFile(TestMedia::path(QStringLiteral("tracks.mkv")));
        core.pause();
        QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 1, 10000);

        SubtitleEditorWidget editor(&core);
        editor.loadSubtitleFile(write(QStringLiteral("tracks.srt"), kCue.toUtf8()));
        editor.findChild<QPlainTextEdit *>()->setPlainText(kCue + QStringLiteral("\n2\n00:00:01,500 --> 00:00:03,000\n고친 자막\n"));
        QSignalSpy reloaded(&editor, &SubtitleEditorWidget::subtitleReloaded);
        click(editor, kApply);
        QCOMPARE(reloaded.size(), 1);
        // The selected subtitle's entry of the track list.
        QTRY_COMPARE_WITH_TIMEOUT(core.propertyText(QStringLiteral("current-tracks/sub/external-filename")),
                                  reloaded.at(0).at(0).toString(), 5000);
        core.seek(2.0);
        QTRY_COMPARE_WITH_TIMEOUT(core.propertyText(QStringLiteral("sub-text")), QStringLiteral("고친 자막"), 5000);
        click(editor, QStringLiteral("+500ms"));
        QCOMPARE(core.getMpvProperty(QStringLiteral("sub-delay")).toDouble(), 0.5);
    }
};

QTEST_MAIN(SubtitleEditorTest)
#include "tst_subtitle_editor.moc"
