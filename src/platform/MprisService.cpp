#include "platform/MprisService.h"

#include "engine/MpvCore.h"
#include "platform/CoverArtFile.h"
#include "platform/MediaTypes.h"
#include "platform/MprisAdaptors.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kPollIntervalMs = 1000;
// Position reports arrive many times a second; a jump beyond what playback itself explains is a
// seek. Backwards the margin is small (loops and A-B repeats jump back a little); forwards it
// allows for reports that arrive late.
constexpr double kBackwardJumpSeconds = 0.5;
constexpr double kForwardJumpSeconds = 1.0;

const QString kPropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kNoTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

// The bus daemon's RequestName flag and reply codes, as its protocol numbers them.
constexpr uint kDoNotQueue = 4;
constexpr uint kPrimaryOwner = 1;
constexpr uint kAlreadyOwner = 4;

QDBusMessage busDaemonCall(const QString &method, const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                       QStringLiteral("/org/freedesktop/DBus"),
                                                       QStringLiteral("org.freedesktop.DBus"), method);
    call.setArguments(arguments);
    return call;
}

qlonglong microseconds(double seconds)
{
    return std::isfinite(seconds) ? qlonglong(std::llround(seconds * 1e6)) : 0;
}

} // namespace

MprisService::MprisService(QWidget *window, MpvCore *core, OpenFunction open)
    : QObject(window)
    , window_(window)
    , core_(core)
    , open_(std::move(open))
    , bus_(QDBusConnection::sessionBus())
{
    if (!bus_.isConnected())
        return;
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    // One player object per connection: a second window in the same process stays off the bus.
    if (!bus_.registerObject(QLatin1String(objectPath), this)) {
        qWarning().noquote() << "[MPRIS] 객체 등록 실패:" << bus_.lastError().message();
        return;
    }
    registered_ = true;
    pollTimer_ = new QTimer(this);
    pollTimer_->setInterval(kPollIntervalMs);
    connect(pollTimer_, &QTimer::timeout, this, &MprisService::refresh);
    connectEngine();
    published_ = playerState();
    requestName(QLatin1String(serviceBaseName), true);
}

MprisService::~MprisService()
{
    if (registered_) {
        for (const QString &name : std::as_const(requestedNames_))
            bus_.send(busDaemonCall(QStringLiteral("ReleaseName"), {name}));
        bus_.unregisterObject(QLatin1String(objectPath));
    }
    if (CoverArtFile::isCachedCopy(coverFile_))
        QFile::remove(coverFile_);
}

// Asked without waiting: a slow bus must not hold up the window. A name already held by another
// player (a second window started with -n) leaves this one under a name of its own, as the
// media player interface allows.
void MprisService::requestName(const QString &name, bool fallBackToInstanceName)
{
    requestedNames_ << name;
    auto *watcher = new QDBusPendingCallWatcher(
        bus_.asyncCall(busDaemonCall(QStringLiteral("RequestName"), {name, kDoNotQueue})), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, name, fallBackToInstanceName](QDBusPendingCallWatcher *w) {
                onNameReply(w, name, fallBackToInstanceName);
            });
}

void MprisService::onNameReply(QDBusPendingCallWatcher *watcher, const QString &name, bool fallBackToInstanceName)
{
    watcher->deleteLater();
    QDBusPendingReply<uint> reply = *watcher;
    if (!reply.isError() && (reply.value() == kPrimaryOwner || reply.value() == kAlreadyOwner)) {
        serviceName_ = name;
        qInfo().noquote() << "[MPRIS] 서비스 등록:" << name;
        return;
    }
    if (fallBackToInstanceName)
        requestName(name + QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid()), false);
    else
        qWarning().noquote() << "[MPRIS] 서비스 이름을 얻지 못함:" << name;
}

