#include "subtitles/WhisperWidget.h"

#include "app/CommandLine.h"
#include "subtitles/AudioWaveform.h"
#include "subtitles/ConfidenceGauge.h"
#include "subtitles/SpeechScript.h"
#include "ui/controls/MediaText.h"
#include "ui/controls/PanelParts.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollArea>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <span>
#include <utility>

namespace {

constexpr int kGpuWaitMs = 2000;
constexpr int kProbeWaitMs = 3000;
constexpr int kStopWaitMs = 1000;
// The script's complaints are kept for the failure message; more would only be its earlier lines.
constexpr qsizetype kStderrTailBytes = 4096;
// A "line" this long without a newline is not a segment; it is dropped instead of piling up.
constexpr qint64 kMaxLineBytes = 64 * 1024;
// How much of the script's last complaint the preview shows.
constexpr int kMaxDetailChars = 160;
constexpr int kControlHeight = 20;

const QString kStartObjectName = QStringLiteral("btnStart");
const QString kStopObjectName = QStringLiteral("btnStop");
const QString kStartText = QStringLiteral("▶  시작");
const QString kStopText = QStringLiteral("■  중지");
const QString kNoEngineText = QStringLiteral("faster-whisper 미설치");
const QString kNoValue = QStringLiteral("—");

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

QPushButton *button(const QString &text, const QString &toolTip)
{
    return PanelParts::button(text, toolTip, kControlHeight + 2);
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

WhisperWidget::WhisperWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("WhisperWidget"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(kPageStyle);

    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("WhisperPage"));
    auto *sections = new QHBoxLayout(page);
    sections->setContentsMargins(4, 3, 4, 0);
    sections->setSpacing(0);
    const QList<QWidget *> columns = {buildSettings(), buildConfidence(), buildWaveform(), buildPreview(),
                                      buildHistory()};
    for (QWidget *column : columns) {
        if (column != columns.first())
            sections->addWidget(PanelParts::rule());
        // The history takes the spare width.
        sections->addWidget(column, column == columns.last() ? 1 : 0);
    }

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PanelParts::sidewaysScroller(page));

    checkWhisperAvailable();
}

WhisperWidget::~WhisperWidget()
{
    stopRecognition();
}

