#include "enhance/UpscaleWidget.h"

#include "engine/MpvCore.h"
#include "enhance/GpuStats.h"
#include "enhance/PerfGraph.h"
#include "ui/controls/PanelParts.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kSampleIntervalMs = 500;
constexpr int kButtonHeight = 22;
const QString kActiveStyle = QStringLiteral("color:#00c8b4; font-size:11px;");
const QString kInactiveStyle = QStringLiteral("color:#555; font-size:11px;");

#define VELMORAN_UPSCALE_FONTS "font-family: 'Malgun Gothic', 'Segoe UI', 'Noto Sans CJK KR', sans-serif;"
const QString kPageStyle = QStringLiteral(
    "UpscaleWidget { background: #141414; }"
    "QLabel { color: #bdbdbd; font-size: 11px; background: transparent; " VELMORAN_UPSCALE_FONTS " }"
    "#lbl { color: #9e9e9e; font-weight: 700; }"
    "#valBig { color: #00c8b4; font-size: 14px; font-weight: 700; }"
    "QPushButton#modeBtn:checked, QPushButton#btnCmp:checked { background: #00c8b4; color: #101010; border-color: #00c8b4; }"
    "#sep { background: #2a2a2a; }");
#undef VELMORAN_UPSCALE_FONTS

QLabel *fieldLabel(const QString &text)
{
    auto *label = new QLabel(text);
    label->setObjectName(QStringLiteral("lbl"));
    return label;
}
} // namespace