void MprisService::connectEngine()
{
    if (!core_)
        return;
    connect(core_, &MpvCore::fileLoaded, this, &MprisService::onFileLoaded);
    connect(core_, &MpvCore::playbackStopped, this, &MprisService::onStopped);
    connect(core_, &MpvCore::positionChanged, this, &MprisService::onPositionChanged);
    for (auto changed : {&MpvCore::playbackStarted, &MpvCore::playbackPaused, &MpvCore::playbackEnded,
                         &MpvCore::tracksChanged})
        connect(core_, changed, this, &MprisService::refresh);
    connect(core_, &MpvCore::durationChanged, this, &MprisService::refresh);
    connect(core_, &MpvCore::volumeChanged, this, &MprisService::refresh);
}

void MprisService::onFileLoaded(const QString &path)
{
    stopped_ = false;
    ++track_;
    artUrl_.clear();
    lastPosition_ = 0.0;
    sinceLastPosition_.start();
    pollTimer_->start();
    refresh();

    if (!QFileInfo(path).isFile())
        return; // streams carry no cover we could read
    const int track = track_;
    const QString cacheFile = CoverArtFile::cacheDirectory()
        + QStringLiteral("/%1-%2.jpg").arg(QCoreApplication::applicationPid()).arg(track);
    auto *watcher = new QFutureWatcher<QString>(this);
    connect(watcher, &QFutureWatcher<QString>::finished, this, [this, watcher, track] {
        watcher->deleteLater();
        onCoverFound(track, watcher->result());
    });
    watcher->setFuture(QtConcurrent::run(CoverArtFile::find, path, cacheFile));
}

void MprisService::onCoverFound(int track, const QString &file)
{
    if (track != track_) {
        // Another file was loaded while this one's cover was being read.
        if (CoverArtFile::isCachedCopy(file))
            QFile::remove(file);
        return;
    }
    if (CoverArtFile::isCachedCopy(coverFile_) && coverFile_ != file)
        QFile::remove(coverFile_);
    coverFile_ = file;
    artUrl_ = file.isEmpty() ? QString() : QUrl::fromLocalFile(file).toString();
    refresh();
}

void MprisService::onStopped()
{
    stopped_ = true;
    pollTimer_->stop();
    refresh();
}

void MprisService::onPositionChanged(double seconds)
{
    if (!std::isfinite(seconds))
        return;
    const bool playing = published_.value(QStringLiteral("PlaybackStatus")).toString() == QLatin1String("Playing");
    const double elapsed = sinceLastPosition_.isValid() ? sinceLastPosition_.restart() / 1000.0 : 0.0;
    const double rate = std::max(1.0, published_.value(QStringLiteral("Rate")).toDouble());
    const double expected = lastPosition_ + (playing ? elapsed * rate : 0.0);
    const bool jumped = seconds < lastPosition_ - kBackwardJumpSeconds || seconds > expected + kForwardJumpSeconds;
    lastPosition_ = seconds;
    if (jumped && hasTrack())
        emit seeked(microseconds(seconds));
}

bool MprisService::hasTrack() const
{
    return !stopped_ && core_ && !core_->currentPath().isEmpty();
}

QDBusObjectPath MprisService::trackId() const
{
    return QDBusObjectPath(QStringLiteral("/org/velmoran/track/%1").arg(track_));
}

void MprisService::raise()
{
    if (!window_)
        return;
    window_->setWindowState((window_->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void MprisService::quit()
{
    // After the reply has gone out: closing the last window ends the event loop. close() is the
    // window's normal path, so the resume position and window state are saved as always.
    QTimer::singleShot(0, window_, [window = window_] {
        if (window)
            window->close();
    });
}

QString MprisService::playbackStatus() const
{
    if (!hasTrack())
        return QStringLiteral("Stopped");
    return core_->isPaused() ? QStringLiteral("Paused") : QStringLiteral("Playing");
}

QVariantMap MprisService::metadata() const
{
    QVariantMap map;
    if (!hasTrack()) {
        map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(kNoTrack)));
        return map;
    }
    map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(trackId()));
    const double length = core_->duration();
    if (length > 0)
        map.insert(QStringLiteral("mpris:length"), microseconds(length));
    // The engine's title falls back to the file name when the file has no title tag.
    const QString title = core_->propertyText(QStringLiteral("media-title"));
    if (!title.isEmpty())
        map.insert(QStringLiteral("xesam:title"), title);
    const QString artist = core_->propertyText(QStringLiteral("metadata/by-key/artist"));
    if (!artist.isEmpty())
        map.insert(QStringLiteral("xesam:artist"), QStringList{artist});
    const QString album = core_->propertyText(QStringLiteral("metadata/by-key/album"));
    if (!album.isEmpty())
        map.insert(QStringLiteral("xesam:album"), album);
    const QString path = core_->currentPath();
    const QUrl url = QFileInfo(path).isAbsolute() ? QUrl::fromLocalFile(path) : QUrl(path);
    map.insert(QStringLiteral("xesam:url"), url.toString());
    if (!artUrl_.isEmpty())
        map.insert(QStringLiteral("mpris:artUrl"), artUrl_);
    return map;
}

