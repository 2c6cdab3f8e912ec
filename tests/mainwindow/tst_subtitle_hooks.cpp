// The window's subtitle search with the real engine: a subtitle found through the search dialog
// is added to the playing video, shows at its cue's time, and is what the editor tab shows.

#include "FakeHttpServer.h"
#include "TestMedia.h"
#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "mainwindow/MainWindow.h"
#include "subtitles/SubtitleEditorWidget.h"
#include "subtitles/SubtitleSearchDialog.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

QSettings store()
{
    return QSettings(QLatin1StringView(AppIdentity::kOrganisation), QLatin1StringView(AppIdentity::kSettingsApplication));
}

// Presses "선택한 자막 다운로드" once the dialog opened by the window has listed its results.
void downloadFirstResultWhenListed()
{
    QTimer::singleShot(50, [] {
        auto *dialog = qobject_cast<SubtitleSearchDialog *>(QApplication::activeModalWidget());
        QPushButton *download = nullptr;
        if (dialog)
            for (QPushButton *button : dialog->findChildren<QPushButton *>())
                if (button->text() == QStringLiteral("선택한 자막 다운로드"))
                    download = button;
        if (download && download->isEnabled())
            download->click();
        else
            downloadFirstResultWhenListed();
    });
}

} // namespace

class SubtitleHooksTest : public QObject
{
    Q_OBJECT

private slots:
    void aFoundSubtitlePlaysAndIsEdited()
    {
        FakeHttpServer server;
        QVERIFY(server.listen());
        server.route("GET", "/api/v1/subtitles", FakeHttpServer::json(QByteArray(R"({"total_count":1,"data":[
            {"id":"1","type":"subtitle","attributes":{"language":"ko","download_count":12,"ratings":8,
             "hearing_impaired":false,"files":[{"file_id":7,"cd_number":1,"file_name":"found.srt"}]}}]})")));
        server.route("POST", "/api/v1/download", FakeHttpServer::json(
            QStringLiteral(R"({"link":"%1","file_name":"found.srt","remaining":4})")
                .arg(server.url(QStringLiteral("/file/found.srt")).toString()).toUtf8()));
        server.route("GET", "/file/found.srt",
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

        downloadFirstResultWhenListed();
        window.onSubtitleSearch(); // runs the dialog until the download is in place
        const QString subtitle = folder.filePath(QStringLiteral("found.srt"));
        QVERIFY(QFile::exists(subtitle));
        const auto selectedFile = [core] {
            for (const QVariant &track : core->getMpvProperty(QStringLiteral("track-list")).toList())
                if (track.toMap().value(QStringLiteral("selected")).toBool()
                    && track.toMap().value(QStringLiteral("type")) == QStringLiteral("sub"))
                    return track.toMap().value(QStringLiteral("external-filename")).toString();
            return QString();
        };
        QTRY_COMPARE(selectedFile(), subtitle);
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
