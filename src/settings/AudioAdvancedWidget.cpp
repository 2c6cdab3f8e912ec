#include "settings/AudioAdvancedWidget.h"

#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "engine/MpvCore.h"
#include "settings/ImpulseResponse.h"
#include "ui/controls/PanelParts.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace {
#define VELMORAN_AUDIO_FONTS "font-family: 'Malgun Gothic', 'Segoe UI', 'Noto Sans CJK KR', sans-serif;"
const QString kPageStyle = QStringLiteral(
    "#AudioAdvancedWidget, #AudioAdvancedPage { background: #141414; }"
    "QTabWidget::pane { border: none; border-top: 1px solid #2a2a2a; }"
    "QTabBar::tab { background: #1a1a1a; color: #9e9e9e; padding: 4px 12px; border: none; font-size: 11px; "
    VELMORAN_AUDIO_FONTS " }"
    "QTabBar::tab:selected { color: #00c8b4; border-bottom: 2px solid #00c8b4; }"
    "QLabel { color: #bdbdbd; font-size: 11px; background: transparent; " VELMORAN_AUDIO_FONTS " }"
    "QLabel[role=\"caption\"] { color: #9e9e9e; font-weight: 700; }"
    "QLabel[role=\"note\"] { color: #808080; font-size: 10px; }"
    "#irFileLabel { color: #ddd; background: #1a1a1a; border: 1px solid #2a2a2a; border-radius: 3px;"
    "  padding: 4px 8px; }"
    "#gainValueLabel { color: #00c8b4; font-family: Consolas, 'DejaVu Sans Mono', monospace; }"
    "QLabel[state=\"ok\"] { color: #4caf50; }"
    "QLabel[state=\"off\"] { color: #666666; }"
    "QLabel[state=\"error\"] { color: #ef5350; }"
    "QLineEdit { background: #1e1e1e; color: #dcdcdc; border: 1px solid #333333; border-radius: 3px;"
    "  padding: 0px 6px; font-size: 11px; }"
    "QLineEdit:focus { border-color: #00c8b4; }"
    "QCheckBox { color: #bdbdbd; font-size: 11px; spacing: 5px; " VELMORAN_AUDIO_FONTS " }"
    "QCheckBox:disabled { color: #5a5a5a; }"
    "QCheckBox::indicator { width: 10px; height: 10px; border: 1px solid #4a4a4a; border-radius: 2px;"
    "  background: #1e1e1e; }"
    "QCheckBox::indicator:checked { background: #00c8b4; border-color: #00c8b4; }"
    "QPushButton { background: #1e1e1e; color: #dcdcdc; border: 1px solid #333333; border-radius: 3px;"
    "  padding: 0px 8px; font-size: 11px; " VELMORAN_AUDIO_FONTS " }"
    "QPushButton:hover { border-color: #00c8b4; }"
    "QPushButton:disabled { color: #5a5a5a; }"
    "#applyPluginsButton { background: #00c8b4; color: #0d0d0d; border: none; font-weight: 700; }"
    "QSlider::groove:horizontal { height: 3px; background: #333333; }"
    "QSlider::handle:horizontal { width: 10px; margin: -4px 0; border-radius: 5px; background: #00c8b4; }"
    "QListWidget { background: #101010; color: #dcdcdc; border: 1px solid #262626; border-radius: 3px;"
    "  font-size: 11px; outline: none; " VELMORAN_AUDIO_FONTS " }"
    "QListWidget::item { padding: 2px 3px; }"
    "QListWidget::item:selected { background: #1d3d39; }"
    "QFrame[role=\"rule\"] { background: #2a2a2a; }");
#undef VELMORAN_AUDIO_FONTS

constexpr int kPathRole = Qt::UserRole;
constexpr int kLabelRole = Qt::UserRole + 1;
constexpr int kControlsRole = Qt::UserRole + 2;

QSettings appSettings()
{
    return QSettings(QLatin1StringView(AppIdentity::kOrganisation), QLatin1StringView(AppIdentity::kSettingsApplication));
}

QString gainText(int db)
{
    return QStringLiteral("%1%2 dB").arg(db > 0 ? QStringLiteral("+") : QString()).arg(db);
}

QLabel *note(const QString &text)
{
    auto *label = new QLabel(text);
    label->setProperty("role", QStringLiteral("note"));
    label->setWordWrap(true);
    return label;
}

