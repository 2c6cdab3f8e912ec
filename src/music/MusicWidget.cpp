#include "music/MusicWidget.h"

#include "music/LyricsWidget.h"
#include "music/MusicLook.h"
#include "music/MusicSeekBar.h"
#include "music/PlaylistPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

using namespace MusicLook;

namespace {

// The left column holds the canvas's disc and spectrum; the layout keeps room for them.
constexpr int kColumnLeft = MusicCanvas::kSpectrumRect.left();
constexpr int kColumnTop = MusicCanvas::kDiscRect.top();
constexpr int kColumnWidth = MusicCanvas::kSpectrumRect.width();
constexpr int kRightColumnWidth = 320;
constexpr double kDegreesPerTick = 0.3;

const QString kTabStyle = QStringLiteral(
    "QPushButton { background: transparent; color: #888888; border: none; border-bottom: 2px solid transparent;"
    " padding: 6px 12px; font-size: 12px; font-family: %1; }"
    "QPushButton:checked { color: %2; border-bottom: 2px solid %2; }"
    "QPushButton:hover { color: #ffffff; }")
                             .arg(kSansFont, kTeal);

QLabel *makeLabel(const QString &text, const QString &style, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    // Tags come from the file: "<b>Live</b>" is a title, not markup.
    label->setTextFormat(Qt::PlainText);
    label->setStyleSheet(style);
    return label;
}

QLabel *makeBadge(QLatin1StringView colour, QWidget *parent)
{
    auto *badge = new QLabel(parent);
    badge->setTextFormat(Qt::PlainText);
    badge->setStyleSheet(badgeStyle(colour, 10, 1, 6));
    return badge;
}

} // namespace

MusicWidget::MusicWidget(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("MusicWidget"));
    setMouseTracking(true);
    setMinimumSize(kColumnLeft * 2 + kColumnWidth + kRightColumnWidth + 20, 600);
    // The view paints its own backdrop (the blurred cover) under all of its children: a window
    // style that fills every widget would cover it with flat boxes.
    setStyleSheet(QStringLiteral("QWidget { background: transparent; }"));

    rotationTimer_ = new QTimer(this);
    rotationTimer_->setObjectName(QStringLiteral("rotationTimer"));
    rotationTimer_->setInterval(33);
    connect(rotationTimer_, &QTimer::timeout, this, &MusicWidget::onRotationTick);
    peakTimer_ = new QTimer(this);
    peakTimer_->setObjectName(QStringLiteral("peakTimer"));
    peakTimer_->setInterval(50);
    connect(peakTimer_, &QTimer::timeout, this, &MusicWidget::onPeakTick);

    auto *root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    auto *columns = new QHBoxLayout;
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(0);
    columns->addWidget(buildLeftColumn());
    columns->addStretch(1);
    columns->addWidget(buildRightColumn());
    root->addLayout(columns, 1);
    root->addWidget(buildBottomRow());

    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("statusLine"));
    statusLine_->setTextFormat(Qt::PlainText);
    statusLine_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    root->addWidget(statusLine_);
    setStatusLine(QString(), false);

    updateBadges();
    showAbState();
}

