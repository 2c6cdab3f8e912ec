#include "ui/controls/MediaInfoOverlay.h"

#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "engine/AudioFormat.h"
#include "engine/MpvCore.h"
#include "ui/controls/MediaText.h"

#include <QEasingCurve>
#include <QHBoxLayout>
#include <QLabel>
#include <QPropertyAnimation>
#include <QScrollArea>
#include <QSettings>
#include <QVBoxLayout>

namespace {

// The panel family's colours (the music accent is the panel's accent too).
const QString kPanelBackground = QStringLiteral("#0d0d1a");
const QString kAccent = QStringLiteral("#00c8b4");
const QString kDim = QStringLiteral("#8888a8");
const QString kBright = QStringLiteral("#eeeef8");
const QString kBlue = QStringLiteral("#4F8EF7");

const QString kDash = QStringLiteral("—");
const QString kKoreanFont = QStringLiteral("font-family: 'Malgun Gothic', 'Segoe UI', 'Noto Sans CJK KR', sans-serif;");

void setValue(QLabel *label, const QString &text, const QString &colour)
{
    label->setText(text);
    label->setStyleSheet(QStringLiteral("color:%1;font-size:11px;font-weight:600;background:transparent;").arg(colour));
}

} // namespace

MediaInfoOverlay::MediaInfoOverlay(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("MediaInfoOverlay"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral(
        "#MediaInfoOverlay { background: %1; border-right: 1px solid #1c1c33; }"
        "QScrollArea, #infoColumn { background: transparent; border: none; }"
        "QScrollBar:vertical { width: 4px; background: transparent; margin: 0px; }"
        "QScrollBar::handle:vertical { background: #2c2c4a; border-radius: 2px; min-height: 24px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0px; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }")
                      .arg(kPanelBackground));
    resize(kWidth, parent ? parent->height() : 400);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    outer->addWidget(scroll);

    auto *column = new QWidget;
    column->setObjectName(QStringLiteral("infoColumn"));
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(8, 10, 8, 10);
    layout->setSpacing(10);
    layout->addWidget(buildSectionList());
    layout->addWidget(buildCard(QStringLiteral("현재 오디오"),
                                {QStringLiteral("원본"), QStringLiteral("출력"), QStringLiteral("WASAPI"),
                                 QStringLiteral("비트퍼펙트")},
                                audio_));
    layout->addWidget(buildCard(QStringLiteral("현재 영상"),
                                {QStringLiteral("원본"), QStringLiteral("출력"), QStringLiteral("색공간"),
                                 QStringLiteral("HDR"), QStringLiteral("화면")},
                                video_));
    layout->addStretch();
    scroll->setWidget(column);

    slide_ = new QPropertyAnimation(this, "geometry", this);
    slide_->setDuration(kSlideMs);
    slide_->setEasingCurve(QEasingCurve::InOutQuad);

    hide();
}

QWidget *MediaInfoOverlay::buildSectionList()
{
    auto *list = new QWidget;
    list->setStyleSheet(QStringLiteral("background: transparent;"));
    auto *layout = new QVBoxLayout(list);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    const QStringList sections{QStringLiteral("재생목록"), QStringLiteral("오디오"), QStringLiteral("화질"),
                               QStringLiteral("자막"), QStringLiteral("전문 기능")};
    for (const QString &name : sections) {
        auto *item = new QLabel(name, list);
        const bool current = item->text() == sections.first();
        item->setStyleSheet(
            QStringLiteral("QLabel { color: %1; background: %2; border-radius: 5px; padding: 5px 10px;"
                           " font-size: 12px; font-weight: %3; %4 }")
                .arg(current ? kAccent : kDim, current ? QStringLiteral("rgba(0,200,180,0.13)") : QStringLiteral("transparent"),
                     current ? QStringLiteral("700") : QStringLiteral("400"), kKoreanFont));
        layout->addWidget(item);
    }
    return list;
}

