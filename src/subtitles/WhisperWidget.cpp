#include "subtitles/WhisperWidget.h"

#include "subtitles/AudioWaveform.h"
#include "subtitles/ConfidenceGauge.h"
#include "subtitles/SpeechExport.h"
#include "subtitles/SpeechProcess.h"
#include "subtitles/SpeechScript.h"
#include "subtitles/SpeechTranslation.h"
#include "ui/controls/MediaText.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDebug>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

constexpr int kGpuWaitMs = 2000;
constexpr int kProbeWaitMs = 3000;

const QString kStartObjectName = QStringLiteral("btnStart");
const QString kStopObjectName = QStringLiteral("btnStop");
const QString kStartText = QStringLiteral("▶  시작");
const QString kStopText = QStringLiteral("■  중지");
const QString kNoEngineText = QStringLiteral("faster-whisper 미설치");
const QString kNoValue = QStringLiteral("—");

} // namespace

WhisperWidget::WhisperWidget(QWidget *parent) : QWidget(parent)
{
    buildPage();

    process_ = new SpeechProcess(this);
    connect(process_, &SpeechProcess::segmentsArrived, this, &WhisperWidget::onSegmentsArrived);
    connect(process_, &SpeechProcess::failedToStart, this, &WhisperWidget::onProcessError);
    connect(process_, &SpeechProcess::finished, this, &WhisperWidget::onProcessFinished);
    translation_ = new SpeechTranslation(this);
    connect(translation_, &SpeechTranslation::ready, this, &WhisperWidget::onTranslated);
    connect(translation_, &SpeechTranslation::failed, this,
            [this](const QString &message) { showMessage(QStringLiteral("번역하지 못해 인식한 문장 그대로 둡니다: ") + message); });
    connect(translation_, &SpeechTranslation::drained, this, [this] {
        if (finishing_)
            finishRun();
    });

    startButton_->setObjectName(kStartObjectName);
    checkWhisperAvailable();
}

WhisperWidget::~WhisperWidget()
{
    stopRecognition();
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
        toolTip = QStringLiteral("음성 인식 엔진: pocketsphinx (오프라인, 영어만 인식)");
    else
        toolTip = QStringLiteral("음성 인식 엔진: %1").arg(engineName_);
    gpuBadge_->setToolTip(toolTip);
    startButton_->setToolTip(toolTip);
    if (!active_) {
        startButton_->setEnabled(whisperAvailable_);
        startButton_->setText(whisperAvailable_ ? kStartText : kNoEngineText);
    }
    refreshTranslateBox();
}

QString WhisperWidget::translationBlocker() const
{
    if (!whisperAvailable_)
        return QStringLiteral("번역 불가: 음성 인식 엔진이 없습니다");
    if (!TranslationKeys::fromSettings().isSet())
        return QStringLiteral("번역 불가: 설정 → 자막 탭에 DeepL 또는 파파고 API 키가 없습니다");
    return {};
}

// The box says what a run will do: checked only when a translation can happen.
void WhisperWidget::refreshTranslateBox()
{
    const QString blocker = translationBlocker();
    const QSignalBlocker quiet(translateBox_);
    translateBox_->setEnabled(blocker.isEmpty());
    translateBox_->setChecked(blocker.isEmpty() && translate_);
    translateBox_->setToolTip(blocker.isEmpty() ? QStringLiteral("인식한 문장을 DeepL 또는 파파고로 한국어로 번역") : blocker);
    translateNote_->setText(blocker);
    translateNote_->setVisible(!blocker.isEmpty());
}

