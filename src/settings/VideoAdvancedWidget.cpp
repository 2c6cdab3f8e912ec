#include "settings/VideoAdvancedWidget.h"

#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "engine/MpvCore.h"
#include "settings/LutShader.h"
#include "settings/PageStyle.h"
#include "ui/controls/PanelParts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace {

struct ColourPreset
{
    const char *label;
    const char *primaries;
    const char *transfer;
};
// "auto" hands both back to the engine, which then follows the video and the display.
constexpr ColourPreset kPresets[] = {
    {"자동 (권장)", "auto", "auto"},
    {"BT.709 SDR (일반 모니터)", "bt.709", "bt.1886"},
    {"BT.2020 HDR (HDR 모니터)", "bt.2020", "pq"},
    {"DCI-P3 (영화관/전문가)", "dci-p3", "gamma2.6"},
    {"sRGB (웹/일반)", "bt.709", "srgb"},
};
constexpr int kPresetCount = int(std::size(kPresets));

const QString kNoFileText = QStringLiteral("LUT 파일을 선택하세요...");
const QString kIdleText = QStringLiteral("3D LUT 비활성");

const QString kPageStyle = PageStyle::sheet({QStringLiteral("VideoAdvancedWidget"), QStringLiteral("VideoAdvancedPage")})
    + QStringLiteral("#lutFileLabel { color: #dddddd; background: #1a1a1a; border: 1px solid #2a2a2a; border-radius: 3px;"
                     "  padding: 2px 8px; }");

constexpr int kControlHeight = 20;

void applyPreset(MpvCore *engine, int index)
{
    if (!engine || index < 0 || index >= kPresetCount)
        return;
    engine->setMpvProperty(QStringLiteral("target-prim"), QString::fromLatin1(kPresets[index].primaries));
    engine->setMpvProperty(QStringLiteral("target-trc"), QString::fromLatin1(kPresets[index].transfer));
}

} // namespace

VideoAdvancedWidget::VideoAdvancedWidget(MpvCore *core, QWidget *parent)
    : QWidget(parent), core_(core),
      settings_(QLatin1StringView(AppIdentity::kOrganisation), QLatin1StringView(AppIdentity::kSettingsApplication))
{
    setObjectName(QStringLiteral("VideoAdvancedWidget"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(kPageStyle);

    auto *intro = new QLabel(QStringLiteral("디스플레이 캘리브레이션 장비(i1Display, Spyder 등)로 생성한 3D LUT 파일(.cube)을\n"
                                            "로드하여 전문가 수준의 정확한 색상 재현을 구현합니다."));

    fileLabel_ = new QLabel(kNoFileText);
    fileLabel_->setObjectName(QStringLiteral("lutFileLabel"));
    fileLabel_->setMinimumWidth(220);
    browseButton_ = PanelParts::button(QStringLiteral("찾아보기..."), QStringLiteral("3D LUT 파일 선택"), kControlHeight + 2);
    browseButton_->setFixedWidth(80);
    lutBox_ = new QCheckBox(QStringLiteral("3D LUT 캘리브레이션 적용"));
    lutBox_->setObjectName(QStringLiteral("lutCheckBox"));
    lutBox_->setFocusPolicy(Qt::NoFocus);
    lutBox_->setEnabled(false);
    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(fileLabel_, 1);
    fileRow->addWidget(browseButton_);
    auto *lutColumn = new QVBoxLayout;
    lutColumn->setSpacing(4);
    lutColumn->addWidget(PanelParts::caption(QStringLiteral("3D LUT 디스플레이 캘리브레이션")));
    lutColumn->addLayout(fileRow);
    lutColumn->addWidget(lutBox_);
    lutColumn->addStretch();

    colorspaceBox_ = new QComboBox;
    colorspaceBox_->setObjectName(QStringLiteral("colorspaceBox"));
    colorspaceBox_->setFixedHeight(kControlHeight);
    colorspaceBox_->setFocusPolicy(Qt::NoFocus);
    for (const ColourPreset &preset : kPresets)
        colorspaceBox_->addItem(QString::fromUtf8(preset.label));
    auto *presetRow = new QHBoxLayout;
    presetRow->addWidget(new QLabel(QStringLiteral("타겟 색공간:")));
    presetRow->addWidget(colorspaceBox_, 1);
    auto *presetColumn = new QVBoxLayout;
    presetColumn->setSpacing(4);
    presetColumn->addWidget(PanelParts::caption(QStringLiteral("색공간 프리셋")));
    presetColumn->addLayout(presetRow);
    presetColumn->addStretch();

    statusLabel_ = new QLabel;
    statusLabel_->setObjectName(QStringLiteral("lutStatusLabel"));
    setStatus(kIdleText, Tone::Neutral);

    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("VideoAdvancedPage"));
    auto *sections = new QHBoxLayout;
    sections->setSpacing(12);
    sections->addLayout(lutColumn);
    sections->addWidget(PanelParts::rule());
    sections->addLayout(presetColumn);
    sections->addStretch();
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(10, 6, 10, 4);
    column->setSpacing(6);
    column->addWidget(intro);
    column->addLayout(sections, 1);
    column->addWidget(statusLabel_);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PanelParts::sidewaysScroller(page));

    connect(browseButton_, &QPushButton::clicked, this, &VideoAdvancedWidget::onBrowseLut);
    connect(lutBox_, &QCheckBox::toggled, this, &VideoAdvancedWidget::onLutToggled);
    connect(colorspaceBox_, &QComboBox::currentIndexChanged, this, &VideoAdvancedWidget::onColorspaceChanged);
    if (core_) {
        connect(core_, &MpvCore::shadersRunning, this, [this](ShaderSlot slot) {
            if (slot == ShaderSlot::Calibration)
                onShaderRunning();
        });
        connect(core_, &MpvCore::shaderFailed, this, [this](ShaderSlot slot) {
            if (slot == ShaderSlot::Calibration)
                onShaderFailed();
        });
    }

    loadSettings();
}

