#include "music/LyricsWidget.h"

#include "music/LrclibApi.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLinearGradient>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPainter>
#include <QStringDecoder>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

const QString kNoFileText = QStringLiteral("파일을 열어주세요");
const QString kNotFoundText = QStringLiteral("가사를 찾을 수 없습니다");
const QString kSearchingText = QStringLiteral("AI 가사 검색 중...");
const QString kLocalFileText = QStringLiteral("LRC 파일");
const QString kSyncedText = QStringLiteral("AI 가사 ✦");
const QString kUnsyncedText = QStringLiteral("AI 가사 (비동기화)");
const QString kInstrumentalText = QStringLiteral("연주곡 (가사 없음)");

// Which request a reply answers; compared with the widget's latest one.
constexpr auto kGenerationAttribute = QNetworkRequest::User;

constexpr int kBlinkIntervalMs = 500;
constexpr int kScrollIntervalMs = 16;
constexpr double kScrollEase = 0.15;
constexpr int kHeaderHeight = 44;
constexpr int kFadeHeight = 56;
const QColor kBackground(13, 13, 13, 220);

QFont panelFont(int pixelSize, bool bold = false)
{
    QFont font;
    // The last family is the usual Korean face of Linux desktops, where the first two are missing.
    font.setFamilies({QStringLiteral("Malgun Gothic"), QStringLiteral("Segoe UI"), QStringLiteral("Noto Sans CJK KR")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

// Size and opacity of a line by its distance from the current one.
struct LineLook
{
    int pixelSize;
    double opacity;
};
LineLook lineLook(int distance)
{
    static constexpr LineLook kLooks[] = {{18, 1.0}, {15, 0.7}, {13, 0.5}, {12, 0.3}};
    return distance < 4 ? kLooks[distance] : LineLook{11, 0.18};
}

} // namespace

LyricsWidget::LyricsWidget(QWidget *parent)
    : QWidget(parent)
    , network_(new QNetworkAccessManager(this))
    , statusText_(kNoFileText)
    , blinkTimer_(new QTimer(this))
    , scrollTimer_(new QTimer(this))
{
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    connect(network_, &QNetworkAccessManager::finished, this, &LyricsWidget::onNetworkReply);
    blinkTimer_->setInterval(kBlinkIntervalMs);
    connect(blinkTimer_, &QTimer::timeout, this, &LyricsWidget::onAiBlinkTick);
    scrollTimer_->setInterval(kScrollIntervalMs);
    connect(scrollTimer_, &QTimer::timeout, this, &LyricsWidget::onScrollTick);
}

bool LyricsWidget::isBlinking() const
{
    return blinkTimer_->isActive();
}

void LyricsWidget::loadTrack(const QString &title, const QString &artist, const QString &filePath,
                             double durationSec, const QString &album)
{
    // Bumped before the abort: the aborted reply arrives right away and must count as stale.
    ++generation_;
    if (pendingReply_)
        pendingReply_->abort();

    lines_.clear();
    currentLine_ = -1;
    positionMs_ = 0;
    scrollPos_ = scrollTarget_ = 0;
    scrollTimer_->stop();
    requestKind_ = NoRequest;
    lyricsState_ = Idle;
    stopBlinking();
    blinkAlpha_ = 0;
    statusText_ = kNoFileText;
    update();
    title_ = title;
    artist_ = artist;
    album_ = album;
    durationSec_ = durationSec;

    if (!filePath.isEmpty() && loadLocalLrc(filePath))
        return;

    if (title.trimmed().isEmpty()) {
        showMessage(kNotFoundText);
        return;
    }

    statusText_ = kSearchingText;
    lyricsState_ = SearchingWeb;
    blinkPhase_ = true;
    blinkAlpha_ = 1.0f;
    // Blinking is for the eye: a hidden panel starts it when it is shown.
    if (isVisible())
        blinkTimer_->start();
    sendRequest(Lrclib::hasDuration({title_, artist_, album_, durationSec_}) ? ExactRequest : SearchRequest);
}

bool LyricsWidget::loadLocalLrc(const QString &audioPath)
{
    const QFileInfo audio(audioPath);
    const QString lrcPath = audio.dir().filePath(audio.completeBaseName() + QStringLiteral(".lrc"));
    // Only a regular file: opening a named pipe or a device would block the window, and a huge
    // file is no lyrics.
    const QFileInfo lrc(lrcPath);
    if (!lrc.isFile() || lrc.size() > kMaxLrcFileBytes)
        return false;
    QFile file(lrcPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Bounded again in case the file grew since it was looked at.
    const QByteArray bytes = file.read(kMaxLrcFileBytes + 1);
    if (bytes.size() > kMaxLrcFileBytes)
        return false;
    QStringDecoder utf8(QStringDecoder::Utf8); // drops a byte-order mark
    QList<LyricLine> lines = LrcParser::parseLrc(utf8(bytes));
    if (lines.isEmpty())
        return false;
    qDebug().noquote() << "[Lyrics] LRC 파일 사용:" << lrcPath;
    showLines(std::move(lines), LocalFileShown, kLocalFileText);
    return true;
}

void LyricsWidget::sendRequest(RequestKind kind)
{
    const Lrclib::TrackQuery track{title_, artist_, album_, durationSec_};
    QNetworkRequest request = kind == ExactRequest ? Lrclib::exactRequest(track) : Lrclib::searchRequest(track);
    request.setAttribute(kGenerationAttribute, ++generation_);
    requestKind_ = kind;
    QNetworkReply *reply = network_->get(request);
    pendingReply_ = reply;
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > Lrclib::kMaxAnswerBytes)
            reply->abort();
    });
}

