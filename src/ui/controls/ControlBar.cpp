#include "ui/controls/ControlBar.h"

#include "engine/MpvCore.h"
#include "ui/controls/ClickSeekSlider.h"
#include "ui/controls/MediaText.h"
#include "ui/controls/SeekPreviewManager.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kSeekRange = 10000;
constexpr int kMarkerWidth = 2;
// Half the seek handle: the first and last handle centres sit this far inside the slider.
constexpr int kHandleInset = 6;

const QString kChapterMarkerName = QStringLiteral("chapterMarker");

const QString kBarStyle = QStringLiteral("#ControlBar { background: #0d0d0d; }");

const QString kIconButtonStyle = QStringLiteral(
    "QPushButton { background: transparent; border: none; border-radius: 4px; }"
    "QPushButton:hover { background: #252525; }"
    "QPushButton:pressed { background: #1565c0; }");

const QString kModeButtonStyle = QStringLiteral(
    "QPushButton { background: #1a1a1a; color: #8a8a8a; border: 1px solid #262626; border-radius: 4px;"
    " padding: 0px 10px; font-family: 'Malgun Gothic', 'Segoe UI', 'Noto Sans CJK KR', sans-serif;"
    " font-size: 11px; }"
    "QPushButton:hover { background: #232323; color: #d0d0d0; }"
    "QPushButton[active=\"true\"] { background: #1565c0; color: #ffffff; border-color: #1565c0; }");

// The handle outgrows the 4-px groove through negative margins; the slider keeps room for the
// 16-px hover size so it is never clipped.
const QString kSeekSliderStyle = QStringLiteral(
    "QSlider { background: transparent; min-height: 18px; }"
    "QSlider::groove:horizontal { height: 4px; background: #2c2c2c; border-radius: 2px; }"
    "QSlider::sub-page:horizontal { background: #1565c0; border-radius: 2px; }"
    "QSlider::add-page:horizontal { background: #2c2c2c; border-radius: 2px; }"
    "QSlider::handle:horizontal { background: #4fc3f7; width: 12px; height: 12px; margin: -4px 0px;"
    " border-radius: 6px; }"
    "QSlider::handle:horizontal:hover { width: 16px; height: 16px; margin: -6px 0px; border-radius: 8px; }");

const QString kVolumeSliderStyle = QStringLiteral(
    "QSlider { background: transparent; }"
    "QSlider::groove:horizontal { height: 3px; background: #2c2c2c; border-radius: 1px; }"
    "QSlider::sub-page:horizontal { background: #6a6a6a; border-radius: 1px; }"
    "QSlider::handle:horizontal { background: #a0a0a0; width: 10px; height: 10px; margin: -4px 0px;"
    " border-radius: 5px; }"
    "QSlider::handle:horizontal:hover { background: #d0d0d0; }");

const QString kReadoutFont = QStringLiteral("font-family: Consolas, 'DejaVu Sans Mono', monospace;");

const QString kMarkerStyle = QStringLiteral("background: rgba(255,255,255,0.35); border-radius: 1px;");

} // namespace

ControlBar::ControlBar(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ControlBar"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(kBarStyle);
    setFixedHeight(62);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(8, 5, 8, 4);
    column->setSpacing(2);
    buildTopRow(column);
    buildBottomRow(column);
}

void ControlBar::buildTopRow(QLayout *into)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(6);

    seekSlider_ = new ClickSeekSlider(Qt::Horizontal, this);
    seekSlider_->setRange(0, kSeekRange);
    seekSlider_->setValue(0);
    seekSlider_->setFocusPolicy(Qt::NoFocus);
    seekSlider_->setStyleSheet(kSeekSliderStyle);
    seekSlider_->installEventFilter(this);
    // Moves without a button held reach the filter too: the preview follows the pointer.
    seekSlider_->setMouseTracking(true);
    seekPreview_ = new SeekPreviewManager(seekSlider_);
    connect(seekSlider_, &QSlider::sliderPressed, this, &ControlBar::onSeekPressed);
    connect(seekSlider_, &QSlider::sliderMoved, this, &ControlBar::onSeekMoved);
    connect(seekSlider_, &QSlider::sliderReleased, this, &ControlBar::onSeekReleased);
    row->addWidget(seekSlider_, 1);

    timeLabel_ = new QLabel(QStringLiteral("00:00 / 00:00"), this);
    timeLabel_->setObjectName(QStringLiteral("timeLabel"));
    timeLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    timeLabel_->setMinimumWidth(110);
    timeLabel_->setFocusPolicy(Qt::NoFocus);
    timeLabel_->setStyleSheet(QStringLiteral("QLabel { color: #a8a8a8; background: transparent; font-size: 12px; %1 }")
                                  .arg(kReadoutFont));
    row->addWidget(timeLabel_);

    static_cast<QVBoxLayout *>(into)->addLayout(row);
}

