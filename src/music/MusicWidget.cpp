#include "music/MusicWidget.h"

#include "engine/MpvCore.h"
#include "music/LyricsWidget.h"
#include "music/MusicViewHelpers.h"
#include "music/PlaylistPanel.h"
#include "ui/controls/ClickSeekSlider.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

int MusicWidget::preMuteVolume_ = 100;

namespace {

const QColor kDefaultAccent(0x00, 0xc8, 0xb4);
const QString kTeal = QStringLiteral("#00c8b4");

// The disc and the spectrum are painted; the layout keeps room for them at these places.
constexpr int kColumnLeft = 20;
constexpr int kColumnTop = 16;
constexpr int kColumnWidth = 320;
const QRect kDiscRect(40, 16, 280, 280);
// The texts and badges between disc and spectrum.
constexpr int kInfoHeight = 148;
const QRect kSpectrumRect(kColumnLeft, kDiscRect.bottom() + 1 + kInfoHeight, kColumnWidth, 60);
constexpr int kRightColumnWidth = 320;

constexpr int kPeakCount = 64;
constexpr float kPeakFloor = 0.002f;
constexpr float kPeakFall = 0.92f;
constexpr float kPeakShown = 0.01f;
constexpr double kDegreesPerTick = 0.3;
constexpr int kSeekRange = 1000;
// Two clicks closer than this make no loop the engine can play.
constexpr double kShortestLoop = 0.05;

const QString kSansFont = QStringLiteral("'Malgun Gothic', 'Segoe UI', 'Noto Sans CJK KR', sans-serif");
const QString kMonoFont = QStringLiteral("Consolas, 'DejaVu Sans Mono', monospace");

const QString kTransportStyle = QStringLiteral(
    "QPushButton { background: transparent; color: %1; border: none; border-radius: %2px; font-size: %3px; }"
    "QPushButton:hover { background: rgba(255, 255, 255, 0.08); }");
const QString kPlayStyle = QStringLiteral(
    "QPushButton { background: #00c8b4; color: #000000; border: none; border-radius: 24px; font-size: 20px; }"
    "QPushButton:hover { background: #1ee0cc; }");
const QString kSmallButtonStyle = QStringLiteral(
    "QPushButton { background: transparent; color: #aaaaaa; border: none; border-radius: 4px; font-size: 14px; }"
    "QPushButton:hover { background: rgba(255, 255, 255, 0.08); color: #ffffff; }");
const QString kTabStyle = QStringLiteral(
    "QPushButton { background: transparent; color: #888888; border: none; border-bottom: 2px solid transparent;"
    " padding: 6px 12px; font-size: 12px; font-family: %1; }"
    "QPushButton:checked { color: #00c8b4; border-bottom: 2px solid #00c8b4; }"
    "QPushButton:hover { color: #ffffff; }")
                             .arg(kSansFont);
const QString kAbIdleStyle = QStringLiteral(
    "QPushButton { background: transparent; color: #888888; border: 1px solid #555555; border-radius: 4px;"
    " font-size: 11px; font-weight: bold; }");
const QString kAbASetStyle = QStringLiteral(
    "QPushButton { background: rgba(0, 200, 180, 0.2); color: #00c8b4; border: 1px solid #00c8b4; border-radius: 4px;"
    " font-size: 11px; font-weight: bold; }");
const QString kAbLoopingStyle = QStringLiteral(
    "QPushButton { background: #00c8b4; color: #000000; border: 1px solid #00c8b4; border-radius: 4px;"
    " font-size: 11px; font-weight: bold; }");
const QString kSliderStyle = QStringLiteral(
    "QSlider::groove:horizontal { height: 4px; background: rgba(255, 255, 255, 0.15); border-radius: 2px; }"
    "QSlider::sub-page:horizontal { background: #00c8b4; border-radius: 2px; }"
    "QSlider::handle:horizontal { background: #ffffff; width: 12px; height: 12px; margin: -4px 0px;"
    " border-radius: 6px; }");
const QString kMenuStyle = QStringLiteral(
    "QMenu { background: #1e1e1e; color: #e0e0e0; border: 1px solid #333333; padding: 4px; }"
    "QMenu::item { padding: 6px 20px; border-radius: 3px; }"
    "QMenu::item:selected { background: #00c8b4; color: #000000; }"
    "QMenu::separator { height: 1px; background: #333333; margin: 4px 8px; }");

const QString kAbIdleToolTip = QStringLiteral(
    "A-B 구간 반복\n첫 클릭: A 지점 설정\n두 번째 클릭: B 지점 설정 후 반복 시작\n세 번째 클릭: 해제");

QLabel *makeLabel(const QString &text, const QString &style, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    // Tags come from the file: "<b>Live</b>" is a title, not markup.
    label->setTextFormat(Qt::PlainText);
    label->setStyleSheet(style);
    return label;
}

QLabel *makeBadge(const QString &colour, QWidget *parent)
{
    auto *badge = new QLabel(parent);
    badge->setTextFormat(Qt::PlainText);
    badge->setStyleSheet(QStringLiteral("QLabel { color: %1; border: 1px solid %1; border-radius: 3px;"
                                        " padding: 1px 6px; font-size: 10px; font-weight: bold; font-family: %2; }")
                             .arg(colour, kMonoFont));
    return badge;
}

} // namespace

