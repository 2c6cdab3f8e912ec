#pragma once

#include "enhance/UpscaleMode.h"

#include <QWidget>

#include <optional>

class MpvCore;
class PerfGraph;
class QButtonGroup;
class QLabel;
class QSlider;
class QTimer;

// The picture-enhancement page: a scaling or interpolation mode and its strength, written to the
// engine, with graphs of what the machine is doing. Building the page changes nothing; "OFF"
// puts back what was in force before the page first changed anything.
class UpscaleWidget : public QWidget
{
    Q_OBJECT
public:
    explicit UpscaleWidget(MpvCore *core, QWidget *parent = nullptr);

    UpscaleMode mode() const { return mode_; }
    int strength() const { return strength_; }
    QString statusText() const;
    // Where the neural and interpolation shaders are looked for; beside the executable outside
    // tests.
    void setShaderFolder(const QString &folder) { shaderFolder_ = folder; }

signals:
    void modeChanged(UpscaleMode mode);
    void compareToggled(bool on);

public slots:
    void setMode(UpscaleMode mode);
    void setStrength(int level);
    void toggleCompare(bool on);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void apply();
    void restoreBeforePanel();
    void showStatus(const QString &text, bool active);
    void showEngineScale();
    void sampleGraphs();

    MpvCore *core_ = nullptr;
    UpscaleMode mode_ = UpscaleMode::Off;
    int strength_ = 3;
    bool compare_ = false;
    QString shaderFolder_;
    QString modeScale_; // the active mode's scaler; empty when it leaves the scaler alone
    // The engine's values before the panel's first mode, by property name.
    std::optional<QList<QPair<QString, QString>>> before_;

    QButtonGroup *modeButtons_ = nullptr;
    QSlider *strengthSlider_ = nullptr;
    QLabel *strengthValue_ = nullptr;
    QLabel *status_ = nullptr;
    PerfGraph *gpuGraph_ = nullptr;
    PerfGraph *vramGraph_ = nullptr;
    PerfGraph *fpsGraph_ = nullptr;
    QTimer *sampler_ = nullptr;
};
