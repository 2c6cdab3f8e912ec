#include "app/AppLog.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

// Each function runs in a process of its own (see CMakeLists.txt): the switch is per process.
class AppLogTest : public QObject
{
    Q_OBJECT
private slots:
    void enabledForTheWholeProcess()
    {
        QVERIFY(qEnvironmentVariableIsSet("VELMORAN_DEBUG"));
        QVERIFY(!QFile::exists(appLogPath()));
        appLog(QStringLiteral("[MPV] 첫 줄"));
        qunsetenv("VELMORAN_DEBUG");
        appLog(QStringLiteral("second line"));

        QFile file(appLogPath());
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(2), QString());
        const QRegularExpression format(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d\\d\\d (.*)$"));
        QCOMPARE(format.match(lines.at(0)).captured(1), QStringLiteral("[MPV] 첫 줄"));
        QCOMPARE(format.match(lines.at(1)).captured(1), QStringLiteral("second line"));
    }

    void lateEnvironmentIsIgnored()
    {
        QVERIFY(!qEnvironmentVariableIsSet("VELMORAN_DEBUG"));
        appLog(QStringLiteral("dropped"));
        qputenv("VELMORAN_DEBUG", "1");
        appLog(QStringLiteral("still dropped"));
        QVERIFY(!QFile::exists(appLogPath()));
    }
};

QTEST_GUILESS_MAIN(AppLogTest)
#include "tst_app_log.moc"
