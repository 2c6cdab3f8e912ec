#pragma once

#include "settings/PluginChain.h"

#include <QWidget>

class MpvCore;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSlider;
enum class AudioFilterSlot;

// The pro panel's high-end audio page: room correction (the sound convolved with a measured
// impulse response, with a gain trim) and a chain of LADSPA plug-ins. Each owns its slot of the
// engine's shared audio chain, so neither disturbs the other nor the equalizers. Every input is
// checked here before the engine sees it, and what the engine refuses is taken back and said.
// Each check box acts at once and is stored as it stands: what runs now runs after a restart.
// The stored choices and their replay at start live in AudioAdvancedSettings.
class AudioAdvancedWidget : public QWidget
{
    Q_OBJECT
public:
    explicit AudioAdvancedWidget(MpvCore *core, QWidget *parent = nullptr);

    QString irPath() const { return irPath_; }
    int gainDb() const { return gainDb_; }
    QList<PluginEntry> plugins() const;

    // Chooses the impulse response without a dialog; the reason when it is not usable.
    QString setIrFile(const QString &path);
    // Appends a plug-in (the library's first one when `label` is empty); the reason when refused.
    QString addPlugin(const QString &path, const QString &label = {}, const QString &controls = {});

signals:
    void convolutionChanged(bool enabled, const QString &irPath);

public slots:
    void applyConvolution();
    void disableConvolution();
    void applyPlugins();
    void loadSettings();
    void saveSettings();
    void onBrowseIrFile();
    void onConvolutionToggled(bool on);
    void onGainChanged(int value);

private:
    QWidget *buildRoomPage();
    QWidget *buildPluginPage();
    void addPluginItem(const PluginEntry &entry);
    void onPluginsChanged();
    void onAddPlugin();
    void onRemovePlugin();
    void onCurrentPluginChanged();
    void onControlsEdited();
    void onFilterFailed(AudioFilterSlot slot, const QString &detail);
    void setStatus(QLabel *label, const QString &text, const char *state);
    void showIrFile();
    void showRoomActive();
    void showPluginsActive();
    void setConvolutionChecked(bool on);
    void setPluginsChecked(bool on);

    MpvCore *core_;
    QString irPath_;
    int gainDb_ = 0;
    bool loading_ = false;

    QLabel *irFileLabel_ = nullptr;
    QLabel *irInfoLabel_ = nullptr;
    QCheckBox *convolutionCheck_ = nullptr;
    QCheckBox *normalizeCheck_ = nullptr;
    QSlider *gainSlider_ = nullptr;
    QLabel *gainValueLabel_ = nullptr;
    QLabel *roomStatus_ = nullptr;

    QListWidget *pluginList_ = nullptr;
    QPushButton *removeButton_ = nullptr;
    QLineEdit *controlsEdit_ = nullptr;
    QLabel *controlsHint_ = nullptr;
    QCheckBox *pluginsCheck_ = nullptr;
    QLabel *pluginStatus_ = nullptr;
};
