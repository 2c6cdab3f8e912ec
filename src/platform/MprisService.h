#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <QVariantMap>

#include <functional>

class MpvCore;
class QDBusPendingCallWatcher;
class QTimer;
class QWidget;

// The player as the desktop's media-player service (MPRIS2): media keys, sound applets and lock
// screens control it and show what plays through this. Everything a client does goes the way
// the window's own keys go, so the two never behave differently. Without a session bus it does
// nothing at all.
//
// State is read from the engine when it changes and compared with what clients were last told:
// a change notice goes out only for a value that really moved, never for position reports.
class MprisService : public QObject
{
    Q_OBJECT
public:
    using OpenFunction = std::function<void(const QStringList &)>;

    static constexpr const char *serviceBaseName = "org.mpris.MediaPlayer2.velmoran";
    static constexpr const char *objectPath = "/org/mpris/MediaPlayer2";
    static constexpr const char *playerInterface = "org.mpris.MediaPlayer2.Player";
    static constexpr double minimumRate = 0.01; // the engine's own speed range
    static constexpr double maximumRate = 100.0;

    // `open` receives local paths and stream addresses, as the window's openFiles() takes them.
    MprisService(QWidget *window, MpvCore *core, OpenFunction open);
    ~MprisService() override;

    // The bus name once the bus has granted one; empty before, or without a bus.
    QString serviceName() const { return serviceName_; }

    // org.mpris.MediaPlayer2
    void raise();
    void quit();

    // org.mpris.MediaPlayer2.Player: state
    QString playbackStatus() const;
    QVariantMap metadata() const;
    qlonglong position() const;
    double volume() const;
    void setVolume(double volume);
    double rate() const;
    void setRate(double rate);
    QString loopStatus() const;
    void setLoopStatus(const QString &status);
    bool shuffle() const;
    void setShuffle(bool on);
    bool canGoNext() const;
    bool canGoPrevious() const;
    bool canPlay() const { return hasTrack(); }
    bool canPause() const { return hasTrack(); }
    bool canSeek() const;

    // org.mpris.MediaPlayer2.Player: methods
    void playPause();
    void play();
    void pause();
    void stop();
    void next();
    void previous();
    void seek(qlonglong offsetMicroseconds);
    void setPosition(const QDBusObjectPath &trackId, qlonglong positionMicroseconds);
    void openUri(const QString &uri);

signals:
    void seeked(qlonglong positionMicroseconds);

private:
    void requestName(const QString &name, bool fallBackToInstanceName);
    void onNameReply(QDBusPendingCallWatcher *watcher, const QString &name, bool fallBackToInstanceName);
    void connectEngine();
    void onFileLoaded(const QString &path);
    void onStopped();
    void onPositionChanged(double seconds);
    void onCoverFound(int track, const QString &file);
    bool hasTrack() const;
    QDBusObjectPath trackId() const;
    QVariantMap playerState() const;
    void refresh();
    void scheduleFlush();
    void flush();

    QPointer<QWidget> window_;
    QPointer<MpvCore> core_;
    OpenFunction open_;
    QDBusConnection bus_;
    bool registered_ = false;
    QString serviceName_;
    QStringList requestedNames_;

    bool stopped_ = true; // set at once on stop: the engine learns of it asynchronously
    int track_ = 0;
    QString artUrl_;
    QString coverFile_; // a picture this service wrote, removed when no longer shown

    QVariantMap published_;
    QVariantMap pending_;
    bool flushQueued_ = false;
    QTimer *pollTimer_ = nullptr;

    double lastPosition_ = 0.0;
    QElapsedTimer sinceLastPosition_;
};
