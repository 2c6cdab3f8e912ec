#pragma once

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QSettings>

class MpvCore;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;
class QWidget;

// The preferences window: four tabs loaded from the settings store when it opens; "적용" and
// "확인" store every control and hand the engine what can change at once.
class SettingsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit SettingsDialog(MpvCore *engine, QWidget *parent = nullptr);

    // The stored choices the engine has to be told again after every start (output device,
    // the render profile, scaler, debanding and decoder the user picked, motion smoothing,
    // subtitle auto-load); what the user did not pick stays with the automatic decisions.
    // Call once the engine is initialised; without an initialised engine nothing happens.
    static void applySavedAtStart(MpvCore *engine);

    // One value as the engine is told it, under the name the engine knows it by.
    struct EngineValue {
        QString name;
        QString value;
        bool operator==(const EngineValue &) const = default;
    };

signals:
    void settingsApplied();

public slots:
    void onApply();
    void onOk();
    void refreshAudioDevices();

private slots:
    void onBrowseScreenshotFolder();

private:
    QWidget *buildAudioTab();
    QWidget *buildVideoTab();
    QWidget *buildSubtitleTab();
    QWidget *buildGeneralTab();
    void loadStored();
    void loadFromEngine();
    void showAutomaticFromEngine();
    void notePicks();
    void storeAll();
    void protectStore();
    QList<EngineValue> engineValues() const;
    void writeToEngine(const EngineValue &value);

    QSettings settings_;
    QPointer<MpvCore> engine_;
    // What the engine was last told (or held when the dialog opened), so that Apply writes only
    // what changed: rewriting the audio options reopens the output with an audible click.
    QList<EngineValue> applied_;
    // The video settings the user has picked (VideoChoices names), and what their controls
    // showed when the window opened: a control the user never changed stays unpicked.
    QStringList picked_;
    struct Shown {
        int profile = 0;
        QString scaling;
        bool deband = false;
        QString hwdec;
        int debandStrength = 0;
    };
    Shown shownAtOpen_;
    Shown shown() const;
    bool strengthPicked_ = false;

    // Audio
    QComboBox *deviceCombo_ = nullptr;
    QCheckBox *exclusiveCheck_ = nullptr;
    QLabel *exclusiveNote_ = nullptr;
    QLabel *sharedNote_ = nullptr;
    QCheckBox *passthroughCheck_ = nullptr;
    QCheckBox *ac3Check_ = nullptr;
    QCheckBox *eac3Check_ = nullptr;
    QCheckBox *dtsCheck_ = nullptr;
    QCheckBox *dtsHdCheck_ = nullptr;
    QCheckBox *trueHdCheck_ = nullptr;
    QSlider *volumeSlider_ = nullptr;
    QLabel *volumeLabel_ = nullptr;
    QComboBox *dsdCombo_ = nullptr;
    QCheckBox *remoteCheck_ = nullptr;

    // Video
    QComboBox *hwdecCombo_ = nullptr;
    QComboBox *gpuApiCombo_ = nullptr;
    QComboBox *surfaceCombo_ = nullptr;
    QComboBox *profileCombo_ = nullptr;
    QComboBox *scalingCombo_ = nullptr;
    QComboBox *toneMappingCombo_ = nullptr;
    QCheckBox *debandCheck_ = nullptr;
    QComboBox *debandStrengthCombo_ = nullptr;
    QCheckBox *motionSmoothingCheck_ = nullptr;

    // Subtitles
    QComboBox *fontCombo_ = nullptr;
    QSlider *fontSizeSlider_ = nullptr;
    QLabel *fontSizeLabel_ = nullptr;
    QCheckBox *boldCheck_ = nullptr;
    QComboBox *colorCombo_ = nullptr;
    QCheckBox *shadowCheck_ = nullptr;
    QCheckBox *autoLoadCheck_ = nullptr;
    QLineEdit *openSubtitlesKeyEdit_ = nullptr;
    QLineEdit *deeplKeyEdit_ = nullptr;
    QLineEdit *papagoIdEdit_ = nullptr;
    QLineEdit *papagoSecretEdit_ = nullptr;

    // General
    QCheckBox *rememberPosCheck_ = nullptr;
    QCheckBox *resumeCheck_ = nullptr;
    QComboBox *languageCombo_ = nullptr;
    QLineEdit *screenshotDirEdit_ = nullptr;
    QComboBox *screenshotFormatCombo_ = nullptr;
};
