#pragma once

#include <QPoint>
#include <QSettings>
#include <QSize>
#include <QStringList>
#include <QVariant>

// Every persistent preference of the player, with its type and the value assumed when the key
// is absent. Readers go through readSetting so an empty store is always a valid store.

template <typename T>
struct SettingKey {
    const char *name;
    T defaultValue;
};

namespace SettingsKeys {

// Window
inline const SettingKey<QSize> windowSize{"window/size", QSize()}; // absent: 3/5 of the screen, centred
inline const SettingKey<QPoint> windowPos{"window/pos", QPoint(-1, -1)}; // negative x: centre the window
inline const SettingKey<bool> windowAlwaysOnTop{"window/alwaysOnTop", false};

// Audio
inline const SettingKey<int> audioVolume{"audio/volume", 100}; // 0 to 200
inline const SettingKey<bool> audioExclusive{"audio/exclusive", true};
inline const SettingKey<bool> audioPassthrough{"audio/passthrough", true};
inline const SettingKey<bool> audioPassthroughAc3{"audio/pt_ac3", true};
inline const SettingKey<bool> audioPassthroughEac3{"audio/pt_eac3", true};
inline const SettingKey<bool> audioPassthroughDts{"audio/pt_dts", true};
inline const SettingKey<bool> audioPassthroughDtsHd{"audio/pt_dtshd", true};
inline const SettingKey<bool> audioPassthroughTrueHd{"audio/pt_truehd", true};
inline const SettingKey<QString> audioDevice{"audio/device", QStringLiteral("auto")};
inline const SettingKey<int> audioDsdMode{"audio/dsd_mode", 0}; // 0 to 2

// Video
inline const SettingKey<QString> videoGpuApi{"video/gpu_api", QStringLiteral("d3d11")};
inline const SettingKey<int> videoVoIndex{"video/vo_index", 0};
inline const SettingKey<QString> videoHwdec{"video/hwdec", QStringLiteral("d3d11va (DirectX 11)")};
inline const SettingKey<QString> videoScaling{"video/scaling", QStringLiteral("spline36")};
inline const SettingKey<bool> videoDeband{"video/deband", false};
inline const SettingKey<bool> videoMotionSmoothing{"video/motion_smoothing", false};
inline const SettingKey<int> videoRenderProfile{"video/render_profile", 2}; // Eco, Balanced, Quality, HiEnd
// Which of render_profile, scaling, deband and hwdec the user picked (names without "video/"):
// only those are replayed at start, the rest is left to the automatic choice for the machine.
// Files of earlier versions lack it; there a stored value other than the default was picked.
inline const SettingKey<QStringList> videoChosen{"video/chosen", QStringList()};
// How the picture reaches the window: "auto", "opengl" or "software"; read at start.
inline const SettingKey<QString> videoSurface{"video/surface", QStringLiteral("auto")};

// General. Qt's INI format keeps the group "General" (in any case) for keys without a group: it
// writes a group of that name as "[%General]" and reads it back as "General", so a key spelt
// "general/…" would never be found again in the next process. Users' files hold these keys in
// that "[%General]" section, which this spelling reads and writes. No other group may be
// called "general" in any case.
inline const SettingKey<bool> generalRememberPos{"General/remember_pos", true};
inline const SettingKey<bool> generalResume{"General/resume", false};
// Empty stands for the user's pictures folder; read it through screenshotFolder().
inline const SettingKey<QString> generalScreenshotDir{"General/screenshot_dir", QString()};
inline const SettingKey<QString> generalScreenshotFormat{"General/screenshot_format", QStringLiteral("PNG")};
// The interface language picked for the next start: "ko", "en", "ja" or "zh".
inline const SettingKey<QString> generalLanguage{"General/language", QStringLiteral("ko")};

// Remote control
inline const SettingKey<bool> remoteEnabled{"remote/enabled", false};

// Subtitles
inline const SettingKey<bool> subtitleAutoLoad{"subtitle/auto_load", true};
inline const SettingKey<QString> subtitleOpenSubtitlesApiKey{"subtitle/opensubtitles_apikey", QString()};
inline const SettingKey<QString> subtitleDeeplApiKey{"subtitle/deepl_api_key", QString()};
inline const SettingKey<QString> subtitlePapagoClientId{"subtitle/papago_client_id", QString()};
inline const SettingKey<QString> subtitlePapagoClientSecret{"subtitle/papago_client_secret", QString()};

// History: newest first, at most ten local files.
inline const SettingKey<QStringList> recentFiles{"recent/files", QStringList()};

// Equalizer: ten gains in dB; absent means no user preset.
inline const SettingKey<QVariantList> eqUserPreset{"eq/user_preset", QVariantList()};

// Room correction and plug-ins
inline const SettingKey<bool> audioAdvancedConvEnabled{"audio_advanced/conv_enabled", false};
inline const SettingKey<QString> audioAdvancedIrPath{"audio_advanced/ir_path", QString()};
inline const SettingKey<int> audioAdvancedGainDb{"audio_advanced/gain_db", 0};
// One entry per plug-in, in chain order: "path<TAB>label<TAB>controls" (a bare path takes the
// library's first plug-in and its default controls).
inline const SettingKey<QStringList> audioAdvancedVstPlugins{"audio_advanced/vst_plugins", QStringList()};
inline const SettingKey<bool> audioAdvancedPluginsEnabled{"audio_advanced/plugins_enabled", false};
// Scale the response so its largest sample is full scale, before the gain trim.
inline const SettingKey<bool> audioAdvancedIrNormalize{"audio_advanced/ir_normalize", true};

// Display calibration
inline const SettingKey<bool> videoAdvancedLutEnabled{"video_advanced/lut_enabled", false};
inline const SettingKey<QString> videoAdvancedLutPath{"video_advanced/lut_path", QString()};
inline const SettingKey<int> videoAdvancedColorspaceIdx{"video_advanced/colorspace_idx", 0};

// Network sources
inline const SettingKey<QStringList> networkSmbFavorites{"network/smb_favorites", QStringList()};
inline const SettingKey<bool> networkVr360Enabled{"network/vr360_enabled", false};
inline const SettingKey<QString> networkCastIp{"network/cast_ip", QString()};

// Media library
inline const SettingKey<QStringList> libraryFolders{"library/folders", QStringList()};

// Per-file records. Resume positions (double, seconds; absent means start from the beginning):
// the key is qHash of the path's UTF-16 text, seed 0, in lowercase hex.
QString resumeKey(const QString &path);
// Play statistics, grouped under "stats" by the lowercase MD5 of the path's UTF-8 bytes:
// count (int, default 0), last_played (ISO 8601 local date-time), path (string).
inline constexpr auto kStatsGroup = "stats";
QString statsCountKey(const QString &path);
QString statsLastPlayedKey(const QString &path);
QString statsPathKey(const QString &path);

// The screenshot folder with its default resolved.
QString screenshotFolder(const QSettings &settings);

} // namespace SettingsKeys

template <typename T>
T readSetting(const QSettings &settings, const SettingKey<T> &key)
{
    return settings.value(QLatin1StringView(key.name), QVariant::fromValue(key.defaultValue)).template value<T>();
}

template <typename T>
void writeSetting(QSettings &settings, const SettingKey<T> &key, const T &value)
{
    settings.setValue(QLatin1StringView(key.name), QVariant::fromValue(value));
}