void ControlBar::buildBottomRow(QLayout *into)
{
    bottomRow_ = new QHBoxLayout;
    bottomRow_->setSpacing(2);

    QPushButton *open = makeIconButton(QStringLiteral(":/icons/open.svg"), QStringLiteral("파일 열기 (Ctrl+O)"), 30);
    QPushButton *prev = makeIconButton(QStringLiteral(":/icons/prev.svg"), QStringLiteral("이전"), 30);
    playPauseButton_ = makeIconButton(QStringLiteral(":/icons/play.svg"), QStringLiteral("재생/일시정지 (Space)"), 36);
    QPushButton *next = makeIconButton(QStringLiteral(":/icons/next.svg"), QStringLiteral("다음"), 30);
    QPushButton *stop = makeIconButton(QStringLiteral(":/icons/stop.svg"), QStringLiteral("정지"), 30);
    muteButton_ = makeIconButton(QStringLiteral(":/icons/volume.svg"), QStringLiteral("음소거 (M)"), 30);
    QPushButton *settings = makeIconButton(QStringLiteral(":/icons/settings.svg"), QStringLiteral("설정"), 30);

    connect(open, &QPushButton::clicked, this, &ControlBar::openFileClicked);
    connect(prev, &QPushButton::clicked, this, &ControlBar::prevClicked);
    connect(playPauseButton_, &QPushButton::clicked, this, &ControlBar::playPauseClicked);
    connect(next, &QPushButton::clicked, this, &ControlBar::nextClicked);
    connect(stop, &QPushButton::clicked, this, &ControlBar::stopClicked);
    connect(muteButton_, &QPushButton::clicked, this, &ControlBar::onMuteClicked);
    connect(settings, &QPushButton::clicked, this, &ControlBar::settingsClicked);

    volumeSlider_ = new QSlider(Qt::Horizontal, this);
    volumeSlider_->setRange(0, 200);
    volumeSlider_->setValue(100);
    volumeSlider_->setFixedWidth(80);
    volumeSlider_->setFocusPolicy(Qt::NoFocus);
    volumeSlider_->setStyleSheet(kVolumeSliderStyle);
    connect(volumeSlider_, &QSlider::valueChanged, this, &ControlBar::onVolMoved);

    volumeLabel_ = new QLabel(QStringLiteral("100%"), this);
    volumeLabel_->setObjectName(QStringLiteral("volumeLabel"));
    volumeLabel_->setMinimumWidth(34);
    volumeLabel_->setFocusPolicy(Qt::NoFocus);
    volumeLabel_->setStyleSheet(
        QStringLiteral("QLabel { color: #8a8a8a; background: transparent; font-size: 11px; %1 }").arg(kReadoutFont));

    formatLabel_ = new QLabel(this);
    formatLabel_->setObjectName(QStringLiteral("formatLabel"));
    formatLabel_->setTextFormat(Qt::RichText);
    formatLabel_->setFocusPolicy(Qt::NoFocus);
    // In a narrow window the read-out gives way (clipped) rather than widening the window.
    formatLabel_->setMinimumWidth(1);
    formatLabel_->setStyleSheet(
        // Right padding keeps the read-out clear of a widget inserted after it.
        QStringLiteral("QLabel { background: transparent; font-size: 11px; padding-right: 10px; %1 }").arg(kReadoutFont));

    playerModeButton_ = makeModeButton(QStringLiteral("▶  파일"), QStringLiteral("파일 플레이어 모드"));
    playerModeButton_->setProperty("active", true);
    ottModeButton_ = makeModeButton(QStringLiteral("🌐  OTT"), QStringLiteral("OTT 스트리밍 (Netflix · Disney+ · YouTube)"));
    ottModeButton_->setProperty("active", false);
    connect(playerModeButton_, &QPushButton::clicked, this, &ControlBar::playerModeClicked);
    connect(ottModeButton_, &QPushButton::clicked, this, &ControlBar::ottModeClicked);

    bottomRow_->addWidget(open);
    bottomRow_->addSpacing(4);
    bottomRow_->addWidget(prev);
    bottomRow_->addWidget(playPauseButton_);
    bottomRow_->addWidget(next);
    bottomRow_->addWidget(stop);
    bottomRow_->addSpacing(8);
    bottomRow_->addWidget(muteButton_);
    bottomRow_->addWidget(volumeSlider_);
    bottomRow_->addWidget(volumeLabel_);
    bottomRow_->addSpacing(4);
    bottomRow_->addWidget(formatLabel_);
    bottomRow_->addStretch();
    bottomRow_->addStretch();
    bottomRow_->addWidget(playerModeButton_);
    bottomRow_->addSpacing(2);
    bottomRow_->addWidget(ottModeButton_);
    bottomRow_->addSpacing(6);
    bottomRow_->addWidget(settings);

    static_cast<QVBoxLayout *>(into)->addLayout(bottomRow_);
}