QWidget *WhisperWidget::buildSettings()
{
    languageBox_ = comboBox(kLanguages, languageCode_);
    languageBox_->setObjectName(QStringLiteral("languageBox"));
    modelBox_ = comboBox(kModels, model_);
    modelBox_->setObjectName(QStringLiteral("modelBox"));
    auto *translate = checkBox(QStringLiteral("한국어 번역"), translate_);
    auto *speakers = checkBox(QStringLiteral("화자 구분"), speakerSeparation_);
    auto *save = checkBox(QStringLiteral("SRT 파일 저장"), saveSrt_);
    timestampsBox_ = checkBox(QStringLiteral("타임스탬프 포함"), true);
    save->setToolTip(QStringLiteral("인식이 끝나면 미디어 파일 옆에 같은 이름의 SRT 파일로 저장"));
    timestampsBox_->setToolTip(QStringLiteral("전체 복사에 시작 시각을 함께 넣기"));
    speakers->setToolTip(QStringLiteral("현재 음성 인식 엔진은 화자를 구분하지 않습니다"));

    startButton_ = button(kStartText, QString());
    startButton_->setObjectName(kStartObjectName);
    gpuBadge_ = new QLabel(QStringLiteral("감지 중..."));
    gpuBadge_->setObjectName(QStringLiteral("gpuBadge"));
    gpuBadge_->setFixedHeight(16);
    gpuBadge_->setAlignment(Qt::AlignCenter);

    connect(languageBox_, &QComboBox::currentIndexChanged, this, &WhisperWidget::onLangChanged);
    connect(modelBox_, &QComboBox::currentIndexChanged, this, &WhisperWidget::onModelChanged);
    connect(translate, &QCheckBox::toggled, this, &WhisperWidget::onTranslateToggled);
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
    grid->addWidget(translate, 0, 2);
    grid->addWidget(speakers, 1, 2);
    grid->addWidget(save, 2, 2);
    grid->addWidget(timestampsBox_, 3, 2);
    grid->setRowStretch(4, 1);
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

QWidget *WhisperWidget::buildHistory()
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
    auto *exportButton = button(QStringLiteral("SRT 내보내기"), QStringLiteral("미디어 파일 옆에 SRT 파일로 저장"));
    auto *copyButton = button(QStringLiteral("전체 복사"), QStringLiteral("자막 히스토리를 클립보드로 복사"));
    historyList_ = new QListWidget;
    historyList_->setObjectName(QStringLiteral("historyList"));
    historyList_->setMinimumWidth(240);
    historyList_->setFocusPolicy(Qt::NoFocus);
    historyList_->setUniformItemSizes(true);
    historyList_->setToolTip(QStringLiteral("두 번 클릭하면 그 위치로 이동"));

    connect(searchEdit_, &QLineEdit::textChanged, this, &WhisperWidget::onSearchChanged);
    // A click on the chosen filter again shows everything.
    connect(highFilterButton_, &QPushButton::clicked, this,
            [this](bool on) { onFilterChanged(on ? HighConfidence : AllSegments); });
    connect(lowFilterButton_, &QPushButton::clicked, this,
            [this](bool on) { onFilterChanged(on ? LowConfidence : AllSegments); });
    connect(exportButton, &QPushButton::clicked, this, &WhisperWidget::exportSRT);
    connect(copyButton, &QPushButton::clicked, this, &WhisperWidget::copyAll);
    connect(historyList_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *item) { emit seekToSubtitle(item->data(Qt::UserRole).toDouble()); });

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
    body->addWidget(historyList_, 1);
    body->addLayout(actions);

    auto *section = new QWidget;
    auto *column = new QVBoxLayout(section);
    column->setContentsMargins(10, 0, 4, 0);
    column->setSpacing(3);
    column->addLayout(header);
    column->addLayout(body, 1);
    return section;
}

void WhisperWidget::checkWhisperAvailable()
{
    gpuBadge_->setText(QStringLiteral("감지 중..."));
    const QString gpu = SpeechScript::gpuName(kGpuWaitMs);
    gpuBadge_->setText(gpu.isEmpty() ? QStringLiteral("CPU 모드") : gpu);

    scriptPath_ = SpeechScript::scriptPath();
    const SpeechScript::Engine engine = SpeechScript::probe(scriptPath_, kProbeWaitMs);
    whisperAvailable_ = engine.isAvailable();
    interpreter_ = engine.interpreter;
    engineName_ = engine.name;
    qDebug().noquote() << "[Whisper] 음성 인식 엔진:" << (whisperAvailable_ ? engineName_ : QStringLiteral("없음"))
                       << interpreter_ << scriptPath_;

    QString toolTip;
    if (scriptPath_.isEmpty())
        toolTip = QStringLiteral("음성 인식 스크립트(whisper_server.py)를 찾을 수 없습니다");
    else if (!whisperAvailable_)
        toolTip = QStringLiteral("faster-whisper 또는 pocketsphinx(python3-pocketsphinx, pocketsphinx-en-us)가 필요합니다");
    else if (engineName_ == QLatin1String("pocketsphinx"))
        toolTip = QStringLiteral("음성 인식 엔진: pocketsphinx (오프라인, 영어만 인식, 번역 없음)");
    else
        toolTip = QStringLiteral("음성 인식 엔진: %1").arg(engineName_);
    gpuBadge_->setToolTip(toolTip);
    startButton_->setToolTip(toolTip);
    if (!active_) {
        startButton_->setEnabled(whisperAvailable_);
        startButton_->setText(whisperAvailable_ ? kStartText : kNoEngineText);
    }
}

