#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// A 3D colour lookup table as calibration tools write it (".cube"): size³ RGB entries with red
// changing fastest, mapping input colours between domainMin and domainMax.
struct CubeLut
{
    // A real LUT is 17³–65³ (65 is a common export size); anything larger is no calibration
    // file, and the file is read whole.
    static constexpr int kMinSize = 2;
    static constexpr int kMaxSize = 65;
    static constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;

    QString title;
    int size = 0;
    std::array<float, 3> domainMin{0.0f, 0.0f, 0.0f};
    std::array<float, 3> domainMax{1.0f, 1.0f, 1.0f};
    std::vector<float> rgb; // size³ × 3

    // nullopt with a reason for the user (Korean) when the text is not a well-formed 3D LUT.
    static std::optional<CubeLut> parse(const QByteArray &text, QString *error);
    static std::optional<CubeLut> load(const QString &path, QString *error);
};