QPushButton *ControlBar::makeIconButton(const QString &iconPath, const QString &toolTip, int width)
{
    auto *button = new QPushButton(this);
    button->setFlat(true);
    button->setIcon(QIcon(iconPath));
    button->setToolTip(toolTip);
    button->setFixedSize(width, 30);
    button->setFocusPolicy(Qt::NoFocus);
    const int iconSide = width == 36 ? 20 : 16;
    button->setIconSize(QSize(iconSide, iconSide));
    button->setStyleSheet(kIconButtonStyle);
    return button;
}

QPushButton *ControlBar::makeModeButton(const QString &text, const QString &toolTip)
{
    auto *button = new QPushButton(text, this);
    button->setToolTip(toolTip);
    button->setFixedHeight(22);
    button->setFocusPolicy(Qt::NoFocus);
    button->setStyleSheet(kModeButtonStyle);
    return button;
}

void ControlBar::setPlaying(bool playing)
{
    playPauseButton_->setIcon(QIcon(playing ? QStringLiteral(":/icons/pause.svg") : QStringLiteral(":/icons/play.svg")));
}

void ControlBar::setDuration(double seconds)
{
    duration = seconds;
}

void ControlBar::updatePosition(double position, double duration)
{
    if (!seeking && duration > 0) {
        // Clamped before the conversion: a position past the end or NaN must not overflow the int.
        const double fraction = std::clamp(position / duration, 0.0, 1.0);
        seekSlider_->setValue(int(std::isnan(fraction) ? 0.0 : fraction * double(kSeekRange)));
    }
    timeLabel_->setText(MediaText::formatTime(position) + QStringLiteral(" / ") + MediaText::formatTime(duration));
}

void ControlBar::setVolume(int volume)
{
    {
        const QSignalBlocker blocker(volumeSlider_);
        volumeSlider_->setValue(volume);
    }
    // The label shows what the slider holds, so an out-of-range volume reads as its bound.
    volumeLabel_->setText(QStringLiteral("%1%").arg(volumeSlider_->value()));
}

double ControlBar::secondsAt(int value) const
{
    // Without a known length there is nowhere to go but the start.
    if (duration <= 0)
        return 0.0;
    return value / double(kSeekRange) * duration;
}

void ControlBar::onSeekPressed()
{
    seeking = true;
    emit seeked(secondsAt(seekSlider_->value()));
}

void ControlBar::onSeekMoved(int value)
{
    if (duration <= 0)
        return;
    timeLabel_->setText(MediaText::formatTime(secondsAt(value)) + QStringLiteral(" / ")
                        + MediaText::formatTime(duration));
}

void ControlBar::onSeekReleased()
{
    seeking = false;
    emit seeked(secondsAt(seekSlider_->value()));
}

void ControlBar::onVolMoved(int value)
{
    volumeLabel_->setText(QStringLiteral("%1%").arg(value));
    emit volumeChanged(value);
}

void ControlBar::onMuteClicked()
{
    muted = !muted;
    muteButton_->setIcon(QIcon(muted ? QStringLiteral(":/icons/mute.svg") : QStringLiteral(":/icons/volume.svg")));
    emit muteToggled(muted);
}