MusicWidget::MusicWidget(QWidget *parent)
    : QWidget(parent)
    , accent_(kDefaultAccent)
    , peaks_(kPeakCount, 0.0f)
{
    setObjectName(QStringLiteral("MusicWidget"));
    setMouseTracking(true);
    setMinimumSize(kColumnLeft * 2 + kColumnWidth + kRightColumnWidth + 20, 620);
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
    layout->addSpacing(kDiscRect.height());

    auto *info = new QWidget(column);
    info->setFixedHeight(kInfoHeight);
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
    bitDepthBadge_ = makeBadge(QStringLiteral("#4488ff"), info);
    sampleRateBadge_ = makeBadge(QStringLiteral("#aa44ff"), info);
    channelBadge_ = makeBadge(QStringLiteral("#888"), info);
    bitPerfectBadge_ = makeBadge(QStringLiteral("#00cc44"), info);
    bitPerfectBadge_->setText(QStringLiteral("BIT-PERFECT"));
    // No Linux output is exclusive; the badge only shows when the status line proves bit-perfect.
    bitPerfectBadge_->hide();
    for (QLabel *badge : {codecBadge_, bitDepthBadge_, sampleRateBadge_, channelBadge_, bitPerfectBadge_})
        badges->addWidget(badge);
    badges->addStretch(1);
    infoLayout->addSpacing(6);
    infoLayout->addLayout(badges);
    infoLayout->addStretch(1);
    layout->addWidget(info);

    layout->addSpacing(kSpectrumRect.height());
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
    playButton_->setStyleSheet(kPlayStyle);
    auto *next = makeRoundButton(QStringLiteral("⏭"), QStringLiteral("다음 트랙 (→)"), 32, 32);
    for (QPushButton *button : {prev, next})
        button->setStyleSheet(kTransportStyle.arg(QStringLiteral("#dddddd")).arg(16).arg(16));
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
    connect(shuffleButton_, &QPushButton::clicked, this, [this] { setShuffle(!shuffle_); });
    connect(repeatButton_, &QPushButton::clicked, this, [this] { setRepeat(!repeat_); });
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
    seekSlider_ = new ClickSeekSlider(Qt::Horizontal, row);
    seekSlider_->setRange(0, kSeekRange);
    seekSlider_->setFocusPolicy(Qt::NoFocus);
    seekSlider_->setStyleSheet(kSliderStyle);
    durationLabel_ = makeLabel(QStringLiteral("00:00"), timeStyle, row);
    durationLabel_->setObjectName(QStringLiteral("durationLabel"));
    durationLabel_->setFixedWidth(42);
    durationLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    muteButton_ = makeRoundButton(QStringLiteral("🔊"), QStringLiteral("음소거 (M)"), 28, 28);
    muteButton_->setStyleSheet(kSmallButtonStyle);
    volumeSlider_ = new QSlider(Qt::Horizontal, row);
    volumeSlider_->setRange(0, 100);
    volumeSlider_->setValue(100);
    volumeSlider_->setFixedWidth(90);
    volumeSlider_->setFocusPolicy(Qt::NoFocus);
    volumeSlider_->setToolTip(QStringLiteral("볼륨"));
    volumeSlider_->setStyleSheet(kSliderStyle);
    speedLabel_ = makeLabel(QStringLiteral("1.0x"), timeStyle, row);
    auto *mini = makeRoundButton(QStringLiteral("⊟"), QStringLiteral("미니 플레이어 (M)"), 28, 28);
    auto *compact = makeRoundButton(QStringLiteral("◫"), QStringLiteral("소형 모드 전환"), 28, 28);
    auto *settings = makeRoundButton(QStringLiteral("⚙"), QStringLiteral("설정"), 28, 28);
    for (QPushButton *button : {mini, compact, settings})
        button->setStyleSheet(kSmallButtonStyle);

    layout->addWidget(positionLabel_);
    layout->addWidget(seekSlider_, 1);
    layout->addWidget(durationLabel_);
    layout->addSpacing(8);
    for (QWidget *widget : std::initializer_list<QWidget *>{muteButton_, volumeSlider_, speedLabel_, mini, compact, settings})
        layout->addWidget(widget);

    // The slider reports pressing, every drag step and releasing as one sliderMoved each, so the
    // view seeks continuously while dragged.
    connect(seekSlider_, &QSlider::sliderMoved, this, &MusicWidget::onSeekSliderEvent);
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

    blurred_ = MusicView::blurredCover(info.cover.toImage());
    accent_ = info.cover.isNull() ? kDefaultAccent : MusicView::accentColourOf(info.cover.toImage());
    rebuildBackground();

    setStatusLine(MusicView::decodeStatusText(info), false);
    lyrics_->loadTrack(info.title, info.artist, info.filePath, duration_, info.album);
    update();
}

