// The player window on a private session bus, seen from outside the way a desktop sees it: a
// media-key daemon or sound applet on its own connection.
#include "PrivateSessionBus.h"
#include "TestMedia.h"
#include "app/AppIdentity.h"
#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "mainwindow/MainWindow.h"
#include "platform/MprisService.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTest>
#include <QUrl>

#include <memory>

namespace {

const QString kService = QString::fromLatin1(MprisService::serviceBaseName);
const QString kPath = QString::fromLatin1(MprisService::objectPath);
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr int kLoadTimeoutMs = 15000;

// Values nested in a variant arrive as raw D-Bus arguments.
QVariant plain(const QVariant &value)
{
    if (value.userType() == qMetaTypeId<QDBusVariant>())
        return plain(value.value<QDBusVariant>().variant());
    if (value.userType() == qMetaTypeId<QDBusArgument>()) {
        const QDBusArgument argument = value.value<QDBusArgument>();
        if (argument.currentType() == QDBusArgument::MapType)
            return qdbus_cast<QVariantMap>(argument);
        if (argument.currentSignature() == QLatin1String("o"))
            return QVariant::fromValue(qdbus_cast<QDBusObjectPath>(argument));
    }
    return value;
}

QVariantMap plainMap(const QVariant &value)
{
    QVariantMap map = plain(value).toMap();
    for (auto it = map.begin(); it != map.end(); ++it)
        it.value() = plain(it.value());
    return map;
}

class BusRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QVariantMap> changes;
    QList<qlonglong> seeks;

    QVariantList valuesOf(const QString &property) const
    {
        QVariantList values;
        for (const QVariantMap &change : changes)
            if (change.contains(property))
                values << change.value(property);
        return values;
    }
    QVariant latest(const QString &property) const { return valuesOf(property).value(valuesOf(property).size() - 1); }

public slots:
    void onPropertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &)
    {
        if (interface == kPlayer)
            changes << plainMap(changed);
    }
    void onSeeked(qlonglong position) { seeks << position; }
};

} // namespace

class MprisTest : public QObject
{
    Q_OBJECT
public:
    explicit MprisTest(const QString &busAddress) : address_(busAddress) {}

private slots:
    void initTestCase()
    {
        qApp->setQuitOnLastWindowClosed(false);
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        client_ = QDBusConnection::connectToBus(address_, QStringLiteral("desktop-client"));
        QVERIFY(client_.isConnected());
    }

    void init()
    {
        QSettings(QLatin1StringView(AppIdentity::kOrganisation), QLatin1StringView(AppIdentity::kSettingsApplication))
            .clear();
        recorder_ = std::make_unique<BusRecorder>();
        QVERIFY(client_.connect(QString(), kPath, kProperties, QStringLiteral("PropertiesChanged"), recorder_.get(),
                                SLOT(onPropertiesChanged(QString,QVariantMap,QStringList))));
        QVERIFY(client_.connect(QString(), kPath, kPlayer, QStringLiteral("Seeked"), recorder_.get(),
                                SLOT(onSeeked(qlonglong))));
    }

    void cleanup()
    {
        window_.reset();
        client_.disconnect(QString(), kPath, kProperties, QStringLiteral("PropertiesChanged"), recorder_.get(),
                           SLOT(onPropertiesChanged(QString,QVariantMap,QStringList)));
        client_.disconnect(QString(), kPath, kPlayer, QStringLiteral("Seeked"), recorder_.get(), SLOT(onSeeked(qlonglong)));
        recorder_.reset();
        // The next window's service must find the name free again.
        QTRY_VERIFY(!client_.interface()->isServiceRegistered(kService).value());
    }

