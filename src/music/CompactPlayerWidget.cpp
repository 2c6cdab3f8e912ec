#include "music/CompactPlayerWidget.h"

#include "music/MusicLook.h"
#include "music/MusicSeekBar.h"
#include "music/MusicViewHelpers.h"
#include "music/SmallPlayerParts.h"
#include "music/TrackInfo.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

using namespace MusicLook;
using namespace SmallPlayer;

namespace {

constexpr int kCoverSide = 160;
constexpr int kCoverRadius = 10;
constexpr qreal kBodyRadius = 12.0;
constexpr int kDecayInterval = 40; // ms
constexpr float kDecay = 0.88f;
// Below this a bar is no longer visible, and the timer may rest.
constexpr float kSilent = 0.001f;

const QString kPillStyle = QStringLiteral(
    "QPushButton { background: rgba(255, 255, 255, 0.08); color: #bbbbbb; border: none; border-radius: 11px;"
    " font-size: 11px; }"
    "QPushButton:hover { background: rgba(255, 255, 255, 0.16); color: #ffffff; }"
    "QPushButton:checked { background: rgba(0, 200, 180, 0.3); color: %1; }")
                               .arg(kTeal);
const QString kCoverStyle = QStringLiteral(
    "QLabel { background: #1e1e1e; color: #444444; border-radius: 10px; font-size: 56px; }");
const QString kToggleStyle = QStringLiteral(
    "QPushButton { background: transparent; color: #888888; border: none; border-radius: 15px; font-size: 16px; }"
    "QPushButton:hover { background: rgba(255, 255, 255, 0.08); }"
    "QPushButton:checked { color: %1; }")
                                 .arg(kTeal);
const QString kListStyle = QStringLiteral(
    "QListWidget { background: transparent; color: #cccccc; border: none; outline: none; font-size: 12px;"
    " font-family: %2; }"
    "QListWidget::item { padding: 8px 16px; border-left: 2px solid transparent; }"
    "QListWidget::item:hover { background: rgba(255, 255, 255, 0.05); }"
    "QListWidget::item:selected { background: rgba(0, 200, 180, 0.12); color: %1;"
    " border-left: 2px solid %1; }"
    "QScrollBar:vertical { background: transparent; width: 6px; margin: 0px; }"
    "QScrollBar::handle:vertical { background: #333333; border-radius: 3px; min-height: 24px; }"
    "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0px; }"
    "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }")
                              .arg(kTeal, kSansFont);

QString formatLine(const QString &codec, int sampleRate, int bitDepth, int channels, bool bitPerfect)
{
    QStringList parts;
    if (!codec.isEmpty())
        parts << codec.toUpper();
    if (sampleRate > 0)
        parts << MusicView::sampleRateText(sampleRate);
    if (bitDepth >= 1)
        parts << QStringLiteral("%1bit").arg(bitDepth);
    // Counts beyond two say little in a line this short; the full view spells them out.
    if (channels == 1)
        parts << QStringLiteral("Mono");
    else if (channels == 2)
        parts << QStringLiteral("Stereo");
    if (bitPerfect)
        parts << QStringLiteral("BIT-PERFECT");
    return parts.join(QStringLiteral("  ·  "));
}

bool anyAudible(const QList<float> &levels)
{
    return std::any_of(levels.cbegin(), levels.cend(), [](float level) { return level > kSilent; });
}

QLabel *makeText(const QString &text, const QString &style, QWidget *parent)
{
    auto *label = new ElidedLabel(text, parent);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    label->setStyleSheet(style);
    return label;
}

QLabel *makeClock(QWidget *parent)
{
    auto *clock = new QLabel(QStringLiteral("0:00"), parent);
    clock->setFixedWidth(32);
    clock->setStyleSheet(clockStyle());
    return clock;
}

} // namespace

