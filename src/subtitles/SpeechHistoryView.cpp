#include "subtitles/SpeechHistoryView.h"

#include "subtitles/ConfidenceGauge.h"
#include "ui/controls/MediaText.h"
#include "ui/controls/PanelParts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QPushButton *button(const QString &text, const QString &toolTip)
{
    return PanelParts::button(text, toolTip, SpeechHistoryView::kControlHeight + 2);
}

} // namespace

SpeechHistoryView::SpeechHistoryView(QWidget *parent) : QWidget(parent)
{
    searchEdit_ = new QLineEdit;
    searchEdit_->setPlaceholderText(QStringLiteral("🔍  자막 검색..."));
    searchEdit_->setClearButtonEnabled(true);
    // Typing goes to playback keys until the user clicks into the field.
    searchEdit_->setFocusPolicy(Qt::ClickFocus);
    searchEdit_->setFixedHeight(kControlHeight + 2);
    searchEdit_->setMinimumWidth(110);
    searchEdit_->setMaximumWidth(200);
    highFilterButton_ = button(QStringLiteral("높은 신뢰도"), QStringLiteral("신뢰도 90% 이상만 보기"));
    lowFilterButton_ = button(QStringLiteral("낮은 신뢰도"), QStringLiteral("신뢰도 80% 미만만 보기"));
    highFilterButton_->setCheckable(true);
    lowFilterButton_->setCheckable(true);
    auto *exportButton = button(QStringLiteral("SRT 내보내기"), QStringLiteral("미디어 파일 옆에 SRT 파일로 저장 (있는 파일은 바꾸지 않음)"));
    auto *copyButton = button(QStringLiteral("전체 복사"), QStringLiteral("자막 히스토리를 클립보드로 복사"));
    list_ = new QListWidget;
    list_->setObjectName(QStringLiteral("historyList"));
    list_->setMinimumWidth(240);
    list_->setFocusPolicy(Qt::NoFocus);
    list_->setUniformItemSizes(true);
    list_->setToolTip(QStringLiteral("두 번 클릭하면 그 위치로 이동"));

    connect(searchEdit_, &QLineEdit::textChanged, this, &SpeechHistoryView::setSearchText);
    // A click on the chosen filter again shows everything.
    connect(highFilterButton_, &QPushButton::clicked, this, [this](bool on) { setFilter(on ? HighConfidence : AllSegments); });
    connect(lowFilterButton_, &QPushButton::clicked, this, [this](bool on) { setFilter(on ? LowConfidence : AllSegments); });
    connect(exportButton, &QPushButton::clicked, this, &SpeechHistoryView::exportClicked);
    connect(copyButton, &QPushButton::clicked, this, &SpeechHistoryView::copyClicked);
    connect(list_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *item) { emit seekRequested(item->data(Qt::UserRole).toDouble()); });

    auto *header = new QHBoxLayout;
    header->setSpacing(4);
    header->addWidget(PanelParts::caption(QStringLiteral("자막 히스토리")));
    header->addWidget(searchEdit_, 1);
    header->addWidget(highFilterButton_);
    header->addWidget(lowFilterButton_);
    auto *actions = new QVBoxLayout;
    actions->setSpacing(4);
    actions->addWidget(exportButton);
    actions->addWidget(copyButton);
    actions->addStretch();
    auto *body = new QHBoxLayout;
    body->setSpacing(4);
    body->addWidget(list_, 1);
    body->addLayout(actions);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(10, 0, 4, 0);
    column->setSpacing(3);
    column->addLayout(header);
    column->addLayout(body, 1);
}

void SpeechHistoryView::add(const QList<SubtitleSegment> &segments)
{
    for (const SubtitleSegment &segment : segments) {
        segments_.prepend(segment);
        if (segments_.size() > kMaxHistory)
            segments_.removeLast();
    }
    rebuild();
}

void SpeechHistoryView::setSearchText(const QString &text)
{
    searchText_ = text;
    rebuild();
}

void SpeechHistoryView::setFilter(int filter)
{
    filter_ = filter;
    highFilterButton_->setChecked(filter == HighConfidence);
    lowFilterButton_->setChecked(filter == LowConfidence);
    rebuild();
}

QString SpeechHistoryView::plainText(bool withTimes) const
{
    QStringList lines;
    lines.reserve(segments_.size());
    for (const SubtitleSegment &segment : segments_)
        lines << (withTimes ? MediaText::formatTime(segment.startSec) + QStringLiteral("  ") + segment.text : segment.text);
    return lines.join(QLatin1Char('\n'));
}

void SpeechHistoryView::rebuild()
{
    list_->setUpdatesEnabled(false);
    list_->clear();
    for (const SubtitleSegment &segment : std::as_const(segments_)) {
        if (!searchText_.isEmpty() && !segment.text.contains(searchText_, Qt::CaseInsensitive))
            continue;
        if (filter_ == HighConfidence && segment.confidence < 90)
            continue;
        if (filter_ == LowConfidence && segment.confidence >= 80)
            continue;
        // One arg() call: a "%1" inside the recognised text must stay as it is.
        auto *item = new QListWidgetItem(QStringLiteral("%1  %2  %3").arg(
            MediaText::formatTime(segment.startSec), segment.text, QStringLiteral("%1%").arg(segment.confidence)));
        item->setForeground(ConfidenceGauge::colourFor(segment.confidence));
        item->setData(Qt::UserRole, segment.startSec);
        list_->addItem(item);
    }
    list_->setUpdatesEnabled(true);
}