QWidget *MediaInfoOverlay::buildCard(const QString &caption, const QStringList &rowCaptions, Card &card)
{
    auto *frame = new QWidget;
    frame->setObjectName(QStringLiteral("infoCard"));
    frame->setAttribute(Qt::WA_StyledBackground);
    frame->setStyleSheet(QStringLiteral("#infoCard { background: #14142a; border: 1px solid #20203c; border-radius: 8px; }"
                                        "QLabel { background: transparent; %1 }")
                             .arg(kKoreanFont));
    auto *layout = new QVBoxLayout(frame);
    layout->setContentsMargins(10, 8, 10, 10);
    layout->setSpacing(5);

    auto *title = new QLabel(caption, frame);
    title->setStyleSheet(QStringLiteral("color: %1; font-size: 10px; font-weight: 600;").arg(kDim));
    layout->addWidget(title);

    card.badge = new QLabel(kDash, frame);
    card.badge->setFixedHeight(24);
    card.badge->setAlignment(Qt::AlignCenter);
    card.badge->setStyleSheet(QStringLiteral("QLabel { color: %1; background: rgba(0,200,180,0.12);"
                                             " border: 1px solid rgba(0,200,180,0.35); border-radius: 4px;"
                                             " padding: 0px 8px; font-size: 13px; font-weight: 700; }")
                                  .arg(kAccent));
    // Codec names from the file can be long; they must not widen the column.
    card.badge->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    card.badge->setMinimumWidth(0);
    auto *badgeRow = new QHBoxLayout;
    badgeRow->setContentsMargins(0, 0, 0, 2);
    badgeRow->addWidget(card.badge);
    badgeRow->addStretch();
    layout->addLayout(badgeRow);

    QLabel **values[] = {&card.source, &card.output, &card.third, &card.fourth, &card.fifth};
    for (qsizetype i = 0; i < rowCaptions.size(); ++i) {
        auto *row = new QHBoxLayout;
        row->setSpacing(6);
        auto *name = new QLabel(rowCaptions.at(i), frame);
        name->setStyleSheet(QStringLiteral("color: %1; font-size: 11px;").arg(kDim));
        auto *value = new QLabel(frame);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        setValue(value, kDash, kDim);
        row->addWidget(name);
        row->addWidget(value, 1);
        layout->addLayout(row);
        *values[i] = value;
    }
    return frame;
}

void MediaInfoOverlay::connectToCore(MpvCore *core)
{
    if (core_)
        disconnect(core_, nullptr, this, nullptr);
    core_ = core;
    if (!core)
        return;
    connect(core, &MpvCore::audioFormatChanged, this, &MediaInfoOverlay::updateAudioInfo);
    connect(core, &MpvCore::videoInfoChanged, this, &MediaInfoOverlay::updateVideoInfo);
    connect(core, &MpvCore::fileLoaded, this, &MediaInfoOverlay::onFileLoaded);
    setValue(video_.fifth, videoSurfaceName(core->videoSurface()), kBright);
}

void MediaInfoOverlay::updateAudioInfo(const QString &codec, int channels, int, const QString &output)
{
    audio_.badge->setText(MediaText::panelAudioCodecName(codec));

    const QString layout = MediaText::panelChannelText(channels);
    QString source = codec.toUpper();
    if (!layout.isEmpty())
        source += (source.isEmpty() ? QString() : QStringLiteral(" ")) + layout;
    setValue(audio_.source, source.isEmpty() ? kDash : source, kBright);

    const bool passthrough = MediaText::isPassthrough(codec, output);
    if (passthrough)
        setValue(audio_.output, QStringLiteral("패스스루"), kAccent);
    else
        setValue(audio_.output, QStringLiteral("PCM 디코딩"), kBright);

    const QSettings settings(QLatin1StringView(AppIdentity::kOrganisation),
                             QLatin1StringView(AppIdentity::kSettingsApplication));
    if (readSetting(settings, SettingsKeys::audioExclusive))
        setValue(audio_.third, QStringLiteral("독점"), kAccent);
    else
        setValue(audio_.third, QStringLiteral("공유"), kDim);

    if (MediaText::isBitPerfect(codec, output))
        setValue(audio_.fourth, QStringLiteral("✓"), kAccent);
    else
        setValue(audio_.fourth, kDash, kDim);
}

