#include "enhance/UpscaleMode.h"

#include <QFileInfo>

namespace UpscaleModes {

namespace {
// The sharpness of lanczos and the EWA scalers is their blur (their first parameter does
// nothing to them): above 1 softer, below 1 sharper. Strength 1 is the softest.
double blurFor(int strength)
{
    return 1.25 - 0.1 * strength;
}

QStringList existingShader(const QString &folder, const QString &name)
{
    const QString path = folder + QLatin1Char('/') + name;
    return QFileInfo(path).isFile() ? QStringList{path} : QStringList{};
}
} // namespace

QString label(UpscaleMode mode)
{
    switch (mode) {
    case UpscaleMode::Off: return QStringLiteral("OFF");
    case UpscaleMode::RtxVsr: return QStringLiteral("NVIDIA RTX VSR");
    case UpscaleMode::Fsr: return QStringLiteral("AMD FSR");
    case UpscaleMode::Lanczos: return QStringLiteral("Lanczos");
    case UpscaleMode::RealEsrgan: return QStringLiteral("Real-ESRGAN");
    case UpscaleMode::Rife: return QStringLiteral("RIFE 프레임보간");
    }
    return {};
}

UpscaleSettings settingsFor(UpscaleMode mode, int strength, const QString &shaderFolder)
{
    const double blur = blurFor(strength);
    UpscaleSettings settings;
    switch (mode) {
    case UpscaleMode::Off:
        break;
    case UpscaleMode::RtxVsr:
        settings.properties = {{"hwdec", "d3d11va"}, {"scale", "ewa_lanczossharp"}, {"scale-blur", blur}};
        break;
    case UpscaleMode::Fsr:
        settings.properties = {{"hwdec", "auto"}, {"scale", "ewa_lanczos"}, {"scale-blur", blur}};
        break;
    case UpscaleMode::Lanczos:
        settings.properties = {{"hwdec", "auto-safe"}, {"scale", "lanczos"}, {"scale-blur", blur}};
        break;
    case UpscaleMode::RealEsrgan:
        settings.properties = {{"hwdec", "auto"}, {"scale", "ewa_lanczossharp"}, {"scale-blur", blur}};
        settings.shaders = existingShader(shaderFolder, QStringLiteral("realesrgan-x4plus.glsl"));
        settings.shaderStatus = settings.shaders.isEmpty() ? QStringLiteral("⚠️ 셋어 파일 없음 - 고화질 알고리즘 적용중")
                                                           : QStringLiteral("✅ Real-ESRGAN 셋어 적용");
        break;
    case UpscaleMode::Rife:
        settings.properties = {{"hwdec", "auto"}, {"video-sync", "display-resample"}, {"interpolation", true},
                               {"tscale", "oversample"}};
        settings.shaders = existingShader(shaderFolder, QStringLiteral("rife-v4.glsl"));
        settings.shaderStatus = QStringLiteral("✅ RIFE 프레임 보간 활성화");
        break;
    }
    return settings;
}

QStringList touchedProperties()
{
    return {QStringLiteral("hwdec"), QStringLiteral("scale"), QStringLiteral("scale-blur"),
            QStringLiteral("video-sync"), QStringLiteral("interpolation"), QStringLiteral("tscale")};
}

} // namespace UpscaleModes
