#include "app/SettingsKeys.h"

#include <QCryptographicHash>
#include <QHash>
#include <QStandardPaths>

namespace SettingsKeys {

namespace {
QString statsKey(const QString &path, const char *field)
{
    const QByteArray md5 = QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Md5).toHex();
    return QStringLiteral("%1/%2/%3").arg(QLatin1StringView(kStatsGroup), QLatin1StringView(md5),
                                          QLatin1StringView(field));
}
} // namespace

QString resumeKey(const QString &path)
{
    return QStringLiteral("resume/") + QString::number(qHash(path, 0), 16);
}

QString statsCountKey(const QString &path) { return statsKey(path, "count"); }
QString statsLastPlayedKey(const QString &path) { return statsKey(path, "last_played"); }
QString statsPathKey(const QString &path) { return statsKey(path, "path"); }

QString screenshotFolder(const QSettings &settings)
{
    const QString stored = readSetting(settings, generalScreenshotDir);
    return stored.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::PicturesLocation) : stored;
}

} // namespace SettingsKeys
