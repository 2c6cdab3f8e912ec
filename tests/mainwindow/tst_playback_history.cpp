#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "mainwindow/PlaybackHistory.h"

#include <QTest>

class PlaybackHistoryTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<QSettings> settings_;
    std::unique_ptr<PlaybackHistory> history_;

private slots:
    void init()
    {
        settings_ = std::make_unique<QSettings>(QLatin1StringView(AppIdentity::kOrganisation),
                                                QLatin1StringView(AppIdentity::kSettingsApplication));
        settings_->clear();
        history_ = std::make_unique<PlaybackHistory>(*settings_);
    }

    void resumeRules()
    {
        const QString film = QStringLiteral("/films/긴 영화.mkv");
        history_->saveResumePosition(film, 2880, 7200); // 40 %
        QCOMPARE(history_->resumePosition(film), std::optional<double>(2880));
        QCOMPARE(PlaybackHistory::resumeMessage(2880), QStringLiteral("이어보기: 48:00부터 재생"));
        QCOMPARE(PlaybackHistory::resumeMessage(65.9), QStringLiteral("이어보기: 1:05부터 재생"));

        history_->saveResumePosition(film, 6912, 7200); // 96 %: finished
        QVERIFY(!settings_->contains(SettingsKeys::resumeKey(film)));

        history_->saveResumePosition(film, 4.9, 7200);
        history_->saveResumePosition(QString(), 100, 7200);
        QVERIFY(settings_->allKeys().isEmpty());

        // An unknown duration still stores the place.
        history_->saveResumePosition(film, 30, 0);
        QCOMPARE(history_->resumePosition(film), std::optional<double>(30));

        writeSetting(*settings_, SettingsKeys::generalRememberPos, false);
        QVERIFY(!history_->resumePosition(film));
        history_->saveResumePosition(film, 60, 7200);
        QCOMPARE(settings_->value(SettingsKeys::resumeKey(film)).toDouble(), 30.0);
    }

    void recentListAndStatistics()
    {
        for (int i = 0; i < 11; ++i)
            history_->recordLoad(QStringLiteral("/m/%1.mkv").arg(i), QDateTime(QDate(2026, 1, 1), QTime(10, i)));
        history_->recordLoad(QStringLiteral("/m/5.mkv"), QDateTime(QDate(2026, 2, 1), QTime(9, 30, 15)));

        const QStringList recent = history_->recentFiles();
        QCOMPARE(recent.size(), PlaybackHistory::kMaxRecentFiles);
        QCOMPARE(recent.first(), QStringLiteral("/m/5.mkv"));
        QCOMPARE(recent.count(QStringLiteral("/m/5.mkv")), 1);
        QVERIFY(!recent.contains(QStringLiteral("/m/0.mkv"))); // the oldest fell off

        const QList<PlaybackHistory::PlayRecord> records = history_->playRecords();
        QCOMPARE(records.size(), 11);
        QCOMPARE(records.first().path, QStringLiteral("/m/5.mkv"));
        QCOMPARE(records.first().count, 2);
        QCOMPARE(records.first().lastPlayed, QStringLiteral("2026-02-01T09:30:15"));
        QCOMPARE(records.last().path, QStringLiteral("/m/0.mkv"));

        history_->clearRecentFiles();
        QVERIFY(history_->recentFiles().isEmpty());
        QVERIFY(!settings_->contains(QStringLiteral("recent/files")));
    }

    void streamsLeaveNoTrace_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("stream");
        for (const char *url : {"https://a/v", "rtmp://a/app", "RTSP://cam/x", "ytdl://v"})
            QTest::newRow(url) << QString::fromLatin1(url) << true;
        QTest::newRow("local name starting with http") << QStringLiteral("/m/http 영상.mkv") << false;
        QTest::newRow("local file address") << QStringLiteral("file:///m/a.mkv") << false;
    }
    void streamsLeaveNoTrace()
    {
        QFETCH(QString, address);
        QFETCH(bool, stream);
        history_->recordLoad(address);
        history_->saveResumePosition(address, 100, 7200);
        QCOMPARE(history_->recentFiles().isEmpty() && history_->playRecords().isEmpty(), stream);
        QCOMPARE(settings_->contains(SettingsKeys::resumeKey(address)), !stream);
    }
};

QTEST_MAIN(PlaybackHistoryTest)
#include "tst_playback_history.moc"
