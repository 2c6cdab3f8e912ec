#include "ui/controls/ProFeaturesWidget.h"

#include "app/AppLog.h"
#include "engine/MpvCore.h"
#include "ui/controls/PanelParts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr int kPanelHeight = 120;
// The feature tabs (speech-to-text, the subtitle editor, statistics) hold lists and text that a
// strip of controls' height would cut to a line or two.
constexpr int kFeatureTabHeight = 300;
constexpr int kButtonHeight = 22;
constexpr int kAudioDelayRange = 500;
constexpr int kSubDelayRange = 2000;
constexpr int kPictureRange = 100;
constexpr double kSpeedPresets[] = {0.25, 0.5, 1.0, 1.5, 2.0, 4.0};

const QString kClipTitle = QStringLiteral("클립 저장");
const QString kRangeColour = QStringLiteral("#4caf50");
const QString kUnsetColour = QStringLiteral("#666666");
const QString kPointColour = QStringLiteral("#cfcfcf");

// The last family is the usual Korean face of Linux desktops, where the first two are missing.
#define VELMORAN_PRO_FONTS "font-family: 'Malgun Gothic', 'Segoe UI', 'Noto Sans CJK KR', sans-serif;"
const QString kPanelStyle = QStringLiteral(
    "#ProFeaturesWidget { background: #141414; }"
    "QTabWidget::pane { border: none; border-top: 1px solid #262626; background: #141414; }"
    "QTabBar::tab { background: #181818; color: #8a8a8a; padding: 2px 12px; font-size: 11px;"
    "  border: none; " VELMORAN_PRO_FONTS " }"
    "QTabBar::tab:selected { color: #ffffff; border-bottom: 2px solid #1565c0; }"
    "QLabel { color: #bdbdbd; font-size: 11px; background: transparent; " VELMORAN_PRO_FONTS " }"
    "QLabel[role=\"caption\"] { color: #9e9e9e; font-weight: 700; }"
    "QPushButton { background: #1e1e1e; color: #dcdcdc; border: 1px solid #333333; border-radius: 3px;"
    "  padding: 0px 7px; font-size: 11px; " VELMORAN_PRO_FONTS " }"
    "QPushButton:hover { border-color: #4fc3f7; }"
    "QPushButton:checked { background: #1565c0; color: #ffffff; border-color: #1565c0; }"
    "QPushButton:disabled { color: #555555; }"
    "QPushButton[normalSpeed=\"true\"] { border-color: #1565c0; }"
    "QSlider { min-height: 16px; max-height: 16px; background: transparent; }"
    "QSlider::groove:horizontal { height: 3px; background: #2c2c2c; border-radius: 1px; }"
    "QSlider::sub-page:horizontal { background: #2c2c2c; border-radius: 1px; }"
    "QSlider::handle:horizontal { background: #81d4fa; width: 10px; height: 10px; margin: -4px 0px;"
    "  border-radius: 5px; }"
    "QFrame[role=\"rule\"] { background: #2a2a2a; }"
    "QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"
    "QScrollBar:horizontal { height: 6px; background: #141414; }"
    "QScrollBar::handle:horizontal { background: #3a3a3a; border-radius: 3px; min-width: 30px; }"
    "QScrollBar::add-line:horizontal, QScrollBar::sub-line:horizontal { width: 0px; }");
#undef VELMORAN_PRO_FONTS

// Minutes and seconds of the truncated time, two digits each (an hour reads 60:00).
QString minutesSeconds(double seconds)
{
    const int whole = int(seconds);
    return QStringLiteral("%1:%2").arg(whole / 60, 2, 10, QLatin1Char('0')).arg(whole % 60, 2, 10, QLatin1Char('0'));
}

// A section: its caption on top, the given rows under it, the rest of the height left empty.
QWidget *makeSection(const QString &caption, std::initializer_list<QLayout *> rows)
{
    auto *section = new QWidget;
    // The rows' trailing stretches would otherwise make every section share the spare width.
    section->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    auto *column = new QVBoxLayout(section);
    column->setContentsMargins(8, 0, 8, 0);
    column->setSpacing(4);
    if (!caption.isEmpty())
        column->addWidget(PanelParts::caption(caption));
    for (QLayout *row : rows)
        column->addLayout(row);
    column->addStretch();
    return section;
}

