#pragma once

#include "engine/EngineDialect.h"

#include <QList>
#include <QVariant>
#include <QWidget>

#include <iterator>

#include <optional>

class QButtonGroup;
class QLabel;
class QPushButton;
class QSlider;

// The ten-band graphic equalizer of the music view: sliders in tenths of a decibel (±12 dB),
// seven presets, one user preset kept in the settings, and the "ON" switch that bypasses it. It
// only reports; its owner hands engineFilter() to the engine whenever either signal comes:
//   core->setAudioFilter(AudioFilterSlot::GraphicEq, eqPanel->engineFilter());
class EqPanel : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kBandCount = int(std::size(kEqualizerBandsHz));

    explicit EqPanel(QWidget *parent = nullptr);

    // Sets every slider to preset `index` (0 "Flat" to 6 "Jazz"); other indices do nothing.
    void applyPreset(int index);
    // The sliders' gains in dB, in band order.
    QList<double> gains() const;
    // Whether "ON" is on; off, the equalizer is bypassed and its sliders keep their places.
    bool isOn() const;
    // What the engine should run: the sliders' equalizer, or nothing while bypassed.
    QString engineFilter() const;

    // The equalizer for these gains in the player's filter notation,
    // "equalizer=f0=2.0:f1=1.0:…:f9=1.5"; flat gains still give all ten terms.
    static QString filterString(const QList<double> &gains);
    // Slider values from a stored user preset: exactly ten finite numbers, stored as numbers or
    // as text (the settings file gives them back as text). nullopt for anything else.
    static std::optional<QList<int>> presetSliderValues(const QVariant &stored);

signals:
    void eqChanged(const QList<double> &gains);
    void switchedOn(bool on);

public slots:
    void saveUserPreset();
    void loadUserPreset();

private:
    void onBandMoved(int band, int value);
    void showBypass(bool bypassed);
    void setSliderValues(const QList<int> &values);

    QList<QSlider *> sliders_;
    QList<QLabel *> valueLabels_;
    QButtonGroup *presetButtons_ = nullptr;
    QPushButton *onButton_ = nullptr;
    QPushButton *saveButton_ = nullptr;
};