QString MediaInfoOverlay::readString(const char *name) const
{
    return core_ ? core_->getMpvProperty(QString::fromLatin1(name)).toString() : QString();
}

void MediaInfoOverlay::updateVideoInfo(int width, int height, double, const QString &codec)
{
    video_.badge->setText(MediaText::panelVideoCodecName(codec));

    QString colourSpace = kDash;
    QString hdr = QStringLiteral("SDR");
    QString decoder = MediaText::decoderName(QString());
    if (core_) {
        colourSpace = MediaText::colourSpaceName(readString("video-params/primaries"));
        hdr = MediaText::hdrName(readString("video-params/gamma"));
        decoder = MediaText::decoderName(readString("hwdec-current"));
    }

    QString source = MediaText::resolutionClass(width, height);
    if (hdr != QLatin1String("SDR") && hdr != kDash)
        source += QStringLiteral(" ") + hdr.section(QLatin1Char(' '), 0, 0);
    setValue(video_.source, source.trimmed().isEmpty() ? kDash : source.trimmed(), kBright);

    const bool software = decoder == MediaText::decoderName(QString());
    setValue(video_.output, decoder, software ? kDim : kBlue);
    setValue(video_.third, colourSpace, colourSpace == kDash ? kDim : kBright);
    const bool plain = hdr == QLatin1String("SDR") || hdr == kDash;
    setValue(video_.fourth, hdr, plain ? kDim : kBlue);
}

void MediaInfoOverlay::onFileLoaded(const QString &)
{
    if (!core_)
        return;
    bool widthOk = false;
    bool heightOk = false;
    const int width = core_->getMpvProperty(QStringLiteral("video-params/w")).toInt(&widthOk);
    const int height = core_->getMpvProperty(QStringLiteral("video-params/h")).toInt(&heightOk);
    if (widthOk && heightOk) {
        const double fps = core_->getMpvProperty(QStringLiteral("container-fps")).toDouble();
        updateVideoInfo(width, height, fps, readString("video-codec"));
    }

    const QVariant codec = core_->getMpvProperty(QStringLiteral("audio-codec-name"));
    if (!codec.isValid())
        return;
    // The engine may describe the channels as a count or as a layout name ("5.1(side)").
    const QVariant channelValue = core_->getMpvProperty(QStringLiteral("audio-channels"));
    bool numeric = false;
    int channels = channelValue.toInt(&numeric);
    if (!numeric)
        channels = channelCountFromText(channelValue.toString());
    const int sampleRate = core_->getMpvProperty(QStringLiteral("audio-samplerate")).toInt();
    updateAudioInfo(codec.toString(), channels, sampleRate, readString("audio-out-params/format"));
}

void MediaInfoOverlay::toggle()
{
    if (!parentWidget())
        return;
    const int height = parentWidget()->height();
    const QRect shown(0, 0, kWidth, height);
    const QRect away(-kWidth, 0, kWidth, height);

    if (!isHidden() && !slidingOut_) {
        slideTo(shown, away, true);
        return;
    }
    if (isHidden()) {
        setGeometry(away);
        show();
        raise();
        slideTo(away, shown, false);
        return;
    }
    // Toggled again on its way out: turn back from where it is instead of jumping.
    raise();
    slideTo(geometry(), shown, false);
}

void MediaInfoOverlay::slideTo(const QRect &from, const QRect &to, bool hideAtEnd)
{
    slide_->stop();
    disconnect(slideFinished_);
    slidingOut_ = hideAtEnd;
    slide_->setStartValue(from);
    slide_->setEndValue(to);
    if (hideAtEnd) {
        slideFinished_ = connect(slide_, &QPropertyAnimation::finished, this, [this] {
            disconnect(slideFinished_);
            slidingOut_ = false;
            hide();
        });
    }
    slide_->start();
}
