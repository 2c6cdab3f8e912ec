#include "ui/controls/TrackSelector.h"

#include "engine/MpvCore.h"
#include "ui/controls/MediaText.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>

#include <algorithm>

namespace {
constexpr int kAudioMinWidth = 180;
constexpr int kSubtitleMinWidth = 140;
// Long track titles must not push the rest of the control bar aside; the open list and the
// tooltip still show them whole.
constexpr int kAudioMaxWidth = 340;
constexpr int kSubtitleMaxWidth = 280;

// The last family is the usual Korean face of Linux desktops, where the first two are missing.
#define VELMORAN_TRACK_FONTS "font-family: 'Malgun Gothic', 'Segoe UI', 'Noto Sans CJK KR';"
const char *const kCaptionStyle =
    "QLabel { color: #8a8a8a; font-size: 11px; background: transparent; " VELMORAN_TRACK_FONTS " }";
const char *const kListStyle =
    "QComboBox { background: #1e1e1e; color: #dcdcdc; border: 1px solid #333333; border-radius: 4px;"
    "  padding: 2px 6px 2px 8px; font-size: 12px; min-height: 20px; " VELMORAN_TRACK_FONTS " }"
    "QComboBox:hover { border-color: #4fc3f7; }"
    "QComboBox:on { border-color: #4fc3f7; }"
    "QComboBox:disabled { color: #666666; }"
    "QComboBox QAbstractItemView { background: #1a1a1a; color: #dcdcdc; border: 1px solid #333333;"
    "  selection-background-color: #1a3a5c; selection-color: #ffffff; outline: none; padding: 2px; }";
#undef VELMORAN_TRACK_FONTS

QString languageOf(const QVariantMap &track)
{
    const QString lang = track.value(QStringLiteral("lang")).toString();
    return lang.isEmpty() ? QStringLiteral("und") : lang;
}

QString withTitle(QString text, const QVariantMap &track)
{
    const QString title = track.value(QStringLiteral("title")).toString();
    if (!title.isEmpty())
        text += QStringLiteral(" - ") + title;
    return text;
}

QString audioText(int id, const QVariantMap &track)
{
    const QString codec = track.value(QStringLiteral("codec")).toString().toUpper();
    const QVariant channels = track.value(QStringLiteral("demux-channel-count"));
    // A container that does not declare the channel count would otherwise read "0ch".
    if (channels.isValid() && channels.toInt() > 0)
        return withTitle(QStringLiteral("%1: %2 %3ch [%4]").arg(id).arg(codec).arg(channels.toInt()).arg(languageOf(track)),
                         track);
    return withTitle(QStringLiteral("%1: %2 [%3]").arg(id).arg(codec, languageOf(track)), track);
}

QString subtitleText(int id, const QVariantMap &track)
{
    return withTitle(QStringLiteral("%1: [%2]").arg(id).arg(languageOf(track)), track);
}

QComboBox *makeList(QWidget *parent, int minWidth, int maxWidth)
{
    auto *list = new QComboBox(parent);
    list->setStyleSheet(QLatin1String(kListStyle));
    list->setMinimumWidth(minWidth);
    list->setMaximumWidth(maxWidth);
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    // Keyboard focus stays with the main window, whose keys drive playback.
    list->setFocusPolicy(Qt::NoFocus);
    return list;
}

QLabel *makeCaption(QWidget *parent, const QString &text)
{
    auto *caption = new QLabel(text, parent);
    caption->setStyleSheet(QLatin1String(kCaptionStyle));
    return caption;
}

// The open list is as wide as its longest entry even when the closed box is capped.
void fitPopupToItems(QComboBox *list)
{
    const QFontMetrics metrics(list->view()->font());
    int widest = 0;
    for (int i = 0; i < list->count(); ++i)
        widest = std::max(widest, metrics.horizontalAdvance(list->itemText(i)));
    list->view()->setMinimumWidth(widest + 32);
}
} // namespace

TrackSelector::TrackSelector(QWidget *parent) : QWidget(parent)
{
    audioList_ = makeList(this, kAudioMinWidth, kAudioMaxWidth);
    subtitleList_ = makeList(this, kSubtitleMinWidth, kSubtitleMaxWidth);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(makeCaption(this, QStringLiteral("오디오:")));
    layout->addWidget(audioList_);
    layout->addSpacing(10);
    layout->addWidget(makeCaption(this, QStringLiteral("자막:")));
    layout->addWidget(subtitleList_);

    subtitleList_->addItem(QStringLiteral("자막 없음"), 0);

    connect(audioList_, &QComboBox::currentIndexChanged, this, &TrackSelector::onAudioTrackChanged);
    connect(subtitleList_, &QComboBox::currentIndexChanged, this, &TrackSelector::onSubTrackChanged);
    for (QComboBox *list : {audioList_, subtitleList_}) {
        connect(list, &QComboBox::currentIndexChanged, this, [this, list] { showFullTextAsToolTip(list); });
        showFullTextAsToolTip(list);
    }
}

void TrackSelector::connectToCore(MpvCore *core)
{
    if (core_)
        disconnect(core_, nullptr, this, nullptr);
    core_ = core;
    if (!core_)
        return;
    connect(core_, &MpvCore::fileLoaded, this, &TrackSelector::onTracksChanged);
    connect(core_, &MpvCore::tracksChanged, this, &TrackSelector::onTracksChanged);
}

void TrackSelector::onTracksChanged()
{
    if (!core_)
        return;

    updating = true;
    audioList_->clear();
    subtitleList_->clear();
    subtitleList_->addItem(QStringLiteral("자막 없음"), 0);

    const QVariantList tracks = core_->getMpvProperty(QStringLiteral("track-list")).toList();
    // "no" or "auto" read as 0, which no track id matches.
    const int currentAudio = core_->getMpvProperty(QStringLiteral("aid")).toInt();
    const int currentSubtitle = core_->getMpvProperty(QStringLiteral("sid")).toInt();

    for (const QVariant &entry : tracks) {
        const QVariantMap track = entry.toMap();
        const QString type = track.value(QStringLiteral("type")).toString();
        const int id = track.value(QStringLiteral("id")).toInt();
        if (type == QLatin1String("audio")) {
            audioList_->addItem(audioText(id, track), id);
            if (id == currentAudio)
                audioList_->setCurrentIndex(audioList_->count() - 1);
        } else if (type == QLatin1String("sub")) {
            subtitleList_->addItem(subtitleText(id, track), id);
            if (id == currentSubtitle)
                subtitleList_->setCurrentIndex(subtitleList_->count() - 1);
        }
    }
    if (audioList_->count() == 0)
        audioList_->addItem(QStringLiteral("오디오 없음"), 0);

    fitPopupToItems(audioList_);
    fitPopupToItems(subtitleList_);
    updating = false;
}

void TrackSelector::onAudioTrackChanged(int index)
{
    if (updating || !core_ || index < 0)
        return;
    const int id = audioList_->itemData(index).toInt();
    if (id >= 1)
        core_->setAudioTrack(id);
}

void TrackSelector::onSubTrackChanged(int index)
{
    if (updating || !core_ || index < 0)
        return;
    const int id = subtitleList_->itemData(index).toInt();
    if (id == 0)
        core_->setMpvProperty(QStringLiteral("sid"), QStringLiteral("no"));
    else
        core_->setSubtitleTrack(id);
}

void TrackSelector::showFullTextAsToolTip(QComboBox *list)
{
    // Track titles come from the file and may look like markup.
    list->setToolTip(MediaText::plainToolTip(list->currentText()));
}