// A tab of the page: its explanation on top, the rest added below by the caller.
QVBoxLayout *pageColumn(QWidget *page, const QString &explanation)
{
    page->setObjectName(QStringLiteral("AudioAdvancedPage"));
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(12, 10, 12, 10);
    column->setSpacing(6);
    column->addWidget(note(explanation));
    return column;
}

QString pluginItemText(const PluginEntry &entry)
{
    QString text = QStringLiteral("%1 — %2").arg(QFileInfo(entry.path).fileName(), entry.label);
    if (!entry.controls.isEmpty())
        text += QStringLiteral("  [%1]").arg(entry.controls);
    return text;
}

// Plug-ins whose text would reach the engine; the first problem otherwise.
QString chainProblem(const QList<PluginEntry> &entries)
{
    for (const PluginEntry &entry : entries)
        if (const QString problem = PluginChain::problem(entry); !problem.isEmpty())
            return QStringLiteral("%1: %2").arg(QFileInfo(entry.path).fileName(), problem);
    return {};
}

// Remembers across starts that the engine refused a saved filter, also when no page exists.
void forgetRefused(AudioFilterSlot slot)
{
    QSettings settings = appSettings();
    if (slot == AudioFilterSlot::RoomCorrection)
        writeSetting(settings, SettingsKeys::audioAdvancedConvEnabled, false);
    else if (slot == AudioFilterSlot::PlugIns)
        writeSetting(settings, SettingsKeys::audioAdvancedPluginsEnabled, false);
}
} // namespace

QString AudioAdvancedWidget::roomCorrectionFilter(const QString &irPath, int gainDb, bool normalize, QString *error)
{
    const ImpulseResponse ir = ImpulseResponse::readFile(irPath);
    if (const QString reason = ir.unusableReason(); !reason.isEmpty()) {
        if (error)
            *error = reason;
        return {};
    }
    const double gain = std::pow(10.0, gainDb / 20.0) / (normalize ? ir.peak : 1.0);
    return AudioGraph::roomCorrection(irPath, ir.channels, gain);
}

void AudioAdvancedWidget::applySaved(MpvCore *engine)
{
    if (!engine)
        return;
    if (!engine->property("velmoranAudioAdvancedWatched").toBool()) {
        engine->setProperty("velmoranAudioAdvancedWatched", true);
        connect(engine, &MpvCore::audioFilterFailed, engine,
                [](AudioFilterSlot slot, const QString &) { forgetRefused(slot); });
    }
    const QSettings settings = appSettings();
    if (readSetting(settings, SettingsKeys::audioAdvancedConvEnabled)) {
        QString error;
        const QString filter = roomCorrectionFilter(readSetting(settings, SettingsKeys::audioAdvancedIrPath),
                                                    readSetting(settings, SettingsKeys::audioAdvancedGainDb),
                                                    readSetting(settings, SettingsKeys::audioAdvancedIrNormalize),
                                                    &error);
        if (filter.isEmpty() || !engine->setAudioFilter(AudioFilterSlot::RoomCorrection, filter)) {
            qWarning().noquote() << "[오디오] 저장된 룸 코렉션을 적용하지 못했습니다:" << error;
            forgetRefused(AudioFilterSlot::RoomCorrection);
        }
    }
    if (readSetting(settings, SettingsKeys::audioAdvancedPluginsEnabled)) {
        const QList<PluginEntry> entries =
            PluginChain::fromStored(readSetting(settings, SettingsKeys::audioAdvancedVstPlugins));
        const QString problem = chainProblem(entries);
        if (!problem.isEmpty() || entries.isEmpty()
            || !engine->setAudioFilter(AudioFilterSlot::PlugIns, PluginChain::filterText(entries))) {
            qWarning().noquote() << "[오디오] 저장된 플러그인 체인을 적용하지 못했습니다:" << problem;
            forgetRefused(AudioFilterSlot::PlugIns);
        }
    }
}