QString VideoAdvancedWidget::statusText() const
{
    return statusLabel_->text();
}

void VideoAdvancedWidget::setStatus(const QString &text, Tone tone)
{
    static const char *const colours[] = {"#666666", "#4caf50", "#e57373"};
    statusLabel_->setText(text);
    statusLabel_->setStyleSheet(QStringLiteral("color:%1; font-size:11px; background:transparent;")
                                    .arg(QLatin1String(colours[int(tone)])));
}

void VideoAdvancedWidget::setChecked(bool checked)
{
    const QSignalBlocker blocker(lutBox_);
    lutBox_->setChecked(checked);
}

void VideoAdvancedWidget::setLutPath(const QString &path)
{
    lutPath_ = path;
    fileLabel_->setText(QFileInfo(path).fileName());
    fileLabel_->setToolTip(path);
    lutBox_->setEnabled(true);
    // A new file while the LUT is on replaces the running one.
    if (lutBox_->isChecked())
        applyLut();
    saveSettings();
}

void VideoAdvancedWidget::onBrowseLut()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("3D LUT 파일 선택"), QString(),
                                                      QStringLiteral("3D LUT 파일 (*.cube);;모든 파일 (*)"));
    if (!path.isEmpty())
        setLutPath(path);
}

void VideoAdvancedWidget::onLutToggled(bool checked)
{
    if (checked)
        applyLut();
    else
        disableLut();
}

void VideoAdvancedWidget::applyLut()
{
    if (!core_ || lutPath_.isEmpty()) {
        setStatus(QStringLiteral("오류: LUT 파일이 선택되지 않았습니다."), Tone::Bad);
        setChecked(false);
        return;
    }
    QString error;
    const QString shader = LutShader::forFile(lutPath_, &error);
    if (shader.isEmpty()) {
        qWarning().noquote() << "[VideoAdvanced] LUT 거부:" << lutPath_ << error;
        removeShader();
        setChecked(false);
        setStatus(QStringLiteral("오류: LUT을 적용할 수 없습니다 — %1").arg(error), Tone::Bad);
        saveSettings();
        return;
    }
    if (core_->videoSurface() == VideoSurfaceKind::Software) {
        turnOffAfterFailure(QStringLiteral("3D LUT은 GPU 셰이더로 적용됩니다: 소프트웨어 화면에서는 쓸 수 없습니다"));
        return;
    }
    if (!core_->setShaders(ShaderSlot::Calibration, {shader})) {
        qWarning().noquote() << "[VideoAdvanced] 엔진이 LUT 셰이더를 받지 않음:" << shader;
        turnOffAfterFailure(QStringLiteral("오류: 엔진이 3D LUT 셰이더를 불러오지 못해 해제했습니다"));
        return;
    }
    setChecked(true);
    saveSettings();
    // The same table may have been drawing since the start, before this page existed.
    if (core_->shadersRunningNow(ShaderSlot::Calibration)) {
        onShaderRunning();
        return;
    }
    // Applied only once frames were drawn with it: the GPU compiles it then, and may refuse it.
    setStatus(QStringLiteral("3D LUT 확인 중: %1").arg(QFileInfo(lutPath_).fileName()), Tone::Neutral);
}

