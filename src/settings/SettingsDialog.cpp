#include "settings/SettingsDialog.h"

#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "engine/MpvCore.h"
#include "settings/VideoChoices.h"
#include "engine/EngineDialect.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QStandardItemModel>
#include <QStandardPaths>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const char *const kGpuApis[] = {"d3d11", "d3d12", "opengl", "vulkan"};

bool offered(const QComboBox *box, int row)
{
    return qobject_cast<const QStandardItemModel *>(box->model())->item(row)->isEnabled();
}

// Each choice's families in order of preference. The Windows faces are missing on Linux
// desktops, and the Latin face fontconfig would substitute has no Hangul, so the Korean choices
// end in the CJK family Debian installs.
struct FontChoice {
    const char *label;
    QStringList families;
};
const FontChoice kFontChoices[] = {
    {"맑은 고딕", {QStringLiteral("Malgun Gothic"), QStringLiteral("Noto Sans CJK KR")}},
    {"나눔고딕", {QStringLiteral("NanumGothic"), QStringLiteral("Noto Sans CJK KR")}},
    {"Segoe UI", {QStringLiteral("Segoe UI")}},
    {"Arial", {QStringLiteral("Arial")}},
    {"Noto Sans KR", {QStringLiteral("Noto Sans KR"), QStringLiteral("Noto Sans CJK KR")}},
};

const std::pair<const char *, const char *> kSubtitleColours[] = {
    {"흰색", "#FFFFFF"}, {"노란색", "#FFFF00"}, {"하늘색", "#87CEEB"}, {"연두색", "#9ACD32"}};

// Deband strength as the engine's threshold; the middle one is the engine's own default.
const int kDebandThresholds[] = {32, 48, 64};

int debandStrengthFor(double threshold)
{
    return threshold <= 40 ? 0 : threshold <= 56 ? 1 : 2;
}

const QString kRenderProfile = QStringLiteral("render-profile");

QString installedFamily(const QStringList &families)
{
    for (const QString &family : families)
        if (QFontDatabase::hasFamily(family))
            return family;
    return families.last();
}

// Selects the item carrying `data`; a value the list does not offer is added as it is, so the
// control shows what the engine really uses.
void selectData(QComboBox *combo, const QString &data)
{
    int index = combo->findData(data);
    if (index < 0) {
        combo->addItem(data, data);
        index = combo->count() - 1;
    }
    combo->setCurrentIndex(index);
}

void selectText(QComboBox *combo, const QString &text)
{
    if (const int index = combo->findText(text); index >= 0)
        combo->setCurrentIndex(index);
}

void writeEngineValue(MpvCore *engine, const SettingsDialog::EngineValue &entry)
{
    const QString &name = entry.name;
    const QString &value = entry.value;
    if (name == kRenderProfile) {
        engine->applyRenderProfile(RenderProfile(value.toInt()));
    } else if (name == QLatin1String("audio-device")) {
        engine->setAudioDevice(value);
    } else if (name == QLatin1String("audio-exclusive")) {
        engine->setAudioExclusive(value == QLatin1String("yes"));
    } else if (name == QLatin1String("audio-spdif")) {
        if (!value.isEmpty())
            engine->setPassthroughCodecs(value.split(QLatin1Char(',')));
        engine->setPassthrough(!value.isEmpty());
    } else if (name == QLatin1String("volume")) {
        engine->setVolume(value.toInt());
    } else if (name == QLatin1String("hwdec")) {
        engine->setHwdec(value);
    } else if (name == QLatin1String("scale")) {
        engine->setChosenScale(MpvCore::ScaleChooser::Settings, value);
    } else if (name == QLatin1String("deband")) {
        engine->setChosenDeband(value == QLatin1String("yes"));
    } else if (name == QLatin1String("interpolation")) {
        engine->setInterpolation(value == QLatin1String("yes"));
    } else {
        engine->setMpvProperty(name, value);
    }
}

} // namespace