qlonglong MprisService::position() const
{
    return hasTrack() ? microseconds(core_->position()) : 0;
}

double MprisService::volume() const
{
    return core_ ? core_->volume() / 100.0 : 1.0;
}

void MprisService::setVolume(double volume)
{
    // 1.0 is the engine's 100 %; the player goes up to 200 %.
    if (core_ && std::isfinite(volume))
        core_->setVolume(int(std::lround(std::clamp(volume, 0.0, 2.0) * 100.0)));
}

double MprisService::rate() const
{
    const double speed = core_ ? core_->getMpvProperty(QStringLiteral("speed")).toDouble() : 0.0;
    return speed > 0 ? speed : 1.0;
}

void MprisService::setRate(double rate)
{
    // A rate of 0 is not a speed; the interface leaves it undefined, so it is refused.
    if (!core_ || !std::isfinite(rate) || rate <= 0)
        return;
    core_->setSpeed(std::clamp(rate, minimumRate, maximumRate));
    QTimer::singleShot(0, this, &MprisService::refresh);
}

QString MprisService::loopStatus() const
{
    // The engine's loop values are "no", "inf" or a count; anything but "no" repeats.
    const auto repeats = [this](const char *property) {
        const QString value = core_ ? core_->propertyText(QLatin1String(property)) : QString();
        return !value.isEmpty() && value != QLatin1String("no");
    };
    if (repeats("loop-file"))
        return QStringLiteral("Track");
    if (repeats("loop-playlist"))
        return QStringLiteral("Playlist");
    return QStringLiteral("None");
}

void MprisService::setLoopStatus(const QString &status)
{
    if (!core_)
        return;
    const bool track = status == QLatin1String("Track");
    const bool playlist = status == QLatin1String("Playlist");
    if (!track && !playlist && status != QLatin1String("None"))
        return;
    const QString inf = QStringLiteral("inf"), no = QStringLiteral("no");
    core_->command({QStringLiteral("set"), QStringLiteral("loop-file"), track ? inf : no});
    core_->command({QStringLiteral("set"), QStringLiteral("loop-playlist"), playlist ? inf : no});
    QTimer::singleShot(0, this, &MprisService::refresh);
}

bool MprisService::shuffle() const
{
    return core_ && core_->propertyText(QStringLiteral("shuffle")) == QLatin1String("yes");
}

void MprisService::setShuffle(bool on)
{
    if (!core_)
        return;
    // Written as a property so the engine layer can also reorder the queue, which the plain
    // flag does not do here.
    core_->setMpvProperty(QStringLiteral("shuffle"), on ? QStringLiteral("yes") : QStringLiteral("no"));
    QTimer::singleShot(0, this, &MprisService::refresh);
}

bool MprisService::canGoNext() const
{
    if (!hasTrack())
        return false;
    const int count = core_->getMpvProperty(QStringLiteral("playlist-count")).toInt();
    const int pos = core_->getMpvProperty(QStringLiteral("playlist-pos")).toInt();
    return pos + 1 < count || (count > 1 && loopStatus() == QLatin1String("Playlist"));
}

bool MprisService::canGoPrevious() const
{
    if (!hasTrack())
        return false;
    const int count = core_->getMpvProperty(QStringLiteral("playlist-count")).toInt();
    const int pos = core_->getMpvProperty(QStringLiteral("playlist-pos")).toInt();
    return pos > 0 || (count > 1 && loopStatus() == QLatin1String("Playlist"));
}