QWidget *MusicWidget::buildLeftColumn()
{
    auto *column = new QWidget(this);
    column->setFixedWidth(kColumnLeft * 2 + kColumnWidth);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(kColumnLeft, kColumnTop, kColumnLeft, 8);
    layout->setSpacing(0);
    layout->addSpacing(MusicCanvas::kDiscRect.height());

    auto *info = new QWidget(column);
    info->setFixedHeight(MusicCanvas::kInfoHeight);
    auto *infoLayout = new QVBoxLayout(info);
    infoLayout->setContentsMargins(0, 0, 0, 0);
    infoLayout->setSpacing(4);
    infoLayout->addStretch(1);
    titleLabel_ = makeLabel(QStringLiteral("트랙 제목"),
                            QStringLiteral("color: #ffffff; font-size: 20px; font-weight: bold; font-family: %1;")
                                .arg(kSansFont),
                            info);
    titleLabel_->setObjectName(QStringLiteral("titleLabel"));
    artistLabel_ = makeLabel(QStringLiteral("아티스트"),
                             QStringLiteral("color: #aaaaaa; font-size: 14px; font-family: %1;").arg(kSansFont), info);
    artistLabel_->setObjectName(QStringLiteral("artistLabel"));
    albumLabel_ = makeLabel(QString(), QStringLiteral("color: #666666; font-size: 12px; font-family: %1;").arg(kSansFont),
                            info);
    albumLabel_->setObjectName(QStringLiteral("albumLabel"));
    for (QLabel *label : {titleLabel_, artistLabel_, albumLabel_}) {
        // A long title is cut at the column's edge instead of widening the view.
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        label->setAlignment(Qt::AlignHCenter);
        infoLayout->addWidget(label);
    }

    auto *badges = new QHBoxLayout;
    badges->setSpacing(6);
    badges->addStretch(1);
    codecBadge_ = makeBadge(kTeal, info);
    bitDepthBadge_ = makeBadge(QLatin1StringView("#4488ff"), info);
    sampleRateBadge_ = makeBadge(QLatin1StringView("#aa44ff"), info);
    channelBadge_ = makeBadge(QLatin1StringView("#888"), info);
    bitPerfectBadge_ = makeBadge(QLatin1StringView("#00cc44"), info);
    bitPerfectBadge_->setObjectName(QStringLiteral("bitPerfectBadge"));
    bitPerfectBadge_->setText(QStringLiteral("BIT-PERFECT"));
    // Shown only while the status line proves the output bit-perfect.
    bitPerfectBadge_->hide();
    for (QLabel *badge : {codecBadge_, bitDepthBadge_, sampleRateBadge_, channelBadge_, bitPerfectBadge_})
        badges->addWidget(badge);
    badges->addStretch(1);
    infoLayout->addSpacing(6);
    infoLayout->addLayout(badges);
    infoLayout->addStretch(1);
    layout->addWidget(info);

    layout->addSpacing(MusicCanvas::kSpectrumRect.height());
    layout->addSpacing(10);

    auto *transport = new QHBoxLayout;
    transport->setSpacing(10);
    transport->addStretch(1);
    shuffleButton_ = makeRoundButton(QStringLiteral("⇌"), QStringLiteral("셔플 (S)"), 32, 32);
    auto *prev = makeRoundButton(QStringLiteral("⏮"), QStringLiteral("이전 트랙 (←)"), 32, 32);
    playButton_ = new QPushButton(QStringLiteral("▶"), column);
    playButton_->setToolTip(QStringLiteral("재생/일시정지 (Space)"));
    playButton_->setFixedSize(48, 48);
    playButton_->setFocusPolicy(Qt::NoFocus);
    playButton_->setStyleSheet(playStyle(24, 20));
    auto *next = makeRoundButton(QStringLiteral("⏭"), QStringLiteral("다음 트랙 (→)"), 32, 32);
    for (QPushButton *button : {prev, next})
        button->setStyleSheet(transportStyle(QLatin1StringView("#dddddd"), 16, 16));
    repeatButton_ = makeRoundButton(QStringLiteral("↺"), QStringLiteral("반복 재생 (R)"), 32, 32);
    abButton_ = new QPushButton(QStringLiteral("A-B"), column);
    abButton_->setFixedSize(36, 28);
    abButton_->setFocusPolicy(Qt::NoFocus);
    for (QPushButton *button : {shuffleButton_, prev, playButton_, next, repeatButton_, abButton_})
        transport->addWidget(button);
    transport->addStretch(1);
    layout->addLayout(transport);
    layout->addStretch(1);

    connect(playButton_, &QPushButton::clicked, this, &MusicWidget::playPauseRequested);
    connect(prev, &QPushButton::clicked, this, &MusicWidget::prevRequested);
    connect(next, &QPushButton::clicked, this, &MusicWidget::nextRequested);
    connect(shuffleButton_, &QPushButton::clicked, this, &MusicWidget::toggleShuffle);
    connect(repeatButton_, &QPushButton::clicked, this, &MusicWidget::toggleRepeat);
    connect(abButton_, &QPushButton::clicked, this, &MusicWidget::onAbRepeatClicked);
    setShuffle(false);
    setRepeat(false);
    return column;
}

