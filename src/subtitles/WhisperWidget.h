#pragma once

#include "subtitles/SegmentLine.h"

#include <QElapsedTimer>
#include <QList>
#include <QProcess>
#include <QString>
#include <QWidget>

class AudioWaveform;
class ConfidenceGauge;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

// The "AI 자막" page of the pro panel: runs the speech-recognition script (whisper_server.py) on
// the playing file, shows each recognised segment as it arrives with its confidence, and keeps a
// searchable history that can be exported as SubRip or copied. Nothing here is saved between runs.
class WhisperWidget : public QWidget
{
    Q_OBJECT
public:
    // The newest segments kept; older ones drop out of the history.
    static constexpr int kMaxHistory = 500;
    enum HistoryFilter { AllSegments = 0, HighConfidence = 1, LowConfidence = 2 };

    explicit WhisperWidget(QWidget *parent = nullptr);
    ~WhisperWidget() override;

    // The file recognition runs on; the next start uses it (a running one goes on with its file).
    void setMediaPath(const QString &path);
    QString mediaPath() const { return mediaPath_; }
    void setDuration(double seconds);

    bool isActive() const { return active_; }
    bool isWhisperAvailable() const { return whisperAvailable_; }
    // "faster-whisper", "pocketsphinx", or empty when neither can run.
    QString engineName() const { return engineName_; }
    // Newest first.
    const QList<SubtitleSegment> &segmentHistory() const { return segmentHistory_; }
    // Where exportSRT() writes for the current file: beside it, under its full base name.
    QString srtExportPath() const;

    // "h:mm:ss" from an hour on, "mm:ss" below.
    static QString formatClock(double seconds);

signals:
    void subtitleGenerated(const QString &text, double startSec, double endSec, int confidence);
    void statusChanged(const QString &status);
    void activeChanged(bool active);
    void seekToSubtitle(double startSec);

public slots:
    // Turning on without a usable engine or file leaves the page idle and says why.
    void setActive(bool on);
    void onPositionChanged(double seconds);
    void onProcessOutput();
    void onProcessError(QProcess::ProcessError error);
    void onProcessFinished(int exitCode);
    void onLangChanged(int index);
    void onModelChanged(int index);
    void onTranslateToggled(bool on);
    void onSaveToggled(bool on);
    void onSpeakerToggled(bool on);
    void checkWhisperAvailable();
    void onSearchChanged(const QString &text);
    void onFilterChanged(int filter);
    void exportSRT();
    void copyAll();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QWidget *buildSettings();
    QWidget *buildConfidence();
    QWidget *buildWaveform();
    QWidget *buildPreview();
    QWidget *buildHistory();

    void startRecognition();
    void stopRecognition();
    void readStandardError();
    void readSegments(bool toTheEnd);
    void showSegment(const SubtitleSegment &segment);
    void showProgress(double endSec);
    void showElapsed();
    void showMessage(const QString &message);
    void rebuildHistoryList();
    void restyleStartButton();
    QString failureDetail() const;

    // Choices for the next run.
    QString languageCode_ = QStringLiteral("auto");
    bool translate_ = true;
    QString model_ = QStringLiteral("medium");
    bool saveSrt_ = false;
    bool speakerSeparation_ = false; // shown, but no engine here can tell speakers apart
    QString mediaPath_;
    QString searchText_;
    int historyFilter_ = AllSegments;

    QProcess *process_ = nullptr;
    QByteArray stderrTail_;
    bool active_ = false;
    bool whisperAvailable_ = false;
    QString interpreter_;
    QString scriptPath_;
    QString engineName_;
    QList<SubtitleSegment> segmentHistory_;
    QTimer *elapsedTimer_ = nullptr;
    QElapsedTimer elapsedClock_;
    double position_ = 0;
    double duration_ = 0;

    QComboBox *languageBox_ = nullptr;
    QComboBox *modelBox_ = nullptr;
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
    QLineEdit *searchEdit_ = nullptr;
    QPushButton *highFilterButton_ = nullptr;
    QPushButton *lowFilterButton_ = nullptr;
    QListWidget *historyList_ = nullptr;
};