void WhisperWidget::setMediaPath(const QString &path)
{
    if (path == mediaPath_)
        return;
    mediaPath_ = path;
    // Another file's segments would seek to meaningless places and export under the wrong name.
    segmentHistory_.clear();
    rebuildHistoryList();
    if (!active_)
        return;
    if (path.isEmpty()) {
        setActive(false);
        return;
    }
    // Live subtitles follow what plays.
    startRecognition();
    elapsedClock_.restart();
    showElapsed();
}

void WhisperWidget::setDuration(double seconds)
{
    duration_ = std::max(seconds, 0.0);
    waveform_->setPosition(position_, duration_);
}

void WhisperWidget::onPositionChanged(double seconds)
{
    position_ = seconds;
    waveform_->setPosition(position_, duration_);
}

void WhisperWidget::setActive(bool on)
{
    if (on == active_)
        return;
    if (on && !whisperAvailable_) {
        showMessage(QStringLiteral("음성 인식 엔진이 없습니다: faster-whisper 또는 pocketsphinx를 설치하세요"));
        return;
    }
    if (on && mediaPath_.isEmpty()) {
        showMessage(QStringLiteral("음성 인식할 파일이 없습니다"));
        return;
    }
    active_ = on;
    if (on) {
        startButton_->setObjectName(kStopObjectName);
        startButton_->setText(kStopText);
        startRecognition();
        elapsedTimer_ = new QTimer(this);
        elapsedTimer_->setInterval(1000);
        connect(elapsedTimer_, &QTimer::timeout, this, &WhisperWidget::showElapsed);
        elapsedClock_.start();
        showElapsed();
        if (isVisible())
            elapsedTimer_->start();
    } else {
        startButton_->setObjectName(kStartObjectName);
        startButton_->setText(whisperAvailable_ ? kStartText : kNoEngineText);
        startButton_->setEnabled(whisperAvailable_);
        stopRecognition();
        delete std::exchange(elapsedTimer_, nullptr);
    }
    waveform_->setAnimated(on);
    restyleStartButton();
    emit activeChanged(on);
}

void WhisperWidget::restyleStartButton()
{
    startButton_->style()->unpolish(startButton_);
    startButton_->style()->polish(startButton_);
}

void WhisperWidget::startRecognition()
{
    if (!whisperAvailable_ || mediaPath_.isEmpty())
        return;
    stopRecognition();
    stderrTail_.clear();
    process_ = new QProcess(this);
    process_->setStandardInputFile(QProcess::nullDevice());
    connect(process_, &QProcess::readyReadStandardOutput, this, &WhisperWidget::onProcessOutput);
    connect(process_, &QProcess::readyReadStandardError, this, &WhisperWidget::readStandardError);
    connect(process_, &QProcess::finished, this, &WhisperWidget::onProcessFinished);
    connect(process_, &QProcess::errorOccurred, this, &WhisperWidget::onProcessError);
    showMessage(QStringLiteral("음성 인식 중..."));
    showProgress(0);
    const SpeechScript::Request request{mediaPath_, model_, languageCode_, translate_, saveSrt_};
    process_->start(interpreter_, SpeechScript::arguments(scriptPath_, request));
}

void WhisperWidget::stopRecognition()
{
    QProcess *process = std::exchange(process_, nullptr);
    if (!process)
        return;
    // A process stopped on purpose reports nothing more.
    process->disconnect(this);
    if (process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished(kStopWaitMs);
    }
    process->deleteLater();
}

void WhisperWidget::readStandardError()
{
    if (!process_)
        return;
    // Read as it comes so that a talkative script never blocks on a full pipe.
    stderrTail_ += process_->readAllStandardError();
    if (stderrTail_.size() > kStderrTailBytes)
        stderrTail_.remove(0, stderrTail_.size() - kStderrTailBytes);
}

QString WhisperWidget::failureDetail() const
{
    const QStringList lines = QString::fromUtf8(stderrTail_).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QString text = line->trimmed();
        if (!text.isEmpty())
            return text.size() > kMaxDetailChars ? text.left(kMaxDetailChars) + QStringLiteral("…") : text;
    }
    return {};
}

