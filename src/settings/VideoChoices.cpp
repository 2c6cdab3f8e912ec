#include "settings/VideoChoices.h"

#include "app/SettingsKeys.h"

namespace VideoChoices {

namespace {
template <typename T>
void addIfPicked(QStringList &picked, const QSettings &settings, const SettingKey<T> &key, const char *name)
{
    if (settings.contains(QLatin1StringView(key.name)) && readSetting(settings, key) != key.defaultValue)
        picked << QLatin1String(name);
}
} // namespace

QStringList stored(const QSettings &settings)
{
    if (settings.contains(QLatin1StringView(SettingsKeys::videoChosen.name)))
        return readSetting(settings, SettingsKeys::videoChosen);
    // Earlier versions stored every control of the dialog on each apply, so only a value other
    // than the default tells that the user picked it.
    QStringList picked;
    addIfPicked(picked, settings, SettingsKeys::videoRenderProfile, kProfile);
    addIfPicked(picked, settings, SettingsKeys::videoScaling, kScaling);
    addIfPicked(picked, settings, SettingsKeys::videoDeband, kDeband);
    addIfPicked(picked, settings, SettingsKeys::videoHwdec, kHwdec);
    return picked;
}

QString scalerOf(const QString &comboText)
{
    return comboText.section(QLatin1Char(' '), 0, 0);
}

QString hwdecOf(const QString &comboText)
{
    for (const char *family : {"d3d11va", "dxva2", "nvdec", "auto"})
        if (comboText.contains(QLatin1String(family)))
            return QLatin1String(family);
    return QStringLiteral("no");
}

} // namespace VideoChoices
