// The window's subtitle search with the real engine: a subtitle found through the search dialog
// is added to the playing video, shows at its cue's time, and is what the editor tab shows; one
// the engine cannot read, or found for a video no longer playing, is reported in the open dialog
// and added to nothing.

#include "FakeHttpServer.h"
#include "TestFiles.h"
#include "WindowKit.h"
#include "app/SettingsKeys.h"
#include "subtitles/SubtitleEditorWidget.h"
#include "subtitles/SubtitleSearchDialog.h"

#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

namespace {

// Runs `step` every 50 ms on the dialog the window opened, from inside its modal loop, until
// it answers true. Found by its kind: a message box over it is the active modal widget then.
void whileDialogOpen(std::function<bool(SubtitleSearchDialog &)> step)
{
    QTimer::singleShot(50, [step] {
        SubtitleSearchDialog *dialog = nullptr;
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *found = qobject_cast<SubtitleSearchDialog *>(widget); found && found->isVisible())
                dialog = found;
        if (!dialog || !step(*dialog))
            whileDialogOpen(step);
    });
}

// The external subtitle file the engine shows; empty when none.
QString selectedSubtitle(MpvCore *core)
{
    return core->propertyText(QStringLiteral("current-tracks/sub/external-filename"));
}

} // namespace

class SubtitleHooksTest : public QObject
{
    Q_OBJECT

private slots:
    void foundSubtitleIsAddedOrRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("fileChanges"); // another file is opened while the dialog is open
        QTest::addColumn<QString>("refusal");  // how the dialog's message starts; empty: added
        QTest::newRow("added") << "found.srt" << QByteArray("1\n00:00:00,000 --> 00:00:05,000\n검색된 자막\n") << false << QString();
        // Two MicroDVD lines read as a subtitle here but are too few for the engine to tell the format.
        QTest::newRow("unreadable to the engine") << "found.sub" << QByteArray("{0}{50}검색된 자막\n{50}{99}둘째\n") << false
                                                  << "재생 엔진이 자막 파일을 읽지 못했습니다: found.sub";
        QTest::newRow("the video changed") << "found.srt" << QByteArray("1\n00:00:00,000 --> 00:00:05,000\n검색된 자막\n")
                                           << true << "자막을 넣지 않았습니다";
    }
    void foundSubtitleIsAddedOrRefused()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(bool, fileChanges);
        QFETCH(QString, refusal);
        FakeHttpServer server;
        QVERIFY(server.listen());
        server.route("GET", "/api/v1/subtitles", FakeHttpServer::json(QStringLiteral(R"({"total_count":1,"data":[
            {"id":"1","type":"subtitle","attributes":{"language":"ko","download_count":12,"ratings":8,
             "hearing_impaired":false,"files":[{"file_id":7,"cd_number":1,"file_name":"%1"}]}}]})").arg(name).toUtf8()));
        server.route("POST", "/api/v1/download", FakeHttpServer::json(
            QStringLiteral(R"({"link":"%1","file_name":"%2","remaining":4})")
                .arg(server.url(QStringLiteral("/file/7")).toString(), name).toUtf8()));
        server.route("GET", "/file/7", FakeHttpServer::text(content, 200, "text/plain"));
        qputenv("VELMORAN_OPENSUBTITLES_URL", server.url(QStringLiteral("/api/v1")).toString().toUtf8());
        {
            QSettings settings = store();
            writeSetting(settings, SettingsKeys::subtitleOpenSubtitlesApiKey, QStringLiteral("test-key"));
        }

        QTemporaryDir folder;
        const QString video = folder.filePath(QStringLiteral("movie.mp4"));
        const QString next = folder.filePath(QStringLiteral("next.mp4"));
        QVERIFY(QFile::copy(TestMedia::path(QStringLiteral("clip_320x240.mp4")), video));
        QVERIFY(QFile::copy(TestMedia::path(QStringLiteral("clip_320x240.mp4")), next));
        MainWindow window;
        window.show();
        MpvCore *core = window.videoSurface()->core();
        window.openFiles({video});
        QTRY_COMPARE_WITH_TIMEOUT(window.windowTitle(), QStringLiteral("Velmoran — movie.mp4"), 10000);
        core->pause();

        QString shownMessage;
        bool usableAgain = false;
        whileDialogOpen([&](SubtitleSearchDialog &dialog) {
            QPushButton *download = buttonWithText(dialog, QStringLiteral("선택한 자막 다운로드"));
            if (fileChanges && window.windowTitle() != QStringLiteral("Velmoran — next.mp4")) {
                if (download->isEnabled() && !dialog.property("opened").isValid()) {
                    dialog.setProperty("opened", true);
                    window.openFiles({next});
                }
                return false;
            }
            if (auto *box = dialog.findChild<QMessageBox *>()) {
                shownMessage = box->text();
                usableAgain = download->isEnabled() && dialog.isVisible();
                dialog.reject();
                return true;
            }
            if (download->isEnabled() && !dialog.property("clicked").isValid()) {
                dialog.setProperty("clicked", true);
                download->click();
            }
            return false;
        });
        window.onSubtitleSearch(); // runs the dialog until the download is in place or refused
        const QString subtitle = folder.filePath(name);
        QVERIFY(QFile::exists(subtitle));
        if (!refusal.isEmpty()) {
            QVERIFY2(shownMessage.startsWith(refusal), qPrintable(shownMessage));
            QVERIFY(usableAgain);
            QCOMPARE(selectedSubtitle(core), QString());
            return;
        }
        QTRY_COMPARE(selectedSubtitle(core), subtitle);
        core->seek(1.0);
        QTRY_COMPARE_WITH_TIMEOUT(core->propertyText(QStringLiteral("sub-text")), QStringLiteral("검색된 자막"), 5000);

        window.toggleProFeatures();
        auto *editor = window.findChild<SubtitleEditorWidget *>();
        QVERIFY(editor);
        QCOMPARE(editor->subtitlePath(), subtitle);
    }
};

QTEST_MAIN(SubtitleHooksTest)
#include "tst_subtitle_hooks.moc"
