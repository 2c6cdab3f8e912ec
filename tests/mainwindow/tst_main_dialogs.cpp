#include "FakeEngineSession.h"
#include "ShownText.h"

#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "mainwindow/MultichannelDialog.h"
#include "mainwindow/PlayStatisticsTable.h"
#include "mainwindow/PlaybackHistory.h"

#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <memory>

class MainDialogsTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<QSettings> settings_;

private slots:
    void init()
    {
        settings_ = std::make_unique<QSettings>(QLatin1StringView(AppIdentity::kOrganisation),
                                                QLatin1StringView(AppIdentity::kSettingsApplication));
        settings_->clear();
        settings_->sync();
    }

    void suggestionRules()
    {
        QCOMPARE(MultichannelDialog::channelLabel(6), QStringLiteral("5.1"));
        QCOMPARE(MultichannelDialog::channelLabel(8), QStringLiteral("7.1"));
        QCOMPARE(MultichannelDialog::channelLabel(7), QStringLiteral("7ch"));

        QVERIFY(MultichannelDialog::shouldSuggest(6, false, QStringLiteral("no")));
        QVERIFY(MultichannelDialog::shouldSuggest(8, false, QString())); // property unavailable
        QVERIFY(!MultichannelDialog::shouldSuggest(5, false, QStringLiteral("no")));
        QVERIFY(!MultichannelDialog::shouldSuggest(6, true, QStringLiteral("no"))); // once per file
        QVERIFY(!MultichannelDialog::shouldSuggest(8, false, QStringLiteral("yes")));
    }

    void switchingToExclusiveReachesStoreAndEngine()
    {
        writeSetting(*settings_, SettingsKeys::audioExclusive, false);
        settings_->sync();
        FakeEngine engine = makeFakeEngine(true);
        MultichannelDialog dialog(8, *settings_, engine.core.get(), nullptr);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("멀티체널 오디오 감지"));
        QCOMPARE(dialog.size(), QSize(460, 230));
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("heading"))->text(),
                 QStringLiteral("🔊  7.1 서라운드 파일이 감지되었습니다"));

        auto *exclusive = dialog.findChild<QPushButton *>(QStringLiteral("btnExclusive"));
        QVERIFY(exclusive);
        exclusive->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(readSetting(*settings_, SettingsKeys::audioExclusive), true);
        QCOMPARE(engine.fake->valuesWritten(QStringLiteral("audio-exclusive")), QVariantList{QStringLiteral("yes")});
        // On disk at once, not only in this process's cache.
        QFile file(settings_->fileName());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("exclusive=true"));

        // Without an engine the choice is still kept for the next start.
        settings_->clear();
        MultichannelDialog engineless(6, *settings_, nullptr, nullptr);
        engineless.findChild<QPushButton *>(QStringLiteral("btnExclusive"))->click();
        QVERIFY(settings_->contains(QLatin1StringView(SettingsKeys::audioExclusive.name)));
    }

    void keepingSharedChangesNothing()
    {
        FakeEngine engine = makeFakeEngine(true);
        MultichannelDialog dialog(6, *settings_, engine.core.get(), nullptr);
        QPushButton *keep = nullptr;
        for (QPushButton *b : dialog.findChildren<QPushButton *>())
            keep = b->text() == QStringLiteral("공유 모드 유지") ? b : keep;
        QVERIFY(keep);
        QVERIFY(keep->isDefault()); // Enter keeps the harmless choice
        keep->click();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(settings_->allKeys().isEmpty());
        QVERIFY(engine.fake->writes.isEmpty());
    }

    void statisticsShowNewestHundred()
    {
        PlaybackHistory history(*settings_);
        const QDateTime start(QDate(2026, 1, 1), QTime(8, 0));
        // Written oldest-last, so the shown order cannot come from the store's order.
        for (int i = 103; i >= 0; --i)
            history.recordLoad(QStringLiteral("/music/곡 %1.flac").arg(i), start.addSecs(i * 60));
        history.recordLoad(QStringLiteral("/music/곡 103.flac"), start.addDays(1).addSecs(30));
        // A group left without a path is not a file, however recent.
        settings_->setValue(QStringLiteral("stats/0000/count"), 9);
        settings_->setValue(QStringLiteral("stats/0000/last_played"), QStringLiteral("2099-01-01T00:00:00"));
        // One without a count still counts as a file, played zero times.
        settings_->setValue(QStringLiteral("stats/abcd/path"), QStringLiteral("/v/clip.mkv"));
        settings_->setValue(QStringLiteral("stats/abcd/last_played"), QStringLiteral("2026-01-03T23:59:59"));

        PlayStatisticsTable stats(history);
        QTableWidget *table = stats.table();
        QCOMPARE(table->rowCount(), 100);
        QCOMPARE(stats.totalNote()->text(), QStringLiteral("전체 재생 기록: 105개 파일"));

        QCOMPARE(table->item(0, 0)->text(), QStringLiteral("clip.mkv"));
        QCOMPARE(table->item(0, 1)->text(), QStringLiteral("0회"));
        QCOMPARE(table->item(0, 2)->text(), QStringLiteral("2026-01-03 23:59"));
        QCOMPARE(table->item(1, 0)->text(), QStringLiteral("곡 103.flac"));
        QCOMPARE(shownToolTip(table->item(1, 0)->toolTip()), QStringLiteral("/music/곡 103.flac"));
        QCOMPARE(table->item(1, 1)->text(), QStringLiteral("2회"));
        QCOMPARE(table->item(1, 2)->text(), QStringLiteral("2026-01-02 08:00"));
        QCOMPARE(table->item(2, 0)->text(), QStringLiteral("곡 102.flac"));
        QCOMPARE(table->item(99, 0)->text(), QStringLiteral("곡 5.flac"));
        QCOMPARE(table->item(99, 2)->text(), QStringLiteral("2026-01-01 08:05"));
    }
};

QTEST_MAIN(MainDialogsTest)
#include "tst_main_dialogs.moc"
