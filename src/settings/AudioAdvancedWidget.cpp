#include "settings/AudioAdvancedWidget.h"

#include "engine/MpvCore.h"
#include "settings/AudioAdvancedSettings.h"
#include "settings/ImpulseResponse.h"
#include "settings/PageStyle.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cmath>
#include <utility>

namespace {
const QString kPageStyle = PageStyle::sheet({QStringLiteral("AudioAdvancedWidget"), QStringLiteral("AudioAdvancedPage")})
    + QStringLiteral("#irFileLabel { color: #ddd; background: #1a1a1a; border: 1px solid #2a2a2a; border-radius: 3px;"
                     "  padding: 4px 8px; }"
                     "#gainValueLabel { color: #00c8b4; font-family: Consolas, 'DejaVu Sans Mono', monospace; }"
                     "#applyPluginsButton { background: #00c8b4; color: #0d0d0d; border: none; font-weight: 700; }");

constexpr int kPathRole = Qt::UserRole;
constexpr int kLabelRole = Qt::UserRole + 1;
constexpr int kControlsRole = Qt::UserRole + 2;

QString gainText(int db)
{
    return QStringLiteral("%1%2 dB").arg(db > 0 ? QStringLiteral("+") : QString()).arg(db);
}

QString pluginItemText(const PluginEntry &entry)
{
    QString text = QStringLiteral("%1 — %2").arg(QFileInfo(entry.path).fileName(), entry.label);
    if (!entry.controls.isEmpty())
        text += QStringLiteral("  [%1]").arg(entry.controls);
    return text;
}

QString unreadableAtStart(const QString &what)
{
    return QStringLiteral("오류: %1 — 선택은 유지되며, 파일을 다시 읽을 수 있으면 다음 시작 때 적용됩니다.").arg(what);
}
} // namespace

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

void AudioAdvancedWidget::setPluginsChecked(bool on)
{
    const QSignalBlocker blocker(pluginsCheck_);
    pluginsCheck_->setChecked(on);
}

