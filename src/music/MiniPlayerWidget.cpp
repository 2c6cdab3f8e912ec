#include "music/MiniPlayerWidget.h"

#include "music/MusicViewHelpers.h"
#include "music/TrackInfo.h"
#include "ui/controls/ClickSeekSlider.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kSeekRange = 1000;
constexpr int kCoverSide = 56;
constexpr int kCoverRadius = 6;
constexpr qreal kBodyRadius = 10.0;

const QString kSansFont = QStringLiteral("'Malgun Gothic', 'Segoe UI', 'Noto Sans CJK KR', sans-serif");
const QString kMonoFont = QStringLiteral("Consolas, 'DejaVu Sans Mono', monospace");

const QString kCoverStyle = QStringLiteral(
    "QLabel { background: #1e1e1e; color: #555555; border-radius: 6px; font-size: 24px; }");
const QString kBadgeStyle = QStringLiteral(
    "QLabel { color: #00c8b4; border: 1px solid #00c8b4; border-radius: 3px; padding: 0px 4px;"
    " font-size: 9px; font-weight: bold; font-family: %1; }")
                                .arg(kMonoFont);
const QString kSliderStyle = QStringLiteral(
    "QSlider::groove:horizontal { height: 4px; background: rgba(255, 255, 255, 0.15); border-radius: 2px; }"
    "QSlider::sub-page:horizontal { background: #00c8b4; border-radius: 2px; }"
    "QSlider::handle:horizontal { background: #ffffff; width: 6px; border-radius: 2px; }");
const QString kTransportStyle = QStringLiteral(
    "QPushButton { background: transparent; color: #dddddd; border: none; border-radius: 12px; font-size: 13px; }"
    "QPushButton:hover { background: rgba(255, 255, 255, 0.1); }");
const QString kPlayStyle = QStringLiteral(
    "QPushButton { background: #00c8b4; color: #000000; border: none; border-radius: 16px; font-size: 14px; }"
    "QPushButton:hover { background: #1ee0cc; }");
const QString kSmallButtonStyle = QStringLiteral(
    "QPushButton { background: transparent; color: #888888; border: none; border-radius: 4px; font-size: 12px; }"
    "QPushButton:hover { background: rgba(255, 255, 255, 0.1); color: #ffffff; }");

// Minutes unpadded: the strip's clock is narrow, and "3:07" reads at a glance.
QString clockText(double seconds)
{
    const qint64 t = std::isfinite(seconds) && seconds > 0 ? qint64(seconds) : 0;
    return QStringLiteral("%1:%2").arg(t / 60).arg(t % 60, 2, 10, QLatin1Char('0'));
}

// A label that cuts its text with "…" at its own edge, so a long tag never widens the strip.
class ElidingLabel : public QLabel
{
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QRect area = contentsRect();
        const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
        style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(), shown, foregroundRole());
    }
};

QPixmap roundedCover(const QPixmap &cover, int side, int radius, qreal ratio)
{
    const int pixels = int(std::ceil(side * ratio));
    QPixmap rounded(pixels, pixels);
    rounded.fill(Qt::transparent);
    QPainter painter(&rounded);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(0, 0, pixels, pixels), radius * ratio, radius * ratio);
    painter.setClipPath(clip);
    // Filled edge to edge, cropped rather than letterboxed.
    const QPixmap scaled = cover.scaled(pixels, pixels, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    painter.drawPixmap((pixels - scaled.width()) / 2, (pixels - scaled.height()) / 2, scaled);
    painter.end();
    rounded.setDevicePixelRatio(ratio);
    return rounded;
}

