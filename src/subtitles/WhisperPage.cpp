// The "AI 자막" page's layout and looks; what it does is in WhisperWidget.cpp.
#include "subtitles/WhisperWidget.h"

#include "subtitles/AudioWaveform.h"
#include "subtitles/ConfidenceGauge.h"
#include "ui/controls/PanelParts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>
#include <span>
#include <utility>

namespace {

constexpr int kControlHeight = SpeechHistoryView::kControlHeight;

struct Choice
{
    const char *label;
    const char *code;
};
constexpr Choice kLanguages[] = {
    {"자동 감지", "auto"}, {"영어", "en"},       {"한국어", "ko"},     {"일본어", "ja"},   {"중국어", "zh"},
    {"스페인어", "es"},    {"프랑스어", "fr"},   {"독일어", "de"},     {"이탈리아어", "it"}, {"포르투갈어", "pt"},
    {"러시아어", "ru"},    {"아랍어", "ar"},     {"힌디어", "hi"},     {"태국어", "th"},   {"베트남어", "vi"},
};
constexpr Choice kModels[] = {
    {"base (빠름)", "base"},
    {"medium (권장)", "medium"},
    {"large-v3 (최고)", "large-v3"},
};

// The last family is the usual Korean face of Linux desktops, where the first two are missing.
#define VELMORAN_WHISPER_FONTS "font-family: 'Malgun Gothic', 'Segoe UI', 'Noto Sans CJK KR', sans-serif;"
const QString kPageStyle = QStringLiteral(
    "#WhisperWidget, #WhisperPage { background: #141414; }"
    "QScrollArea { background: transparent; }"
    "QLabel { color: #bdbdbd; font-size: 11px; background: transparent; " VELMORAN_WHISPER_FONTS " }"
    "QLabel[role=\"caption\"] { color: #9e9e9e; font-weight: 700; }"
    "QLabel[role=\"value\"] { color: #ffffff; font-weight: 700; }"
    "#previewLabel { color: #ffffff; font-size: 13px; }"
    "#confidenceLabel { color: #00c8b4; }"
    "#translateNote { color: #8a8a8a; font-size: 10px; }"
    "#gpuBadge { color: #00c8b4; border: 1px solid #00695f; border-radius: 8px; padding: 0px 7px;"
    "  font-size: 10px; }"
    "QComboBox, QLineEdit { background: #1e1e1e; color: #dcdcdc; border: 1px solid #333333;"
    "  border-radius: 3px; padding: 0px 6px; font-size: 11px; " VELMORAN_WHISPER_FONTS " }"
    "QComboBox:hover, QLineEdit:focus { border-color: #00c8b4; }"
    "QComboBox QAbstractItemView { background: #1e1e1e; color: #dcdcdc; border: 1px solid #333333;"
    "  selection-background-color: #00c8b4; selection-color: #0d0d0d; }"
    "QCheckBox { color: #bdbdbd; font-size: 11px; spacing: 5px; " VELMORAN_WHISPER_FONTS " }"
    "QCheckBox::indicator { width: 10px; height: 10px; border: 1px solid #4a4a4a; border-radius: 2px;"
    "  background: #1e1e1e; }"
    "QCheckBox::indicator:checked { background: #00c8b4; border-color: #00c8b4; }"
    "QPushButton { background: #1e1e1e; color: #dcdcdc; border: 1px solid #333333; border-radius: 3px;"
    "  padding: 0px 8px; font-size: 11px; " VELMORAN_WHISPER_FONTS " }"
    "QPushButton:hover { border-color: #00c8b4; }"
    "QPushButton:checked { background: #00c8b4; color: #0d0d0d; border-color: #00c8b4; }"
    "#btnStart { background: #00c8b4; color: #0d0d0d; border: none; font-weight: 700; }"
    "#btnStart:hover { background: #1ddcc8; }"
    "#btnStart:disabled { background: #2a2a2a; color: #707070; }"
    "#btnStop { background: #c62828; color: #ffffff; border: none; font-weight: 700; }"
    "#btnStop:hover { background: #e53935; }"
    "QListWidget { background: #101010; border: 1px solid #262626; border-radius: 3px; font-size: 11px;"
    "  outline: none; " VELMORAN_WHISPER_FONTS " }"
    "QListWidget::item { padding: 0px 3px; }"
    "QListWidget::item:selected { background: #1d3d39; }"
    "QFrame[role=\"rule\"] { background: #2a2a2a; }"
    "QScrollBar:vertical { width: 6px; background: #101010; }"
    "QScrollBar:horizontal { height: 6px; background: #141414; }"
    "QScrollBar::handle { background: #3a3a3a; border-radius: 3px; min-height: 20px; min-width: 30px; }"
    "QScrollBar::add-line, QScrollBar::sub-line { width: 0px; height: 0px; }");
#undef VELMORAN_WHISPER_FONTS


QLabel *valueLabel(const QString &text, const char *objectName)
{
    auto *label = new QLabel(text);
    label->setObjectName(QLatin1String(objectName));
    label->setProperty("role", QStringLiteral("value"));
    return label;
}


// A column of the page: its caption over the given rows, the spare height left below.
QWidget *captionedColumn(const QString &title, std::initializer_list<QWidget *> rows)
{
    auto *section = new QWidget;
    auto *column = new QVBoxLayout(section);
    column->setContentsMargins(10, 0, 10, 0);
    column->setSpacing(3);
    column->addWidget(PanelParts::caption(title));
    for (QWidget *row : rows)
        column->addWidget(row);
    column->addStretch();
    return section;
}

QCheckBox *checkBox(const QString &text, bool checked)
{
    auto *box = new QCheckBox(text);
    box->setChecked(checked);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

QComboBox *comboBox(std::span<const Choice> choices, const QString &currentCode)
{
    auto *box = new QComboBox;
    for (const Choice &choice : choices)
        box->addItem(QString::fromUtf8(choice.label), QString::fromLatin1(choice.code));
    box->setCurrentIndex(std::max(0, box->findData(currentCode)));
    box->setFixedHeight(kControlHeight);
    box->setFocusPolicy(Qt::NoFocus);
    return box;
}

} // namespace

void WhisperWidget::buildPage()
{
    setObjectName(QStringLiteral("WhisperWidget"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(kPageStyle);

    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("WhisperPage"));
    auto *sections = new QHBoxLayout(page);
    sections->setContentsMargins(4, 3, 4, 0);
    sections->setSpacing(0);
    history_ = new SpeechHistoryView;
    connect(history_, &SpeechHistoryView::seekRequested, this, &WhisperWidget::seekToSubtitle);
    connect(history_, &SpeechHistoryView::exportClicked, this, &WhisperWidget::exportSRT);
    connect(history_, &SpeechHistoryView::copyClicked, this, &WhisperWidget::copyAll);
    const QList<QWidget *> columns = {buildSettings(), buildConfidence(), buildWaveform(), buildPreview(), history_};
    for (QWidget *column : columns) {
        if (column != columns.first())
            sections->addWidget(PanelParts::rule());
        // The history takes the spare width.
        sections->addWidget(column, column == columns.last() ? 1 : 0);
    }

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PanelParts::sidewaysScroller(page));
}

QWidget *WhisperWidget::buildSettings()
{
    languageBox_ = comboBox(kLanguages, languageCode_);
    languageBox_->setObjectName(QStringLiteral("languageBox"));
    modelBox_ = comboBox(kModels, model_);
    modelBox_->setObjectName(QStringLiteral("modelBox"));
    translateBox_ = checkBox(QStringLiteral("한국어 번역"), translate_);
    translateBox_->setObjectName(QStringLiteral("translateBox"));
    translateNote_ = new QLabel;
    translateNote_->setObjectName(QStringLiteral("translateNote"));
    translateNote_->hide();
    auto *speakers = checkBox(QStringLiteral("화자 구분"), speakerSeparation_);
    auto *save = checkBox(QStringLiteral("SRT 파일 저장"), saveSrt_);
    save->setObjectName(QStringLiteral("saveBox"));
    timestampsBox_ = checkBox(QStringLiteral("타임스탬프 포함"), true);
    save->setToolTip(QStringLiteral("인식이 끝나면 미디어 파일 옆에 SRT 파일로 저장 (있는 파일은 바꾸지 않고 .stt.srt로)"));
    timestampsBox_->setToolTip(QStringLiteral("전체 복사에 시작 시각을 함께 넣기"));
    speakers->setToolTip(QStringLiteral("현재 음성 인식 엔진은 화자를 구분하지 않습니다"));

    // Its text and looks follow the engine found and the state (checkWhisperAvailable, setActive).
    startButton_ = PanelParts::button(QString(), QString(), kControlHeight + 2);
    gpuBadge_ = new QLabel(QStringLiteral("감지 중..."));
    gpuBadge_->setObjectName(QStringLiteral("gpuBadge"));
    gpuBadge_->setFixedHeight(16);
    gpuBadge_->setAlignment(Qt::AlignCenter);

    connect(languageBox_, &QComboBox::currentIndexChanged, this, &WhisperWidget::onLangChanged);
    connect(modelBox_, &QComboBox::currentIndexChanged, this, &WhisperWidget::onModelChanged);
    connect(translateBox_, &QCheckBox::toggled, this, &WhisperWidget::onTranslateToggled);
    connect(speakers, &QCheckBox::toggled, this, &WhisperWidget::onSpeakerToggled);
    connect(save, &QCheckBox::toggled, this, &WhisperWidget::onSaveToggled);
    connect(startButton_, &QPushButton::clicked, this, [this] { setActive(!active_); });

    auto *section = new QWidget;
    auto *grid = new QGridLayout(section);
    grid->setContentsMargins(6, 0, 10, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);
    grid->addWidget(new QLabel(QStringLiteral("언어")), 0, 0);
    grid->addWidget(languageBox_, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("모델")), 1, 0);
    grid->addWidget(modelBox_, 1, 1);
    grid->addWidget(startButton_, 2, 0, 1, 2);
    grid->addWidget(gpuBadge_, 3, 0, 1, 2, Qt::AlignLeft);
    grid->addWidget(translateBox_, 0, 2);
    grid->addWidget(speakers, 1, 2);
    grid->addWidget(save, 2, 2);
    grid->addWidget(timestampsBox_, 3, 2);
    grid->addWidget(translateNote_, 4, 0, 1, 3);
    grid->setRowStretch(5, 1);
    return section;
}