CompactPlayerWidget::CompactPlayerWidget(QWidget *parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("CompactPlayerWidget"));
    setWindowTitle(QStringLiteral("Velmoran"));
    setAttribute(Qt::WA_TranslucentBackground);
    // Hiding the panel is a mode change, not the end of the program; the host decides that.
    setAttribute(Qt::WA_QuitOnClose, false);
    setMinimumSize(300, 520);
    resize(340, 620);
    new WindowDragger(this);

    decayTimer_ = new QTimer(this);
    decayTimer_->setObjectName(QStringLiteral("spectrumDecayTimer"));
    decayTimer_->setInterval(kDecayInterval);
    connect(decayTimer_, &QTimer::timeout, this, &CompactPlayerWidget::onDecayTick);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(16, 12, 16, 10);
    column->setSpacing(0);

    // Pin on the left, away from close, so unpinning is never a slip away from closing. The
    // volume sits up here too: the transport row has no room for it, and the list needs the height.
    auto *top = new QHBoxLayout;
    top->setSpacing(6);
    pinButton_ = makeButton(QStringLiteral("📌"), QStringLiteral("항상 위에 고정"), 22, kPillStyle, this);
    pinButton_->setCheckable(true);
    pinButton_->setChecked(true);
    volumeIcon_ = new QLabel(QStringLiteral("🔊"), this);
    volumeIcon_->setFixedSize(18, 18);
    volumeIcon_->setAlignment(Qt::AlignCenter);
    volumeIcon_->setStyleSheet(QStringLiteral("QLabel { color: #888888; font-size: 12px; }"));
    volumeSlider_ = new QSlider(Qt::Horizontal, this);
    volumeSlider_->setRange(0, 100);
    volumeSlider_->setValue(100);
    volumeSlider_->setFixedWidth(72);
    volumeSlider_->setFocusPolicy(Qt::NoFocus);
    volumeSlider_->setToolTip(QStringLiteral("볼륨"));
    volumeSlider_->setStyleSheet(sliderStyle(10));
    auto *expand = makeButton(QStringLiteral("⊞"), QStringLiteral("전체 플레이어로 돌아가기"), 22, kPillStyle, this);
    auto *close = makeButton(QStringLiteral("✕"), QStringLiteral("닫기"), 22, kPillStyle, this);
    top->addWidget(pinButton_);
    top->addStretch(1);
    top->addWidget(volumeIcon_);
    top->addWidget(volumeSlider_);
    top->addStretch(1);
    top->addWidget(expand);
    top->addWidget(close);
    column->addLayout(top);
    column->addSpacing(10);

    coverLabel_ = new QLabel(QStringLiteral("♪"), this);
    coverLabel_->setFixedSize(kCoverSide, kCoverSide);
    coverLabel_->setAlignment(Qt::AlignCenter);
    coverLabel_->setStyleSheet(kCoverStyle);
    column->addWidget(coverLabel_, 0, Qt::AlignHCenter);
    column->addSpacing(12);

    titleLabel_ = makeText(QStringLiteral("트랙 제목"),
                           QStringLiteral("QLabel { color: #ffffff; font-size: 16px; font-weight: bold; font-family: %1; }")
                               .arg(kSansFont),
                           this);
    artistLabel_ = makeText(QStringLiteral("아티스트"),
                            QStringLiteral("QLabel { color: #999999; font-size: 12px; font-family: %1; }").arg(kSansFont),
                            this);
    formatLabel_ = makeText(QString(),
                            QStringLiteral("QLabel { color: %1; font-size: 10px; font-family: %2; }").arg(kTeal, kSansFont),
                            this);
    column->addWidget(titleLabel_);
    column->addSpacing(2);
    column->addWidget(artistLabel_);
    column->addSpacing(4);
    column->addWidget(formatLabel_);
    column->addSpacing(10);

    auto *seekRow = new QHBoxLayout;
    seekRow->setSpacing(6);
    positionLabel_ = makeClock(this);
    seekSlider_ = new MusicSeekBar(this);
    seekSlider_->setStyleSheet(sliderStyle(10));
    durationLabel_ = makeClock(this);
    durationLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    seekRow->addWidget(positionLabel_);
    seekRow->addWidget(seekSlider_, 1);
    seekRow->addWidget(durationLabel_);
    column->addLayout(seekRow);
    column->addSpacing(6);

    auto *transport = new QHBoxLayout;
    transport->setSpacing(8);
    shuffleButton_ = makeButton(QStringLiteral("⇌"), QStringLiteral("셔플"), 30, kToggleStyle, this);
    shuffleButton_->setCheckable(true);
    const QString transportLook = transportStyle(QLatin1StringView("#dddddd"), 18, 16);
    auto *prev = makeButton(QStringLiteral("⏮"), QStringLiteral("이전 트랙"), 36, transportLook, this);
    playButton_ = makeButton(QStringLiteral("▶"), QStringLiteral("재생/일시정지"), 48, playStyle(24, 20), this);
    auto *next = makeButton(QStringLiteral("⏭"), QStringLiteral("다음 트랙"), 36, transportLook, this);
    repeatButton_ = makeButton(QStringLiteral("↺"), QStringLiteral("반복 재생"), 30, kToggleStyle, this);
    repeatButton_->setCheckable(true);
    transport->addStretch(1);
    for (QPushButton *button : {shuffleButton_, prev, playButton_, next, repeatButton_})
        transport->addWidget(button);
    transport->addStretch(1);
    column->addLayout(transport);
    column->addSpacing(8);

    headingArea_ = new QWidget(this);
    headingArea_->setFixedHeight(26);
    column->addWidget(headingArea_);

    playlist_ = new QListWidget(this);
    playlist_->setStyleSheet(kListStyle);
    playlist_->setFrameShape(QFrame::NoFrame);
    playlist_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    playlist_->setTextElideMode(Qt::ElideRight);
    playlist_->setFocusPolicy(Qt::NoFocus);
    playlist_->setMinimumHeight(40);
    column->addWidget(playlist_, 1);
    column->addSpacing(6);

    spectrumArea_ = new QWidget(this);
    spectrumArea_->setFixedHeight(36);
    column->addWidget(spectrumArea_);

    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(expand, &QPushButton::clicked, this, &CompactPlayerWidget::expandRequested);
    connect(pinButton_, &QPushButton::toggled, this, &CompactPlayerWidget::onPinToggled);
    connect(shuffleButton_, &QPushButton::clicked, this, &CompactPlayerWidget::shuffleToggled);
    connect(prev, &QPushButton::clicked, this, &CompactPlayerWidget::prevRequested);
    connect(playButton_, &QPushButton::clicked, this, &CompactPlayerWidget::playPauseRequested);
    connect(next, &QPushButton::clicked, this, &CompactPlayerWidget::nextRequested);
    connect(repeatButton_, &QPushButton::clicked, this, &CompactPlayerWidget::repeatToggled);
    connect(volumeSlider_, &QSlider::valueChanged, this, [this](int volume) {
        volumeIcon_->setText(volume > 0 ? QStringLiteral("🔊") : QStringLiteral("🔇"));
        emit volumeChanged(volume);
    });
    connect(seekSlider_, &MusicSeekBar::seekRequested, this, &CompactPlayerWidget::seekRequested);
    connect(playlist_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *item) { emit trackSelected(playlist_->row(item)); });
}

