#include "app/CommandLine.h"

#include <QTemporaryDir>
#include <QTest>

class CommandLineTest : public QObject
{
    Q_OBJECT
private slots:
    void keepsStreamsAndExistingFilesInOrder()
    {
        QTemporaryDir dir;
        const QString existing = dir.filePath(QStringLiteral("영화 1.mkv"));
        QFile file(existing);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        const QStringList arguments{
            QStringLiteral("rtsp://camera/stream"), dir.filePath(QStringLiteral("missing.mkv")), existing,
            QStringLiteral("HTTPS://upper.case/x"), QStringLiteral("ftp://host/x"), dir.path(),
            QStringLiteral("https://example.org/v"), QStringLiteral("http://a"), QStringLiteral("rtmp://live/x"),
            QString()};
        const QStringList expected{QStringLiteral("rtsp://camera/stream"), existing,
                                   QStringLiteral("https://example.org/v"), QStringLiteral("http://a"),
                                   QStringLiteral("rtmp://live/x")};
        QCOMPARE(playableStartupArguments(arguments), expected);
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_command_line.moc"