void WhisperWidget::onProcessOutput()
{
    readSegments(false);
}

void WhisperWidget::readSegments(bool toTheEnd)
{
    if (!process_)
        return;
    QList<SubtitleSegment> arrived;
    const auto take = [&arrived](const QByteArray &line) {
        if (auto segment = SegmentLine::parse(QString::fromUtf8(line)))
            arrived << *segment;
    };
    while (process_->canReadLine())
        take(process_->readLine(kMaxLineBytes));
    if (toTheEnd)
        take(process_->readAll());
    else if (process_->bytesAvailable() > kMaxLineBytes)
        process_->readAll();
    if (arrived.isEmpty())
        return;

    for (const SubtitleSegment &segment : std::as_const(arrived)) {
        segmentHistory_.prepend(segment);
        if (segmentHistory_.size() > kMaxHistory)
            segmentHistory_.removeLast();
    }
    // One rebuild for the whole batch: a burst of lines would otherwise rebuild the list per line.
    rebuildHistoryList();
    showSegment(arrived.constLast());
    for (const SubtitleSegment &segment : std::as_const(arrived))
        emit subtitleGenerated(segment.text, segment.startSec, segment.endSec, segment.confidence);
}

void WhisperWidget::showSegment(const SubtitleSegment &segment)
{
    previewLabel_->setText(segment.text);
    previewLabel_->setToolTip(MediaText::plainToolTip(segment.text));
    confidenceLabel_->setText(QStringLiteral("신뢰도 %1%").arg(segment.confidence));
    gauge_->setValue(std::clamp(segment.confidence, 0, 100));
    showProgress(segment.endSec);
}

void WhisperWidget::showProgress(double endSec)
{
    if (duration_ <= 0) {
        progressLabel_->setText(kNoValue);
        remainingLabel_->setText(kNoValue);
        return;
    }
    const double done = std::clamp(endSec / duration_, 0.0, 1.0);
    progressLabel_->setText(QStringLiteral("%1%").arg(int(done * 100)));
    // The pace so far, carried over the rest of the file.
    const double elapsed = elapsedClock_.isValid() ? elapsedClock_.elapsed() / 1000.0 : 0.0;
    remainingLabel_->setText(done > 0 && elapsed > 0 ? formatClock(elapsed * (1 - done) / done) : kNoValue);
}

void WhisperWidget::showElapsed()
{
    if (elapsedClock_.isValid())
        elapsedLabel_->setText(formatClock(elapsedClock_.elapsed() / 1000.0));
}

void WhisperWidget::showMessage(const QString &message)
{
    previewLabel_->setText(message);
    previewLabel_->setToolTip(MediaText::plainToolTip(message));
    emit statusChanged(message);
}

void WhisperWidget::onProcessError(QProcess::ProcessError error)
{
    if (error != QProcess::FailedToStart || !process_)
        return;
    showMessage(QStringLiteral("음성 인식을 시작할 수 없습니다: %1").arg(process_->errorString()));
    qDebug().noquote() << "[Whisper] 시작 실패:" << interpreter_ << process_->errorString();
    // Not from inside the signal: the failure can be reported while start() is still running.
    QMetaObject::invokeMethod(
        this,
        [this, failed = QPointer<QProcess>(process_)] {
            if (active_ && failed && process_ == failed)
                setActive(false);
        },
        Qt::QueuedConnection);
}

void WhisperWidget::onProcessFinished(int exitCode)
{
    if (!process_)
        return;
    readStandardError();
    readSegments(true);
    if (!process_)
        return; // a receiver of the last segments stopped recognition
    const bool crashed = process_->exitStatus() == QProcess::CrashExit;
    if (crashed || exitCode != 0) {
        QString detail = failureDetail();
        if (detail.isEmpty())
            detail = crashed ? QStringLiteral("비정상 종료") : QStringLiteral("종료 코드 %1").arg(exitCode);
        showMessage(QStringLiteral("음성 인식이 실패했습니다: %1").arg(detail));
        qDebug().noquote() << "[Whisper] 실패:" << detail;
    } else {
        emit statusChanged(QStringLiteral("음성 인식 완료"));
    }
    if (active_)
        setActive(false);
}