// ----- Track and state -----

void CompactPlayerWidget::setTrack(const QString &title, const QString &artist, const QString &album,
                                   const QPixmap &cover, const QString &codec, int sampleRate, int bitDepth,
                                   int channels, bool bitPerfect)
{
    titleLabel_->setText(title.isEmpty() ? QStringLiteral("알 수 없는 트랙") : title);
    QString byline = artist.isEmpty() ? QStringLiteral("알 수 없는 아티스트") : artist;
    if (!album.isEmpty())
        byline += QStringLiteral("  ·  ") + album;
    artistLabel_->setText(byline);
    formatLabel_->setText(formatLine(codec, sampleRate, bitDepth, channels, bitPerfect));
    showCover(coverLabel_, cover, kCoverSide, kCoverRadius);
}

void CompactPlayerWidget::setTrack(const TrackInfo &track, bool bitPerfect)
{
    setTrack(track.title, track.artist, track.album, track.cover, track.codec, track.sampleRate, track.bitDepth,
             track.channels, bitPerfect);
}

void CompactPlayerWidget::setPlaying(bool playing)
{
    playButton_->setText(playing ? QStringLiteral("⏸") : QStringLiteral("▶"));
}

void CompactPlayerWidget::updatePosition(double position, double duration)
{
    seekSlider_->setPosition(position, duration);
    positionLabel_->setText(clockText(position));
    durationLabel_->setText(clockText(duration));
}

void CompactPlayerWidget::setPlaylist(const QStringList &names, int current)
{
    const QSignalBlocker blocker(playlist_);
    playlist_->clear();
    playlist_->addItems(names);
    if (current >= 0 && current < playlist_->count()) {
        playlist_->setCurrentRow(current);
        playlist_->scrollToItem(playlist_->item(current), QAbstractItemView::PositionAtCenter);
    }
    update(headingArea_->geometry());
}

void CompactPlayerWidget::setVolume(int volume)
{
    const QSignalBlocker blocker(volumeSlider_);
    volumeSlider_->setValue(volume);
    volumeIcon_->setText(volumeSlider_->value() > 0 ? QStringLiteral("🔊") : QStringLiteral("🔇"));
}

void CompactPlayerWidget::setShuffle(bool on)
{
    shuffleButton_->setChecked(on);
}

void CompactPlayerWidget::setRepeat(bool on)
{
    repeatButton_->setChecked(on);
}

void CompactPlayerWidget::onPinToggled(bool onTop)
{
    // Changing a window flag re-creates the native window hidden; a shown panel must come back.
    const bool wasVisible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    if (wasVisible)
        show();
    emit alwaysOnTopToggled(onTop);
}