AudioAdvancedWidget::AudioAdvancedWidget(MpvCore *core, QWidget *parent) : QWidget(parent), core_(core)
{
    setObjectName(QStringLiteral("AudioAdvancedWidget"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(kPageStyle);

    auto *tabs = new QTabWidget;
    tabs->addTab(buildRoomPage(), QStringLiteral("룸 코렉션"));
    tabs->addTab(buildPluginPage(), QStringLiteral("LADSPA 플러그인"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs);

    if (core_)
        connect(core_, &MpvCore::audioFilterFailed, this, &AudioAdvancedWidget::onFilterFailed);
    loadSettings();
}

QWidget *AudioAdvancedWidget::buildRoomPage()
{
    auto *page = new QWidget;
    QVBoxLayout *column = pageColumn(page, QStringLiteral("REW(Room EQ Wizard) 등에서 생성한 임펄스 응답(IR) WAV 파일을 로드하여\n"
                                          "실내 음향 특성을 보정합니다. 스테레오 또는 모노 IR 파일을 지원합니다."));

    column->addWidget(PanelParts::caption(QStringLiteral("임펄스 응답 (IR) 파일")));
    auto *fileRow = new QHBoxLayout;
    irFileLabel_ = new QLabel(QStringLiteral("파일을 선택하세요..."));
    irFileLabel_->setObjectName(QStringLiteral("irFileLabel"));
    auto *browse = PanelParts::button(QStringLiteral("찾아보기..."), QStringLiteral("IR WAV 파일 선택"), 24);
    browse->setFixedWidth(80);
    connect(browse, &QPushButton::clicked, this, &AudioAdvancedWidget::onBrowseIrFile);
    fileRow->addWidget(irFileLabel_, 1);
    fileRow->addWidget(browse);
    column->addLayout(fileRow);
    irInfoLabel_ = note(QString());
    column->addWidget(irInfoLabel_);

    convolutionCheck_ = new QCheckBox(QStringLiteral("컨볼루션 룸 코렉션 활성화"));
    convolutionCheck_->setObjectName(QStringLiteral("convolutionCheck"));
    convolutionCheck_->setEnabled(false);
    connect(convolutionCheck_, &QCheckBox::toggled, this, &AudioAdvancedWidget::onConvolutionToggled);
    normalizeCheck_ = new QCheckBox(QStringLiteral("IR 피크 정규화"));
    normalizeCheck_->setObjectName(QStringLiteral("normalizeCheck"));
    normalizeCheck_->setToolTip(QStringLiteral("IR의 최대 샘플이 0 dBFS가 되도록 맞춘 뒤 게인을 적용합니다"));
    connect(normalizeCheck_, &QCheckBox::toggled, this, [this] {
        if (!loading_ && convolutionCheck_->isChecked())
            applyConvolution();
        saveSettings();
    });
    column->addWidget(convolutionCheck_);
    column->addWidget(normalizeCheck_);

    column->addWidget(PanelParts::rule());
    column->addWidget(PanelParts::caption(QStringLiteral("출력 게인 보정")));
    auto *gainRow = new QHBoxLayout;
    gainSlider_ = new QSlider(Qt::Horizontal);
    gainSlider_->setObjectName(QStringLiteral("gainSlider"));
    gainSlider_->setRange(-12, 12);
    gainSlider_->setTickInterval(3);
    gainSlider_->setTickPosition(QSlider::TicksBelow);
    gainSlider_->setFocusPolicy(Qt::NoFocus);
    gainValueLabel_ = new QLabel(gainText(0));
    gainValueLabel_->setObjectName(QStringLiteral("gainValueLabel"));
    gainValueLabel_->setFixedWidth(48);
    connect(gainSlider_, &QSlider::valueChanged, this, &AudioAdvancedWidget::onGainChanged);
    gainRow->addWidget(new QLabel(QStringLiteral("게인:")));
    gainRow->addWidget(gainSlider_, 1);
    gainRow->addWidget(gainValueLabel_);
    column->addLayout(gainRow);

    column->addWidget(PanelParts::rule());
    roomStatus_ = new QLabel;
    roomStatus_->setObjectName(QStringLiteral("roomStatus"));
    roomStatus_->setWordWrap(true);
    setStatus(roomStatus_, QStringLiteral("비활성"), "off");
    column->addWidget(roomStatus_);
    column->addStretch(1);
    return page;
}

QWidget *AudioAdvancedWidget::buildPluginPage()
{
    auto *page = new QWidget;
    QVBoxLayout *column = pageColumn(page, QStringLiteral("LADSPA 플러그인을 등록하면 재생 시 실시간 오디오 체인에 적용됩니다.\n"
                                          "Linux: LADSPA 플러그인 .so 파일을 지원합니다 (LV2는 지원하지 않습니다).\n"
                                          "플러그인 적용 순서는 드래그로 변경할 수 있습니다."));

    column->addWidget(PanelParts::caption(QStringLiteral("등록된 LADSPA 플러그인")));
    pluginList_ = new QListWidget;
    pluginList_->setObjectName(QStringLiteral("pluginList"));
    pluginList_->setMinimumHeight(120);
    pluginList_->setDragDropMode(QAbstractItemView::InternalMove);
    pluginList_->setDefaultDropAction(Qt::MoveAction);
    // A drop reorders by removing and inserting rows: the new order is saved once it settles.
    connect(pluginList_->model(), &QAbstractItemModel::rowsMoved, this, [this] { saveSettings(); });
    connect(pluginList_->model(), &QAbstractItemModel::rowsInserted, this, [this] {
        if (!loading_)
            QTimer::singleShot(0, this, &AudioAdvancedWidget::saveSettings);
    });
    connect(pluginList_, &QListWidget::currentRowChanged, this, &AudioAdvancedWidget::onCurrentPluginChanged);
    column->addWidget(pluginList_, 1);

    auto *buttons = new QHBoxLayout;
    auto *add = PanelParts::button(QStringLiteral("+ 플러그인 추가"), QStringLiteral("LADSPA .so 파일 추가"), 24);
    removeButton_ = PanelParts::button(QStringLiteral("- 제거"), QStringLiteral("선택한 플러그인 제거"), 24);
    removeButton_->setEnabled(false);
    connect(add, &QPushButton::clicked, this, &AudioAdvancedWidget::onAddPlugin);
    connect(removeButton_, &QPushButton::clicked, this, &AudioAdvancedWidget::onRemovePlugin);
    buttons->addWidget(add);
    buttons->addWidget(removeButton_);
    buttons->addStretch(1);
    column->addLayout(buttons);

    auto *controlsRow = new QHBoxLayout;
    controlsEdit_ = new QLineEdit;
    controlsEdit_->setObjectName(QStringLiteral("controlsEdit"));
    controlsEdit_->setPlaceholderText(QStringLiteral("예: c0=0.5|c1=2 (비우면 기본값)"));
    controlsEdit_->setEnabled(false);
    connect(controlsEdit_, &QLineEdit::editingFinished, this, &AudioAdvancedWidget::onControlsEdited);
    controlsRow->addWidget(new QLabel(QStringLiteral("컨트롤:")));
    controlsRow->addWidget(controlsEdit_, 1);
    column->addLayout(controlsRow);
    controlsHint_ = note(QString());
    column->addWidget(controlsHint_);

    column->addWidget(note(QStringLiteral("플러그인 적용: MPV af 체인을 통해 실시간 처리됩니다. "
                                          "재생 중 적용 시 잠시 끊길 수 있습니다.")));
    pluginsCheck_ = new QCheckBox(QStringLiteral("플러그인 체인 활성화"));
    pluginsCheck_->setObjectName(QStringLiteral("pluginsCheck"));
    connect(pluginsCheck_, &QCheckBox::toggled, this, [this] {
        if (!loading_)
            saveSettings();
    });
    auto *apply = PanelParts::button(QStringLiteral("지금 적용"), QStringLiteral("플러그인 체인을 재생에 적용"), 26);
    apply->setObjectName(QStringLiteral("applyPluginsButton"));
    connect(apply, &QPushButton::clicked, this, &AudioAdvancedWidget::applyPlugins);
    auto *applyRow = new QHBoxLayout;
    applyRow->addWidget(pluginsCheck_);
    applyRow->addStretch(1);
    applyRow->addWidget(apply);
    column->addLayout(applyRow);
    pluginStatus_ = new QLabel;
    pluginStatus_->setObjectName(QStringLiteral("pluginStatus"));
    pluginStatus_->setWordWrap(true);
    setStatus(pluginStatus_, QStringLiteral("비활성"), "off");
    column->addWidget(pluginStatus_);
    return page;
}

void AudioAdvancedWidget::setStatus(QLabel *label, const QString &text, const char *state)
{
    label->setText(text);
    label->setProperty("state", QLatin1String(state));
    label->style()->unpolish(label);
    label->style()->polish(label);
}

void AudioAdvancedWidget::setConvolutionChecked(bool on)
{
    const QSignalBlocker blocker(convolutionCheck_);
    convolutionCheck_->setChecked(on);
}

void AudioAdvancedWidget::showIrFile()
{
    const ImpulseResponse ir = ImpulseResponse::readFile(irPath_);
    irFileLabel_->setText(QFileInfo(irPath_).fileName());
    irFileLabel_->setToolTip(irPath_);
    if (ir.ok()) {
        irInfoLabel_->setText(QStringLiteral("%1 · %2 Hz · %3초 · 피크 %4 dBFS")
                                  .arg(ir.channels == 1 ? QStringLiteral("모노") : ir.channels == 2 ? QStringLiteral("스테레오") : QStringLiteral("%1채널").arg(ir.channels))
                                  .arg(ir.sampleRate)
                                  .arg(ir.seconds(), 0, 'f', 2)
                                  .arg(ir.peak > 0 ? 20.0 * std::log10(ir.peak) : -INFINITY, 0, 'f', 1));
    } else {
        irInfoLabel_->clear();
    }
    const QString reason = ir.unusableReason();
    convolutionCheck_->setEnabled(reason.isEmpty());
    if (!reason.isEmpty())
        setStatus(roomStatus_, QStringLiteral("오류: ") + reason, "error");
}

QString AudioAdvancedWidget::setIrFile(const QString &path)
{
    const QString reason = ImpulseResponse::readFile(path).unusableReason();
    if (!reason.isEmpty()) {
        setStatus(roomStatus_, QStringLiteral("오류: ") + reason, "error");
        return reason;
    }
    irPath_ = path;
    showIrFile();
    if (convolutionCheck_->isChecked())
        applyConvolution();
    else
        setStatus(roomStatus_, QStringLiteral("비활성"), "off");
    saveSettings();
    return {};
}

void AudioAdvancedWidget::onBrowseIrFile()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("임펄스 응답 (IR) 파일 선택"),
                                                      QFileInfo(irPath_).absolutePath(),
                                                      QStringLiteral("WAV 파일 (*.wav);;모든 파일 (*)"));
    if (!path.isEmpty())
        setIrFile(path);
}

void AudioAdvancedWidget::applyConvolution()
{
    if (!core_ || irPath_.isEmpty()) {
        setStatus(roomStatus_, QStringLiteral("오류: IR 파일이 선택되지 않았습니다."), "error");
        setConvolutionChecked(false);
        return;
    }
    QString error;
    const QString filter = roomCorrectionFilter(irPath_, gainDb_, normalizeCheck_->isChecked(), &error);
    if (filter.isEmpty() || !core_->setAudioFilter(AudioFilterSlot::RoomCorrection, filter)) {
        if (error.isEmpty())
            error = QStringLiteral("엔진이 룸 코렉션 필터를 만들지 못했습니다.");
        core_->clearAudioFilter(AudioFilterSlot::RoomCorrection);
        setStatus(roomStatus_, QStringLiteral("오류: ") + error, "error");
        setConvolutionChecked(false);
        saveSettings();
        emit convolutionChanged(false, QString());
        return;
    }
    showRoomActive();
    emit convolutionChanged(true, irPath_);
}

void AudioAdvancedWidget::showRoomActive()
{
    // The correction is stereo in and out: a multichannel source is folded down, never cut.
    setStatus(roomStatus_,
              QStringLiteral("활성화: %1 (%2)\n출력은 스테레오입니다: 5.1 등 다채널 음원은 스테레오로 다운믹스됩니다.")
                  .arg(QFileInfo(irPath_).fileName(), gainText(gainDb_)),
              "ok");
}

void AudioAdvancedWidget::disableConvolution()
{
    if (!core_)
        return;
    core_->clearAudioFilter(AudioFilterSlot::RoomCorrection);
    setStatus(roomStatus_, QStringLiteral("컨볼루션 비활성화됨"), "off");
    emit convolutionChanged(false, QString());
}

void AudioAdvancedWidget::onConvolutionToggled(bool on)
{
    if (loading_)
        return;
    if (on)
        applyConvolution();
    else
        disableConvolution();
    saveSettings();
}

void AudioAdvancedWidget::onGainChanged(int value)
{
    gainDb_ = value;
    gainValueLabel_->setText(gainText(value));
    if (loading_)
        return;
    if (convolutionCheck_->isChecked())
        applyConvolution();
    saveSettings();
}

QList<PluginEntry> AudioAdvancedWidget::plugins() const
{
    QList<PluginEntry> entries;
    for (int row = 0; row < pluginList_->count(); ++row) {
        const QListWidgetItem *item = pluginList_->item(row);
        entries << PluginEntry{item->data(kPathRole).toString(), item->data(kLabelRole).toString(),
                               item->data(kControlsRole).toString()};
    }
    return entries;
}

QString AudioAdvancedWidget::addPlugin(const QString &path, const QString &label, const QString &controls)
{
    const LadspaLibrary library = LadspaLibrary::inspect(path);
    PluginEntry entry{path, label, controls};
    if (entry.label.isEmpty() && !library.plugins.isEmpty())
        entry.label = library.plugins.first().label;
    const QString problem = library.error.isEmpty() ? PluginChain::problem(entry) : library.error;
    if (!problem.isEmpty()) {
        setStatus(pluginStatus_, QStringLiteral("오류: ") + problem, "error");
        return problem;
    }
    auto *item = new QListWidgetItem(pluginItemText(entry));
    item->setData(kPathRole, entry.path);
    item->setData(kLabelRole, entry.label);
    item->setData(kControlsRole, entry.controls);
    item->setToolTip(entry.path);
    item->setFlags(item->flags() & ~Qt::ItemIsDropEnabled); // drops go between items, never onto one
    pluginList_->addItem(item);
    saveSettings();
    return {};
}

void AudioAdvancedWidget::onAddPlugin()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("LADSPA 플러그인 선택"),
                                                      QStringLiteral("/usr/lib/ladspa"),
                                                      QStringLiteral("LADSPA 플러그인 (*.so);;모든 파일 (*)"));
    if (path.isEmpty())
        return;
    const LadspaLibrary library = LadspaLibrary::inspect(path);
    if (!library.error.isEmpty()) {
        setStatus(pluginStatus_, QStringLiteral("오류: ") + library.error, "error");
        return;
    }
    QString label = library.plugins.first().label;
    if (library.plugins.size() > 1) {
        QStringList choices;
        for (const LadspaLibrary::Plugin &plugin : library.plugins)
            choices << QStringLiteral("%1 (%2)").arg(plugin.label, plugin.name);
        bool ok = false;
        const QString chosen = QInputDialog::getItem(this, QStringLiteral("플러그인 선택"),
                                                     QStringLiteral("이 라이브러리의 플러그인:"), choices, 0, false, &ok);
        if (!ok)
            return;
        label = library.plugins.at(choices.indexOf(chosen)).label;
    }
    addPlugin(path, label);
}