SettingsDialog::SettingsDialog(MpvCore *engine, QWidget *parent)
    : QDialog(parent)
    , settings_(QLatin1StringView(AppIdentity::kOrganisation), QLatin1StringView(AppIdentity::kSettingsApplication))
    , engine_(engine)
{
    setWindowTitle(QStringLiteral("Velmoran 설정"));
    setMinimumSize(640, 540);
    resize(700, 580);
    // The dark palette leaves an unticked box as dark as the page behind it: drawn with a rim,
    // ticked ones filled, as on the panel's pages.
    setStyleSheet(QStringLiteral("QCheckBox::indicator { width: 12px; height: 12px; border: 1px solid #6a6a6a;"
                                 "  border-radius: 2px; background: #111111; }"
                                 "QCheckBox::indicator:checked { background: #00c8b4; border-color: #00c8b4; }"
                                 "QCheckBox::indicator:disabled { border-color: #3a3a3a; }"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *tabs = new QTabWidget(this);
    tabs->addTab(buildAudioTab(), QStringLiteral("오디오"));
    tabs->addTab(buildVideoTab(), QStringLiteral("비디오"));
    tabs->addTab(buildSubtitleTab(), QStringLiteral("자막"));
    tabs->addTab(buildGeneralTab(), QStringLiteral("일반"));
    layout->addWidget(tabs, 1);

    auto *bar = new QWidget(this);
    bar->setMinimumHeight(52);
    auto *buttons = new QHBoxLayout(bar);
    buttons->setContentsMargins(12, 10, 12, 10);
    buttons->addStretch(1);
    auto *apply = new QPushButton(QStringLiteral("적용"), bar);
    apply->setObjectName(QStringLiteral("btnApply"));
    auto *ok = new QPushButton(QStringLiteral("확인"), bar);
    ok->setObjectName(QStringLiteral("btnOk"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("취소"), bar);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    for (QPushButton *button : {apply, ok, cancel})
        buttons->addWidget(button);
    layout->addWidget(bar);
    connect(apply, &QPushButton::clicked, this, &SettingsDialog::onApply);
    connect(ok, &QPushButton::clicked, this, &SettingsDialog::onOk);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    // Names for automation and for the tests.
    const std::pair<QWidget *, const char *> named[] = {
        {deviceCombo_, "deviceCombo"}, {exclusiveCheck_, "exclusiveCheck"}, {passthroughCheck_, "passthroughCheck"},
        {volumeSlider_, "volumeSlider"}, {hwdecCombo_, "hwdecCombo"}, {gpuApiCombo_, "gpuApiCombo"},
        {surfaceCombo_, "surfaceCombo"},
        {profileCombo_, "profileCombo"}, {scalingCombo_, "scalingCombo"}, {toneMappingCombo_, "toneMappingCombo"},
        {debandCheck_, "debandCheck"}, {motionSmoothingCheck_, "motionSmoothingCheck"}, {fontCombo_, "fontCombo"},
        {fontSizeSlider_, "fontSizeSlider"}, {boldCheck_, "boldCheck"}, {colorCombo_, "colorCombo"},
        {shadowCheck_, "shadowCheck"}, {autoLoadCheck_, "autoLoadCheck"}, {deeplKeyEdit_, "deeplKeyEdit"},
        {languageCombo_, "languageCombo"}, {screenshotFormatCombo_, "screenshotFormatCombo"},
        {ac3Check_, "ac3Check"}, {eac3Check_, "eac3Check"}, {dtsCheck_, "dtsCheck"}, {dtsHdCheck_, "dtsHdCheck"},
        {trueHdCheck_, "trueHdCheck"}, {dsdCombo_, "dsdCombo"}, {remoteCheck_, "remoteCheck"},
        {debandStrengthCombo_, "debandStrengthCombo"}, {openSubtitlesKeyEdit_, "openSubtitlesKeyEdit"},
        {papagoIdEdit_, "papagoIdEdit"}, {papagoSecretEdit_, "papagoSecretEdit"},
        {rememberPosCheck_, "rememberPosCheck"}, {resumeCheck_, "resumeCheck"}, {screenshotDirEdit_, "screenshotDirEdit"}};
    for (const auto &[widget, name] : named)
        widget->setObjectName(QLatin1String(name));

    for (const FontChoice &choice : kFontChoices)
        fontCombo_->addItem(QString::fromUtf8(choice.label), installedFamily(choice.families));
    for (const auto &[label, colour] : kSubtitleColours)
        colorCombo_->addItem(QString::fromUtf8(label), QLatin1String(colour));
    const char *const toneMappings[] = {"bt.2390", "hable", "reinhard", "mobius", "clip"};
    for (int i = 0; i < toneMappingCombo_->count(); ++i)
        toneMappingCombo_->setItemData(i, QLatin1String(toneMappings[i]));
    for (int i = 0; i < surfaceCombo_->count(); ++i)
        surfaceCombo_->setItemData(i, videoSurfacePreferenceText(VideoSurfacePreference(i)));

    loadStored();
    loadFromEngine();
    refreshAudioDevices();
    applied_ = engineValues();
    shownAtOpen_ = shown();
}

SettingsDialog::Shown SettingsDialog::shown() const
{
    return {profileCombo_->currentIndex(), scalingCombo_->currentText(), debandCheck_->isChecked(),
            hwdecCombo_->currentText(), debandStrengthCombo_->currentIndex()};
}

void SettingsDialog::loadStored()
{
    const QSettings &s = settings_;
    exclusiveCheck_->setChecked(readSetting(s, SettingsKeys::audioExclusive));
    exclusiveNote_->setVisible(exclusiveCheck_->isChecked());
    sharedNote_->setVisible(!exclusiveCheck_->isChecked());
    passthroughCheck_->setChecked(readSetting(s, SettingsKeys::audioPassthrough));
    ac3Check_->setChecked(readSetting(s, SettingsKeys::audioPassthroughAc3));
    eac3Check_->setChecked(readSetting(s, SettingsKeys::audioPassthroughEac3));
    dtsCheck_->setChecked(readSetting(s, SettingsKeys::audioPassthroughDts));
    dtsHdCheck_->setChecked(readSetting(s, SettingsKeys::audioPassthroughDtsHd));
    trueHdCheck_->setChecked(readSetting(s, SettingsKeys::audioPassthroughTrueHd));
    volumeSlider_->setValue(readSetting(s, SettingsKeys::audioVolume));
    // A choice stored once but not offered here falls back to the first item.
    const int dsdMode = readSetting(s, SettingsKeys::audioDsdMode);
    dsdCombo_->setCurrentIndex(dsdMode > 0 && dsdMode < dsdCombo_->count() && offered(dsdCombo_, dsdMode) ? dsdMode : 0);
    remoteCheck_->setChecked(readSetting(s, SettingsKeys::remoteEnabled));

    picked_ = VideoChoices::stored(s);
    // What the user did not pick shows its default here and what the engine uses once the
    // engine is asked (loadFromEngine).
    const auto pickedOr = [this, &s](const char *name, const auto &key) {
        return picked_.contains(QLatin1String(name)) ? readSetting(s, key) : key.defaultValue;
    };
    selectText(hwdecCombo_, pickedOr(VideoChoices::kHwdec, SettingsKeys::videoHwdec));
    const QString gpuApi = readSetting(s, SettingsKeys::videoGpuApi);
    int apiIndex = int(std::find(std::begin(kGpuApis), std::end(kGpuApis), gpuApi) - std::begin(kGpuApis));
    if (apiIndex >= int(std::size(kGpuApis)))
        apiIndex = readSetting(s, SettingsKeys::videoVoIndex);
    gpuApiCombo_->setCurrentIndex(qBound(0, apiIndex, gpuApiCombo_->count() - 1));
    const auto surface = videoSurfacePreferenceFrom(readSetting(s, SettingsKeys::videoSurface));
    surfaceCombo_->setCurrentIndex(int(surface.value_or(VideoSurfacePreference::Auto)));
    profileCombo_->setCurrentIndex(qBound(0, pickedOr(VideoChoices::kProfile, SettingsKeys::videoRenderProfile), 3));
    scalingCombo_->setCurrentIndex(3);
    selectText(scalingCombo_, pickedOr(VideoChoices::kScaling, SettingsKeys::videoScaling));
    debandCheck_->setChecked(pickedOr(VideoChoices::kDeband, SettingsKeys::videoDeband));
    debandStrengthCombo_->setCurrentIndex(1);
    motionSmoothingCheck_->setChecked(readSetting(s, SettingsKeys::videoMotionSmoothing));

    autoLoadCheck_->setChecked(readSetting(s, SettingsKeys::subtitleAutoLoad));
    openSubtitlesKeyEdit_->setText(readSetting(s, SettingsKeys::subtitleOpenSubtitlesApiKey));
    deeplKeyEdit_->setText(readSetting(s, SettingsKeys::subtitleDeeplApiKey));
    papagoIdEdit_->setText(readSetting(s, SettingsKeys::subtitlePapagoClientId));
    papagoSecretEdit_->setText(readSetting(s, SettingsKeys::subtitlePapagoClientSecret));

    rememberPosCheck_->setChecked(readSetting(s, SettingsKeys::generalRememberPos));
    resumeCheck_->setChecked(readSetting(s, SettingsKeys::generalResume));
    const int language = languageCombo_->findData(readSetting(s, SettingsKeys::generalLanguage));
    languageCombo_->setCurrentIndex(language > 0 && offered(languageCombo_, language) ? language : 0);
    screenshotDirEdit_->setText(SettingsKeys::screenshotFolder(s));
    selectText(screenshotFormatCombo_, readSetting(s, SettingsKeys::generalScreenshotFormat));
}

// Controls without a stored value show what the engine uses now, so that Apply does not undo
// a choice made earlier in this session.
void SettingsDialog::loadFromEngine()
{
    if (!engine_ || !engine_->isInitialized())
        return;
    if (const QString tone = engine_->propertyText(QStringLiteral("tone-mapping")); !tone.isEmpty())
        selectData(toneMappingCombo_, tone);
    showAutomaticFromEngine();
    bool ok = false;
    // The engine reads the threshold back as a decimal ("64.000000").
    const double threshold = engine_->propertyText(QStringLiteral("deband-threshold")).toDouble(&ok);
    if (ok)
        debandStrengthCombo_->setCurrentIndex(debandStrengthFor(threshold));
    if (const QString font = engine_->propertyText(QStringLiteral("sub-font")); !font.isEmpty())
        selectData(fontCombo_, font);
    const double size = engine_->propertyText(QStringLiteral("sub-font-size")).toDouble(&ok);
    if (ok)
        fontSizeSlider_->setValue(qRound(size));
    boldCheck_->setChecked(engine_->propertyText(QStringLiteral("sub-bold")) == QLatin1String("yes"));
    // The engine writes colours as #AARRGGBB.
    const QString colour = engine_->propertyText(QStringLiteral("sub-color")).toUpper();
    if (colour.size() >= 7)
        selectData(colorCombo_, QLatin1Char('#') + colour.right(6));
    shadowCheck_->setChecked(engine_->propertyText(QStringLiteral("sub-shadow-offset")).toDouble() > 0.0);
}

// The scaler and debanding the user has not picked are the automatic ones: shown as the engine
// has them, not as a default the engine does not use.
void SettingsDialog::showAutomaticFromEngine()
{
    if (!engine_ || !engine_->isInitialized())
        return;
    if (!picked_.contains(QLatin1String(VideoChoices::kScaling))) {
        const QString scale = engine_->propertyText(QStringLiteral("scale"));
        int index = -1;
        for (int i = 0; i < scalingCombo_->count() && index < 0; ++i)
            if (VideoChoices::scalerOf(scalingCombo_->itemText(i)) == scale)
                index = i;
        if (index < 0 && !scale.isEmpty()) {
            scalingCombo_->addItem(scale);
            index = scalingCombo_->count() - 1;
        }
        if (index >= 0)
            scalingCombo_->setCurrentIndex(index);
    }
    if (!picked_.contains(QLatin1String(VideoChoices::kDeband)))
        debandCheck_->setChecked(engine_->propertyText(QStringLiteral("deband")) == QLatin1String("yes"));
}

void SettingsDialog::refreshAudioDevices()
{
    const QString wanted = deviceCombo_->count() > 0 ? deviceCombo_->currentData().toString()
                                                     : readSetting(settings_, SettingsKeys::audioDevice);
    deviceCombo_->clear();
    deviceCombo_->addItem(QStringLiteral("기본 장치 (auto)"), QStringLiteral("auto"));
    if (engine_) {
        for (const QVariant &entry : engine_->audioDevices()) {
            const QVariantMap device = entry.toMap();
            const QString name = device.value(QStringLiteral("name")).toString();
            if (name.isEmpty() || name == QLatin1String("auto"))
                continue;
            QString description = device.value(QStringLiteral("description")).toString();
            if (description.isEmpty())
                description = name;
            // The output driver leads the name ("pulse/…", "alsa/…"), as WASAPI did on Windows.
            const QString driver = name.section(QLatin1Char('/'), 0, 0).toUpper();
            deviceCombo_->addItem(QStringLiteral("%1: %2").arg(driver, description), name);
            deviceCombo_->setItemData(deviceCombo_->count() - 1, name, Qt::ToolTipRole);
        }
    }
    deviceCombo_->setCurrentIndex(qMax(0, deviceCombo_->findData(wanted)));
}

QList<SettingsDialog::EngineValue> SettingsDialog::engineValues() const
{
    // The profile comes first: it rewrites the scalers and deband, which the user's own choices
    // below then override.
    QList<EngineValue> values{{kRenderProfile, QString::number(profileCombo_->currentIndex())}};
    const QString scaler = VideoChoices::scalerOf(scalingCombo_->currentText());
    values << EngineValue{QStringLiteral("scale"), scaler} << EngineValue{QStringLiteral("dscale"), scaler};
    // "clip" stands for leaving the tone mapping as it is.
    if (const QString tone = toneMappingCombo_->currentData().toString(); tone != QLatin1String("clip"))
        values << EngineValue{QStringLiteral("tone-mapping"), tone};
    values << EngineValue{QStringLiteral("deband"), yesNo(debandCheck_->isChecked())}
           << EngineValue{QStringLiteral("deband-threshold"),
                          QString::number(kDebandThresholds[qBound(0, debandStrengthCombo_->currentIndex(), 2)])}
           << EngineValue{QStringLiteral("interpolation"), yesNo(motionSmoothingCheck_->isChecked())}
           << EngineValue{QStringLiteral("hwdec"), VideoChoices::hwdecOf(hwdecCombo_->currentText())};

    QString device = deviceCombo_->currentData().toString();
    QStringList codecs;
    if (passthroughCheck_->isChecked()) {
        const std::pair<QCheckBox *, const char *> formats[] = {
            {ac3Check_, "ac3"}, {eac3Check_, "eac3"}, {dtsCheck_, "dts"}, {dtsHdCheck_, "dts-hd"}, {trueHdCheck_, "truehd"}};
        for (const auto &[box, codec] : formats)
            if (box->isChecked())
                codecs << QLatin1String(codec);
    }
    values << EngineValue{QStringLiteral("audio-device"), device.isEmpty() ? QStringLiteral("auto") : device}
           << EngineValue{QStringLiteral("audio-exclusive"), yesNo(exclusiveCheck_->isChecked())}
           << EngineValue{QStringLiteral("audio-spdif"), codecs.join(QLatin1Char(','))}
           << EngineValue{QStringLiteral("volume"), QString::number(volumeSlider_->value())};

    values << EngineValue{QStringLiteral("sub-font"), fontCombo_->currentData().toString()}
           << EngineValue{QStringLiteral("sub-font-size"), QString::number(fontSizeSlider_->value())}
           << EngineValue{QStringLiteral("sub-bold"), yesNo(boldCheck_->isChecked())}
           << EngineValue{QStringLiteral("sub-color"), colorCombo_->currentData().toString()}
           << EngineValue{QStringLiteral("sub-shadow-offset"), shadowCheck_->isChecked() ? QStringLiteral("2")
                                                                                         : QStringLiteral("0")}
           << EngineValue{QStringLiteral("sub-auto"), autoLoadCheck_->isChecked() ? QStringLiteral("fuzzy")
                                                                                  : QStringLiteral("no")};
    return values;
}

// A control the user changed since the window opened is the user's from now on.
void SettingsDialog::notePicks()
{
    const Shown now = shown();
    const std::pair<bool, const char *> changes[] = {
        {now.profile != shownAtOpen_.profile, VideoChoices::kProfile},
        {now.scaling != shownAtOpen_.scaling, VideoChoices::kScaling},
        {now.deband != shownAtOpen_.deband, VideoChoices::kDeband},
        {now.hwdec != shownAtOpen_.hwdec, VideoChoices::kHwdec}};
    for (const auto &[changed, name] : changes)
        if (changed && !picked_.contains(QLatin1String(name)))
            picked_ << QLatin1String(name);
    strengthPicked_ = strengthPicked_ || now.debandStrength != shownAtOpen_.debandStrength;
}

void SettingsDialog::storeAll()
{
    QSettings &s = settings_;
    notePicks();
    writeSetting(s, SettingsKeys::videoChosen, picked_);
    const QString device = deviceCombo_->currentData().toString();
    writeSetting(s, SettingsKeys::audioDevice, device.isEmpty() ? QStringLiteral("auto") : device);
    writeSetting(s, SettingsKeys::audioExclusive, exclusiveCheck_->isChecked());
    writeSetting(s, SettingsKeys::audioPassthrough, passthroughCheck_->isChecked());
    writeSetting(s, SettingsKeys::audioPassthroughAc3, ac3Check_->isChecked());
    writeSetting(s, SettingsKeys::audioPassthroughEac3, eac3Check_->isChecked());
    writeSetting(s, SettingsKeys::audioPassthroughDts, dtsCheck_->isChecked());
    writeSetting(s, SettingsKeys::audioPassthroughDtsHd, dtsHdCheck_->isChecked());
    writeSetting(s, SettingsKeys::audioPassthroughTrueHd, trueHdCheck_->isChecked());
    writeSetting(s, SettingsKeys::audioVolume, volumeSlider_->value());
    writeSetting(s, SettingsKeys::audioDsdMode, dsdCombo_->currentIndex());
    writeSetting(s, SettingsKeys::remoteEnabled, remoteCheck_->isChecked());

    writeSetting(s, SettingsKeys::videoHwdec, hwdecCombo_->currentText());
    writeSetting(s, SettingsKeys::videoGpuApi, QString::fromLatin1(kGpuApis[gpuApiCombo_->currentIndex()]));
    writeSetting(s, SettingsKeys::videoVoIndex, gpuApiCombo_->currentIndex());
    writeSetting(s, SettingsKeys::videoSurface, surfaceCombo_->currentData().toString());
    writeSetting(s, SettingsKeys::videoRenderProfile, profileCombo_->currentIndex());
    writeSetting(s, SettingsKeys::videoScaling, scalingCombo_->currentText());
    writeSetting(s, SettingsKeys::videoDeband, debandCheck_->isChecked());
    writeSetting(s, SettingsKeys::videoMotionSmoothing, motionSmoothingCheck_->isChecked());

    writeSetting(s, SettingsKeys::generalRememberPos, rememberPosCheck_->isChecked());
    writeSetting(s, SettingsKeys::generalResume, resumeCheck_->isChecked());
    writeSetting(s, SettingsKeys::generalLanguage, languageCombo_->currentData().toString());
    writeSetting(s, SettingsKeys::generalScreenshotDir, screenshotDirEdit_->text().trimmed());
    writeSetting(s, SettingsKeys::generalScreenshotFormat, screenshotFormatCombo_->currentText());

    writeSetting(s, SettingsKeys::subtitleAutoLoad, autoLoadCheck_->isChecked());
    writeSetting(s, SettingsKeys::subtitleOpenSubtitlesApiKey, openSubtitlesKeyEdit_->text().trimmed());
    writeSetting(s, SettingsKeys::subtitleDeeplApiKey, deeplKeyEdit_->text().trimmed());
    writeSetting(s, SettingsKeys::subtitlePapagoClientId, papagoIdEdit_->text().trimmed());
    writeSetting(s, SettingsKeys::subtitlePapagoClientSecret, papagoSecretEdit_->text().trimmed());
    protectStore();
}

// The store now holds the user's service keys: nobody else on the machine may read it.
void SettingsDialog::protectStore()
{
    settings_.sync();
    if (!QFile::setPermissions(settings_.fileName(), QFile::ReadOwner | QFile::WriteOwner))
        qWarning().noquote() << "[Settings] 설정 파일 권한을 제한할 수 없습니다:" << settings_.fileName();
}

void SettingsDialog::onApply()
{
    storeAll();
    if (engine_ && engine_->isInitialized()) {
        const QList<EngineValue> current = engineValues();
        const bool profileChanged = !current.isEmpty() && !applied_.contains(current.first());
        // A new profile writes over the scalers and debanding; the user's own picks among them
        // follow it, what the user never picked is left as the profile has it.
        const auto pickedOverProfile = [this](const QString &name) {
            if (name == QLatin1String("scale") || name == QLatin1String("dscale"))
                return picked_.contains(QLatin1String(VideoChoices::kScaling));
            if (name == QLatin1String("deband"))
                return picked_.contains(QLatin1String(VideoChoices::kDeband));
            return name == QLatin1String("deband-threshold") && strengthPicked_;
        };
        for (const EngineValue &entry : current)
            if (!applied_.contains(entry) || (profileChanged && pickedOverProfile(entry.name)))
                writeEngineValue(engine_, entry);
        if (profileChanged)
            showAutomaticFromEngine();
        applied_ = engineValues();
        shownAtOpen_ = shown();
    }
    emit settingsApplied();
}

void SettingsDialog::onOk()
{
    onApply();
    accept();
}

void SettingsDialog::onBrowseScreenshotFolder()
{
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("스크린샷 저장 폴더 선택"),
        QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
    if (!folder.isEmpty())
        screenshotDirEdit_->setText(folder);
}

void SettingsDialog::applySavedAtStart(MpvCore *engine)
{
    if (!engine || !engine->isInitialized())
        return;
    const QSettings s(QLatin1StringView(AppIdentity::kOrganisation),
                      QLatin1StringView(AppIdentity::kSettingsApplication));
    // Only what the user has picked: the engine's start-up values fit the detected GPU better
    // than any default of this window would.
    auto stored = [&s](const auto &key) { return s.contains(QLatin1StringView(key.name)); };
    const QStringList picked = VideoChoices::stored(s);
    const auto isPicked = [&picked](const char *name) { return picked.contains(QLatin1String(name)); };
    QList<EngineValue> values;
    if (stored(SettingsKeys::audioDevice))
        values << EngineValue{QStringLiteral("audio-device"), readSetting(s, SettingsKeys::audioDevice)};
    if (isPicked(VideoChoices::kProfile))
        values << EngineValue{kRenderProfile, QString::number(readSetting(s, SettingsKeys::videoRenderProfile))};
    if (isPicked(VideoChoices::kScaling)) {
        const QString scaler = VideoChoices::scalerOf(readSetting(s, SettingsKeys::videoScaling));
        values << EngineValue{QStringLiteral("scale"), scaler} << EngineValue{QStringLiteral("dscale"), scaler};
    }
    if (isPicked(VideoChoices::kDeband))
        values << EngineValue{QStringLiteral("deband"), yesNo(readSetting(s, SettingsKeys::videoDeband))};
    if (isPicked(VideoChoices::kHwdec))
        values << EngineValue{QStringLiteral("hwdec"), VideoChoices::hwdecOf(readSetting(s, SettingsKeys::videoHwdec))};
    if (stored(SettingsKeys::videoMotionSmoothing))
        values << EngineValue{QStringLiteral("interpolation"), yesNo(readSetting(s, SettingsKeys::videoMotionSmoothing))};
    if (stored(SettingsKeys::subtitleAutoLoad))
        values << EngineValue{QStringLiteral("sub-auto"), readSetting(s, SettingsKeys::subtitleAutoLoad)
                                                              ? QStringLiteral("fuzzy")
                                                              : QStringLiteral("no")};
    for (const EngineValue &entry : values)
        writeEngineValue(engine, entry);
}