void MusicWidget::setOutputInfo(int outputRate, const QString &outputFormat, bool exclusive)
{
    setStatusLine(MusicView::outputStatusText(track_, outputRate, outputFormat, exclusive),
                  MusicView::isBitPerfectOutput(track_, outputRate, exclusive));
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
    update();
}

void MusicWidget::updatePosition(double position, double duration)
{
    duration_ = duration;
    if (!seekSlider_->isSliderDown())
        seekSlider_->setValue(duration > 0 ? int(std::round(position / duration * kSeekRange)) : 0);
    positionLabel_->setText(MusicView::timeText(position));
    durationLabel_->setText(MusicView::timeText(duration));
    lyrics_->setPlaybackPosition(position);
}

void MusicWidget::setSpectrum(const QList<float> &bins)
{
    levels_ = bins;
    const qsizetype marked = std::min<qsizetype>(bins.size(), kPeakCount);
    for (qsizetype i = 0; i < marked; ++i)
        peaks_[i] = std::max(peaks_[i], bins[i]);
    updateAnimationTimers();
    update();
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
    const bool falling = std::any_of(peaks_.cbegin(), peaks_.cend(), [](float peak) { return peak > kPeakFloor; });
    if (shown && falling) {
        if (!peakTimer_->isActive())
            peakTimer_->start();
    } else {
        peakTimer_->stop();
    }
}

void MusicWidget::onRotationTick()
{
    angle_ += kDegreesPerTick;
    if (angle_ >= 360.0)
        angle_ -= 360.0;
    update(kDiscRect);
}