    void announcesThePlayerAndItsMediaTypes()
    {
        QVERIFY(startWindow());
        QCOMPARE(property(kRoot, QStringLiteral("Identity")).toString(), QStringLiteral("Velmoran"));

        // The applet finds the player's name and icon through the entry it names, and the entry
        // offers the player for exactly the types the player announces.
        const QString desktopEntry = property(kRoot, QStringLiteral("DesktopEntry")).toString();
        QFile entry(qEnvironmentVariable("VELMORAN_DESKTOP_FILE"));
        QCOMPARE(QFileInfo(entry).fileName(), desktopEntry + QStringLiteral(".desktop"));
        QVERIFY2(entry.open(QIODevice::ReadOnly), qPrintable(entry.fileName()));
        QStringList entryTypes;
        for (const QByteArray &line : entry.readAll().split('\n'))
            if (line.startsWith("MimeType="))
                entryTypes = QString::fromUtf8(line.mid(9)).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        const QStringList announced = property(kRoot, QStringLiteral("SupportedMimeTypes")).toStringList();
        QVERIFY(announced.contains(QStringLiteral("video/x-matroska")));
        QCOMPARE(announced, entryTypes);

        // Nothing loaded: stopped, no track, nothing to play or seek.
        QCOMPARE(property(kPlayer, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
        QCOMPARE(metadata().value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path(),
                 QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
        QCOMPARE(property(kPlayer, QStringLiteral("CanSeek")).toBool(), false);

        window_->hide();
        QCOMPARE(call(kRoot, QStringLiteral("Raise")).type(), QDBusMessage::ReplyMessage);
        QTRY_VERIFY(window_->isVisible());

        // Only local files are opened from an address.
        const QString path = TestMedia::path(QStringLiteral("chapters_3.mkv"));
        call(kPlayer, QStringLiteral("OpenUri"), {QStringLiteral("ftp://example.invalid/x.mkv")});
        call(kPlayer, QStringLiteral("OpenUri"), {QUrl::fromLocalFile(path).toString()});
        QTRY_COMPARE_WITH_TIMEOUT(core()->currentPath(), path, kLoadTimeoutMs);
        QCOMPARE(core()->getMpvProperty(QStringLiteral("playlist-count")).toInt(), 1);
    }

    void controlsAndReportsPlayback()
    {
        QVERIFY(startWindow());
        const QString path = TestMedia::path(QStringLiteral("clip_100s.mp4"));
        QVERIFY(play(QStringLiteral("clip_100s.mp4")));

        // The file's title (no tag: its name) and length, under a track id of this load.
        QTRY_VERIFY(metadata().contains(QStringLiteral("mpris:length")));
        QVariantMap meta = metadata();
        QCOMPARE(meta.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("clip_100s.mp4"));
        QVERIFY(qAbs(meta.value(QStringLiteral("mpris:length")).toLongLong() - 100'000'000) < 500'000);
        QCOMPARE(meta.value(QStringLiteral("xesam:url")).toString(), QUrl::fromLocalFile(path).toString());
        const QString trackId = meta.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path();
        QVERIFY2(trackId.startsWith(QStringLiteral("/org/velmoran/track/")), qPrintable(trackId));
        QCOMPARE(property(kPlayer, QStringLiteral("CanSeek")).toBool(), true);
        QTRY_VERIFY(recorder_->valuesOf(QStringLiteral("PlaybackStatus")).contains(QStringLiteral("Playing")));
        QTRY_VERIFY(!recorder_->valuesOf(QStringLiteral("Metadata")).isEmpty());

        // Playing on with nothing changing: position reports must not turn into change notices.
        QTest::qWait(1500);
        recorder_->changes.clear();
        const qlonglong before = property(kPlayer, QStringLiteral("Position")).toLongLong();
        QTest::qWait(2500);
        QVERIFY2(recorder_->changes.isEmpty(), qPrintable(QStringLiteral("%1 unexpected notices, first with %2")
                                                              .arg(recorder_->changes.size())
                                                              .arg(recorder_->changes.value(0).keys().join(','))));
        QVERIFY(property(kPlayer, QStringLiteral("Position")).toLongLong() > before + 1'000'000);

        // PlayPause toggles the engine like the media key; Play and Pause only ever go one way, so
        // the Pause while paused and the Play while playing must add no notice.
        const auto notices = [this] { return recorder_->valuesOf(QStringLiteral("PlaybackStatus")); };
        call(kPlayer, QStringLiteral("PlayPause"));
        QTRY_COMPARE(notices(), QVariantList{"Paused"});
        QCOMPARE(property(kPlayer, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Paused"));
        call(kPlayer, QStringLiteral("Pause"));
        call(kPlayer, QStringLiteral("PlayPause"));
        QTRY_COMPARE(notices(), (QVariantList{"Paused", "Playing"}));
        call(kPlayer, QStringLiteral("Play"));
        QTest::qWait(400);
        QCOMPARE(notices().size(), 2);
        QVERIFY(!core()->isPaused());
        // Neither playing on nor pausing counts as a seek.
        QVERIFY(recorder_->seeks.isEmpty());

        // Relative to where playback was; a busy machine may take its time between the calls.
        QElapsedTimer clock;
        clock.start();
        const qlonglong from = property(kPlayer, QStringLiteral("Position")).toLongLong();
        call(kPlayer, QStringLiteral("Seek"), {qlonglong(30'000'000)});
        QTRY_COMPARE_WITH_TIMEOUT(recorder_->seeks.size(), 1, 5000);
        const qlonglong landed = recorder_->seeks.constFirst();
        QVERIFY2(landed >= from + 29'000'000 && landed <= from + 31'000'000 + clock.elapsed() * 1000,
                 qPrintable(QStringLiteral("%1 after %2").arg(landed).arg(from)));
        QVERIFY(property(kPlayer, QStringLiteral("Position")).toLongLong() >= landed - 500'000);

        // Absolute, for the track the client saw; a stale track id is ignored.
        const QDBusObjectPath track = metadata().value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>();
        call(kPlayer, QStringLiteral("SetPosition"),
             {QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/velmoran/track/9999"))), qlonglong(80'000'000)});
        call(kPlayer, QStringLiteral("SetPosition"), {QVariant::fromValue(track), qlonglong(10'000'000)});
        QTRY_COMPARE_WITH_TIMEOUT(recorder_->seeks.size(), 2, 5000);
        QVERIFY2(recorder_->seeks.at(1) >= 9'500'000 && recorder_->seeks.at(1) < 12'000'000,
                 qPrintable(QString::number(recorder_->seeks.at(1))));

        // Seeks made in the window count too.
        core()->seek(60);
        QTRY_COMPARE_WITH_TIMEOUT(recorder_->seeks.size(), 3, 5000);
        // A negative offset past the start lands on the start.
        call(kPlayer, QStringLiteral("Seek"), {qlonglong(-500'000'000)});
        QTRY_COMPARE_WITH_TIMEOUT(recorder_->seeks.size(), 4, 5000);
        QVERIFY(recorder_->seeks.constLast() < 1'000'000);

        // Stop is the window's stop: the engine empties, the track goes.
        call(kPlayer, QStringLiteral("Stop"));
        QTRY_VERIFY(core()->currentPath().isEmpty());
        QCOMPARE(property(kPlayer, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
        QCOMPARE(metadata().value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path(),
                 QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
        QTRY_COMPARE(recorder_->latest(QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
    }

    void volumeRateAndLoopReachTheEngine()
    {
        QVERIFY(startWindow());
        QVERIFY(play(QStringLiteral("clip_100s.mp4")));

        // 1.0 is the engine's 100 %; the player's own range ends at 200 %.
        setProperty(QStringLiteral("Volume"), 0.35);
        QTRY_COMPARE(core()->volume(), 35);
        QTRY_VERIFY(recorder_->valuesOf(QStringLiteral("Volume")).contains(0.35));
        setProperty(QStringLiteral("Volume"), 5.0);
        QTRY_COMPARE(core()->volume(), 200);
        // A change made in the window reaches the clients.
        core()->setVolume(150);
        QTRY_COMPARE(property(kPlayer, QStringLiteral("Volume")).toDouble(), 1.5);
        QTRY_COMPARE(recorder_->latest(QStringLiteral("Volume")).toDouble(), 1.5);

        setProperty(QStringLiteral("Rate"), 1.5);
        QTRY_COMPARE(core()->getMpvProperty(QStringLiteral("speed")).toDouble(), 1.5);
        QTRY_VERIFY(recorder_->valuesOf(QStringLiteral("Rate")).contains(1.5));
        setProperty(QStringLiteral("Rate"), 0.0); // not a speed: refused
        QTest::qWait(200);
        QCOMPARE(core()->getMpvProperty(QStringLiteral("speed")).toDouble(), 1.5);

        setProperty(QStringLiteral("LoopStatus"), QStringLiteral("Playlist"));
        QTRY_COMPARE(core()->propertyText(QStringLiteral("loop-playlist")), QStringLiteral("inf"));
        QCOMPARE(core()->propertyText(QStringLiteral("loop-file")), QStringLiteral("no"));
        // The window's R key sets the file loop; clients learn of it without asking.
        core()->command({QStringLiteral("set"), QStringLiteral("loop-file"), QStringLiteral("inf")});
        QTRY_COMPARE(recorder_->latest(QStringLiteral("LoopStatus")).toString(), QStringLiteral("Track"));
        setProperty(QStringLiteral("Shuffle"), true);
        QTRY_COMPARE(core()->propertyText(QStringLiteral("shuffle")), QStringLiteral("yes"));
    }

    void taggedFileWithCover()
    {
        QVERIFY(startWindow());
        QVERIFY(play(QStringLiteral("cover_id3v24.mp3")));
        QTRY_VERIFY(metadata().contains(QStringLiteral("mpris:artUrl")));
        const QVariantMap meta = metadata();
        QCOMPARE(meta.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("테스트 곡"));
        QCOMPARE(meta.value(QStringLiteral("xesam:artist")).toStringList(), QStringList{QStringLiteral("Velmoran 테스터")});
        QCOMPARE(meta.value(QStringLiteral("xesam:album")).toString(), QStringLiteral("픽스처 앨범"));

        // The embedded picture, copied where the client can read it.
        const QUrl art(meta.value(QStringLiteral("mpris:artUrl")).toString());
        QVERIFY(art.isLocalFile());
        const QString coverCopy = art.toLocalFile();
        QVERIFY2(!coverCopy.startsWith(TestMedia::directory()), qPrintable(coverCopy));
        const QImage cover(coverCopy);
        QCOMPARE(cover.size(), QSize(300, 300));

        // No embedded picture: the cover.jpg beside the file; the copy of the last one is cleared away.
        QVERIFY(play(QStringLiteral("plain.mp3")));
        QTRY_COMPARE(QUrl(metadata().value(QStringLiteral("mpris:artUrl")).toString()).toLocalFile(),
                     TestMedia::path(QStringLiteral("cover.jpg")));
        QVERIFY(!QFile::exists(coverCopy));
    }

    void secondPlayerTakesAnInstanceName()
    {
        // Another player (a window started with -n) already holds the name.
        QDBusConnection other = QDBusConnection::connectToBus(address_, QStringLiteral("other-player"));
        QVERIFY(other.registerService(kService));
        window_ = std::make_unique<MainWindow>();
        const QString instanceName = kService + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
        QTRY_VERIFY(client_.interface()->isServiceRegistered(instanceName).value());
        QCOMPARE(property(kRoot, QStringLiteral("Identity"), instanceName).toString(), QStringLiteral("Velmoran"));
        window_.reset();
        QTRY_VERIFY(!client_.interface()->isServiceRegistered(instanceName).value());
        QDBusConnection::disconnectFromBus(QStringLiteral("other-player"));
    }

    void quitClosesThroughTheWindow()
    {
        QVERIFY(startWindow());
        const QString path = TestMedia::path(QStringLiteral("clip_100s.mp4"));
        QVERIFY(play(QStringLiteral("clip_100s.mp4")));
        core()->seek(40);
        QTRY_VERIFY(core()->position() >= 40);
        call(kPlayer, QStringLiteral("Pause"));
        QTRY_VERIFY(core()->isPaused());
        QTest::qWait(300); // the window takes positions from the engine's reports
        const double left = core()->position();

        QCOMPARE(call(kRoot, QStringLiteral("Quit")).type(), QDBusMessage::ReplyMessage);
        QTRY_VERIFY(!window_->isVisible());
        // closeEvent ran: the place in the file is remembered for the next start.
        const std::optional<double> resume = window_->history().resumePosition(path);
        QVERIFY(resume.has_value());
        QVERIFY2(qAbs(*resume - left) < 0.5, qPrintable(QStringLiteral("%1 for %2").arg(*resume).arg(left)));
    }

private:
    // The service lives on this thread, so the client waits with the event loop running.
    QDBusMessage call(const QString &interface, const QString &method, const QVariantList &arguments = {},
                      const QString &service = kService)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(service, kPath, interface, method);
        message.setArguments(arguments);
        return client_.call(message, QDBus::BlockWithGui, 5000);
    }

    QVariant property(const QString &interface, const QString &name, const QString &service = kService)
    {
        const QDBusMessage reply = call(kProperties, QStringLiteral("Get"), {interface, name}, service);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
            qWarning() << "Get" << name << "failed:" << reply.errorMessage();
            return {};
        }
        return plain(reply.arguments().constFirst());
    }

    void setProperty(const QString &name, const QVariant &value)
    {
        const QDBusMessage reply =
            call(kProperties, QStringLiteral("Set"), {kPlayer, name, QVariant::fromValue(QDBusVariant(value))});
        QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    }

    bool startWindow()
    {
        window_ = std::make_unique<MainWindow>();
        window_->show();
        if (!QTest::qWaitFor([this] { return window_->videoSurface()->isInitialized(); }, kLoadTimeoutMs))
            return false;
        return QTest::qWaitFor([this] { return client_.interface()->isServiceRegistered(kService).value(); }, 5000);
    }

    bool play(const QString &fixture)
    {
        const QString path = TestMedia::path(fixture);
        window_->openFiles({path});
        return QTest::qWaitFor(
            [&] {
                return core()->currentPath() == path
                    && property(kPlayer, QStringLiteral("PlaybackStatus")).toString() == QLatin1String("Playing");
            },
            kLoadTimeoutMs);
    }
    QVariantMap metadata() { return plainMap(property(kPlayer, QStringLiteral("Metadata"))); }
    MpvCore *core() const { return window_->videoSurface()->core(); }

    QString address_;
    QDBusConnection client_{QString()};
    std::unique_ptr<BusRecorder> recorder_;
    std::unique_ptr<MainWindow> window_;
};

int main(int argc, char *argv[])
{
    runOnPrivateSessionBus(argv);
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    MprisTest test(qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS"));
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mpris.moc"