bool MprisService::canSeek() const
{
    return hasTrack() && core_->propertyText(QStringLiteral("seekable")) == QLatin1String("yes");
}

void MprisService::playPause()
{
    if (core_)
        core_->togglePause();
}

// The window's media keys toggle; the interface's Play and Pause are one-way, so each toggles
// only from the opposite state.
void MprisService::play()
{
    if (hasTrack() && core_->isPaused())
        core_->togglePause();
}

void MprisService::pause()
{
    if (hasTrack() && !core_->isPaused())
        core_->togglePause();
}

void MprisService::stop()
{
    if (core_)
        core_->stop();
}

void MprisService::next()
{
    if (core_)
        core_->command({QStringLiteral("playlist-next")});
}

void MprisService::previous()
{
    if (core_)
        core_->command({QStringLiteral("playlist-prev")});
}

void MprisService::seek(qlonglong offsetMicroseconds)
{
    if (!canSeek())
        return;
    const double target = core_->position() + offsetMicroseconds / 1e6;
    const double length = core_->duration();
    // Past the end the interface asks for the next track, as the window's own seek past the end does.
    if (length > 0 && target > length) {
        next();
        return;
    }
    core_->seek(std::max(0.0, target));
}

void MprisService::setPosition(const QDBusObjectPath &trackId, qlonglong positionMicroseconds)
{
    // A stale track id means the client saw another file: its position would not fit this one.
    if (!canSeek() || trackId != this->trackId() || positionMicroseconds < 0)
        return;
    const double target = positionMicroseconds / 1e6;
    const double length = core_->duration();
    if (length > 0 && target > length)
        return;
    core_->seek(target);
}

void MprisService::openUri(const QString &uri)
{
    const QUrl url(uri);
    if (url.isLocalFile()) {
        open_({url.toLocalFile()});
        return;
    }
    const QString scheme = url.scheme();
    if (scheme != QLatin1String("file") && MediaTypes::supportedUriSchemes().contains(scheme))
        open_({url.toString()});
    else
        qWarning().noquote() << "[MPRIS] 열 수 없는 주소:" << uri;
}

QVariantMap MprisService::playerState() const
{
    return {
        {QStringLiteral("PlaybackStatus"), playbackStatus()},
        {QStringLiteral("Metadata"), metadata()},
        {QStringLiteral("Volume"), volume()},
        {QStringLiteral("Rate"), rate()},
        {QStringLiteral("LoopStatus"), loopStatus()},
        {QStringLiteral("Shuffle"), shuffle()},
        {QStringLiteral("CanGoNext"), canGoNext()},
        {QStringLiteral("CanGoPrevious"), canGoPrevious()},
        {QStringLiteral("CanPlay"), canPlay()},
        {QStringLiteral("CanPause"), canPause()},
        {QStringLiteral("CanSeek"), canSeek()},
    };
}

void MprisService::refresh()
{
    if (!registered_)
        return;
    const QVariantMap state = playerState();
    for (auto it = state.cbegin(); it != state.cend(); ++it) {
        if (published_.value(it.key()) == it.value())
            continue;
        if (it.key() == QLatin1String("PlaybackStatus"))
            sinceLastPosition_.start(); // time spent paused is not playback
        published_.insert(it.key(), it.value());
        pending_.insert(it.key(), it.value());
    }
    if (!pending_.isEmpty())
        scheduleFlush();
}

// Changes found in one pass of the event loop go out as one signal.
void MprisService::scheduleFlush()
{
    if (flushQueued_)
        return;
    flushQueued_ = true;
    QTimer::singleShot(0, this, &MprisService::flush);
}

void MprisService::flush()
{
    flushQueued_ = false;
    if (pending_.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(objectPath), kPropertiesInterface,
                                                     QStringLiteral("PropertiesChanged"));
    signal << QLatin1String(playerInterface) << pending_ << QStringList();
    pending_.clear();
    bus_.send(signal);
}