QHBoxLayout *makeRow(std::initializer_list<QWidget *> widgets)
{
    auto *row = new QHBoxLayout;
    row->setSpacing(4);
    for (QWidget *widget : widgets)
        row->addWidget(widget);
    row->addStretch();
    return row;
}

void setLabel(QLabel *label, const QString &text, const QString &colour)
{
    label->setText(text);
    label->setStyleSheet(QStringLiteral("color: %1;").arg(colour));
}

QPushButton *makeButton(const QString &text, const QString &toolTip)
{
    return PanelParts::button(text, toolTip, kButtonHeight);
}

QSlider *makeSlider(int minimum, int maximum)
{
    auto *slider = new QSlider(Qt::Horizontal);
    slider->setRange(minimum, maximum);
    slider->setValue(0);
    slider->setFocusPolicy(Qt::NoFocus);
    return slider;
}

} // namespace

ProFeaturesWidget::ProFeaturesWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ProFeaturesWidget"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(kPanelStyle);
    setFixedHeight(kPanelHeight);

    auto *page = new QWidget;
    auto *sections = new QHBoxLayout(page);
    sections->setContentsMargins(4, 4, 4, 0);
    sections->setSpacing(0);
    const QList<QWidget *> parts = {
        buildCloseSection(),
        buildAbSection(),
        buildSpeedSection(),
        buildDelaySection(QStringLiteral("오디오 딜레이"), audioDelaySlider_, audioDelayLabel_, kAudioDelayRange,
                          QStringLiteral("오디오 딜레이 초기화")),
        buildDelaySection(QStringLiteral("자막 딜레이"), subDelaySlider_, subDelayLabel_, kSubDelayRange,
                          QStringLiteral("자막 딜레이 초기화")),
        buildPictureSection(),
        buildScreenshotSection(),
    };
    for (QWidget *part : parts) {
        if (part != parts.first())
            sections->addWidget(PanelParts::rule());
        sections->addWidget(part);
    }
    sections->addStretch();

    connect(audioDelaySlider_, &QSlider::valueChanged, this, &ProFeaturesWidget::onAudioDelaySlider);
    connect(subDelaySlider_, &QSlider::valueChanged, this, &ProFeaturesWidget::onSubDelaySlider);

    tabs_ = new QTabWidget(this);
    tabs_->setFocusPolicy(Qt::NoFocus);
    tabs_->tabBar()->setFocusPolicy(Qt::NoFocus);
    // The sections are wider than the window's minimum width; a narrow window scrolls them.
    tabs_->addTab(PanelParts::sidewaysScroller(page), QStringLiteral("전문 기능"));
    connect(tabs_, &QTabWidget::currentChanged, this,
            [this](int index) { setFixedHeight(index == 0 ? kPanelHeight : kFeatureTabHeight); });
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs_);

    chooseClipPath_ = [this](const QString &proposed) {
        return QFileDialog::getSaveFileName(this, kClipTitle, proposed, QStringLiteral("MP4 클립 (*.mp4)"));
    };
    notifier_ = [this](QMessageBox::Icon icon, const QString &title, const QString &text) {
        QMessageBox box(icon, title, text, QMessageBox::Ok, this);
        // The saved clip's path is part of the text; a name that looks like markup stays as spelled.
        box.setTextFormat(Qt::PlainText);
        box.exec();
    };
}

ProFeaturesWidget::~ProFeaturesWidget()
{
    // The running ffmpeg is killed with its QProcess among the children; its finish must not
    // reach a panel that is half gone.
    if (exportProcess_)
        exportProcess_->disconnect(this);
}

QWidget *ProFeaturesWidget::buildCloseSection()
{
    auto *close = makeButton(QStringLiteral("✕"), QStringLiteral("전문 기능 패널 닫기 (P 키)"));
    close->setFixedSize(kButtonHeight, kButtonHeight);
    close->setStyleSheet(QStringLiteral("padding: 0px;"));
    connect(close, &QPushButton::clicked, this, &ProFeaturesWidget::closeRequested);
    return makeSection(QString(), {makeRow({close})});
}