void LyricsWidget::onNetworkReply(QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply->request().attribute(kGenerationAttribute).toULongLong() != generation_)
        return; // asked for an earlier track, or overtaken by a newer request
    pendingReply_ = nullptr;
    const RequestKind kind = requestKind_;
    requestKind_ = NoRequest;

    if (reply->error() != QNetworkReply::NoError) {
        // The exact lookup answers 404 for an unknown track; that is what the search is for.
        qDebug().noquote() << "[Lyrics] 가사 요청 실패:" << reply->url().path() << reply->errorString();
        if (kind == ExactRequest)
            sendRequest(SearchRequest);
        else
            showMessage(kNotFoundText);
        return;
    }

    const QByteArray body = reply->readAll();
    const Lrclib::Answer answer = kind == ExactRequest ? Lrclib::readExactAnswer(body) : Lrclib::readSearchAnswer(body);
    switch (answer.kind) {
    case Lrclib::Answer::Kind::Synced:
        showLines(answer.lines, WebLyricsShown, kSyncedText);
        break;
    case Lrclib::Answer::Kind::Plain:
        showLines(answer.lines, WebLyricsShown, kUnsyncedText);
        break;
    case Lrclib::Answer::Kind::Instrumental:
        showMessage(kInstrumentalText);
        break;
    case Lrclib::Answer::Kind::Nothing:
        if (kind == ExactRequest) {
            sendRequest(SearchRequest);
        } else {
            qDebug().noquote() << "[Lyrics] 가사 없음:" << title_;
            showMessage(kNotFoundText);
        }
        break;
    }
}

void LyricsWidget::showLines(QList<LyricLine> lines, LyricsState state, const QString &status)
{
    lines_ = std::move(lines);
    statusText_ = status;
    lyricsState_ = state;
    stopBlinking();
    blinkAlpha_ = 1.0f;
    // Playback may already be under way when the lookup ends.
    const double positionMs = positionMs_;
    currentLine_ = -1;
    setPlaybackPosition(positionMs / 1000.0);
    update();
}

void LyricsWidget::showMessage(const QString &status)
{
    statusText_ = status;
    lyricsState_ = MessageOnly;
    stopBlinking();
    update();
}

void LyricsWidget::stopBlinking()
{
    blinkTimer_->stop();
}

void LyricsWidget::setPlaybackPosition(double seconds)
{
    if (std::isnan(seconds))
        return;
    positionMs_ = seconds * 1000.0;
    const auto later = std::upper_bound(lines_.cbegin(), lines_.cend(), positionMs_,
                                        [](double ms, const LyricLine &line) { return ms < line.timeMs; });
    const int line = int(later - lines_.cbegin()) - 1;
    if (line == currentLine_)
        return;
    currentLine_ = line;
    if (line >= 0) {
        scrollTarget_ = line * kRowHeight + kRowHeight / 2.0;
        if (!isVisible())
            scrollPos_ = scrollTarget_; // nothing to animate for no one
        else if (!scrollTimer_->isActive())
            scrollTimer_->start();
    }
    update();
}

void LyricsWidget::onScrollTick()
{
    if (std::abs(scrollTarget_ - scrollPos_) < 0.5) {
        scrollPos_ = scrollTarget_;
        scrollTimer_->stop();
    } else {
        scrollPos_ += (scrollTarget_ - scrollPos_) * kScrollEase;
    }
    update();
}

void LyricsWidget::onAiBlinkTick()
{
    blinkAlpha_ = blinkPhase_ ? 0.4f : 1.0f;
    blinkPhase_ = !blinkPhase_;
    update();
}

void LyricsWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (lyricsState_ == SearchingWeb)
        blinkTimer_->start();
}

void LyricsWidget::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    blinkTimer_->stop();
    scrollTimer_->stop();
    scrollPos_ = scrollTarget_;
}

void LyricsWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    update();
}

void LyricsWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.fillRect(rect(), kBackground);
    painter.setPen(QColor(50, 50, 50));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);

    paintHeader(painter);

    const QRect area = rect().adjusted(0, kHeaderHeight, 0, 0);
    if (lines_.isEmpty()) {
        painter.setFont(panelFont(14));
        painter.setPen(QColor(80, 80, 80));
        painter.drawText(area, Qt::AlignCenter, statusText_);
        return;
    }
    paintLines(painter, area);
}

void LyricsWidget::paintHeader(QPainter &painter)
{
    painter.setFont(panelFont(12, true));
    painter.setPen(QColor(170, 170, 170));
    painter.drawText(QRect(16, 12, 60, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("LYRICS"));

    const int badgeText = Qt::AlignLeft | Qt::AlignVCenter;
    painter.setFont(panelFont(10));
    switch (lyricsState_) {
    case SearchingWeb: {
        painter.fillRect(QRect(84, 10, 130, 20), QColor(0, 180, 160, int(60 * blinkAlpha_)));
        const QColor ink(0, 200, 180, int(255 * blinkAlpha_));
        painter.setPen(Qt::NoPen);
        painter.setBrush(ink);
        painter.drawEllipse(QPointF(92, 20), 4, 4);
        painter.setPen(ink);
        painter.drawText(QRect(100, 10, 110, 20), badgeText, kSearchingText);
        break;
    }
    case WebLyricsShown: {
        painter.fillRect(QRect(84, 10, 90, 20), QColor(0, 180, 100, 40));
        const QColor ink(0, 220, 120);
        painter.setPen(Qt::NoPen);
        painter.setBrush(ink);
        painter.drawEllipse(QPointF(92, 20), 3, 3);
        painter.setPen(ink);
        painter.drawText(QRect(100, 10, 80, 20), badgeText, statusText_);
        break;
    }
    case MessageOnly:
        painter.setPen(QColor(80, 80, 80));
        painter.drawText(QRect(84, 10, 160, 20), badgeText, statusText_);
        break;
    case LocalFileShown:
        painter.setPen(QColor(100, 160, 255));
        painter.drawText(QRect(84, 10, 100, 20), badgeText, QStringLiteral("📄 ") + statusText_);
        break;
    case Idle:
        break;
    }
    painter.setBrush(Qt::NoBrush);
}

void LyricsWidget::paintLines(QPainter &painter, const QRect &area)
{
    painter.save();
    painter.setClipRect(area);
    const double firstTop = area.top() + area.height() / 2.0 - scrollPos_;
    for (int i = 0; i < lines_.size(); ++i) {
        const double top = firstTop + double(kRowHeight) * i;
        if (top + kRowHeight < area.top() - kRowHeight)
            continue;
        if (top > area.bottom() + kRowHeight)
            break;
        const int distance = std::abs(i - currentLine_); // before the first line, line 0 is one away
        const LineLook look = lineLook(distance);
        if (distance == 0)
            painter.fillRect(QRectF(area.left() + 8, top, area.width() - 16, kRowHeight), QColor(0, 200, 180, 22));
        const QFont font = panelFont(look.pixelSize, distance == 0);
        painter.setFont(font);
        painter.setPen(QColor(255, 255, 255, int(look.opacity * 255)));
        const QRectF row(area.left() + 16, top, area.width() - 32, kRowHeight);
        // A line wider than the panel ends in "…" rather than losing both of its ends. drawText
        // shows the words as written: lyrics and tags from elsewhere are never read as markup.
        const QString shown = QFontMetrics(font).elidedText(lines_[i].text, Qt::ElideRight, int(row.width()));
        painter.drawText(row, Qt::AlignCenter, shown);
    }

    QLinearGradient topFade(0, area.top(), 0, area.top() + kFadeHeight);
    topFade.setColorAt(0, kBackground);
    topFade.setColorAt(1, Qt::transparent);
    painter.fillRect(QRect(area.left(), area.top(), area.width(), kFadeHeight), topFade);
    QLinearGradient bottomFade(0, area.bottom() - kFadeHeight, 0, area.bottom());
    bottomFade.setColorAt(0, Qt::transparent);
    bottomFade.setColorAt(1, kBackground);
    painter.fillRect(QRect(area.left(), area.bottom() - kFadeHeight, area.width(), kFadeHeight), bottomFade);
    painter.restore();
}