QWidget *WhisperWidget::buildConfidence()
{
    gauge_ = new ConfidenceGauge;
    // Agrees with the preview's sample line until the first segment arrives.
    gauge_->setValue(94);
    progressLabel_ = valueLabel(QStringLiteral("68%"), "progressLabel");
    elapsedLabel_ = valueLabel(QStringLiteral("00:02:18"), "elapsedLabel");
    remainingLabel_ = valueLabel(QStringLiteral("00:01:05"), "remainingLabel");

    auto *section = new QWidget;
    auto *grid = new QGridLayout(section);
    grid->setContentsMargins(10, 0, 10, 0);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(3);
    grid->addWidget(PanelParts::caption(QStringLiteral("신뢰도 (평균)")), 0, 0, 1, 2);
    const std::pair<QString, QLabel *> figures[] = {
        {QStringLiteral("처리 진행률"), progressLabel_},
        {QStringLiteral("경과 시간"), elapsedLabel_},
        {QStringLiteral("남은 시간"), remainingLabel_},
    };
    int row = 1;
    for (const auto &[name, value] : figures) {
        grid->addWidget(new QLabel(name), row, 0);
        grid->addWidget(value, row++, 1);
    }
    grid->addWidget(gauge_, 0, 2, row, 1, Qt::AlignTop);
    grid->setRowStretch(row, 1);
    return section;
}

QWidget *WhisperWidget::buildWaveform()
{
    waveform_ = new AudioWaveform;
    waveform_->setMinimumWidth(190);
    connect(waveform_, &AudioWaveform::seekRequested, this, &WhisperWidget::seekToSubtitle);
    return captionedColumn(QStringLiteral("오디오 파형"), {waveform_});
}

QWidget *WhisperWidget::buildPreview()
{
    previewLabel_ = new QLabel(QStringLiteral("이것은 매우 지능적인 시스템입니다."));
    previewLabel_->setObjectName(QStringLiteral("previewLabel"));
    previewLabel_->setWordWrap(true);
    previewLabel_->setFixedWidth(220);
    previewLabel_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    previewLabel_->setTextFormat(Qt::PlainText);
    // Three lines fit the panel; a longer segment is whole in the tool tip and the history.
    previewLabel_->setMinimumHeight(36);
    previewLabel_->setMaximumHeight(54);
    confidenceLabel_ = new QLabel(QStringLiteral("신뢰도 94%"));
    confidenceLabel_->setObjectName(QStringLiteral("confidenceLabel"));
    return captionedColumn(QStringLiteral("실시간 자막 미리보기"), {previewLabel_, confidenceLabel_});
}