void AudioAdvancedWidget::showIrFile()
{
    const ImpulseResponse ir = ImpulseResponse::readFile(irPath_);
    irFileLabel_->setText(QFileInfo(irPath_).fileName());
    irFileLabel_->setToolTip(irPath_);
    if (ir.ok()) {
        const QString layout = ir.channels == 1   ? QStringLiteral("모노")
                               : ir.channels == 2 ? QStringLiteral("스테레오")
                                                  : QStringLiteral("%1채널").arg(ir.channels);
        irInfoLabel_->setText(QStringLiteral("%1 · %2 Hz · %3초 · 피크 %4 dBFS")
                                  .arg(layout)
                                  .arg(ir.sampleRate)
                                  .arg(ir.seconds(), 0, 'f', 2)
                                  .arg(ir.peak > 0 ? 20.0 * std::log10(ir.peak) : -INFINITY, 0, 'f', 1));
    } else {
        irInfoLabel_->clear();
    }
    const QString reason = ir.unusableReason();
    // A box the user ticked stays usable even while its file cannot be read, so it can be undone.
    convolutionCheck_->setEnabled(reason.isEmpty() || convolutionCheck_->isChecked());
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
    const QString filter = AudioAdvanced::roomCorrectionFilter(irPath_, gainDb_, normalizeCheck_->isChecked(), &error);
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

void AudioAdvancedWidget::addPluginItem(const PluginEntry &entry)
{
    // Not a drop: whoever adds the row applies the chain once it is complete.
    const bool wasLoading = std::exchange(loading_, true);
    auto *item = new QListWidgetItem(pluginItemText(entry));
    item->setData(kPathRole, entry.path);
    item->setData(kLabelRole, entry.label);
    item->setData(kControlsRole, entry.controls);
    item->setToolTip(entry.path);
    item->setFlags(item->flags() & ~Qt::ItemIsDropEnabled); // drops go between items, never onto one
    pluginList_->addItem(item);
    loading_ = wasLoading;
}

// The list is the chain: while it is on, the engine runs what the list now says.
void AudioAdvancedWidget::onPluginsChanged()
{
    if (loading_)
        return;
    if (pluginsCheck_->isChecked())
        applyPlugins();
    saveSettings();
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
    addPluginItem(entry);
    onPluginsChanged();
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
    onPluginsChanged();
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
    if (controls == item->data(kControlsRole).toString())
        return;
    const PluginEntry entry{item->data(kPathRole).toString(), item->data(kLabelRole).toString(), controls};
    if (const QString problem = PluginChain::problem(entry); !problem.isEmpty()) {
        setStatus(pluginStatus_, QStringLiteral("오류: ") + problem, "error");
        return;
    }
    item->setData(kControlsRole, controls);
    item->setText(pluginItemText(entry));
    onPluginsChanged();
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
    QString problem = AudioAdvanced::chainProblem(entries);
    if (problem.isEmpty() && !core_->setAudioFilter(AudioFilterSlot::PlugIns, PluginChain::filterText(entries)))
        problem = QStringLiteral("엔진이 플러그인 체인을 만들지 못했습니다.");
    if (!problem.isEmpty()) {
        core_->clearAudioFilter(AudioFilterSlot::PlugIns);
        setPluginsChecked(false);
        setStatus(pluginStatus_, QStringLiteral("오류: ") + problem, "error");
        saveSettings();
        return;
    }
    showPluginsActive();
}

void AudioAdvancedWidget::showPluginsActive()
{
    setStatus(pluginStatus_, QStringLiteral("플러그인 체인 적용됨: %1개 플러그인").arg(pluginList_->count()), "ok");
}

void AudioAdvancedWidget::onFilterFailed(AudioFilterSlot slot, const QString &detail)
{
    if (slot != AudioFilterSlot::RoomCorrection && slot != AudioFilterSlot::PlugIns)
        return;
    const bool room = slot == AudioFilterSlot::RoomCorrection;
    // A file that went missing (a drive unmounted) keeps the choice for when it is back; a
    // filter the engine could not build from files it can read is switched off.
    const QString missing = room ? ImpulseResponse::readFile(irPath_).unusableReason()
                                 : AudioAdvanced::chainProblem(plugins());
    QLabel *status = room ? roomStatus_ : pluginStatus_;
    if (!missing.isEmpty()) {
        setStatus(status, unreadableAtStart(missing), "error");
    } else {
        room ? setConvolutionChecked(false) : setPluginsChecked(false);
        setStatus(status, QStringLiteral("오류: %1 (%2)").arg(MpvCore::kAudioFilterFailedMessage.toString(), detail.trimmed()),
                  "error");
        saveSettings();
    }
    if (room)
        emit convolutionChanged(false, QString());
}

void AudioAdvancedWidget::saveSettings()
{
    if (loading_)
        return;
    const AudioAdvancedChoices choices{irPath_,
                                       gainDb_,
                                       normalizeCheck_->isChecked(),
                                       convolutionCheck_->isChecked(),
                                       plugins(),
                                       pluginsCheck_->isChecked()};
    choices.save();
}

void AudioAdvancedWidget::loadSettings()
{
    const AudioAdvancedChoices choices = AudioAdvancedChoices::load();
    loading_ = true;
    irPath_ = choices.irPath;
    gainSlider_->setValue(choices.gainDb);
    normalizeCheck_->setChecked(choices.irNormalize);
    pluginList_->clear();
    for (const PluginEntry &entry : choices.plugins)
        addPluginItem(entry);
    setPluginsChecked(choices.pluginsOn);
    setConvolutionChecked(choices.roomCorrection);
    if (!irPath_.isEmpty())
        showIrFile();
    loading_ = false;

    // The engine holds what was applied at start; the page shows that, applies what is
    // missing, and keeps a choice whose file cannot be read now.
    if (choices.roomCorrection) {
        const QString reason = ImpulseResponse::readFile(irPath_).unusableReason();
        if (!reason.isEmpty())
            setStatus(roomStatus_, unreadableAtStart(QStringLiteral("IR 파일을 읽을 수 없습니다 (%1)").arg(reason)), "error");
        else if (core_ && !core_->audioFilter(AudioFilterSlot::RoomCorrection).isEmpty())
            showRoomActive();
        else
            applyConvolution();
    }
    if (choices.pluginsOn && !choices.plugins.isEmpty()) {
        const QString problem = AudioAdvanced::chainProblem(choices.plugins);
        if (!problem.isEmpty())
            setStatus(pluginStatus_, unreadableAtStart(problem), "error");
        else if (core_ && !core_->audioFilter(AudioFilterSlot::PlugIns).isEmpty())
            showPluginsActive();
        else
            applyPlugins();
    }
}
