// The window's subtitle search with the real engine: a subtitle found through the search dialog
// is added to the playing video, shows at its cue's time, and is what the editor tab shows; one
// found for a video no longer playing is reported in the open dialog and added to nothing.

#include "FakeHttpServer.h"
#include "TestFiles.h"
#include "WindowKit.h"
#include "app/SettingsKeys.h"
#include "subtitles/SubtitleEditorWidget.h"
#include "subtitles/SubtitleSearchDialog.h"

#include <QFile>
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
        QTest::addColumn<bool>("fileChanges"); // another file is opened while the dialog is open
        QTest::newRow("added") << false;
        QTest::newRow("the video changed") << true;
    }
    void foundSubtitleIsAddedOrRefused()
    {
        QFETCH(bool, fileChanges);
        FakeHttpServer server;
        QVERIFY(server.listen());
        server.route("GET", "/api/v1/subtitles", FakeHttpServer::json(QByteArray(R"({"total_count":1,"data":[
            {"id":"1","type":"subtitle","attributes":{"language":"ko","download_count":12,"ratings":8,
             "hearing_impaired":false,"files":[{"file_id":7,"cd_number":1,"file_name":"found.srt"}]}}]})")));
        server.route("POST", "/api/v1/download", FakeHttpServer::json(
            QStringLiteral(R"({"link":"%1","file_name":"found.srt","remaining":4})")
                .arg(server.url(QStringLiteral("/file/7")).toString()).toUtf8()));
        server.route("GET", "/file/7",
                     FakeHttpServer::text("1\n00:00:00,000 --> 00:00:05,000\n검색된 자막\n", 200, "text/plain"));
        qputenv("VELMORAN_OPENSUBTITLES_URL", server.url(QStringLiteral("/api/v1")).toString().toUtf8());
        {
            QSettings settings = store();
            writeSetting(settings, SettingsKeys::subtitleOpenSubtitlesApiKey, QStringLiteral("test-key"));
        }

        QTemporaryDir folder;
        const QString video = folder.filePath(QStringLiteral("movie.mp4"));
        QVERIFY(QFile::copy(TestMedia::path(QStringLiteral("clip_320x240.mp4")), video));
        MainWindow window;
        window.show();
        MpvCore *core = window.videoSurface()->core();
        window.openFiles({video});
        QTRY_COMPARE_WITH_TIMEOUT(window.windowTitle(), QStringLiteral("Velmoran — movie.mp4"), 10000);
        core->pause();

        QString shownMessage;
        whileDialogOpen([&](SubtitleSearchDialog &dialog) {
            QPushButton *download = buttonWithText(dialog, QStringLiteral("선택한 자막 다운로드"));
            if (fileChanges && !window.windowTitle().endsWith(u"clip_100s.mp4")) {
                if (download->isEnabled() && !dialog.property("opened").isValid()) {
                    dialog.setProperty("opened", true);
                    window.openFiles({TestMedia::path(QStringLiteral("clip_100s.mp4"))});
                }
                return false;
            }
            if (auto *box = dialog.findChild<QMessageBox *>()) {
                shownMessage = box->text();
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
        const QString subtitle = folder.filePath(QStringLiteral("found.srt"));
        QVERIFY(QFile::exists(subtitle));
        if (fileChanges) {
            QVERIFY2(shownMessage.startsWith(QStringLiteral("자막을 넣지 않았습니다")), qPrintable(shownMessage));
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
