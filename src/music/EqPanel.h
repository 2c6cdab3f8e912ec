#pragma once

#include <QList>
#include <QVariant>
#include <QWidget>

#include <optional>

class QButtonGroup;
class QLabel;
class QPushButton;
class QSlider;

// The ten-band graphic equalizer of the music view: sliders in tenths of a decibel (±12 dB),
// seven presets and one user preset kept in the settings. It only reports gains; the music view
// hands them to the engine:
//   connect(eqPanel, &EqPanel::eqChanged, core, [core](const QList<double> &gains) {
//       core->setAudioFilter(AudioFilterSlot::GraphicEq, EqPanel::filterString(gains));
//   });
class EqPanel : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kBandCount = 10;

    explicit EqPanel(QWidget *parent = nullptr);

    // Sets every slider to preset `index` (0 "Flat" to 6 "Jazz"); other indices do nothing.
    void applyPreset(int index);
    // The sliders' gains in dB, in band order.
    QList<double> gains() const;

    // The equalizer for these gains in the player's filter notation,
    // "equalizer=f0=2.0:f1=1.0:…:f9=1.5"; flat gains still give all ten terms.
    static QString filterString(const QList<double> &gains);
    // Slider values from a stored user preset: exactly ten finite numbers, stored as numbers or
    // as text (the settings file gives them back as text). nullopt for anything else.
    static std::optional<QList<int>> presetSliderValues(const QVariant &stored);

signals:
    void eqChanged(const QList<double> &gains);

public slots:
    void saveUserPreset();
    void loadUserPreset();

private:
    void onBandMoved(int band, int value);
    void setSliderValues(const QList<int> &values);

    QList<QSlider *> sliders_;
    QList<QLabel *> valueLabels_;
    QButtonGroup *presetButtons_ = nullptr;
    QPushButton *saveButton_ = nullptr;
};