QWidget *ProFeaturesWidget::buildAbSection()
{
    buttonA_ = makeButton(QStringLiteral("[A]"), QStringLiteral("A 지점 설정 (A 키)"));
    buttonB_ = makeButton(QStringLiteral("[B]"), QStringLiteral("B 지점 설정 (B 키)"));
    buttonA_->setCheckable(true);
    buttonB_->setCheckable(true);
    auto *clear = makeButton(QStringLiteral("✕"), QStringLiteral("A-B 반복 해제"));
    abLabel_ = new QLabel;
    abLabel_->setObjectName(QStringLiteral("abLabel"));
    abLabel_->setMinimumWidth(90);
    setLabel(abLabel_, QStringLiteral("--:-- ~ --:--"), kUnsetColour);
    exportButton_ = makeButton(kClipTitle, QStringLiteral("A-B 구간을 MP4 클립으로 저장"));

    // A click flips a checkable button by itself; the check mark must say whether the point is set.
    connect(buttonA_, &QPushButton::clicked, this, [this] {
        setPointA();
        buttonA_->setChecked(pointA_ >= 0);
    });
    connect(buttonB_, &QPushButton::clicked, this, [this] {
        setPointB();
        buttonB_->setChecked(pointB_ >= 0);
    });
    connect(clear, &QPushButton::clicked, this, &ProFeaturesWidget::clearAB);
    connect(exportButton_, &QPushButton::clicked, this, &ProFeaturesWidget::exportClip);
    return makeSection(QStringLiteral("A-B 반복"),
                       {makeRow({buttonA_, buttonB_, clear, abLabel_}), makeRow({exportButton_})});
}

QWidget *ProFeaturesWidget::buildSpeedSection()
{
    speedLabel_ = new QLabel(QStringLiteral("1.00x"));
    speedLabel_->setObjectName(QStringLiteral("speedLabel"));
    auto *presets = new QHBoxLayout;
    presets->setSpacing(4);
    for (double preset : kSpeedPresets) {
        const QString number = QString::number(preset, 'g', 3);
        auto *button = makeButton(number + QLatin1Char('x'), QStringLiteral("재생속도 %1배").arg(number));
        button->setProperty("normalSpeed", preset == 1.0);
        connect(button, &QPushButton::clicked, this, [this, preset] { onSpeedPreset(preset); });
        presets->addWidget(button);
    }
    presets->addStretch();
    return makeSection(QStringLiteral("재생속도"), {makeRow({speedLabel_}), presets});
}

QWidget *ProFeaturesWidget::buildDelaySection(const QString &caption, QSlider *&slider, QLabel *&label, int range,
                                              const QString &resetTip)
{
    slider = makeSlider(-range, range);
    slider->setFixedWidth(140);
    label = new QLabel(QStringLiteral("0 ms"));
    label->setMinimumWidth(56);
    auto *reset = makeButton(QStringLiteral("리셋"), resetTip);
    connect(reset, &QPushButton::clicked, slider, [slider] { slider->setValue(0); });
    return makeSection(caption, {makeRow({slider, label}), makeRow({reset})});
}

QWidget *ProFeaturesWidget::buildPictureSection()
{
    const std::pair<QString, void (ProFeaturesWidget::*)(int)> filters[] = {
        {QStringLiteral("밝기"), &ProFeaturesWidget::brightnessChanged},
        {QStringLiteral("대비"), &ProFeaturesWidget::contrastChanged},
        {QStringLiteral("채도"), &ProFeaturesWidget::saturationChanged},
        {QStringLiteral("감마"), &ProFeaturesWidget::gammaChanged},
    };
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(1);
    for (const auto &[name, signal] : filters) {
        QSlider *slider = makeSlider(-kPictureRange, kPictureRange);
        slider->setFixedWidth(100);
        connect(slider, &QSlider::valueChanged, this, signal);
        grid->addWidget(new QLabel(name), int(pictureSliders_.size()), 0);
        grid->addWidget(slider, int(pictureSliders_.size()), 1);
        pictureSliders_ << slider;
    }
    auto *reset = makeButton(QStringLiteral("리셋"), QStringLiteral("화면 필터 초기화"));
    connect(reset, &QPushButton::clicked, this, &ProFeaturesWidget::resetPictureFilters);
    auto *row = new QHBoxLayout;
    row->addLayout(grid);
    row->addWidget(reset, 0, Qt::AlignTop);
    return makeSection(QStringLiteral("화면 필터"), {row});
}

