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

    // One stray byte does not turn the file into Latin-1 mojibake; saved unedited, only that
    // byte changes (to U+FFFD in UTF-8, to "?" in CP949, which has no U+FFFD).
    void strayBytesAreReplaced_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("saved");
        // At the end of the text line: a lead byte without its second byte in CP949.
        const QByteArray utf8 = kCue.toUtf8();
        const qsizetype end = utf8.size() - 1;
        const qsizetype cp949End = kCp949Cue.size() - 2;
        QTest::newRow("UTF-8") << QByteArray(utf8).insert(end, '\xFF') << QByteArray(utf8).insert(end, "\xEF\xBF\xBD");
        QTest::newRow("CP949") << QByteArray(kCp949Cue).insert(cp949End, '\xB0') << QByteArray(kCp949Cue).insert(cp949End, '?');
    }
    void strayBytesAreReplaced()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, saved);
        SubtitleEditorWidget editor(nullptr);
        const QString path = write(QStringLiteral("stray.srt"), bytes);
        editor.loadSubtitleFile(path);
        QCOMPARE(editor.editorText(), QString(kCue).insert(kCue.size() - 1, QChar::ReplacementCharacter));
        click(editor, kSave);
        QCOMPARE(readTestFile(path), saved);
    }

    // Another subtitle asked for over an unsaved edit: the user decides, and cancel keeps the
    // edit together with the file it belongs to.
    void unsavedEditIsAskedAbout_data()
    {
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::newRow("save") << QMessageBox::Save;
        QTest::newRow("discard") << QMessageBox::Discard;
        QTest::newRow("cancel") << QMessageBox::Cancel;
    }
    void unsavedEditIsAskedAbout()
    {
        QFETCH(QMessageBox::StandardButton, answer);
        SubtitleEditorWidget editor(nullptr);
        const QString edited = write(QStringLiteral("edited.srt"), kCue.toUtf8());
        const QString next = write(QStringLiteral("next.srt"), "1\n00:00:05,000 --> 00:00:06,000\nnext\n");
        editor.loadSubtitleFile(edited);
        editor.loadSubtitleFile(next); // unedited: no question
        QCOMPARE(editor.subtitlePath(), next);
        editor.loadSubtitleFile(edited);
        const QString edit = kCue + QStringLiteral("\n2\n00:00:02,000 --> 00:00:03,000\n고친 자막\n");
        auto *text = editor.findChild<QPlainTextEdit *>();
        text->selectAll();
        text->insertPlainText(edit); // as typed: setPlainText is not an edit
        editor.loadSubtitleFile(next);
        editor.loadSubtitleFile(QString()); // the next file, without a subtitle: the question is the same one
        QCOMPARE(editor.findChildren<QMessageBox *>().size(), 1);
        auto *question = editor.findChild<QMessageBox *>();
        QVERIFY(question->isVisible() && question->text().startsWith(QStringLiteral("저장하지 않은 변경 사항이 있습니다")));
        QCOMPARE(editor.subtitlePath(), edited);
        question->button(answer)->click();

        QCOMPARE(QString::fromUtf8(readTestFile(edited)), answer == QMessageBox::Save ? edit : kCue);
        QCOMPARE(editor.subtitlePath(), answer == QMessageBox::Cancel ? edited : QString());
        QCOMPARE(editor.editorText(), answer == QMessageBox::Cancel ? edit : QString());
        QCOMPARE(editor.hasUnsavedChanges(), answer == QMessageBox::Cancel);
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
    // delay, stepped to its limit, is set again with it. The old track goes only once the engine
    // took the new one: a refused copy leaves it, and says so.
    void applyReplacesTheTrack()
    {
        FakeEngine engine = makeFakeEngine();
        auto editor = std::make_unique<SubtitleEditorWidget>(engine.core.get());
        editor->loadSubtitleFile(write(QStringLiteral("applied.srt"), kCp949Cue));
        editor->findChild<QPlainTextEdit *>()->setPlainText(kCue + QStringLiteral("\n2\n00:00:02,000 --> 00:00:03,000\n추가\n"));
        engine.fake->properties.insert(QStringLiteral("current-tracks/sub/id"), 3);
        engine.fake->clearRecords();
        editor->onSyncOffsetChanged(-29800);
        click(*editor, QStringLiteral("-500ms"));
        QSignalSpy reloaded(editor.get(), &SubtitleEditorWidget::subtitleReloaded);
        engine.fake->commandResult = [](const QStringList &) { return -12; };
        click(*editor, kApply);
        QVERIFY(reloaded.isEmpty() && engine.fake->commands.size() == 1);
        QVERIFY(editor->findChild<QMessageBox *>()->text().startsWith(QStringLiteral("재생 엔진이 편집한 자막을 읽지 못했습니다: ")));
        engine.fake->commandResult = nullptr;
        engine.fake->clearRecords();
        click(*editor, kApply);

        QCOMPARE(reloaded.size(), 1);
        const QString copy = reloaded.at(0).at(0).toString();
        QCOMPARE(engine.fake->commands, (QList<QStringList>{{QStringLiteral("sub-add"), copy, QStringLiteral("select")},
                                                           {QStringLiteral("sub-remove"), QStringLiteral("3")}}));
        QCOMPARE(engine.fake->valuesWritten(QStringLiteral("sub-delay")), (QVariantList{-30.0}));
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
        QTest::newRow("an HTML comment's arrow") << QStringLiteral("<html><!-- 1 --> 첫 자막</html>") << false;
        QTest::newRow("MicroDVD") << QStringLiteral("{0}{15}첫 자막\n{15}{30}둘째 자막\n") << true;
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
        QCOMPARE(engine.fake->commands.size(), applied ? 1 : 0);
        const std::unique_ptr<QMessageBox> box(editor.findChild<QMessageBox *>());
        QCOMPARE(box && box->isVisible() ? box->windowTitle() : QString(), applied ? QString() : QStringLiteral("오류"));
    }

    // tracks.mkv (10 frames a second) carries "첫 자막" (0–1.5 s) and "둘째 자막" (1.5–3 s) in its
    // own track; the edit changes the second, in a format with and one without "-->".
    void appliedEditIsShownByTheEngine_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("edit");
        QTest::newRow("SubRip") << "tracks.srt" << kCue + QStringLiteral("\n2\n00:00:01,500 --> 00:00:03,000\n고친 자막\n");
        QTest::newRow("MicroDVD") << "tracks.sub" << QStringLiteral("{1}{1}10\n{0}{15}첫 자막\n{15}{30}고친 자막\n");
    }
    void appliedEditIsShownByTheEngine()
    {
        QFETCH(QString, name);
        QFETCH(QString, edit);
        ShownEngine shown;
        QVERIFY(shown.start());
        MpvCore &core = shown.core;
        QSignalSpy loaded(&core, &MpvCore::fileLoaded);
        core.loadFile(TestMedia::path(QStringLiteral("tracks.mkv")));
        core.pause();
        QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 1, 10000);

        SubtitleEditorWidget editor(&core);
        editor.loadSubtitleFile(write(name, kCue.toUtf8()));
        editor.findChild<QPlainTextEdit *>()->setPlainText(edit);
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
        // Two MicroDVD lines are too few for the engine to know the format: refused, and the
        // applied track stays.
        editor.findChild<QPlainTextEdit *>()->setPlainText(QStringLiteral("{0}{15}첫 자막\n{15}{30}고친 자막\n"));
        click(editor, kApply);
        QCOMPARE(reloaded.size(), 1);
        QVERIFY(editor.findChild<QMessageBox *>());
        QCOMPARE(core.propertyText(QStringLiteral("current-tracks/sub/external-filename")), reloaded.at(0).at(0).toString());
    }
};

QTEST_MAIN(SubtitleEditorTest)
#include "tst_subtitle_editor.moc"