QString CompactPlayerWidget::titleText() const { return titleLabel_->text(); }
QString CompactPlayerWidget::artistText() const { return artistLabel_->text(); }
QString CompactPlayerWidget::formatText() const { return formatLabel_->text(); }
QString CompactPlayerWidget::timeText() const { return positionLabel_->text(); }
QString CompactPlayerWidget::durationText() const { return durationLabel_->text(); }
int CompactPlayerWidget::seekValue() const { return seekSlider_->value(); }
int CompactPlayerWidget::volume() const { return volumeSlider_->value(); }
int CompactPlayerWidget::playlistCount() const { return playlist_->count(); }
int CompactPlayerWidget::currentRow() const { return playlist_->currentRow(); }

QStringList CompactPlayerWidget::tracks() const
{
    QStringList texts;
    for (int row = 0; row < playlist_->count(); ++row)
        texts << playlist_->item(row)->text();
    return texts;
}
bool CompactPlayerWidget::isPinned() const { return pinButton_->isChecked(); }

QString CompactPlayerWidget::playlistHeadingText() const
{
    return QStringLiteral("%1 tracks").arg(playlist_->count());
}

// ----- Spectrum -----

void CompactPlayerWidget::setSpectrum(const QList<float> &levels)
{
    levels_ = levels;
    if (anyAudible(levels_) && isVisible() && !decayTimer_->isActive())
        decayTimer_->start();
    update(spectrumArea_->geometry());
}

void CompactPlayerWidget::onDecayTick()
{
    bool changed = false;
    for (float &level : levels_) {
        if (level > kSilent) {
            level *= kDecay;
            changed = true;
        }
    }
    if (changed)
        update(spectrumArea_->geometry());
    else
        decayTimer_->stop();
}

void CompactPlayerWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A playlist given while hidden was scrolled against a list not laid out yet.
    if (QListWidgetItem *current = playlist_->currentItem())
        playlist_->scrollToItem(current, QAbstractItemView::PositionAtCenter);
    // The decay runs only while shown: falling bars nobody sees would still wake the program
    // 25 times a second.
    if (anyAudible(levels_))
        decayTimer_->start();
}

void CompactPlayerWidget::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    decayTimer_->stop();
}

// ----- Painting -----

void CompactPlayerWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paintBody(painter, rect(), kBodyRadius, 245);
    paintHeading(painter);
    paintSpectrum(painter);
}

void CompactPlayerWidget::paintHeading(QPainter &painter)
{
    const QRect area = headingArea_->geometry();
    painter.save();
    QFont font = this->font();
    font.setPixelSize(11);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 2.0);
    painter.setFont(font);
    painter.setPen(QColor(0xdd, 0xdd, 0xdd));
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("PLAYLIST"));
    font.setBold(false);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.0);
    font.setPixelSize(10);
    painter.setFont(font);
    painter.setPen(QColor(0x77, 0x77, 0x77));
    painter.drawText(area, Qt::AlignRight | Qt::AlignVCenter, playlistHeadingText());
    painter.setPen(QPen(QColor(40, 40, 40), 1.0));
    painter.drawLine(QPointF(area.left(), area.bottom() + 0.5), QPointF(area.right() + 1, area.bottom() + 0.5));
    painter.restore();
}

void CompactPlayerWidget::paintSpectrum(QPainter &painter)
{
    const QRectF area(spectrumArea_->geometry());
    const qsizetype count = levels_.size();
    if (count == 0 || area.width() < 1 || area.height() < 1)
        return;
    const double slot = area.width() / double(count);
    // A gap only while the bars are wide enough to keep one; 200 bins in 300 px just touch.
    const double gap = slot >= 4 ? 1.0 : 0.0;
    painter.save();
    painter.setPen(Qt::NoPen);
    for (qsizetype i = 0; i < count; ++i) {
        const double level = std::clamp(double(levels_[i]), 0.0, 1.0);
        if (level <= kSilent)
            continue;
        const double height = level * area.height();
        QColor bar = kTealColour;
        bar.setAlphaF(0.35 + 0.65 * level);
        painter.setBrush(bar);
        painter.drawRect(QRectF(area.left() + i * slot, area.bottom() + 1 - height, std::max(slot - gap, 0.5), height));
    }
    painter.restore();
}

// ----- Window -----

void CompactPlayerWidget::closeEvent(QCloseEvent *event)
{
    // Destroying the panel here could leave the program running with no window at all; it hides
    // and lets the host bring the main window back.
    event->ignore();
    hide();
    emit closeRequested();
}