QWidget *MusicWidget::buildRightColumn()
{
    auto *column = new QWidget(this);
    column->setFixedWidth(kRightColumnWidth + 20);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, kColumnTop, 20, 8);
    layout->setSpacing(6);

    auto *tabs = new QHBoxLayout;
    tabs->setSpacing(4);
    const QStringList names{QStringLiteral("가사"), QStringLiteral("EQ"), QStringLiteral("재생목록")};
    for (int page = 0; page < names.size(); ++page) {
        auto *tab = new QPushButton(names[page], column);
        tab->setCheckable(true);
        tab->setFocusPolicy(Qt::NoFocus);
        tab->setStyleSheet(kTabStyle);
        connect(tab, &QPushButton::clicked, this, [this, page] { onRightPanelToggle(page); });
        tabs->addWidget(tab);
        tabButtons_ << tab;
    }
    tabs->addStretch(1);
    tabButtons_[EqualizerPage]->hide();
    layout->addLayout(tabs);

    pages_ = new QStackedWidget(column);
    pages_->setObjectName(QStringLiteral("musicPages"));
    pages_->setAttribute(Qt::WA_StyledBackground);
    pages_->setStyleSheet(QStringLiteral("#musicPages { background: #141414; border-radius: 8px; }"));
    lyrics_ = new LyricsWidget(pages_);
    playlist_ = new PlaylistPanel(pages_);
    pages_->addWidget(lyrics_);
    pages_->addWidget(playlist_);
    layout->addWidget(pages_, 1);

    onRightPanelToggle(LyricsPage);
    return column;
}

QWidget *MusicWidget::buildBottomRow()
{
    auto *row = new QWidget(this);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(20, 4, 20, 6);
    layout->setSpacing(8);

    const QString timeStyle = QStringLiteral("color: #aaaaaa; font-size: 11px; font-family: %1;").arg(kMonoFont);
    positionLabel_ = makeLabel(QStringLiteral("00:00"), timeStyle, row);
    positionLabel_->setObjectName(QStringLiteral("positionLabel"));
    positionLabel_->setFixedWidth(42);
    seekSlider_ = new MusicSeekBar(row);
    seekSlider_->setStyleSheet(sliderStyle(12));
    durationLabel_ = makeLabel(QStringLiteral("00:00"), timeStyle, row);
    durationLabel_->setObjectName(QStringLiteral("durationLabel"));
    durationLabel_->setFixedWidth(42);
    durationLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    muteButton_ = makeRoundButton(QStringLiteral("🔊"), QStringLiteral("음소거 (M)"), 28, 28);
    const QString smallLook = smallButtonStyle(QLatin1StringView("#aaaaaa"), 14);
    muteButton_->setStyleSheet(smallLook);
    volumeSlider_ = new QSlider(Qt::Horizontal, row);
    volumeSlider_->setRange(0, 100);
    volumeSlider_->setValue(100);
    volumeSlider_->setFixedWidth(90);
    volumeSlider_->setFocusPolicy(Qt::NoFocus);
    volumeSlider_->setToolTip(QStringLiteral("볼륨"));
    volumeSlider_->setStyleSheet(sliderStyle(12));
    speedLabel_ = makeLabel(QStringLiteral("1.0x"), timeStyle, row);
    auto *mini = makeRoundButton(QStringLiteral("⊟"), QStringLiteral("미니 플레이어 (M)"), 28, 28);
    auto *compact = makeRoundButton(QStringLiteral("◫"), QStringLiteral("소형 모드 전환"), 28, 28);
    auto *settings = makeRoundButton(QStringLiteral("⚙"), QStringLiteral("설정"), 28, 28);
    for (QPushButton *button : {mini, compact, settings})
        button->setStyleSheet(smallLook);

    layout->addWidget(positionLabel_);
    layout->addWidget(seekSlider_, 1);
    layout->addWidget(durationLabel_);
    layout->addSpacing(8);
    for (QWidget *widget : std::initializer_list<QWidget *>{muteButton_, volumeSlider_, speedLabel_, mini, compact, settings})
        layout->addWidget(widget);

    // Pressing, every drag step, releasing and the wheel: the view seeks continuously while dragged.
    connect(seekSlider_, &MusicSeekBar::seekRequested, this, &MusicWidget::seekRequested);
    connect(volumeSlider_, &QSlider::valueChanged, this, [this](int volume) {
        muteButton_->setText(volume > 0 ? QStringLiteral("🔊") : QStringLiteral("🔇"));
        emit volumeChanged(volume);
    });
    connect(muteButton_, &QPushButton::clicked, this, &MusicWidget::onMuteClicked);
    connect(mini, &QPushButton::clicked, this, &MusicWidget::miniModeRequested);
    connect(compact, &QPushButton::clicked, this, &MusicWidget::compactModeRequested);
    connect(settings, &QPushButton::clicked, this, &MusicWidget::settingsRequested);
    return row;
}