void WhisperWidget::onLangChanged(int index)
{
    languageCode_ = languageBox_->itemData(index).toString();
}

void WhisperWidget::onModelChanged(int index)
{
    model_ = modelBox_->itemData(index).toString();
}

void WhisperWidget::onTranslateToggled(bool on)
{
    translate_ = on;
}

void WhisperWidget::onSaveToggled(bool on)
{
    saveSrt_ = on;
}

void WhisperWidget::onSpeakerToggled(bool on)
{
    speakerSeparation_ = on;
}

void WhisperWidget::onSearchChanged(const QString &text)
{
    searchText_ = text;
    rebuildHistoryList();
}

void WhisperWidget::onFilterChanged(int filter)
{
    historyFilter_ = filter;
    highFilterButton_->setChecked(filter == HighConfidence);
    lowFilterButton_->setChecked(filter == LowConfidence);
    rebuildHistoryList();
}

void WhisperWidget::rebuildHistoryList()
{
    historyList_->setUpdatesEnabled(false);
    historyList_->clear();
    for (const SubtitleSegment &segment : std::as_const(segmentHistory_)) {
        if (!searchText_.isEmpty() && !segment.text.contains(searchText_, Qt::CaseInsensitive))
            continue;
        if (historyFilter_ == HighConfidence && segment.confidence < 90)
            continue;
        if (historyFilter_ == LowConfidence && segment.confidence >= 80)
            continue;
        // One arg() call: a "%1" inside the recognised text must stay as it is.
        auto *item = new QListWidgetItem(QStringLiteral("%1  %2  %3").arg(
            formatClock(segment.startSec), segment.text, QStringLiteral("%1%").arg(segment.confidence)));
        item->setForeground(ConfidenceGauge::colourFor(segment.confidence));
        item->setData(Qt::UserRole, segment.startSec);
        historyList_->addItem(item);
    }
    historyList_->setUpdatesEnabled(true);
}

QString WhisperWidget::srtExportPath() const
{
    if (mediaPath_.isEmpty() || isSchemeAddress(mediaPath_))
        return {};
    const QFileInfo media(mediaPath_);
    return media.dir().filePath(media.completeBaseName() + QStringLiteral(".srt"));
}

void WhisperWidget::exportSRT()
{
    if (segmentHistory_.isEmpty() || mediaPath_.isEmpty())
        return;
    const QString target = srtExportPath();
    if (target.isEmpty()) {
        showMessage(QStringLiteral("스트림의 자막은 파일로 내보낼 수 없습니다"));
        return;
    }
    QSaveFile file(target);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(SegmentLine::srtDocument(segmentHistory_).toUtf8());
        if (file.commit()) {
            emit statusChanged(QStringLiteral("SRT 저장 완료: %1").arg(target));
            return;
        }
    }
    showMessage(QStringLiteral("SRT 저장 실패: %1").arg(file.errorString()));
}

void WhisperWidget::copyAll()
{
    if (segmentHistory_.isEmpty())
        return;
    const bool withTimes = timestampsBox_->isChecked();
    QStringList lines;
    lines.reserve(segmentHistory_.size());
    for (const SubtitleSegment &segment : std::as_const(segmentHistory_))
        lines << (withTimes ? formatClock(segment.startSec) + QStringLiteral("  ") + segment.text : segment.text);
    QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
}

QString WhisperWidget::formatClock(double seconds)
{
    return MediaText::formatTime(seconds);
}

void WhisperWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The clock keeps counting while hidden; only its read-out waits to be seen.
    if (elapsedTimer_) {
        showElapsed();
        elapsedTimer_->start();
    }
}

void WhisperWidget::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (elapsedTimer_)
        elapsedTimer_->stop();
}
