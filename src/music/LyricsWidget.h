#pragma once

#include "music/LrcParser.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// The lyrics panel of the music view. For each track it prefers an LRC file beside the audio
// file, then asks LRCLIB (exact match, then search); synced lyrics scroll with playback and keep
// the current line in the middle, unsynced ones advance at a fixed pace. A badge in the header
// says where the lyrics came from and blinks while the lookup runs.
class LyricsWidget : public QWidget
{
    Q_OBJECT

public:
    enum LyricsState {
        Idle = 0,
        SearchingWeb = 1,
        WebLyricsShown = 2,
        MessageOnly = 3, // nothing found, or an instrumental
        LocalFileShown = 4,
    };
    enum RequestKind { NoRequest = 0, ExactRequest = 1, SearchRequest = 2 };

    // Rows are this tall; the current one is scrolled to the middle of the lyric area.
    static constexpr int kRowHeight = 36;
    // An LRC file beyond this is not lyrics and is not read.
    static constexpr qint64 kMaxLrcFileBytes = 1024 * 1024;

    explicit LyricsWidget(QWidget *parent = nullptr);

    // Starts over for a new track, whatever was pending; a reply still on its way for the
    // previous track is dropped. `durationSec` <= 0 means unknown.
    void loadTrack(const QString &title, const QString &artist, const QString &filePath,
                   double durationSec, const QString &album);
    void setPlaybackPosition(double seconds);

    const QList<LyricLine> &lyricLines() const { return lines_; }
    bool hasLyrics() const { return !lines_.isEmpty(); }
    int currentLine() const { return currentLine_; } // -1: before the first line
    QString statusText() const { return statusText_; }
    LyricsState lyricsState() const { return lyricsState_; }
    RequestKind requestKind() const { return requestKind_; }
    bool isBlinking() const;

public slots:
    void onNetworkReply(QNetworkReply *reply);
    void onAiBlinkTick();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    bool loadLocalLrc(const QString &audioPath);
    void sendRequest(RequestKind kind);
    void showLines(QList<LyricLine> lines, LyricsState state, const QString &status);
    void showMessage(const QString &status);
    void stopBlinking();
    void onScrollTick();

    void paintHeader(QPainter &painter);
    void paintLines(QPainter &painter, const QRect &area);

    QNetworkAccessManager *network_ = nullptr;
    QPointer<QNetworkReply> pendingReply_;
    // Tags every request with the track it was asked for; replies of an earlier one are dropped.
    quint64 generation_ = 0;

    QList<LyricLine> lines_;
    int currentLine_ = -1;
    double positionMs_ = 0;
    QString statusText_;
    LyricsState lyricsState_ = Idle;
    RequestKind requestKind_ = NoRequest;

    QTimer *blinkTimer_ = nullptr;
    bool blinkPhase_ = false;
    float blinkAlpha_ = 0;

    QTimer *scrollTimer_ = nullptr;
    double scrollPos_ = 0;
    double scrollTarget_ = 0;

    QString title_;
    QString artist_;
    QString album_;
    double durationSec_ = 0;
};
