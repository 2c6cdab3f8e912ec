#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"

#include <QStandardPaths>
#include <QTest>

namespace Keys = SettingsKeys;

class SettingsKeysTest : public QObject
{
    Q_OBJECT

    static QSettings store()
    {
        return QSettings(QLatin1StringView(AppIdentity::kOrganisation),
                         QLatin1StringView(AppIdentity::kSettingsApplication));
    }

private slots:
    void init() { store().clear(); }

    void emptyStoreGivesEveryDefault_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QVariant>("read");
        QTest::addColumn<QVariant>("expected");
        const QSettings settings = store();
        auto row = [&](const auto &key, const char *name, const QVariant &expected) {
            QTest::newRow(name) << QString::fromLatin1(key.name) << QVariant::fromValue(readSetting(settings, key))
                                << expected;
        };
        row(Keys::windowPos, "window/pos", QPoint(-1, -1));
        row(Keys::windowAlwaysOnTop, "window/alwaysOnTop", false);
        row(Keys::audioVolume, "audio/volume", 100);
        row(Keys::audioExclusive, "audio/exclusive", true);
        row(Keys::audioPassthrough, "audio/passthrough", true);
        row(Keys::audioPassthroughAc3, "audio/pt_ac3", true);
        row(Keys::audioPassthroughEac3, "audio/pt_eac3", true);
        row(Keys::audioPassthroughDts, "audio/pt_dts", true);
        row(Keys::audioPassthroughDtsHd, "audio/pt_dtshd", true);
        row(Keys::audioPassthroughTrueHd, "audio/pt_truehd", true);
        row(Keys::audioDevice, "audio/device", QStringLiteral("auto"));
        row(Keys::audioDsdMode, "audio/dsd_mode", 0);
        row(Keys::videoGpuApi, "video/gpu_api", QStringLiteral("d3d11"));
        row(Keys::videoVoIndex, "video/vo_index", 0);
        row(Keys::videoHwdec, "video/hwdec", QStringLiteral("d3d11va (DirectX 11)"));
        row(Keys::videoScaling, "video/scaling", QStringLiteral("spline36"));
        row(Keys::videoDeband, "video/deband", false);
        row(Keys::videoMotionSmoothing, "video/motion_smoothing", false);
        row(Keys::videoRenderProfile, "video/render_profile", 2);
        row(Keys::generalRememberPos, "general/remember_pos", true);
        row(Keys::generalResume, "general/resume", false);
        row(Keys::generalScreenshotFormat, "general/screenshot_format", QStringLiteral("PNG"));
        row(Keys::remoteEnabled, "remote/enabled", false);
        row(Keys::subtitleAutoLoad, "subtitle/auto_load", true);
        row(Keys::subtitleOpenSubtitlesApiKey, "subtitle/opensubtitles_apikey", QString());
        row(Keys::subtitleDeeplApiKey, "subtitle/deepl_api_key", QString());
        row(Keys::subtitlePapagoClientId, "subtitle/papago_client_id", QString());
        row(Keys::subtitlePapagoClientSecret, "subtitle/papago_client_secret", QString());
        row(Keys::recentFiles, "recent/files", QStringList());
        row(Keys::audioAdvancedConvEnabled, "audio_advanced/conv_enabled", false);
        row(Keys::audioAdvancedIrPath, "audio_advanced/ir_path", QString());
        row(Keys::audioAdvancedGainDb, "audio_advanced/gain_db", 0);
        row(Keys::audioAdvancedVstPlugins, "audio_advanced/vst_plugins", QStringList());
        row(Keys::videoAdvancedLutEnabled, "video_advanced/lut_enabled", false);
        row(Keys::videoAdvancedLutPath, "video_advanced/lut_path", QString());
        row(Keys::videoAdvancedColorspaceIdx, "video_advanced/colorspace_idx", 0);
        row(Keys::networkSmbFavorites, "network/smb_favorites", QStringList());
        row(Keys::networkVr360Enabled, "network/vr360_enabled", false);
        row(Keys::networkCastIp, "network/cast_ip", QString());
        row(Keys::libraryFolders, "library/folders", QStringList());
    }
    void emptyStoreGivesEveryDefault()
    {
        QFETCH(QString, name);
        QFETCH(QVariant, read);
        QFETCH(QVariant, expected);
        QCOMPARE(name, QString::fromLatin1(QTest::currentDataTag()));
        QCOMPARE(read, expected);
    }

    void absentRecordsReadAsAbsent()
    {
        const QSettings settings = store();
        QVERIFY(!readSetting(settings, Keys::windowSize).isValid());
        QVERIFY(readSetting(settings, Keys::eqUserPreset).isEmpty());
        QCOMPARE(Keys::screenshotFolder(settings), QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
        QVERIFY(!settings.contains(Keys::resumeKey(QStringLiteral("/a.mkv"))));
    }

    void typedValuesSurviveTheStore()
    {
        {
            QSettings settings = store();
            writeSetting(settings, Keys::windowSize, QSize(1024, 600));
            writeSetting(settings, Keys::windowPos, QPoint(-1800, 40));
            writeSetting(settings, Keys::recentFiles, QStringList{QStringLiteral("/b.mkv"), QStringLiteral("/a.mkv")});
            writeSetting(settings, Keys::generalScreenshotDir, QStringLiteral("/tmp/shots"));
        }
        const QSettings reopened = store();
        QCOMPARE(readSetting(reopened, Keys::windowSize), QSize(1024, 600));
        QCOMPARE(readSetting(reopened, Keys::windowPos), QPoint(-1800, 40));
        QCOMPARE(readSetting(reopened, Keys::recentFiles).size(), 2);
        QCOMPARE(Keys::screenshotFolder(reopened), QStringLiteral("/tmp/shots"));
    }

    void perFileKeysAreStable()
    {
        // Stored records are found again only if these keys never change between versions.
        const QString path = QStringLiteral("/music/곡.flac");
        const QString md5 = QStringLiteral("7b7370fb58d6753d65dcc4bcc9d0f1d6"); // md5sum of the UTF-8 path
        QCOMPARE(Keys::statsCountKey(path), QStringLiteral("stats/%1/count").arg(md5));
        QCOMPARE(Keys::statsLastPlayedKey(path), QStringLiteral("stats/%1/last_played").arg(md5));
        QCOMPARE(Keys::statsPathKey(path), QStringLiteral("stats/%1/path").arg(md5));
        QCOMPARE(Keys::resumeKey(path), QStringLiteral("resume/f1fd396152d33a07"));
        QCOMPARE(Keys::resumeKey(QString()), QStringLiteral("resume/0"));
    }
};

QTEST_GUILESS_MAIN(SettingsKeysTest)
#include "tst_settings_keys.moc"