void ControlBar::onAudioFormatChanged(const QString &codec, int channels, int sampleRate, const QString &output)
{
    // The engine reports an empty format before any file and between files: nothing to show.
    if (codec.isEmpty())
        formatLabel_->clear();
    else
        formatLabel_->setText(MediaText::audioFormatReadout(codec, channels, sampleRate, output));
}

void ControlBar::onVideoInfoChanged(int width, int height)
{
    seekPreview_->setVideoSize(width, height);
}

void ControlBar::onFileLoaded(const QString &path)
{
    seekPreview_->setFile(path);
}

void ControlBar::onPlaybackStopped()
{
    formatLabel_->clear();
    seekPreview_->setFile(QString());
}

void ControlBar::setChapters(const QList<ChapterInfo> &chapters, double duration)
{
    chapters_ = chapters;
    chapterDuration_ = duration;
    // Markers of the previous file must not survive on a file without chapters.
    const QList<QWidget *> old = seekSlider_->findChildren<QWidget *>(kChapterMarkerName, Qt::FindDirectChildrenOnly);
    for (QWidget *marker : old) {
        marker->setObjectName(QString());
        marker->hide();
        marker->deleteLater();
    }
    if (chapters_.isEmpty() || chapterDuration_ <= 0)
        return;

    for (const ChapterInfo &chapter : std::as_const(chapters_)) {
        const double ratio = chapter.time / chapterDuration_;
        if (!(ratio > 0.0 && ratio < 1.0))
            continue;
        auto *marker = new QWidget(seekSlider_);
        marker->setObjectName(kChapterMarkerName);
        marker->setAttribute(Qt::WA_StyledBackground);
        marker->setStyleSheet(kMarkerStyle);
        marker->setToolTip(MediaText::plainToolTip(chapter.title));
        marker->setAttribute(Qt::WA_TransparentForMouseEvents);
        marker->setProperty("chapterRatio", ratio);
        marker->show();
    }
    placeChapterMarkers();
}

void ControlBar::placeChapterMarkers()
{
    const int height = seekSlider_->height() > 0 ? seekSlider_->height() : 16;
    const int span = seekSlider_->width() - 2 * kHandleInset;
    const QList<QWidget *> markers =
        seekSlider_->findChildren<QWidget *>(kChapterMarkerName, Qt::FindDirectChildrenOnly);
    for (QWidget *marker : markers) {
        const double ratio = marker->property("chapterRatio").toDouble();
        marker->setFixedSize(kMarkerWidth, height);
        marker->move(int(span * ratio + double(kHandleInset)) - 1, 0);
    }
}

bool ControlBar::eventFilter(QObject *watched, QEvent *event)
{
    // Markers follow the slider when the window is resized or goes full screen.
    if (watched != seekSlider_)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Resize:
        placeChapterMarkers();
        break;
    case QEvent::MouseMove:
        previewAt(static_cast<QMouseEvent *>(event)->position().toPoint());
        break;
    case QEvent::Leave:
    case QEvent::Hide:
        seekPreview_->leave();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void ControlBar::previewAt(const QPoint &sliderPoint)
{
    // Nothing to show before a file has a length.
    if (duration <= 0) {
        seekPreview_->leave();
        return;
    }
    const double seconds = secondsAt(seekSlider_->positionToValue(sliderPoint));
    seekPreview_->hoverAt(seconds, chapterTitleAt(chapters_, seconds), sliderPoint.x());
}

void ControlBar::insertCenterWidget(QWidget *widget)
{
    if (!widget)
        return;
    widget->setParent(this);
    bottomRow_->insertWidget(std::max(bottomRow_->count() - 6, 0), widget, 2);
}

void ControlBar::connectToCore(MpvCore *core)
{
    if (!core)
        return;
    connect(core, &MpvCore::audioFormatChanged, this, &ControlBar::onAudioFormatChanged);
    connect(core, &MpvCore::videoInfoChanged, this, &ControlBar::onVideoInfoChanged);
    connect(core, &MpvCore::playbackStopped, this, &ControlBar::onPlaybackStopped);
    connect(core, &MpvCore::fileLoaded, this, &ControlBar::onFileLoaded);
}

QString ControlBar::timeText() const
{
    return timeLabel_->text();
}

QString ControlBar::volumeText() const
{
    return volumeLabel_->text();
}

QString ControlBar::formatText() const
{
    return formatLabel_->text();
}
