#include "mainwindow/MainWindow.h"

#include "app/CommandLine.h"
#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "subtitles/SubtitleEditorWidget.h"
#include "subtitles/SubtitleSearchDialog.h"
#include "subtitles/WhisperWidget.h"
#include "ui/controls/ProFeaturesWidget.h"

#include <QFileInfo>

bool MainWindow::canSearchSubtitles() const
{
    return !currentFile.isEmpty() && !isStreamUrl(currentFile);
}

void MainWindow::onSubtitleSearch()
{
    if (!canSearchSubtitles())
        return;
    SubtitleSearchDialog dialog(currentFile, this);
    // While the dialog is open the playlist may move on; a subtitle belongs to the video it was found for.
    dialog.setLoader([this, video = currentFile](const QString &path) {
        if (currentFile != video || core()->currentPath() != video)
            return QStringLiteral("자막을 넣지 않았습니다: 자막을 찾은 파일(%1)이 더 이상 재생 중이 아닙니다.")
                .arg(QFileInfo(video).fileName());
        QString refusal;
        if (!core()->addSubtitleFile(path, &refusal))
            return QStringLiteral("재생 엔진이 자막 파일을 읽지 못했습니다: %1 (%2)").arg(QFileInfo(path).fileName(), refusal);
        return QString();
    });
    if (dialog.exec() != QDialog::Accepted || dialog.resultPath().isEmpty())
        return;
    const QString path = dialog.resultPath();
    core()->command({QStringLiteral("show-text"), QStringLiteral("자막 로드: %1").arg(QFileInfo(path).fileName()),
                     QStringLiteral("3000")});
    showSubtitleInEditor(path);
}

WhisperWidget *MainWindow::createWhisperTab()
{
    whisper_ = new WhisperWidget(proPanel_);
    // The file to recognise is the one playing when recognition is switched on, from the page's
    // own button too; loading another file leaves the page and its results alone.
    connect(whisper_, &WhisperWidget::mediaPathRequested, this, [this] { whisper_->setMediaPath(currentFile); });
    whisper_->setDuration(duration_);
    connect(whisper_, &WhisperWidget::subtitleGenerated, this,
            [this](const QString &text, double, double, int confidence) {
                videoSurface_->setOverlayText(text, confidence);
            });
    connect(whisper_, &WhisperWidget::seekToSubtitle, this, [this](double seconds) { core()->seek(seconds); });
    return whisper_;
}

SubtitleEditorWidget *MainWindow::createSubtitleEditorTab()
{
    subtitleEditor_ = new SubtitleEditorWidget(core(), proPanel_);
    // The edited copy the editor hands to the engine is not a new file to edit.
    connect(subtitleEditor_, &SubtitleEditorWidget::subtitleReloaded, this,
            [this](const QString &path) { editedSubtitleCopy_ = path; });
    if (!loadedSubtitle_.isEmpty())
        subtitleEditor_->loadSubtitleFile(loadedSubtitle_);
    return subtitleEditor_;
}

void MainWindow::toggleWhisper(bool on)
{
    if (!whisper_ && !proPanelVisible_)
        toggleProFeatures();
    if (!whisper_)
        return;
    whisper_->setMediaPath(currentFile);
    whisper_->setActive(on);
}

// The editor shows the subtitle file the video is using: one found beside it, downloaded or
// added, as the engine reports it selected.
void MainWindow::followSelectedSubtitle()
{
    const QVariantList tracks = core()->getMpvProperty(QStringLiteral("track-list")).toList();
    for (const QVariant &entry : tracks) {
        const QVariantMap track = entry.toMap();
        if (track.value(QStringLiteral("type")).toString() != QLatin1String("sub")
            || !track.value(QStringLiteral("selected")).toBool())
            continue;
        const QString file = track.value(QStringLiteral("external-filename")).toString();
        if (!file.isEmpty() && file != editedSubtitleCopy_) {
            showSubtitleInEditor(file);
            return;
        }
    }
    // Another file without a subtitle of its own: the previous file's text is not this one's.
    if (subtitleVideo_ != core()->currentPath())
        showSubtitleInEditor(QString());
}

void MainWindow::showSubtitleInEditor(const QString &path)
{
    subtitleVideo_ = core()->currentPath();
    if (path == loadedSubtitle_)
        return;
    loadedSubtitle_ = path;
    if (subtitleEditor_)
        subtitleEditor_->loadSubtitleFile(path);
}
