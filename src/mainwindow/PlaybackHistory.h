#pragma once

#include <QDateTime>
#include <QList>
#include <QStringList>

#include <optional>

class QSettings;

// What the player remembers about files it played: resume positions, the recent list and play
// statistics, all kept in the settings store.
class PlaybackHistory
{
public:
    static constexpr int kMaxRecentFiles = 10;
    static constexpr double kMinResumeSeconds = 5.0;
    static constexpr double kFinishedFraction = 0.95;

    struct PlayRecord {
        QString path;
        int count = 0;
        QString lastPlayed; // ISO 8601 local date-time
    };

    explicit PlaybackHistory(QSettings &settings) : settings_(settings) {}

    // Leaving a file: keeps where it was left, or forgets it when it was (nearly) finished.
    // Streams, the first seconds and a switched-off preference store nothing.
    void saveResumePosition(const QString &path, double position, double duration);
    // Where to continue a file; nothing for the first seconds or when the preference is off.
    std::optional<double> resumePosition(const QString &path) const;
    void clearResumePosition(const QString &path);

    // A local file was loaded: front of the recent list, one more play in the statistics.
    void recordLoad(const QString &path, const QDateTime &when = QDateTime::currentDateTime());
    QStringList recentFiles() const;
    void clearRecentFiles();
    // Newest first; records without a path are skipped.
    QList<PlayRecord> playRecords() const;

    // "이어보기: 48:00부터 재생" for 2880 s.
    static QString resumeMessage(double seconds);

private:
    static bool isStream(const QString &path);
    bool remembersPositions() const;

    QSettings &settings_;
};
