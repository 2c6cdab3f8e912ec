#pragma once

#include "subtitles/SegmentLine.h"
#include "subtitles/SpeechHistoryView.h"

#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QWidget>

class AudioWaveform;
class ConfidenceGauge;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class SpeechProcess;
class SpeechTranslation;

// The "AI 자막" page of the pro panel: runs the speech-recognition script (whisper_server.py) on
// a file, shows each recognised segment as it arrives with its confidence, translates it into
// Korean when asked (through the subtitle search's translation service), and keeps a searchable
// history for the page's life that can be exported as SubRip or copied.
class WhisperWidget : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kMaxHistory = SpeechHistoryView::kMaxHistory;

    explicit WhisperWidget(QWidget *parent = nullptr);
    ~WhisperWidget() override;

    // The file the next start recognises; a running recognition goes on with its own.
    void setMediaPath(const QString &path);
    QString mediaPath() const { return mediaPath_; }
    void setDuration(double seconds);

    bool isActive() const { return active_; }
    bool isWhisperAvailable() const { return whisperAvailable_; }
    // "faster-whisper", "pocketsphinx", or empty when neither can run.
    QString engineName() const { return engineName_; }
    // Newest first, from every run since the page was made.
    const QList<SubtitleSegment> &segmentHistory() const;

    // "h:mm:ss" from an hour on, "mm:ss" below.
    static QString formatClock(double seconds);

signals:
    void subtitleGenerated(const QString &text, double startSec, double endSec, int confidence);
    void statusChanged(const QString &status);
    void activeChanged(bool active);
    void seekToSubtitle(double startSec);
    // Asked at every start, before the file is read: the window answers with setMediaPath.
    void mediaPathRequested();

public slots:
    // Turning on without a usable engine or file leaves the page idle and says why.
    void setActive(bool on);
    void onPositionChanged(double seconds);
    void onSegmentsArrived(const QList<SubtitleSegment> &segments);
    void onProcessError(const QString &reason);
    void onProcessFinished(bool succeeded, const QString &detail);
    void onLangChanged(int index);
    void onModelChanged(int index);
    void onTranslateToggled(bool on);
    void onSaveToggled(bool on);
    void onSpeakerToggled(bool on);
    void checkWhisperAvailable();
    void onSearchChanged(const QString &text);
    void onFilterChanged(int filter);
    // The latest run's file's segments, in time order, beside it under a name not yet taken.
    void exportSRT();
    void copyAll();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    // WhisperPage.cpp
    void buildPage();
    QWidget *buildSettings();
    QWidget *buildConfidence();
    QWidget *buildWaveform();
    QWidget *buildPreview();

    void startRecognition();
    void stopRecognition();
    void onTranslated(const QList<SubtitleSegment> &segments);
    void finishRun();
    void showSegment(const SubtitleSegment &segment);
    void showProgress(double endSec);
    void showElapsed();
    void showMessage(const QString &message);
    void restyleStartButton();
    // Why "한국어 번역" cannot work now; empty when it can.
    QString translationBlocker() const;
    void refreshTranslateBox();

    // Choices for the next run.
    QString languageCode_ = QStringLiteral("auto");
    bool translate_ = true;
    QString model_ = QStringLiteral("medium");
    bool saveSrt_ = false;
    bool speakerSeparation_ = false; // shown, but no engine here can tell speakers apart
    QString mediaPath_;

    SpeechProcess *process_ = nullptr;
    SpeechTranslation *translation_ = nullptr;
    QString runMedia_;         // the file the running (or last) recognition reads
    bool savesTranslation_ = false;       // this run's SRT file is written here, translated
    QList<SubtitleSegment> runSegments_;  // for that file: all of the run, not the history's newest
    bool finishing_ = false;   // the script is done; translations are still on their way
    bool active_ = false;
    bool whisperAvailable_ = false;
    QString interpreter_;
    QString scriptPath_;
    QString engineName_;
    QTimer *elapsedTimer_ = nullptr;
    QElapsedTimer elapsedClock_;
    double position_ = 0;
    double duration_ = 0;

    QComboBox *languageBox_ = nullptr;
    QComboBox *modelBox_ = nullptr;
    QCheckBox *translateBox_ = nullptr;
    QLabel *translateNote_ = nullptr;
    QCheckBox *timestampsBox_ = nullptr;
    QPushButton *startButton_ = nullptr;
    QLabel *gpuBadge_ = nullptr;
    ConfidenceGauge *gauge_ = nullptr;
    AudioWaveform *waveform_ = nullptr;
    QLabel *progressLabel_ = nullptr;
    QLabel *elapsedLabel_ = nullptr;
    QLabel *remainingLabel_ = nullptr;
    QLabel *previewLabel_ = nullptr;
    QLabel *confidenceLabel_ = nullptr;
    SpeechHistoryView *history_ = nullptr;
};
