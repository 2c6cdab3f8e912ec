#include "mainwindow/PlaybackHistory.h"

#include "app/CommandLine.h"
#include "app/SettingsKeys.h"

#include <QSettings>

#include <algorithm>

// Anything addressed by a scheme other than "file" (http, https, rtsp, rtmp, and whatever else
// the engine accepts) is a stream: the recent list could not open it again, and a position in a
// live feed means nothing the next time. Local paths reach here absolute, so a colon in a file
// name is never taken for a scheme.
bool PlaybackHistory::isStream(const QString &path)
{
    return isSchemeAddress(path) && !path.startsWith(QLatin1String("file:"), Qt::CaseInsensitive);
}

bool PlaybackHistory::remembersPositions() const
{
    return readSetting(settings_, SettingsKeys::generalRememberPos);
}

void PlaybackHistory::saveResumePosition(const QString &path, double position, double duration)
{
    if (path.isEmpty() || position < kMinResumeSeconds || isStream(path) || !remembersPositions())
        return;
    if (duration > 0 && position / duration > kFinishedFraction) {
        clearResumePosition(path);
        return;
    }
    settings_.setValue(SettingsKeys::resumeKey(path), position);
}

std::optional<double> PlaybackHistory::resumePosition(const QString &path) const
{
    if (!remembersPositions())
        return std::nullopt;
    const double seconds = settings_.value(SettingsKeys::resumeKey(path), 0.0).toDouble();
    return seconds > kMinResumeSeconds ? std::optional<double>(seconds) : std::nullopt;
}

void PlaybackHistory::clearResumePosition(const QString &path)
{
    settings_.remove(SettingsKeys::resumeKey(path));
}

void PlaybackHistory::recordLoad(const QString &path, const QDateTime &when)
{
    if (isStream(path))
        return;
    QStringList recent = recentFiles();
    recent.removeAll(path);
    recent.prepend(path);
    while (recent.size() > kMaxRecentFiles)
        recent.removeLast();
    writeSetting(settings_, SettingsKeys::recentFiles, recent);

    const QString countKey = SettingsKeys::statsCountKey(path);
    settings_.setValue(countKey, settings_.value(countKey, 0).toInt() + 1);
    settings_.setValue(SettingsKeys::statsLastPlayedKey(path), when.toString(Qt::ISODate));
    settings_.setValue(SettingsKeys::statsPathKey(path), path);
}

QStringList PlaybackHistory::recentFiles() const
{
    return readSetting(settings_, SettingsKeys::recentFiles);
}

void PlaybackHistory::clearRecentFiles()
{
    settings_.remove(QLatin1StringView(SettingsKeys::recentFiles.name));
}

QList<PlaybackHistory::PlayRecord> PlaybackHistory::playRecords() const
{
    QList<PlayRecord> records;
    settings_.beginGroup(QLatin1StringView(SettingsKeys::kStatsGroup));
    for (const QString &group : settings_.childGroups()) {
        const PlayRecord record{settings_.value(group + QStringLiteral("/path")).toString(),
                                settings_.value(group + QStringLiteral("/count"), 0).toInt(),
                                settings_.value(group + QStringLiteral("/last_played")).toString()};
        if (!record.path.isEmpty())
            records << record;
    }
    settings_.endGroup();
    std::stable_sort(records.begin(), records.end(),
                     [](const PlayRecord &a, const PlayRecord &b) { return a.lastPlayed > b.lastPlayed; });
    return records;
}

QString PlaybackHistory::resumeMessage(double seconds)
{
    const int whole = int(seconds);
    return QStringLiteral("이어보기: %1:%2부터 재생").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
}
