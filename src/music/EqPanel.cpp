#include "music/EqPanel.h"

#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "music/MusicLook.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cmath>

namespace {
constexpr int kSliderRange = 120; // ±12.0 dB in tenths
constexpr int kSavedFeedbackMs = 1500;
const QString kSaveText = QStringLiteral("프리셋 저장");

// "31Hz", "1kHz", "16kHz"
QString bandLabel(int hz)
{
    return hz < 1000 ? QStringLiteral("%1Hz").arg(hz) : QStringLiteral("%1kHz").arg(hz / 1000);
}

struct Preset {
    const char *name;
    std::array<double, EqPanel::kBandCount> gains;
};
constexpr Preset kPresets[] = {
    {"Flat", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    {"Audiophile", {2, 1, 0, 0, -0.5, -0.5, 0, 0.5, 1, 1.5}},
    {"Bass Boost", {5, 4, 3, 1, 0, 0, 0, 0, 0, 0}},
    {"Vocal", {-1, 0, 1, 2, 3, 3, 2, 1, 0, -1}},
    {"Classical", {3, 2, 1, 0, 0, 0, 0, 1, 2, 3}},
    {"Rock", {4, 3, 1, 0, -1, -1, 0, 1, 3, 4}},
    {"Jazz", {2, 1, 0, 1, 2, 2, 1, 0, -1, -1}},
};
constexpr int kPresetCount = int(std::size(kPresets));

// Gain in dB to slider tenths, half away from zero (−0.05 dB is −1).
int sliderValue(double gainDb)
{
    return int(std::lround(std::clamp(gainDb, -12.0, 12.0) * 10.0));
}

std::optional<double> storedNumber(const QVariant &entry)
{
    bool ok = false;
    double value = 0.0;
    switch (entry.typeId()) {
    case QMetaType::QString:
    case QMetaType::QByteArray:
        value = entry.toString().trimmed().toDouble(&ok);
        break;
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        value = entry.toDouble(&ok);
        break;
    default:
        break;
    }
    // Text parsing accepts "nan" and "inf": neither is a gain.
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// %1 the accent, %2 the read-out font. Bypassed, the bands keep their places in grey.
const char *kStyle = R"(
EqPanel { background: #141414; }
QLabel#title { color: #e0e0e0; font-weight: bold; font-size: 12px; }
QLabel[role="value"] { color: %1; font-family: %2; font-size: 9px; }
QLabel[role="value"][bypassed="true"] { color: #555; }
QLabel[role="band"] { color: #777; font-size: 8px; }
QPushButton { background: #242424; color: #aaa; border: 1px solid #333; border-radius: 3px;
              padding: 3px 6px; font-size: 10px; }
QPushButton:hover { color: #fff; border-color: #555; }
QPushButton:checked { background: %1; color: #000; border-color: %1; }
QPushButton[role="preset"] { padding: 3px 0px; font-size: 10px; }
QSlider::groove:vertical { background: #2a2a2a; width: 4px; border-radius: 2px; }
QSlider::sub-page:vertical { background: #2a2a2a; width: 4px; border-radius: 2px; }
QSlider::add-page:vertical { background: %1; width: 4px; border-radius: 2px; }
QSlider[bypassed="true"]::add-page:vertical { background: #4a4a4a; }
QSlider::handle:vertical { background: #e8e8e8; height: 10px; margin: 0 -5px; border-radius: 5px; }
)";
} // namespace

EqPanel::EqPanel(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QLatin1String(kStyle).arg(MusicLook::kTeal, MusicLook::kMonoFont));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 12, 16, 12);
    layout->setSpacing(8);

    auto *header = new QHBoxLayout;
    auto *title = new QLabel(QStringLiteral("EQUALIZER"), this);
    title->setObjectName(QStringLiteral("title"));
    header->addWidget(title);
    header->addStretch();
    onButton_ = new QPushButton(QStringLiteral("ON"), this);
    onButton_->setCheckable(true);
    onButton_->setChecked(true);
    connect(onButton_, &QPushButton::toggled, this, [this](bool on) {
        showBypass(!on);
        emit switchedOn(on);
    });
    header->addWidget(onButton_);
    layout->addLayout(header);

    // Two rows: seven names side by side do not fit the music view's side column.
    constexpr int kPresetsPerRow = 4;
    auto *presetRow = new QGridLayout;
    presetRow->setSpacing(4);
    presetButtons_ = new QButtonGroup(this);
    for (int i = 0; i < kPresetCount; ++i) {
        auto *button = new QPushButton(QLatin1String(kPresets[i].name), this);
        button->setProperty("role", QStringLiteral("preset"));
        button->setCheckable(true);
        button->setChecked(i == 0);
        button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        presetButtons_->addButton(button, i);
        presetRow->addWidget(button, i / kPresetsPerRow, i % kPresetsPerRow);
    }
    // One preset is in force at a time, so only its button shows checked.
    connect(presetButtons_, &QButtonGroup::idClicked, this, &EqPanel::applyPreset);
    layout->addLayout(presetRow);

    // Ten 36-px columns need 446 px, the music view's side column has 320: the labels and preset
    // buttons give way (36 px when there is room) so every band stays on screen.
    auto *bandRow = new QHBoxLayout;
    bandRow->setSpacing(6);
    for (int band = 0; band < kBandCount; ++band) {
        auto *column = new QVBoxLayout;
        auto *value = new QLabel(QStringLiteral("0"), this);
        value->setObjectName(QStringLiteral("value%1").arg(band));
        value->setProperty("role", QStringLiteral("value"));
        value->setMaximumWidth(36);
        value->setAlignment(Qt::AlignCenter);
        value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        auto *slider = new QSlider(Qt::Vertical, this);
        slider->setObjectName(QStringLiteral("band%1").arg(band));
        slider->setRange(-kSliderRange, kSliderRange);
        slider->setValue(0);
        slider->setFixedWidth(24);
        slider->setMinimumHeight(100);
        slider->setFocusPolicy(Qt::NoFocus);
        auto *label = new QLabel(bandLabel(kEqualizerBandsHz[band]), this);
        label->setProperty("role", QStringLiteral("band"));
        label->setMaximumWidth(36);
        label->setAlignment(Qt::AlignCenter);
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        column->addWidget(value, 0, Qt::AlignHCenter);
        column->addWidget(slider, 1, Qt::AlignHCenter);
        column->addWidget(label, 0, Qt::AlignHCenter);
        bandRow->addLayout(column);
        connect(slider, &QSlider::valueChanged, this, [this, band](int v) { onBandMoved(band, v); });
        sliders_ << slider;
        valueLabels_ << value;
    }
    layout->addLayout(bandRow, 1);

    auto *bottom = new QHBoxLayout;
    auto *reset = new QPushButton(QStringLiteral("Reset"), this);
    saveButton_ = new QPushButton(kSaveText, this);
    auto *load = new QPushButton(QStringLiteral("저장된 프리셋"), this);
    connect(reset, &QPushButton::clicked, this, [this] { applyPreset(0); });
    connect(saveButton_, &QPushButton::clicked, this, &EqPanel::saveUserPreset);
    connect(load, &QPushButton::clicked, this, &EqPanel::loadUserPreset);
    bottom->addWidget(reset);
    bottom->addWidget(saveButton_);
    bottom->addWidget(load);
    bottom->addStretch();
    layout->addLayout(bottom);
}

void EqPanel::applyPreset(int index)
{
    if (index < 0 || index >= kPresetCount)
        return;
    if (QAbstractButton *button = presetButtons_->button(index))
        button->setChecked(true);
    QList<int> values;
    for (const double gain : kPresets[index].gains)
        values << sliderValue(gain);
    setSliderValues(values);
}

QList<double> EqPanel::gains() const
{
    QList<double> gains;
    for (const QSlider *slider : sliders_)
        gains << slider->value() / 10.0;
    return gains;
}

bool EqPanel::isOn() const
{
    return onButton_->isChecked();
}

QString EqPanel::engineFilter() const
{
    return isOn() ? filterString(gains()) : QString();
}

void EqPanel::showBypass(bool bypassed)
{
    for (int band = 0; band < kBandCount; ++band) {
        for (QWidget *shown : {static_cast<QWidget *>(sliders_.at(band)), static_cast<QWidget *>(valueLabels_.at(band))}) {
            shown->setProperty("bypassed", bypassed);
            // Style sheets read dynamic properties only when the widget is polished again.
            shown->style()->unpolish(shown);
            shown->style()->polish(shown);
        }
    }
}

QString EqPanel::filterString(const QList<double> &gains)
{
    QStringList terms;
    for (qsizetype band = 0; band < gains.size(); ++band)
        terms << QStringLiteral("f%1=%2").arg(band).arg(gains.at(band), 0, 'f', 1);
    return QStringLiteral("equalizer=") + terms.join(QLatin1Char(':'));
}

std::optional<QList<int>> EqPanel::presetSliderValues(const QVariant &stored)
{
    if (stored.typeId() != QMetaType::QVariantList && stored.typeId() != QMetaType::QStringList)
        return std::nullopt;
    const QVariantList entries = stored.toList();
    if (entries.size() != kBandCount)
        return std::nullopt;
    QList<int> values;
    for (const QVariant &entry : entries) {
        const std::optional<double> gain = storedNumber(entry);
        if (!gain)
            return std::nullopt;
        values << sliderValue(*gain);
    }
    return values;
}

void EqPanel::saveUserPreset()
{
    QVariantList stored;
    for (const double gain : gains())
        stored << gain;
    QSettings settings(QLatin1StringView(AppIdentity::kOrganisation),
                       QLatin1StringView(AppIdentity::kSettingsApplication));
    writeSetting(settings, SettingsKeys::eqUserPreset, stored);
    saveButton_->setText(QStringLiteral("✓ 저장됨"));
    QTimer::singleShot(kSavedFeedbackMs, saveButton_, [button = saveButton_] { button->setText(kSaveText); });
}

void EqPanel::loadUserPreset()
{
    const QSettings settings(QLatin1StringView(AppIdentity::kOrganisation),
                             QLatin1StringView(AppIdentity::kSettingsApplication));
    // Read raw: the store gives the numbers back as text, and a damaged entry may be anything.
    if (const auto values = presetSliderValues(settings.value(QLatin1StringView(SettingsKeys::eqUserPreset.name))))
        setSliderValues(*values);
}

void EqPanel::setSliderValues(const QList<int> &values)
{
    // Each slider that moves reports on its own, so the engine follows every step.
    for (int band = 0; band < kBandCount && band < values.size(); ++band)
        sliders_.at(band)->setValue(values.at(band));
}

void EqPanel::onBandMoved(int band, int value)
{
    const double gain = value / 10.0;
    const QString text = QString::number(gain, 'f', 1);
    valueLabels_.at(band)->setText(gain >= 0 ? QLatin1Char('+') + text : text);
    emit eqChanged(gains());
}