QWidget *ProFeaturesWidget::buildScreenshotSection()
{
    auto *shot = makeButton(QStringLiteral("📷  현재 프레임 저장"), QStringLiteral("현재 프레임을 PNG로 저장 (S 키)"));
    shot->setFixedWidth(130);
    connect(shot, &QPushButton::clicked, this, &ProFeaturesWidget::takeScreenshot);
    return makeSection(QStringLiteral("스크린샷"), {makeRow({shot})});
}

void ProFeaturesWidget::connectToCore(MpvCore *core)
{
    if (core_)
        disconnect(this, nullptr, core_, nullptr);
    core_ = core;
    if (!core)
        return;
    connect(this, &ProFeaturesWidget::speedChanged, core, &MpvCore::setSpeed);
    connect(this, &ProFeaturesWidget::audioDelayChanged, core,
            [core](double ms) { core->setMpvProperty(QStringLiteral("audio-delay"), ms / 1000.0); });
    connect(this, &ProFeaturesWidget::subDelayChanged, core,
            [core](double ms) { core->setMpvProperty(QStringLiteral("sub-delay"), ms / 1000.0); });
    const std::pair<void (ProFeaturesWidget::*)(int), QString> pictures[] = {
        {&ProFeaturesWidget::brightnessChanged, QStringLiteral("brightness")},
        {&ProFeaturesWidget::contrastChanged, QStringLiteral("contrast")},
        {&ProFeaturesWidget::saturationChanged, QStringLiteral("saturation")},
        {&ProFeaturesWidget::gammaChanged, QStringLiteral("gamma")},
    };
    for (const auto &[signal, name] : pictures)
        connect(this, signal, core, [core, name](int value) { core->setMpvProperty(name, value); });
}

void ProFeaturesWidget::addFeatureTab(QWidget *page, const QString &title)
{
    tabs_->addTab(page, title);
}

int ProFeaturesWidget::featureTabCount() const
{
    return tabs_->count();
}

int ProFeaturesWidget::audioDelayMs() const
{
    return audioDelaySlider_->value();
}

int ProFeaturesWidget::subDelayMs() const
{
    return subDelaySlider_->value();
}

void ProFeaturesWidget::setAudioDelayMs(int ms)
{
    audioDelaySlider_->setValue(ms);
}

void ProFeaturesWidget::setSubDelayMs(int ms)
{
    subDelaySlider_->setValue(ms);
}

void ProFeaturesWidget::setClipPathChooser(ClipPathChooser chooser)
{
    chooseClipPath_ = std::move(chooser);
}

void ProFeaturesWidget::setNotifier(Notifier notifier)
{
    notifier_ = std::move(notifier);
}

void ProFeaturesWidget::onSpeedPreset(double speed)
{
    speed_ = speed;
    speedLabel_->setText(QStringLiteral("%1x").arg(speed, 0, 'f', 2));
    emit speedChanged(speed);
}

void ProFeaturesWidget::onAudioDelaySlider(int ms)
{
    audioDelayLabel_->setText(QStringLiteral("%1 ms").arg(ms));
    emit audioDelayChanged(ms);
}

void ProFeaturesWidget::onSubDelaySlider(int ms)
{
    subDelayLabel_->setText(QStringLiteral("%1 ms").arg(ms));
    emit subDelayChanged(ms);
}

void ProFeaturesWidget::resetPictureFilters()
{
    for (QSlider *slider : std::as_const(pictureSliders_))
        slider->setValue(0);
}

bool ProFeaturesWidget::hasEngine() const
{
    return core_ && core_->isInitialized();
}

void ProFeaturesWidget::setPointA()
{
    if (!hasEngine())
        return;
    pointA_ = core_->position();
    buttonA_->setChecked(true);
    core_->setMpvProperty(QStringLiteral("ab-loop-a"), pointA_);
    if (pointB_ > pointA_) {
        core_->setMpvProperty(QStringLiteral("ab-loop-b"), pointB_);
        showRange();
    } else {
        setLabel(abLabel_, QStringLiteral("A: ") + minutesSeconds(pointA_), kPointColour);
    }
}

void ProFeaturesWidget::setPointB()
{
    if (!hasEngine())
        return;
    pointB_ = core_->position();
    buttonB_->setChecked(true);
    core_->setMpvProperty(QStringLiteral("ab-loop-b"), pointB_);
    if (pointA_ >= 0 && pointB_ > pointA_) {
        core_->setMpvProperty(QStringLiteral("ab-loop-a"), pointA_);
        showRange();
    }
}