void VideoAdvancedWidget::onShaderRunning()
{
    if (!lutBox_->isChecked())
        return;
    setStatus(QStringLiteral("3D LUT 적용됨: ") + QFileInfo(lutPath_).fileName(), Tone::Good);
    emit lutChanged(true, lutPath_);
}

void VideoAdvancedWidget::onShaderFailed()
{
    // The engine has taken the shader out already; the picture is drawn without it.
    turnOffAfterFailure(QStringLiteral("오류: 이 GPU에서 3D LUT 셰이더를 컴파일하지 못해 해제했습니다"));
    emit lutChanged(false, QString());
}

void VideoAdvancedWidget::turnOffAfterFailure(const QString &status)
{
    removeShader();
    setChecked(false);
    setStatus(status, Tone::Bad);
    saveSettings();
}

void VideoAdvancedWidget::removeShader()
{
    if (core_)
        core_->setShaders(ShaderSlot::Calibration, {});
}

void VideoAdvancedWidget::disableLut()
{
    if (!core_)
        return;
    removeShader();
    setChecked(false);
    setStatus(QStringLiteral("3D LUT 비활성화됨"), Tone::Neutral);
    emit lutChanged(false, QString());
    saveSettings();
}

void VideoAdvancedWidget::onColorspaceChanged(int index)
{
    applyPreset(core_, index);
    saveSettings();
}

void VideoAdvancedWidget::saveSettings()
{
    writeSetting(settings_, SettingsKeys::videoAdvancedLutPath, lutPath_);
    writeSetting(settings_, SettingsKeys::videoAdvancedLutEnabled, lutBox_->isChecked());
    writeSetting(settings_, SettingsKeys::videoAdvancedColorspaceIdx, std::max(0, colorspaceBox_->currentIndex()));
}

void VideoAdvancedWidget::loadSettings()
{
    const QString path = readSetting(settings_, SettingsKeys::videoAdvancedLutPath);
    const bool enabled = readSetting(settings_, SettingsKeys::videoAdvancedLutEnabled);
    const int index = readSetting(settings_, SettingsKeys::videoAdvancedColorspaceIdx);
    const bool exists = !path.isEmpty() && QFileInfo(path).isFile();
    if (exists) {
        lutPath_ = path;
        fileLabel_->setText(QFileInfo(path).fileName());
        fileLabel_->setToolTip(path);
        lutBox_->setEnabled(true);
    }
    {
        // The engine has the saved preset since its start (applySaved); showing it rewrites nothing.
        const QSignalBlocker blocker(colorspaceBox_);
        colorspaceBox_->setCurrentIndex(index >= 0 && index < kPresetCount ? index : 0);
    }
    if (enabled && exists && core_)
        applyLut(); // the same shader file as at start: our entry is replaced, not doubled
}

void VideoAdvancedWidget::applySaved(MpvCore *engine)
{
    if (!engine)
        return;
    QSettings settings(QLatin1StringView(AppIdentity::kOrganisation), QLatin1StringView(AppIdentity::kSettingsApplication));
    applyPreset(engine, readSetting(settings, SettingsKeys::videoAdvancedColorspaceIdx));
    if (!readSetting(settings, SettingsKeys::videoAdvancedLutEnabled))
        return;
    const QString path = readSetting(settings, SettingsKeys::videoAdvancedLutPath);
    QString error;
    const QString shader = LutShader::forFile(path, &error);
    if (shader.isEmpty()) {
        qWarning().noquote() << "[VideoAdvanced] 저장된 LUT을 적용할 수 없음:" << path << error;
        return;
    }
    // A shader this GPU cannot compile is taken out again by the engine side, and the page
    // says so when it is opened and applies it again.
    if (!engine->setShaders(ShaderSlot::Calibration, {shader}))
        qWarning().noquote() << "[VideoAdvanced] 엔진이 저장된 LUT 셰이더를 받지 않음:" << shader;
}