void WhisperWidget::setMediaPath(const QString &path)
{
    mediaPath_ = path;
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

const QList<SubtitleSegment> &WhisperWidget::segmentHistory() const
{
    return history_->segments();
}

void WhisperWidget::setActive(bool on)
{
    if (on == active_)
        return;
    if (on) {
        emit mediaPathRequested();
        // The keys may have been entered in the settings since the page was shown.
        refreshTranslateBox();
        if (!whisperAvailable_) {
            showMessage(QStringLiteral("음성 인식 엔진이 없습니다: faster-whisper 또는 pocketsphinx를 설치하세요"));
            return;
        }
        if (mediaPath_.isEmpty()) {
            showMessage(QStringLiteral("음성 인식할 파일이 없습니다"));
            return;
        }
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
    runMedia_ = mediaPath_;
    runSegments_.clear();
    finishing_ = false;
    // Korean speech needs no translation into Korean.
    const bool translating = translateBox_->isChecked() && languageCode_ != u"ko";
    if (translating)
        translation_->begin(TranslationKeys::fromSettings(), languageCode_);
    else
        translation_->flush();
    // The script would save what it recognised; a translated run is saved here once it is done.
    savesTranslation_ = translating && saveSrt_;
    showMessage(QStringLiteral("음성 인식 중..."));
    showProgress(0);
    const SpeechScript::Request request{mediaPath_, model_, languageCode_, saveSrt_ && !translating};
    process_->start(interpreter_, SpeechScript::arguments(scriptPath_, request));
}

void WhisperWidget::stopRecognition()
{
    process_->stop();
    finishing_ = false;
    // What is still being translated is kept as it was recognised.
    translation_->flush();
}

void WhisperWidget::onSegmentsArrived(const QList<SubtitleSegment> &segments)
{
    QList<SubtitleSegment> fromRun = segments;
    for (SubtitleSegment &segment : fromRun)
        segment.source = runMedia_;
    translation_->add(fromRun);
}

void WhisperWidget::onTranslated(const QList<SubtitleSegment> &segments)
{
    if (segments.isEmpty())
        return;
    history_->add(segments);
    if (savesTranslation_)
        runSegments_ << segments;
    showSegment(segments.constLast());
    for (const SubtitleSegment &segment : segments)
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

void WhisperWidget::onProcessError(const QString &reason)
{
    showMessage(QStringLiteral("음성 인식을 시작할 수 없습니다: %1").arg(reason));
    if (active_)
        setActive(false);
}

void WhisperWidget::onProcessFinished(bool succeeded, const QString &detail)
{
    if (!succeeded) {
        showMessage(QStringLiteral("음성 인식이 실패했습니다: %1").arg(detail));
        if (active_)
            setActive(false);
        return;
    }
    if (!detail.isEmpty())
        emit statusChanged(QStringLiteral("SRT 저장 완료: %1").arg(detail));
    finishing_ = true;
    if (translation_->isIdle())
        finishRun();
}

void WhisperWidget::finishRun()
{
    finishing_ = false;
    // The file is done, whatever the last segment's end or a duration not known yet says.
    elapsedClock_.invalidate();
    progressLabel_->setText(QStringLiteral("100%"));
    remainingLabel_->setText(formatClock(0));
    if (savesTranslation_ && !runSegments_.isEmpty()) {
        const SpeechExport::Outcome outcome = SpeechExport::write(runMedia_, SpeechExport::cues(runSegments_, runMedia_));
        emit statusChanged(outcome.error.isEmpty() ? QStringLiteral("SRT 저장 완료: %1").arg(outcome.path)
                                                   : QStringLiteral("SRT 저장 실패: %1").arg(outcome.error));
    }
    showMessage(QStringLiteral("음성 인식 완료"));
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
    history_->setSearchText(text);
}

void WhisperWidget::onFilterChanged(int filter)
{
    history_->setFilter(filter);
}

void WhisperWidget::exportSRT()
{
    const QList<SubtitleSegment> &history = history_->segments();
    if (history.isEmpty())
        return;
    // The newest segment names the last run's file; older runs' segments belong to other files.
    const QString media = history.constFirst().source;
    const SpeechExport::Outcome outcome = SpeechExport::write(media, SpeechExport::cues(history, media));
    showMessage(outcome.error.isEmpty() ? QStringLiteral("SRT 저장 완료: %1").arg(outcome.path)
                                        : QStringLiteral("SRT 저장 실패: %1").arg(outcome.error));
}

void WhisperWidget::copyAll()
{
    if (!history_->segments().isEmpty())
        QGuiApplication::clipboard()->setText(history_->plainText(timestampsBox_->isChecked()));
}

QString WhisperWidget::formatClock(double seconds)
{
    return MediaText::formatTime(seconds);
}

void WhisperWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!active_)
        refreshTranslateBox();
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