UpscaleWidget::UpscaleWidget(MpvCore *core, QWidget *parent)
    : QWidget(parent)
    , core_(core)
    , shaderFolder_(QCoreApplication::applicationDirPath() + QStringLiteral("/shaders"))
    , modeButtons_(new QButtonGroup(this))
    , strengthSlider_(new QSlider(Qt::Horizontal))
    , strengthValue_(new QLabel(QStringLiteral("3")))
    , status_(new QLabel)
    , gpuGraph_(new PerfGraph(QStringLiteral("GPU"), 100.0))
    , vramGraph_(new PerfGraph(QStringLiteral("VRAM"), 1.0))
    , fpsGraph_(new PerfGraph(QStringLiteral("FPS / Latency"), 60.0))
    , sampler_(new QTimer(this))
{
    setObjectName(QStringLiteral("UpscaleWidget"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(kPageStyle);

    auto *modes = new QHBoxLayout;
    for (int id = 0; id < UpscaleModes::kModeCount; ++id) {
        auto *button = PanelParts::button(UpscaleModes::label(UpscaleMode(id)), QString(), kButtonHeight);
        button->setObjectName(QStringLiteral("modeBtn"));
        button->setCheckable(true);
        button->setChecked(id == 0);
        modeButtons_->addButton(button, id);
        modes->addWidget(button);
    }
    modes->addStretch();
    modeButtons_->setExclusive(true);
    connect(modeButtons_, &QButtonGroup::idClicked, this, [this](int id) { setMode(UpscaleMode(id)); });

    strengthSlider_->setRange(UpscaleModes::kMinStrength, UpscaleModes::kMaxStrength);
    strengthSlider_->setValue(strength_);
    strengthSlider_->setFocusPolicy(Qt::NoFocus);
    strengthValue_->setObjectName(QStringLiteral("valBig"));
    strengthValue_->setFixedWidth(30);
    connect(strengthSlider_, &QSlider::valueChanged, this, [this](int value) {
        strengthValue_->setText(QString::number(value));
        setStrength(value);
    });
    auto *strength = new QHBoxLayout;
    strength->addWidget(new QLabel(QStringLiteral("1\n부드러움")));
    strength->addWidget(strengthSlider_, 1);
    strength->addWidget(new QLabel(QStringLiteral("4\n선명함")));
    strength->addWidget(strengthValue_);

    auto *presets = new QHBoxLayout;
    auto *presetGroup = new QButtonGroup(this);
    const std::pair<const char *, int> presetLevels[] = {{"품질 우선", 4}, {"균형 (권장)", 3}, {"속도 우선", 1}};
    for (const auto &[text, level] : presetLevels) {
        auto *button = PanelParts::button(QString::fromUtf8(text), QString(), kButtonHeight);
        button->setCheckable(true);
        button->setChecked(level == 3);
        presetGroup->addButton(button);
        connect(button, &QPushButton::clicked, this, [this, level = level] { strengthSlider_->setValue(level); });
        presets->addWidget(button);
    }
    presets->addStretch();

    auto *controls = new QGridLayout;
    controls->addWidget(fieldLabel(QStringLiteral("업스케일 모드:")), 0, 0);
    controls->addLayout(modes, 0, 1);
    controls->addWidget(fieldLabel(QStringLiteral("화질 강도:")), 1, 0);
    controls->addLayout(strength, 1, 1);
    controls->addWidget(fieldLabel(QStringLiteral("성능 프리셋:")), 2, 0);
    controls->addLayout(presets, 2, 1);

    auto *left = new QVBoxLayout;
    left->addLayout(controls);
    const QString gpu = core_ ? core_->renderEnvironment().gpuRenderer : QString();
    if (!gpu.isEmpty() && gpu != QLatin1String("Unknown")) {
        auto *gpuLine = new QLabel(QStringLiteral("감지: %1 · 화면: %2").arg(gpu, videoSurfaceName(core_->videoSurface())));
        gpuLine->setStyleSheet(QStringLiteral("color:#4fc3f7; font-size:10px;"));
        left->addWidget(gpuLine);
    }
    if (core_ && core_->videoSurface() == VideoSurfaceKind::Software) {
        // Only the CPU scaler draws here: the modes built on GPU kernels and shaders cannot run.
        const QString reason = QStringLiteral("소프트웨어 화면에서는 GPU 셰이더 모드를 쓸 수 없습니다 (Lanczos는 CPU 스케일러로 동작)");
        for (const UpscaleMode mode : {UpscaleMode::RtxVsr, UpscaleMode::Fsr, UpscaleMode::RealEsrgan, UpscaleMode::Rife}) {
            modeButtons_->button(int(mode))->setEnabled(false);
            modeButtons_->button(int(mode))->setToolTip(reason);
        }
        auto *reasonLine = new QLabel(reason);
        reasonLine->setObjectName(QStringLiteral("softwareSurfaceNote"));
        reasonLine->setStyleSheet(QStringLiteral("color:#ff9a3c; font-size:10px;"));
        left->addWidget(reasonLine);
    }
    auto *compare = PanelParts::button(QStringLiteral("☰  원본/업스케일 비교 보기"), QString(), kButtonHeight);
    compare->setObjectName(QStringLiteral("btnCmp"));
    compare->setCheckable(true);
    connect(compare, &QPushButton::toggled, this, &UpscaleWidget::toggleCompare);
    left->addWidget(compare, 0, Qt::AlignLeft);
    status_->setObjectName(QStringLiteral("statusLbl"));
    left->addWidget(status_);
    left->addStretch();
    showStatus(QStringLiteral("업스케일링 비활성"), false);

    auto *separator = new QWidget;
    separator->setObjectName(QStringLiteral("sep"));
    separator->setAttribute(Qt::WA_StyledBackground);
    separator->setFixedWidth(1);

    auto *graphs = new QVBoxLayout;
    graphs->addWidget(gpuGraph_);
    graphs->addWidget(vramGraph_);
    graphs->addWidget(fpsGraph_);

    auto *columns = new QHBoxLayout(this);
    columns->setContentsMargins(8, 6, 8, 6);
    columns->addLayout(left, 3);
    columns->addWidget(separator);
    columns->addLayout(graphs, 2);

    // Measured only while the page is on screen.
    sampler_->setInterval(kSampleIntervalMs);
    connect(sampler_, &QTimer::timeout, this, &UpscaleWidget::sampleGraphs);
    if (core_) {
        connect(core_, &MpvCore::renderQualityDegraded, this, &UpscaleWidget::showEngineScale);
        connect(core_, &MpvCore::renderQualityRestored, this, &UpscaleWidget::showEngineScale);
    }
}

QString UpscaleWidget::statusText() const
{
    return status_->text();
}

void UpscaleWidget::setMode(UpscaleMode mode)
{
    mode_ = mode;
    if (auto *button = modeButtons_->button(int(mode)))
        button->setChecked(true);
    apply();
    if (mode == UpscaleMode::Off)
        showStatus(QStringLiteral("업스케일링 비활성"), false);
    else if (mode == UpscaleMode::RealEsrgan || mode == UpscaleMode::Rife)
        showStatus(QStringLiteral("활성화됨"), true);
    else
        showStatus(UpscaleModes::label(mode) + QStringLiteral(" 활성화됨"), true);
    showEngineScale();
    emit modeChanged(mode);
}

// The frame-drop ladder may hold a lower scaler for a while; the page says so rather than
// claiming the mode's own.
void UpscaleWidget::showEngineScale()
{
    if (!core_ || !core_->isInitialized() || mode_ == UpscaleMode::Off || modeScale_.isEmpty())
        return;
    const QString inUse = core_->propertyText(QStringLiteral("scale"));
    QString text = status_->text().section(QStringLiteral(" · "), 0, 0);
    if (!inUse.isEmpty() && inUse != modeScale_)
        text += QStringLiteral(" · 프레임 드롭으로 지금은 %1 사용 중 (자동 복원 대기)").arg(inUse);
    showStatus(text, true);
}

void UpscaleWidget::setStrength(int level)
{
    strength_ = std::clamp(level, UpscaleModes::kMinStrength, UpscaleModes::kMaxStrength);
    if (strengthSlider_->value() != strength_)
        strengthSlider_->setValue(strength_);
    if (mode_ != UpscaleMode::Off)
        apply();
}

void UpscaleWidget::toggleCompare(bool on)
{
    compare_ = on;
    emit compareToggled(on);
}

void UpscaleWidget::apply()
{
    if (!core_ || !core_->isInitialized())
        return;
    if (mode_ == UpscaleMode::Off) {
        restoreBeforePanel();
        return;
    }
    if (!before_) {
        QList<QPair<QString, QString>> values;
        for (const QString &name : UpscaleModes::touchedProperties())
            values.append({name, core_->propertyText(name)});
        before_ = values;
    }
    const UpscaleSettings settings = UpscaleModes::settingsFor(mode_, strength_, shaderFolder_);
    modeScale_.clear();
    for (const auto &[name, value] : settings.properties) {
        // The mode's scaler is the user's choice: it holds for the next file and comes back
        // after the frame-drop ladder.
        if (name == QLatin1String("scale"))
            modeScale_ = value.toString();
        else
            core_->setMpvProperty(name, value);
    }
    core_->setChosenScale(MpvCore::ScaleChooser::Upscaling, modeScale_);
    core_->setShaders(ShaderSlot::Upscaling, settings.shaders);
    if (!settings.shaderStatus.isEmpty())
        showStatus(settings.shaderStatus, true);
}

void UpscaleWidget::restoreBeforePanel()
{
    if (!before_)
        return; // the panel never changed anything
    for (const auto &[name, value] : std::as_const(*before_))
        if (name != QLatin1String("scale"))
            core_->setMpvProperty(name, value);
    // The scaler goes back to the settings' choice or the automatic one, whichever holds now.
    modeScale_.clear();
    core_->setChosenScale(MpvCore::ScaleChooser::Upscaling, QString());
    core_->setShaders(ShaderSlot::Upscaling, {});
    before_.reset();
}

void UpscaleWidget::showStatus(const QString &text, bool active)
{
    status_->setText(text);
    status_->setStyleSheet(active ? kActiveStyle : kInactiveStyle);
}

void UpscaleWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    sampler_->start();
}

void UpscaleWidget::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    sampler_->stop();
}

void UpscaleWidget::sampleGraphs()
{
    const GpuStats gpu = GpuStats::read();
    if (gpu.busyPercent)
        gpuGraph_->addValue(*gpu.busyPercent, QStringLiteral("%1%").arg(int(*gpu.busyPercent)));
    else
        gpuGraph_->setUnavailable();
    if (gpu.vramUsedGiB)
        vramGraph_->addValue(*gpu.vramUsedGiB, QStringLiteral("%1GB").arg(*gpu.vramUsedGiB, 0, 'f', 1));
    else
        vramGraph_->setUnavailable();

    const double fps = core_ && core_->isInitialized()
        ? core_->getMpvProperty(QStringLiteral("estimated-vf-fps")).toDouble() : 0.0;
    if (fps <= 0) {
        fpsGraph_->setUnavailable();
        return;
    }
    const qint64 drops = core_->getMpvProperty(QStringLiteral("frame-drop-count")).toLongLong();
    fpsGraph_->addValue(fps, QStringLiteral("%1 / %2ms  드롭 %3")
                                 .arg(qRound(fps))
                                 .arg(qRound(1000.0 / fps))
                                 .arg(drops));
}