void AudioAdvancedWidget::onRemovePlugin()
{
    delete pluginList_->currentItem();
    saveSettings();
}

void AudioAdvancedWidget::onCurrentPluginChanged()
{
    const QListWidgetItem *item = pluginList_->currentItem();
    removeButton_->setEnabled(item != nullptr);
    controlsEdit_->setEnabled(item != nullptr);
    controlsEdit_->setText(item ? item->data(kControlsRole).toString() : QString());
    controlsHint_->clear();
    if (!item)
        return;
    const LadspaLibrary library = LadspaLibrary::inspect(item->data(kPathRole).toString());
    if (const LadspaLibrary::Plugin *plugin = library.find(item->data(kLabelRole).toString())) {
        QStringList names;
        for (int i = 0; i < plugin->controls.size(); ++i)
            names << QStringLiteral("c%1 = %2").arg(i).arg(plugin->controls.at(i));
        controlsHint_->setText(names.isEmpty() ? QStringLiteral("조절 가능한 컨트롤이 없습니다.") : names.join(QStringLiteral(" · ")));
    }
}

void AudioAdvancedWidget::onControlsEdited()
{
    QListWidgetItem *item = pluginList_->currentItem();
    if (!item)
        return;
    const QString controls = controlsEdit_->text().trimmed();
    const PluginEntry entry{item->data(kPathRole).toString(), item->data(kLabelRole).toString(), controls};
    if (const QString problem = PluginChain::problem(entry); !problem.isEmpty()) {
        setStatus(pluginStatus_, QStringLiteral("오류: ") + problem, "error");
        return;
    }
    item->setData(kControlsRole, controls);
    item->setText(pluginItemText(entry));
    saveSettings();
}

