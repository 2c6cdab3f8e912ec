#include "app/AppIdentity.h"
#include "app/HandoverProtocol.h"
#include "app/HandoverServer.h"
#include "app/SingleInstanceGuard.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QtEndian>

#include <memory>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using Handover::FrameAssembler;
using Claim = SingleInstanceGuard::Claim;

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

// A client connected to a hand-over server of that name; null when it could not connect.
std::unique_ptr<QLocalSocket> connectedClient(const QString &name)
{
    auto client = std::make_unique<QLocalSocket>();
    client->connectToServer(name);
    return client->waitForConnected(1000) ? std::move(client) : nullptr;
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

    void instanceNamesArePrivateToTheUser_data()
    {
        QTest::addColumn<QString>("runtimeName"); // empty: XDG_RUNTIME_DIR unset
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("usesRuntime");
        QTest::newRow("private runtime folder") << "run" << 0700 << true;
        QTest::newRow("others may enter") << "run" << 0755 << false;
        QTest::newRow("too long for a socket address") << QString(100, QLatin1Char('r')) << 0700 << false;
        QTest::newRow("unset") << "" << 0 << false;
    }
    void instanceNamesArePrivateToTheUser()
    {
        QFETCH(QString, runtimeName);
        QFETCH(int, mode);
        QFETCH(bool, usesRuntime);
        const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        const auto restore = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", savedRuntime); });
        QTemporaryDir base;
        const QString runtime = runtimeName.isEmpty() ? QString() : base.filePath(runtimeName);
        if (!runtime.isEmpty())
            QVERIFY(QDir().mkdir(runtime) && ::chmod(QFile::encodeName(runtime).constData(), mode) == 0);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));

        const QString folder = AppIdentity::instanceFolder();
        QCOMPARE(QFileInfo(AppIdentity::handoverServerPath()).path(), folder);
        QCOMPARE(folder == runtime, usesRuntime);
        if (usesRuntime)
            return;
        // The fallback is a folder of this user's own in the shared temporary folder, not trusted
        // once others may enter it.
        QVERIFY2(folder.startsWith(QDir::tempPath()) && folder.contains(QString::number(::geteuid())),
                 qPrintable(folder));
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0777) == 0);
        QCOMPARE(AppIdentity::instanceFolder(), QString());
        QCOMPARE(AppIdentity::handoverServerPath(), QString());
        QVERIFY(QDir(folder).removeRecursively());
    }

    void handOverTakesTheMarkerOnlyWhenTheOwnerIsGone()
    {
        QTemporaryDir folder;
        const QString marker = folder.filePath(QStringLiteral("marker"));
        const QString socket = folder.filePath(QStringLiteral("socket"));
        auto owner = std::make_unique<QLockFile>(marker);
        QVERIFY(owner->tryLock());
        SingleInstanceGuard second(marker);
        QCOMPARE(second.claim(), Claim::HeldByLiveOwner);
        // An owner that never answers is given up on, and keeps its marker.
        QCOMPARE(handOverToOwner(second, socket, {QStringLiteral("/a.mkv")}, 1500, 200),
                 HandoverResult::NotDelivered);

        const std::unique_ptr<QThread> leaving(QThread::create([&] {
            QThread::msleep(200);
            owner.reset();
        }));
        leaving->start();
        QCOMPARE(handOverToOwner(second, socket, {QStringLiteral("/a.mkv")}, 1500, 10000),
                 HandoverResult::OwnerGone);
        QVERIFY(leaving->wait(5000));
        // This process is the owner now: the next start finds it alive.
        QCOMPARE(SingleInstanceGuard(marker).claim(), Claim::HeldByLiveOwner);
    }

    void framesAreByteExactAndDecodeToWhatWasSent()
    {
        const QByteArray expected = QByteArray::fromHex("00000012"   // payload length 18
                                                        "00000002"   // two strings
                                                        "00000004" "00610062" // "ab"
                                                        "00000002" "d55c");   // "한"
        QCOMPARE(Handover::encodeFrame({QStringLiteral("ab"), QStringLiteral("한")}), expected);
        QCOMPARE(Handover::encodeFrame({}), QByteArray::fromHex("00000004" "00000000"));

        const QStringList files{QStringLiteral("/영화/a b.mkv"), QString(), QStringLiteral(""), QStringLiteral("rtsp://cam/1")};
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

    // Over a socket file a crashed owner left behind: bad frames are dropped unreported, a silent
    // peer blocks nobody and is closed after its time-out, a frame written in pieces arrives whole.
    void serverDeliversOnlyWholeGoodFrames()
    {
        const QByteArray stalePath = QFile::encodeName(QDir::tempPath() + QLatin1Char('/') + serverName_);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, stalePath.constData(), sizeof(address.sun_path));
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
        ::close(fd);

        HandoverServer server;
        QVERIFY(server.listen(serverName_));
        QSignalSpy received(&server, &HandoverServer::filesReceived);
        std::vector<std::unique_ptr<QLocalSocket>> bad;
        for (const QByteArray &bytes : {Handover::encodeFrame({}), bigEndian32(0x7fffffff) + QByteArray(64, 'x'),
                                        frameWithPayload(QByteArray::fromHex("00000001" "00000003" "006100"))}) {
            bad.push_back(connectedClient(serverName_));
            QVERIFY(bad.back());
            bad.back()->write(bytes);
        }
        const auto silent = connectedClient(serverName_);
        QVERIFY(silent);
        silent->write(bigEndian32(100).left(3));

        const QStringList files{QStringLiteral("/a.mkv"), QStringLiteral("/b.mkv")};
        const QByteArray frame = Handover::encodeFrame(files);
        const auto sender = connectedClient(serverName_);
        QVERIFY(sender);
        for (const QByteArray &piece : {frame.left(2), frame.mid(2, 7), frame.mid(9)}) {
            sender->write(piece);
            sender->flush();
            QTest::qWait(30);
        }
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(received.at(0).at(0).toStringList(), files);
        QTRY_COMPARE(sender->state(), QLocalSocket::UnconnectedState);
        for (const auto &client : bad)
            QTRY_COMPARE_WITH_TIMEOUT(client->state(), QLocalSocket::UnconnectedState, 1000);
        QCOMPARE(received.size(), 1);
        QCOMPARE(silent->state(), QLocalSocket::ConnectedState);
        QTRY_COMPARE_WITH_TIMEOUT(silent->state(), QLocalSocket::UnconnectedState,
                                  HandoverServer::kConnectionTimeoutMs + 2000);
    }
};

QTEST_GUILESS_MAIN(HandoverTest)
#include "tst_handover.moc"
