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
    // Saved back in the encoding it came in, unless the edit holds a character that has no place
    // in it. One stray byte is no reason for Latin-1 mojibake: only that byte changes, to U+FFFD
    // (written as "?" in CP949, which has none).
    void encodingsRoundTrip_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("added");
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<QString>("shown");
        const QByteArray utf8 = kCue.toUtf8();
        const QByteArray utf16 = QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom)(kCue);
        QTest::newRow("UTF-8") << utf8 << QString() << utf8 << kCue;
        QTest::newRow("UTF-8 with BOM") << "\xEF\xBB\xBF" + utf8 << QString() << "\xEF\xBB\xBF" + utf8 << kCue;
        QTest::newRow("UTF-16LE with BOM") << utf16 << QString() << utf16 << kCue;
        QTest::newRow("CP949 with Windows line breaks") << kCp949Cue << QString() << kCp949Cue << kCue;
        QTest::newRow("CP949 edited beyond it") << kCp949Cue << QStringLiteral("☃\n")
                                                 << QString(kCue + QStringLiteral("☃\n")).replace(u'\n', QStringLiteral("\r\n")).toUtf8() << kCue;
        // At the end of the text line; in CP949 a lead byte without its second byte.
        const QString replaced = QString(kCue).insert(kCue.size() - 1, QChar::ReplacementCharacter);
        const qsizetype end = utf8.size() - 1, cp949End = kCp949Cue.size() - 2;
        QTest::newRow("UTF-8, a stray byte") << QByteArray(utf8).insert(end, '\xFF') << QString()
                                             << QByteArray(utf8).insert(end, "\xEF\xBF\xBD") << replaced;
        QTest::newRow("CP949, a stray byte") << QByteArray(kCp949Cue).insert(cp949End, '\xB0') << QString()
                                             << QByteArray(kCp949Cue).insert(cp949End, '?') << replaced;
    }
    void encodingsRoundTrip()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, added);
        QFETCH(QByteArray, saved);
        QFETCH(QString, shown);
        SubtitleEditorWidget editor(nullptr);
        const QString path = write(QStringLiteral("cue.srt"), bytes);
        editor.loadSubtitleFile(path);
        QCOMPARE(editor.editorText(), shown);
        editor.findChild<QPlainTextEdit *>()->setPlainText(shown + added);
        click(editor, kSave);
        QCOMPARE(readTestFile(path), saved);
        QCOMPARE(editor.fileLabelText().contains(QLatin1String("UTF-8")), !added.isEmpty());
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
        const QString edit = kCue + QStringLiteral("\n2\n00:00:02,000 --> 00:00:03,000\n고친 자막\n");
        auto *text = editor.findChild<QPlainTextEdit *>();
        text->selectAll();
        text->insertPlainText(edit); // as typed: setPlainText is not an edit
        editor.loadSubtitleFile(next);
        editor.loadSubtitleFile(QString()); // the next file, without a subtitle: the question is the same one
        auto *question = editor.findChild<QMessageBox *>();
        QVERIFY(editor.findChildren<QMessageBox *>().size() == 1 && question->isVisible()
                && question->text().startsWith(QStringLiteral("저장하지 않은 변경 사항이 있습니다")));
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
    // delay, stepped to its limit, is set again with it. The old track goes once the engine took
    // the new one.
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
        click(*editor, kApply);

        QCOMPARE(reloaded.size(), 1);
        const QString copy = reloaded.at(0).at(0).toString();
        QCOMPARE(engine.fake->commands, (QList<QStringList>{{QStringLiteral("sub-add"), copy, QStringLiteral("select")},
                                                           {QStringLiteral("sub-remove"), QStringLiteral("3")}}));
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
        editor.findChild<QPlainTextEdit *>()->setPlainText(QStringLiteral("{1}{1}10\n{0}{15}첫 자막\n{15}{30}다시 고친 자막\n"));
        click(editor, kApply);
        QTRY_COMPARE_WITH_TIMEOUT(core.propertyText(QStringLiteral("sub-text")), QStringLiteral("다시 고친 자막"), 5000);
        click(editor, QStringLiteral("+500ms"));
        QCOMPARE(core.getMpvProperty(QStringLiteral("sub-delay")).toDouble(), 0.5);
        // Two MicroDVD lines are too few for the engine to know the format: refused, said so, and
        // the applied track stays.
        editor.findChild<QPlainTextEdit *>()->setPlainText(QStringLiteral("{0}{15}첫 자막\n{15}{30}고친 자막\n"));
        click(editor, kApply);
        QCOMPARE(reloaded.size(), 2);
        QVERIFY(editor.findChild<QMessageBox *>()->text().startsWith(QStringLiteral("재생 엔진이 편집한 자막을 읽지 못했습니다: ")));
        QCOMPARE(core.propertyText(QStringLiteral("current-tracks/sub/external-filename")), reloaded.at(0).at(0).toString());
    }
};

QTEST_MAIN(SubtitleEditorTest)
#include "tst_subtitle_editor.moc"
