#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

enum class UpscaleMode { Off = 0, RtxVsr, Fsr, Lanczos, RealEsrgan, Rife };

// What one enhancement mode asks of the engine at one strength (1 soft .. 4 sharp).
struct UpscaleSettings {
    QList<QPair<QString, QVariant>> properties; // written in this order
    QStringList shaders;                        // the panel's own shader entries; empty: none
    QString shaderStatus;                       // what the panel says about its shader, if anything
};

namespace UpscaleModes {

inline constexpr int kModeCount = 6;
inline constexpr int kMinStrength = 1;
inline constexpr int kMaxStrength = 4;

QString label(UpscaleMode mode);

// The settings of an active mode. The window's output driver is never among them (switching it
// while the player draws stops the picture), nor the Windows graphics interface.
UpscaleSettings settingsFor(UpscaleMode mode, int strength, const QString &shaderFolder);

// Every property some mode writes: what the panel puts back when it is turned off.
QStringList touchedProperties();

} // namespace UpscaleModes