QPushButton *MusicWidget::makeRoundButton(const QString &text, const QString &toolTip, int width, int height)
{
    auto *button = new QPushButton(text, this);
    button->setToolTip(toolTip);
    button->setFixedSize(width, height);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

void MusicWidget::setEngine(MpvCore *engine)
{
    engine_ = engine;
}

void MusicWidget::setEqualizerPage(QWidget *page)
{
    if (page == equalizer_)
        return;
    const bool wasShown = equalizer_ && pages_->currentWidget() == equalizer_;
    if (equalizer_) {
        pages_->removeWidget(equalizer_);
        equalizer_->deleteLater();
    }
    equalizer_ = page;
    tabButtons_[EqualizerPage]->setVisible(page != nullptr);
    if (page)
        pages_->insertWidget(pages_->indexOf(playlist_), page);
    if (wasShown)
        onRightPanelToggle(page ? EqualizerPage : LyricsPage);
}

int MusicWidget::currentPage() const
{
    QWidget *current = pages_->currentWidget();
    if (current == lyrics_)
        return LyricsPage;
    if (current == playlist_)
        return PlaylistPage;
    if (current && current == equalizer_)
        return EqualizerPage;
    return -1;
}

void MusicWidget::onRightPanelToggle(int panel)
{
    QWidget *page = nullptr;
    switch (panel) {
    case LyricsPage: page = lyrics_; break;
    case EqualizerPage: page = equalizer_; break;
    case PlaylistPage: page = playlist_; break;
    default: break;
    }
    if (!page)
        return;
    pages_->setCurrentWidget(page);
    for (int i = 0; i < tabButtons_.size(); ++i)
        tabButtons_[i]->setChecked(i == panel);
}

// ----- Track and output -----

void MusicWidget::setTrack(const TrackInfo &info)
{
    track_ = info;
    if (abState_ != AbIdle)
        resetAbLoop();

    titleLabel_->setText(info.title.isEmpty() ? QStringLiteral("알 수 없는 트랙") : info.title);
    artistLabel_->setText(info.artist.isEmpty() ? QStringLiteral("알 수 없는 아티스트") : info.artist);
    QStringList albumParts;
    if (!info.album.isEmpty())
        albumParts << info.album;
    if (!info.date.isEmpty())
        albumParts << info.date;
    albumLabel_->setText(albumParts.join(QStringLiteral("  ·  ")));
    updateBadges();

    canvas_.setCover(info.cover);
    setStatusLine(MusicView::decodeStatusText(info), false);
    lyrics_->loadTrack(info.title, info.artist, info.filePath, duration_, info.album);
    update();
}

void MusicWidget::setTrackFormat(const TrackInfo &format)
{
    if (format.codec == track_.codec && format.sampleRate == track_.sampleRate && format.bitDepth == track_.bitDepth
        && format.channels == track_.channels)
        return;
    track_.codec = format.codec;
    track_.sampleRate = format.sampleRate;
    track_.bitDepth = format.bitDepth;
    track_.channels = format.channels;
    updateBadges();
    setStatusLine(MusicView::decodeStatusText(track_), false);
}

void MusicWidget::setOutputInfo(const MusicView::OutputPath &output)
{
    setStatusLine(MusicView::outputStatusText(track_, output), MusicView::isBitPerfectOutput(track_, output));
}

void MusicWidget::updateBadges()
{
    codecBadge_->setText(MusicView::codecBadgeText(track_.codec));
    bitDepthBadge_->setText(MusicView::bitDepthText(track_.bitDepth));
    sampleRateBadge_->setText(MusicView::sampleRateText(track_.sampleRate));
    channelBadge_->setText(MusicView::channelBadgeText(track_.channels));
}

QStringList MusicWidget::badgeTexts() const
{
    return {codecBadge_->text(), bitDepthBadge_->text(), sampleRateBadge_->text(), channelBadge_->text()};
}

void MusicWidget::setStatusLine(const QString &text, bool bitPerfect)
{
    paintStatusLine(text, bitPerfect ? QStringLiteral("#4dd0a6") : QStringLiteral("#555"));
    bitPerfectBadge_->setVisible(bitPerfect);
}

void MusicWidget::showNotice(const QString &text)
{
    paintStatusLine(text, QStringLiteral("#e0a040"));
}

void MusicWidget::paintStatusLine(const QString &text, const QString &colour)
{
    statusLine_->setText(text);
    statusLine_->setStyleSheet(QStringLiteral("QLabel { background: #0a0a0a; color: %1; font-size: 10px;"
                                              " font-family: %2; padding: 3px 20px; }")
                                   .arg(colour, kMonoFont));
}

QString MusicWidget::statusText() const
{
    return statusLine_->text();
}

// ----- Playback state -----

void MusicWidget::setPlaying(bool playing)
{
    playing_ = playing;
    playButton_->setText(playing ? QStringLiteral("⏸") : QStringLiteral("▶"));
    updateAnimationTimers();
}

void MusicWidget::updatePosition(double position, double duration)
{
    duration_ = duration;
    seekSlider_->setPosition(position, duration);
    positionLabel_->setText(MusicView::timeText(position));
    durationLabel_->setText(MusicView::timeText(duration));
    lyrics_->setPlaybackPosition(position);
}

void MusicWidget::setSpectrum(const QList<float> &bins)
{
    canvas_.setLevels(bins);
    updateAnimationTimers();
    showSpectrumChange();
}

// Every repaint of the window is composed whole with the video surface's OpenGL: while the disc
// turns, new bars wait for its next turn, so both change in one repaint instead of two.
void MusicWidget::showSpectrumChange()
{
    if (rotationTimer_->isActive())
        spectrumChanged_ = true;
    else
        update(MusicCanvas::kSpectrumRect);
}

void MusicWidget::setVolume(int volume)
{
    const QSignalBlocker blocker(volumeSlider_);
    volumeSlider_->setValue(volume);
    muteButton_->setText(volumeSlider_->value() > 0 ? QStringLiteral("🔊") : QStringLiteral("🔇"));
}

void MusicWidget::setSpeed(double speed)
{
    speedLabel_->setText(QStringLiteral("%1x").arg(speed, 0, 'f', 1));
}

void MusicWidget::setShuffle(bool on)
{
    shuffle_ = on;
    shuffleButton_->setStyleSheet(transportStyle(on ? kTeal : QLatin1StringView("#888888"), 16, 16));
}

void MusicWidget::setRepeat(bool on)
{
    repeat_ = on;
    repeatButton_->setStyleSheet(transportStyle(on ? kTeal : QLatin1StringView("#888888"), 16, 18));
}

// Both timers only animate what is on screen: hidden, they would repaint nothing 50 times a second.
void MusicWidget::updateAnimationTimers()
{
    const bool shown = isVisible();
    if (shown && playing_) {
        if (!rotationTimer_->isActive())
            rotationTimer_->start();
    } else {
        rotationTimer_->stop();
    }
    if (shown && canvas_.peaksFalling()) {
        if (!peakTimer_->isActive())
            peakTimer_->start();
    } else {
        peakTimer_->stop();
    }
}

void MusicWidget::onRotationTick()
{
    canvas_.turn(kDegreesPerTick);
    update(MusicCanvas::kDiscRect);
    if (std::exchange(spectrumChanged_, false))
        update(MusicCanvas::kSpectrumRect);
}

void MusicWidget::onPeakTick()
{
    if (canvas_.fallPeaks())
        showSpectrumChange();
    else
        peakTimer_->stop();
}

void MusicWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    updateAnimationTimers();
}

void MusicWidget::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    updateAnimationTimers();
}

// ----- Painting -----

void MusicWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    canvas_.resize(size());
}

void MusicWidget::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    canvas_.paint(painter, event->rect());
}
