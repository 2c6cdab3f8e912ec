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
            // The store keeps a one-element list as a plain string and every value as text.
            writeSetting(settings, Keys::libraryFolders, QStringList{QStringLiteral("/music")});
            writeSetting(settings, Keys::audioExclusive, !Keys::audioExclusive.defaultValue);
            writeSetting(settings, Keys::generalScreenshotDir, QStringLiteral("/tmp/shots"));
        }
        const QSettings reopened = store();
        QCOMPARE(readSetting(reopened, Keys::windowSize), QSize(1024, 600));
        QCOMPARE(readSetting(reopened, Keys::windowPos), QPoint(-1800, 40));
        QCOMPARE(readSetting(reopened, Keys::recentFiles).size(), 2);
        QCOMPARE(readSetting(reopened, Keys::libraryFolders), QStringList{QStringLiteral("/music")});
        QCOMPARE(readSetting(reopened, Keys::audioExclusive), !Keys::audioExclusive.defaultValue);
        QCOMPARE(Keys::screenshotFolder(reopened), QStringLiteral("/tmp/shots"));
    }

    void perFileKeysAreStable()
    {
        // Stored records are found again only if these keys never change between versions.
        const QString path = QStringLiteral("/music/곡.flac");
        const QString md5 = QStringLiteral("7b7370fb58d6753d65dcc4bcc9d0f1d6"); // md5sum of the UTF-8 path
        QCOMPARE(Keys::statsCountKey(path), QStringLiteral("stats/%1/count").arg(md5));
        QCOMPARE(Keys::statsPathKey(path), QStringLiteral("stats/%1/path").arg(md5));
        QCOMPARE(Keys::resumeKey(path), QStringLiteral("resume/f1fd396152d33a07"));
        QCOMPARE(Keys::resumeKey(QString()), QStringLiteral("resume/0"));
    }
};

QTEST_GUILESS_MAIN(SettingsKeysTest)
#include "tst_settings_keys.moc"