QPushButton *makeButton(const QString &text, const QString &toolTip, int side, const QString &style, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setToolTip(toolTip);
    button->setFixedSize(side, side);
    button->setFocusPolicy(Qt::NoFocus);
    button->setStyleSheet(style);
    return button;
}

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
    titleLabel_ = new ElidingLabel(QStringLiteral("트랙 제목"), this);
    titleLabel_->setStyleSheet(
        QStringLiteral("QLabel { color: #ffffff; font-size: 13px; font-weight: bold; font-family: %1; }").arg(kSansFont));
    codecBadge_ = new QLabel(QStringLiteral("FLAC"), this);
    codecBadge_->setStyleSheet(kBadgeStyle);
    titleRow->addWidget(titleLabel_, 1);
    titleRow->addWidget(codecBadge_);
    info->addLayout(titleRow);

    artistLabel_ = new ElidingLabel(QStringLiteral("아티스트"), this);
    artistLabel_->setStyleSheet(QStringLiteral("QLabel { color: #999999; font-size: 11px; font-family: %1; }").arg(kSansFont));
    info->addWidget(artistLabel_);
    // Tags come from the file: "<b>Live</b>" is a title, not markup.
    for (QLabel *label : {titleLabel_, artistLabel_, codecBadge_}) {
        label->setTextFormat(Qt::PlainText);
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    codecBadge_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    info->addStretch(1);

    auto *seekRow = new QHBoxLayout;
    seekRow->setSpacing(6);
    seekSlider_ = new ClickSeekSlider(Qt::Horizontal, this);
    seekSlider_->setRange(0, kSeekRange);
    seekSlider_->setFixedHeight(4);
    seekSlider_->setFocusPolicy(Qt::NoFocus);
    seekSlider_->setStyleSheet(kSliderStyle);
    timeLabel_ = new QLabel(QStringLiteral("00:00"), this);
    timeLabel_->setFixedWidth(38);
    timeLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    timeLabel_->setStyleSheet(QStringLiteral("QLabel { color: #888888; font-size: 10px; font-family: %1; }").arg(kMonoFont));
    seekRow->addWidget(seekSlider_, 1, Qt::AlignVCenter);
    seekRow->addWidget(timeLabel_);
    info->addLayout(seekRow);
    row->addLayout(info, 1);

    auto *transport = new QHBoxLayout;
    transport->setSpacing(4);
    auto *prev = makeButton(QStringLiteral("⏮"), QStringLiteral("이전 트랙"), 24, kTransportStyle, this);
    playButton_ = makeButton(QStringLiteral("▶"), QStringLiteral("재생/일시정지"), 32, kPlayStyle, this);
    auto *next = makeButton(QStringLiteral("⏭"), QStringLiteral("다음 트랙"), 24, kTransportStyle, this);
    transport->addWidget(prev);
    transport->addWidget(playButton_);
    transport->addWidget(next);
    row->addLayout(transport);

    auto *window = new QVBoxLayout;
    window->setSpacing(0);
    auto *close = makeButton(QStringLiteral("✕"), QStringLiteral("닫기"), 20, kSmallButtonStyle, this);
    auto *expand = makeButton(QStringLiteral("⊞"), QStringLiteral("메인 플레이어로 돌아가기"), 20, kSmallButtonStyle, this);
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
    // Pressing, every drag step and releasing each arrive as one sliderMoved.
    connect(seekSlider_, &QSlider::sliderMoved, this, &MiniPlayerWidget::onSeekSliderMoved);
    // The wheel moves the handle without pressing it; that is a seek too.
    connect(seekSlider_, &QSlider::actionTriggered, this, [this] {
        if (!seekSlider_->isSliderDown())
            onSeekSliderMoved();
    });
}

void MiniPlayerWidget::setTrack(const TrackInfo &track)
{
    titleLabel_->setText(track.title.isEmpty() ? QStringLiteral("알 수 없는 트랙") : track.title);
    artistLabel_->setText(track.artist.isEmpty() ? QStringLiteral("알 수 없는 아티스트") : track.artist);
    codecBadge_->setText(MusicView::codecBadgeText(track.codec));
    if (track.cover.isNull()) {
        coverLabel_->setPixmap(QPixmap());
        coverLabel_->setText(QStringLiteral("♪"));
    } else {
        coverLabel_->setPixmap(roundedCover(track.cover, kCoverSide, kCoverRadius, devicePixelRatioF()));
    }
}

void MiniPlayerWidget::setPlaying(bool playing)
{
    playButton_->setText(playing ? QStringLiteral("⏸") : QStringLiteral("▶"));
}

void MiniPlayerWidget::updatePosition(double position, double duration)
{
    duration_ = std::isfinite(duration) ? duration : 0.0;
    if (!seekSlider_->isSliderDown()) {
        const double fraction = duration_ > 0 && std::isfinite(position) ? std::clamp(position / duration_, 0.0, 1.0) : 0.0;
        seekSlider_->setValue(int(std::round(fraction * kSeekRange)));
    }
    timeLabel_->setText(clockText(position));
}

void MiniPlayerWidget::onSeekSliderMoved()
{
    if (duration_ > 0)
        emit seekRequested(seekSlider_->sliderPosition() * duration_ / kSeekRange);
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
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(40, 40, 40), 1.0));
    painter.setBrush(QColor(18, 18, 18, 240));
    // Half a pixel in, so the outline falls on whole pixels instead of blurring across two.
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kBodyRadius, kBodyRadius);
}

void MiniPlayerWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - pos();
    event->accept();
}

void MiniPlayerWidget::mouseMoveEvent(QMouseEvent *event)
{
    if (!dragging_) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    move(event->globalPosition().toPoint() - dragOffset_);
    event->accept();
}

void MiniPlayerWidget::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        dragging_ = false;
    QWidget::mouseReleaseEvent(event);
}

void MiniPlayerWidget::closeEvent(QCloseEvent *event)
{
    // Destroying the strip here could leave the program running with no window at all; it hides
    // and lets the host bring the main window back.
    event->ignore();
    hide();
    emit closeRequested();
}
