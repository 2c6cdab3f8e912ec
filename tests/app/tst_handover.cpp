#include "app/HandoverProtocol.h"
#include "app/HandoverServer.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QTest>
#include <QtEndian>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using Handover::FrameAssembler;

namespace {
QByteArray bigEndian32(qint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray frameWithPayload(const QByteArray &payload)
{
    return bigEndian32(qint32(payload.size())) + payload;
}
} // namespace

class HandoverTest : public QObject
{
    Q_OBJECT
    QString serverName_;

private slots:
    void init()
    {
        serverName_ = QStringLiteral("velmoran-test-%1").arg(QCoreApplication::applicationPid());
    }

    void frameIsByteExact()
    {
        const QByteArray expected = QByteArray::fromHex("00000012"   // payload length 18
                                                        "00000002"   // two strings
                                                        "00000004" "00610062" // "ab"
                                                        "00000002" "d55c");   // "한"
        QCOMPARE(Handover::encodeFrame({QStringLiteral("ab"), QStringLiteral("한")}), expected);
        QCOMPARE(Handover::encodeFrame({}), QByteArray::fromHex("00000004" "00000000"));
    }

    void decodeRoundTripsWhatTheSenderWrote()
    {
        const QStringList files{QStringLiteral("/영화/a b.mkv"), QString(), QStringLiteral(""),
                                QStringLiteral("rtsp://cam/1")};
        const auto decoded = Handover::decodePayload(Handover::encodeFrame(files).sliced(4));
        QVERIFY(decoded);
        QCOMPARE(*decoded, files);
        QVERIFY(decoded->at(1).isNull());
        QVERIFY(!decoded->at(2).isNull());
    }

    void decodeRejectsMalformedPayloads_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("shorter than a count") << QByteArray::fromHex("000000");
        QTest::newRow("count larger than the bytes") << QByteArray::fromHex("7fffffff00000000");
        QTest::newRow("string longer than the bytes") << QByteArray::fromHex("00000001" "00000010" "0061");
        QTest::newRow("odd byte length") << QByteArray::fromHex("00000001" "00000003" "006100");
        QTest::newRow("trailing bytes") << QByteArray::fromHex("00000001" "00000002" "0061" "ff");
        QTest::newRow("missing element") << QByteArray::fromHex("00000002" "00000002" "0061");
    }
    void decodeRejectsMalformedPayloads()
    {
        QFETCH(QByteArray, payload);
        QVERIFY(!Handover::decodePayload(payload));
    }

    void assemblerCollectsSplitFramesAndRefusesBadLengths()
    {
        const QByteArray frame = Handover::encodeFrame({QStringLiteral("/tmp/x.mp4")});
        FrameAssembler byteByByte;
        for (qsizetype i = 0; i < frame.size() - 1; ++i)
            QCOMPARE(byteByByte.append(frame.sliced(i, 1)), FrameAssembler::State::NeedMore);
        QCOMPARE(byteByByte.append(frame.right(1) + "extra"), FrameAssembler::State::Complete);
        QCOMPARE(byteByByte.payload(), QByteArrayView(frame).sliced(4));

        FrameAssembler negative;
        QCOMPARE(negative.append(bigEndian32(-1) + "abcd"), FrameAssembler::State::Invalid);
        FrameAssembler oversized;
        QCOMPARE(oversized.append(bigEndian32(Handover::kMaxPayloadBytes + 1)), FrameAssembler::State::Invalid);
        FrameAssembler atTheCap;
        QCOMPARE(atTheCap.append(bigEndian32(Handover::kMaxPayloadBytes)), FrameAssembler::State::NeedMore);
    }

    void serverDeliversFramesSplitAcrossWrites()
    {
        HandoverServer server;
        QVERIFY(server.listen(serverName_));
        QSignalSpy received(&server, &HandoverServer::filesReceived);

        const QStringList files{QStringLiteral("/a.mkv"), QStringLiteral("/b.mkv")};
        const QByteArray frame = Handover::encodeFrame(files);
        QLocalSocket client;
        client.connectToServer(serverName_);
        QVERIFY(client.waitForConnected(1000));
        for (const QByteArray &piece : {frame.left(2), frame.mid(2, 7), frame.mid(9)}) {
            client.write(piece);
            client.flush();
            QTest::qWait(30);
        }
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(received.at(0).at(0).toStringList(), files);
        QTRY_COMPARE(client.state(), QLocalSocket::UnconnectedState);
    }

    void serverDropsBadFramesWithoutReporting_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty list") << Handover::encodeFrame({});
        QTest::newRow("negative length") << bigEndian32(-8) + QByteArray(8, 'x');
        QTest::newRow("oversized length") << bigEndian32(0x7fffffff) + QByteArray(64, 'x');
        QTest::newRow("malformed payload") << frameWithPayload(QByteArray::fromHex("00000001" "00000003" "006100"));
        QTest::newRow("lying element count") << frameWithPayload(QByteArray::fromHex("ffffffff"));
    }
    void serverDropsBadFramesWithoutReporting()
    {
        QFETCH(QByteArray, bytes);
        HandoverServer server;
        QVERIFY(server.listen(serverName_));
        QSignalSpy received(&server, &HandoverServer::filesReceived);

        QLocalSocket client;
        client.connectToServer(serverName_);
        QVERIFY(client.waitForConnected(1000));
        client.write(bytes);
        client.flush();
        QTRY_COMPARE(client.state(), QLocalSocket::UnconnectedState);
        QCOMPARE(received.size(), 0);
    }

    void silentPeerNeitherBlocksOthersNorStaysForever()
    {
        HandoverServer server;
        QVERIFY(server.listen(serverName_));
        QSignalSpy received(&server, &HandoverServer::filesReceived);

        QLocalSocket silent;
        silent.connectToServer(serverName_);
        QVERIFY(silent.waitForConnected(1000));
        silent.write(bigEndian32(100).left(3));

        QLocalSocket sender;
        sender.connectToServer(serverName_);
        QVERIFY(sender.waitForConnected(1000));
        sender.write(Handover::encodeFrame({QStringLiteral("/c.mkv")}));
        QTRY_COMPARE(received.size(), 1);

        QCOMPARE(silent.state(), QLocalSocket::ConnectedState);
        QTRY_COMPARE_WITH_TIMEOUT(silent.state(), QLocalSocket::UnconnectedState,
                                  HandoverServer::kConnectionTimeoutMs + 2000);
    }

    void listenReplacesAStaleSocketFile()
    {
        // A crashed owner leaves its bound socket file behind with nobody listening.
        const QByteArray path = QFile::encodeName(QDir::tempPath() + QLatin1Char('/') + serverName_);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, path.constData(), sizeof(address.sun_path));
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
        ::close(fd);
        QVERIFY(QFile::exists(QString::fromLocal8Bit(path)));

        HandoverServer server;
        QVERIFY(server.listen(serverName_));
        QSignalSpy received(&server, &HandoverServer::filesReceived);
        QLocalSocket client;
        client.connectToServer(serverName_);
        QVERIFY(client.waitForConnected(1000));
        client.write(Handover::encodeFrame({QStringLiteral("/d.mkv")}));
        QTRY_COMPARE(received.size(), 1);
    }
};

QTEST_GUILESS_MAIN(HandoverTest)
#include "tst_handover.moc"
