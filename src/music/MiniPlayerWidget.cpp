#include "music/MiniPlayerWidget.h"

#include "music/MusicLook.h"
#include "music/MusicSeekBar.h"
#include "music/MusicViewHelpers.h"
#include "music/SmallPlayerParts.h"
#include "music/TrackInfo.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

using namespace MusicLook;
using namespace SmallPlayer;

namespace {

constexpr int kCoverSide = 56;
constexpr int kCoverRadius = 6;
constexpr qreal kBodyRadius = 10.0;

const QString kCoverStyle = QStringLiteral(
    "QLabel { background: #1e1e1e; color: #555555; border-radius: 6px; font-size: 24px; }");
} // namespace

MiniPlayerWidget::MiniPlayerWidget(QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("MiniPlayerWidget"));
    setWindowTitle(QStringLiteral("Velmoran"));
    setAttribute(Qt::WA_TranslucentBackground);
    // Hiding the strip is a mode change, not the end of the program; the host decides that.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(420, 80);
    new WindowDragger(this);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 8, 12);
    row->setSpacing(10);

    coverLabel_ = new QLabel(QStringLiteral("♪"), this);
    coverLabel_->setFixedSize(kCoverSide, kCoverSide);
    coverLabel_->setAlignment(Qt::AlignCenter);
    coverLabel_->setStyleSheet(kCoverStyle);
    row->addWidget(coverLabel_);

    auto *info = new QVBoxLayout;
    info->setContentsMargins(0, 0, 0, 0);
    info->setSpacing(2);
    auto *titleRow = new QHBoxLayout;
    titleRow->setSpacing(6);
    titleLabel_ = new ElidedLabel(QStringLiteral("트랙 제목"), this);
    titleLabel_->setStyleSheet(
        QStringLiteral("QLabel { color: #ffffff; font-size: 13px; font-weight: bold; font-family: %1; }").arg(kSansFont));
    codecBadge_ = new QLabel(QStringLiteral("FLAC"), this);
    codecBadge_->setStyleSheet(badgeStyle(kTeal, 9, 0, 4));
    titleRow->addWidget(titleLabel_, 1);
    titleRow->addWidget(codecBadge_);
    info->addLayout(titleRow);

    artistLabel_ = new ElidedLabel(QStringLiteral("아티스트"), this);
    artistLabel_->setStyleSheet(QStringLiteral("QLabel { color: #999999; font-size: 11px; font-family: %1; }").arg(kSansFont));
    info->addWidget(artistLabel_);
    // The codec comes from the file as much as the tags do.
    codecBadge_->setTextFormat(Qt::PlainText);
    codecBadge_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    info->addStretch(1);

    auto *seekRow = new QHBoxLayout;
    seekRow->setSpacing(6);
    seekSlider_ = new MusicSeekBar(this);
    seekSlider_->setFixedHeight(4);
    seekSlider_->setStyleSheet(sliderStyle(4));
    timeLabel_ = new QLabel(QStringLiteral("00:00"), this);
    timeLabel_->setFixedWidth(38);
    timeLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    timeLabel_->setStyleSheet(clockStyle());
    seekRow->addWidget(seekSlider_, 1, Qt::AlignVCenter);
    seekRow->addWidget(timeLabel_);
    info->addLayout(seekRow);
    row->addLayout(info, 1);

    auto *transport = new QHBoxLayout;
    transport->setSpacing(4);
    const QString transportLook = transportStyle(QLatin1StringView("#dddddd"), 12, 13);
    auto *prev = makeButton(QStringLiteral("⏮"), QStringLiteral("이전 트랙"), 24, transportLook, this);
    playButton_ = makeButton(QStringLiteral("▶"), QStringLiteral("재생/일시정지"), 32, playStyle(16, 14), this);
    auto *next = makeButton(QStringLiteral("⏭"), QStringLiteral("다음 트랙"), 24, transportLook, this);
    transport->addWidget(prev);
    transport->addWidget(playButton_);
    transport->addWidget(next);
    row->addLayout(transport);

    auto *window = new QVBoxLayout;
    window->setSpacing(0);
    const QString windowLook = smallButtonStyle(QLatin1StringView("#888888"), 12);
    auto *close = makeButton(QStringLiteral("✕"), QStringLiteral("닫기"), 20, windowLook, this);
    auto *expand = makeButton(QStringLiteral("⊞"), QStringLiteral("메인 플레이어로 돌아가기"), 20, windowLook, this);
    window->addWidget(close);
    window->addStretch(1);
    window->addWidget(expand);
    row->addLayout(window);

    connect(prev, &QPushButton::clicked, this, &MiniPlayerWidget::prevRequested);
    connect(playButton_, &QPushButton::clicked, this, &MiniPlayerWidget::playPauseRequested);
    connect(next, &QPushButton::clicked, this, &MiniPlayerWidget::nextRequested);
    connect(expand, &QPushButton::clicked, this, &MiniPlayerWidget::expandRequested);
    // The same path as the window manager's close, so both leave the strip in the same state.
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(seekSlider_, &MusicSeekBar::seekRequested, this, &MiniPlayerWidget::seekRequested);
}

void MiniPlayerWidget::setTrack(const TrackInfo &track)
{
    titleLabel_->setText(track.title.isEmpty() ? QStringLiteral("알 수 없는 트랙") : track.title);
    artistLabel_->setText(track.artist.isEmpty() ? QStringLiteral("알 수 없는 아티스트") : track.artist);
    codecBadge_->setText(MusicView::codecBadgeText(track.codec));
    showCover(coverLabel_, track.cover, kCoverSide, kCoverRadius);
}

void MiniPlayerWidget::setPlaying(bool playing)
{
    playButton_->setText(playing ? QStringLiteral("⏸") : QStringLiteral("▶"));
}

void MiniPlayerWidget::updatePosition(double position, double duration)
{
    seekSlider_->setPosition(position, duration);
    timeLabel_->setText(clockText(position));
}

QString MiniPlayerWidget::titleText() const
{
    return titleLabel_->text();
}

QString MiniPlayerWidget::artistText() const
{
    return artistLabel_->text();
}

QString MiniPlayerWidget::codecText() const
{
    return codecBadge_->text();
}

QString MiniPlayerWidget::timeText() const
{
    return timeLabel_->text();
}

int MiniPlayerWidget::seekValue() const
{
    return seekSlider_->value();
}

void MiniPlayerWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintBody(painter, rect(), kBodyRadius, 240);
}

void MiniPlayerWidget::closeEvent(QCloseEvent *event)
{
    // Destroying the strip here could leave the program running with no window at all; it hides
    // and lets the host bring the main window back.
    event->ignore();
    hide();
    emit closeRequested();
}