void AudioAdvancedWidget::applyPlugins()
{
    if (!core_)
        return;
    const QList<PluginEntry> entries = plugins();
    if (!pluginsCheck_->isChecked() || entries.isEmpty()) {
        core_->clearAudioFilter(AudioFilterSlot::PlugIns);
        setStatus(pluginStatus_, QStringLiteral("플러그인 체인 비활성화됨."), "off");
        return;
    }
    QString problem = chainProblem(entries);
    if (problem.isEmpty() && !core_->setAudioFilter(AudioFilterSlot::PlugIns, PluginChain::filterText(entries)))
        problem = QStringLiteral("엔진이 플러그인 체인을 만들지 못했습니다.");
    if (!problem.isEmpty()) {
        core_->clearAudioFilter(AudioFilterSlot::PlugIns);
        pluginsCheck_->setChecked(false);
        setStatus(pluginStatus_, QStringLiteral("오류: ") + problem, "error");
        saveSettings();
        return;
    }
    setStatus(pluginStatus_, QStringLiteral("플러그인 체인 적용됨: %1개 플러그인").arg(entries.size()), "ok");
}

void AudioAdvancedWidget::onFilterFailed(AudioFilterSlot slot, const QString &detail)
{
    const QString why = QStringLiteral("오류: %1 (%2)").arg(MpvCore::kAudioFilterFailedMessage.toString(), detail.trimmed());
    if (slot == AudioFilterSlot::RoomCorrection) {
        setConvolutionChecked(false);
        setStatus(roomStatus_, why, "error");
        emit convolutionChanged(false, QString());
    } else if (slot == AudioFilterSlot::PlugIns) {
        const QSignalBlocker blocker(pluginsCheck_);
        pluginsCheck_->setChecked(false);
        setStatus(pluginStatus_, why, "error");
    } else {
        return;
    }
    saveSettings();
}