void MusicWidget::onPeakTick()
{
    bool changed = false;
    for (float &peak : peaks_) {
        if (peak > kPeakFloor) {
            peak *= kPeakFall;
            changed = true;
        }
    }
    if (changed)
        update(kSpectrumRect);
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

// ----- Controls -----

void MusicWidget::onSeekSliderEvent()
{
    if (duration_ > 0)
        emit seekRequested(seekSlider_->sliderPosition() * duration_ / kSeekRange);
}

void MusicWidget::onMuteClicked()
{
    if (volumeSlider_->value() > 0) {
        preMuteVolume_ = volumeSlider_->value();
        volumeSlider_->setValue(0);
    } else {
        volumeSlider_->setValue(preMuteVolume_ < 1 ? 100 : preMuteVolume_);
    }
}

void MusicWidget::setShuffle(bool on)
{
    const bool changed = shuffle_ != on;
    shuffle_ = on;
    shuffleButton_->setStyleSheet(kTransportStyle.arg(on ? kTeal : QStringLiteral("#888888")).arg(16).arg(16));
    if (changed)
        emit shuffleToggled(on);
}

void MusicWidget::setRepeat(bool on)
{
    const bool changed = repeat_ != on;
    repeat_ = on;
    repeatButton_->setStyleSheet(kTransportStyle.arg(on ? kTeal : QStringLiteral("#888888")).arg(16).arg(18));
    if (changed)
        emit repeatToggled(on);
}

void MusicWidget::onAbRepeatClicked()
{
    if (!engine_ || !engine_->isInitialized())
        return;
    const double t = engine_->position();
    switch (abState_) {
    case AbIdle:
        abA_ = t;
        abState_ = AbASet;
        engine_->setMpvProperty(QStringLiteral("ab-loop-a"), abA_);
        break;
    case AbASet:
        // A second click at the first point (a paused track, a double click) has nothing to
        // loop; the engine would be handed an empty range. A stays set for the next click.
        if (std::abs(t - abA_) < kShortestLoop)
            break;
        abB_ = t;
        if (abA_ > abB_)
            std::swap(abA_, abB_);
        abState_ = AbLooping;
        engine_->setMpvProperty(QStringLiteral("ab-loop-a"), abA_);
        engine_->setMpvProperty(QStringLiteral("ab-loop-b"), abB_);
        break;
    case AbLooping:
        resetAbLoop();
        return;
    }
    showAbState();
}

void MusicWidget::resetAbLoop()
{
    abA_ = abB_ = -1.0;
    abState_ = AbIdle;
    if (engine_) {
        engine_->setMpvProperty(QStringLiteral("ab-loop-a"), QStringLiteral("no"));
        engine_->setMpvProperty(QStringLiteral("ab-loop-b"), QStringLiteral("no"));
    }
    showAbState();
}

void MusicWidget::showAbState()
{
    switch (abState_) {
    case AbIdle:
        abButton_->setToolTip(kAbIdleToolTip);
        abButton_->setStyleSheet(kAbIdleStyle);
        break;
    case AbASet:
        abButton_->setToolTip(
            QStringLiteral("B 지점을 클릭하여 구간 반복 시작\nA: %1").arg(MusicView::timeText(abA_)));
        abButton_->setStyleSheet(kAbASetStyle);
        break;
    case AbLooping:
        abButton_->setToolTip(QStringLiteral("A-B 구간 반복 중\nA: %1  B: %2\n클릭하여 해제")
                                  .arg(MusicView::timeText(abA_), MusicView::timeText(abB_)));
        abButton_->setStyleSheet(kAbLoopingStyle);
        break;
    }
}

// ----- Painting -----

void MusicWidget::rebuildBackground()
{
    if (blurred_.isNull()) {
        background_ = QPixmap();
        return;
    }
    background_ = QPixmap::fromImage(blurred_.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    QPainter painter(&background_);
    painter.fillRect(background_.rect(), QColor(0, 0, 0, 160));
}

void MusicWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    rebuildBackground();
}

void MusicWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    if (background_.isNull()) {
        painter.fillRect(rect(), QColor(0x0e, 0x0e, 0x0e));
    } else {
        painter.drawPixmap(rect(), background_);
        painter.fillRect(rect(), QColor(0, 0, 0, 60));
    }
    paintDisc(painter);
    paintSpectrum(painter);
}

void MusicWidget::paintDisc(QPainter &painter)
{
    painter.save();
    QPainterPath circle;
    circle.addEllipse(QRectF(kDiscRect));
    painter.setClipPath(circle);
    const QPointF centre = QRectF(kDiscRect).center();
    if (track_.cover.isNull()) {
        painter.fillRect(kDiscRect, QColor(30, 30, 30));
        QFont font(QStringLiteral("Segoe UI"));
        font.setPointSize(48);
        painter.setFont(font);
        painter.setPen(QColor(60, 60, 60));
        painter.drawText(kDiscRect, Qt::AlignCenter, QStringLiteral("♪"));
    } else {
        painter.translate(centre);
        painter.rotate(angle_);
        painter.translate(-centre);
        const QSize scaled = track_.cover.size().scaled(kDiscRect.size(), Qt::KeepAspectRatioByExpanding);
        QRectF target(QPointF(0, 0), QSizeF(scaled));
        target.moveCenter(centre);
        painter.drawPixmap(target, track_.cover, QRectF(track_.cover.rect()));
    }
    painter.restore();

    painter.setPen(QPen(accent_, 2.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRectF(kDiscRect).adjusted(1, 1, -1, -1));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(20, 20, 20));
    painter.drawEllipse(centre, 6.0, 6.0);
    painter.setBrush(accent_);
    painter.drawEllipse(centre, 3.0, 3.0);
}