void ProFeaturesWidget::showRange()
{
    setLabel(abLabel_, minutesSeconds(pointA_) + QStringLiteral(" ~ ") + minutesSeconds(pointB_), kRangeColour);
}

void ProFeaturesWidget::clearAB()
{
    pointA_ = pointB_ = -1.0;
    buttonA_->setChecked(false);
    buttonB_->setChecked(false);
    setLabel(abLabel_, QStringLiteral("--:-- ~ --:--"), kUnsetColour);
    if (hasEngine()) {
        core_->setMpvProperty(QStringLiteral("ab-loop-a"), QStringLiteral("no"));
        core_->setMpvProperty(QStringLiteral("ab-loop-b"), QStringLiteral("no"));
    }
}

void ProFeaturesWidget::takeScreenshot()
{
    if (hasEngine())
        core_->command({QStringLiteral("screenshot"), QStringLiteral("video")});
}

QString ProFeaturesWidget::ffmpegProgram()
{
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/ffmpeg");
    return QFileInfo(beside).isExecutable() ? beside : QStringLiteral("ffmpeg");
}

QStringList ProFeaturesWidget::clipArguments(double a, double b, const QString &source, const QString &output)
{
    return {QStringLiteral("-y"), QStringLiteral("-ss"), QString::number(a, 'f', 3), QStringLiteral("-i"), source,
            QStringLiteral("-t"), QString::number(b - a, 'f', 3), QStringLiteral("-c"), QStringLiteral("copy"), output};
}

QString ProFeaturesWidget::proposedClipPath(const QString &source)
{
    const QFileInfo info(source);
    return QDir(info.absolutePath()).filePath(info.baseName() + QStringLiteral("_clip.mp4"));
}

void ProFeaturesWidget::exportClip()
{
    // The export button is disabled while ffmpeg runs and enabled again when it ends; callers
    // other than the button meet this guard, so a second ffmpeg never writes over the first.
    if (exportProcess_)
        return;
    if (pointA_ < 0 || pointA_ >= pointB_) {
        notify(QMessageBox::Information, kClipTitle, QStringLiteral("A-B 구간을 먼저 설정해주세요."));
        return;
    }
    const QString source = hasEngine() ? core_->currentPath() : QString();
    if (source.isEmpty() || source.startsWith(QLatin1String("http"))) {
        notify(QMessageBox::Information, kClipTitle, QStringLiteral("로컬 파일만 지원됩니다."));
        return;
    }
    const QString output = chooseClipPath_ ? chooseClipPath_(proposedClipPath(source)) : QString();
    if (output.isEmpty())
        return;

    auto *process = new QProcess(this);
    exportProcess_ = process;
    exportButton_->setEnabled(false);
    connect(process, &QProcess::finished, this, [this, process, output](int code, QProcess::ExitStatus status) {
        const bool ok = status == QProcess::NormalExit && code == 0;
        if (!ok) {
            const QByteArray errors = process->readAllStandardError().trimmed();
            appLog(QStringLiteral("[ProFeatures] ffmpeg failed (exit %1): %2")
                       .arg(code)
                       .arg(QString::fromUtf8(errors.right(400))));
        }
        process->deleteLater();
        finishExport(ok, output);
    });
    // A program that cannot start never finishes; every other error is followed by finished().
    connect(process, &QProcess::errorOccurred, this, [this, process, output](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        appLog(QStringLiteral("[ProFeatures] ffmpeg did not start: %1").arg(process->errorString()));
        process->deleteLater();
        finishExport(false, output);
    });
    process->start(ffmpegProgram(), clipArguments(pointA_, pointB_, source, output));
}

void ProFeaturesWidget::finishExport(bool ok, const QString &output)
{
    exportProcess_ = nullptr;
    exportButton_->setEnabled(true);
    if (ok)
        notify(QMessageBox::Information, QStringLiteral("클립 저장 완료"), QStringLiteral("저장되었습니다:\n") + output);
    else
        notify(QMessageBox::Warning, QStringLiteral("클립 저장 실패"), QStringLiteral("ffmpeg 실행 중 오류가 발생했습니다."));
    emit clipExportFinished(ok, output);
}

void ProFeaturesWidget::notify(QMessageBox::Icon icon, const QString &title, const QString &text)
{
    if (notifier_)
        notifier_(icon, title, text);
}