void AudioAdvancedWidget::saveSettings()
{
    if (loading_)
        return;
    QSettings settings = appSettings();
    writeSetting(settings, SettingsKeys::audioAdvancedIrPath, irPath_);
    writeSetting(settings, SettingsKeys::audioAdvancedGainDb, gainDb_);
    writeSetting(settings, SettingsKeys::audioAdvancedConvEnabled, convolutionCheck_->isChecked());
    writeSetting(settings, SettingsKeys::audioAdvancedIrNormalize, normalizeCheck_->isChecked());
    writeSetting(settings, SettingsKeys::audioAdvancedVstPlugins, PluginChain::toStored(plugins()));
    writeSetting(settings, SettingsKeys::audioAdvancedPluginsEnabled, pluginsCheck_->isChecked());
}

void AudioAdvancedWidget::loadSettings()
{
    const QSettings settings = appSettings();
    loading_ = true;
    irPath_ = readSetting(settings, SettingsKeys::audioAdvancedIrPath);
    gainSlider_->setValue(readSetting(settings, SettingsKeys::audioAdvancedGainDb));
    normalizeCheck_->setChecked(readSetting(settings, SettingsKeys::audioAdvancedIrNormalize));
    pluginList_->clear();
    for (const PluginEntry &entry : PluginChain::fromStored(readSetting(settings, SettingsKeys::audioAdvancedVstPlugins))) {
        auto *item = new QListWidgetItem(pluginItemText(entry));
        item->setData(kPathRole, entry.path);
        item->setData(kLabelRole, entry.label);
        item->setData(kControlsRole, entry.controls);
        item->setToolTip(entry.path);
        item->setFlags(item->flags() & ~Qt::ItemIsDropEnabled);
        pluginList_->addItem(item);
    }
    pluginsCheck_->setChecked(readSetting(settings, SettingsKeys::audioAdvancedPluginsEnabled));
    const bool convolution = readSetting(settings, SettingsKeys::audioAdvancedConvEnabled);
    if (!irPath_.isEmpty())
        showIrFile();
    loading_ = false;

    // The engine already holds what applySaved gave it at start; only the texts follow it here.
    const bool usable = convolutionCheck_->isEnabled();
    setConvolutionChecked(convolution && usable);
    if (convolution && usable && core_ && !core_->audioFilter(AudioFilterSlot::RoomCorrection).isEmpty())
        showRoomActive();
    else if (convolution && usable)
        applyConvolution();
    if (pluginsCheck_->isChecked() && core_ && !core_->audioFilter(AudioFilterSlot::PlugIns).isEmpty())
        setStatus(pluginStatus_, QStringLiteral("플러그인 체인 적용됨: %1개 플러그인").arg(pluginList_->count()), "ok");
}