void MusicWidget::paintSpectrum(QPainter &painter)
{
    const qsizetype n = levels_.size();
    if (n == 0)
        return;
    const QRectF area(kSpectrumRect);
    const double barWidth = area.width() / double(n);
    painter.setPen(Qt::NoPen);
    for (qsizetype i = 0; i < n; ++i) {
        const double level = std::clamp(double(levels_[i]), 0.0, 1.0);
        const double height = level * area.height();
        const double x = area.left() + i * barWidth + 1;
        const double fraction = double(i) / double(n);
        painter.setBrush(QColor(0, int(std::round(120 + 80 * fraction)), int(std::round(200 - 20 * fraction)), 180));
        painter.drawRect(QRectF(x, area.bottom() - height, std::max(barWidth - 2, 0.5), height));
        if (i < kPeakCount && peaks_[i] > kPeakShown) {
            QColor mark = accent_;
            mark.setAlpha(200);
            painter.setBrush(mark);
            const double peakY = area.bottom() - std::min(double(peaks_[i]), 1.0) * area.height();
            painter.drawRect(QRectF(x, peakY - 2, std::max(barWidth - 2, 0.5), 2));
        }
    }
}

// ----- Mouse -----

void MusicWidget::mouseMoveEvent(QMouseEvent *event)
{
    // The main window watches the pointer for its frameless border and cursor hiding.
    if (QWidget *host = parentWidget()) {
        const QPointF local = event->position() + QPointF(mapTo(host, QPoint(0, 0)));
        QCoreApplication::postEvent(host, new QMouseEvent(event->type(), local, event->scenePosition(),
                                                          event->globalPosition(), event->button(), event->buttons(),
                                                          event->modifiers(), event->pointingDevice()));
    }
    // The copy stands for the original; letting it propagate as well would deliver it twice.
    event->accept();
}

void MusicWidget::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    menu.setStyleSheet(kMenuStyle);
    menu.addAction(playing_ ? QStringLiteral("⏸  일시정지") : QStringLiteral("▶  재생"), this,
                   &MusicWidget::playPauseRequested);
    menu.addAction(QStringLiteral("⏮  이전 트랙"), this, &MusicWidget::prevRequested);
    menu.addAction(QStringLiteral("⏭  다음 트랙"), this, &MusicWidget::nextRequested);
    menu.addSeparator();
    menu.addAction(shuffle_ ? QStringLiteral("✓  셔플 켜짐") : QStringLiteral("⇌  셔플"), this,
                   [this] { setShuffle(!shuffle_); });
    menu.addAction(repeat_ ? QStringLiteral("✓  반복 켜짐") : QStringLiteral("↺  반복"), this,
                   [this] { setRepeat(!repeat_); });
    menu.addSeparator();
    menu.addAction(QStringLiteral("☰  재생목록 보기"), this, [this] { onRightPanelToggle(PlaylistPage); });
    menu.addAction(QStringLiteral("♪  가사 보기"), this, [this] { onRightPanelToggle(LyricsPage); });
    if (equalizer_)
        menu.addAction(QStringLiteral("🎚  이퀄라이저"), this, [this] { onRightPanelToggle(EqualizerPage); });
    menu.addSeparator();
    menu.addAction(QStringLiteral("ℹ  파일 정보"), this, &MusicWidget::showFileInfo);
    menu.addAction(QStringLiteral("➕  재생목록에 추가"), this,
                   [this] { emit addToPlaylistRequested(track_.filePath); });
    menu.addSeparator();
    menu.addAction(QStringLiteral("⚙  설정"), this, &MusicWidget::settingsRequested);
    menu.exec(event->globalPos());
}

void MusicWidget::showFileInfo()
{
    QMessageBox box(QMessageBox::Information, QStringLiteral("파일 정보"), MusicView::fileInfoText(track_),
                    QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}
