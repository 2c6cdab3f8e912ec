#pragma once

#include "subtitles/SubtitleText.h"

#include <QPointer>
#include <QWidget>

class MpvCore;
class QLabel;
class QMessageBox;
class QPlainTextEdit;
class QSpinBox;

// The pro panel's subtitle editor: the current video's subtitle file as plain text, edited and
// put on screen at once, plus the subtitle delay. An applied edit reaches the engine through a
// UTF-8 copy in the user's private runtime folder, which replaces the current subtitle track;
// the file itself changes only on "파일로 저장", in the encoding it came in.
class SubtitleEditorWidget : public QWidget
{
    Q_OBJECT
public:
    // The engine is not owned and may be missing; without it edits and delays go nowhere.
    explicit SubtitleEditorWidget(MpvCore *engine, QWidget *parent = nullptr);
    ~SubtitleEditorWidget() override;

    // An empty path clears the editor. A file that cannot be read leaves the editor as it was.
    // Over unsaved changes it first asks (save / discard / cancel); cancel keeps the edit.
    void loadSubtitleFile(const QString &path);
    bool hasUnsavedChanges() const;
    QString subtitlePath() const { return subtitlePath_; }
    int syncOffsetMs() const { return syncOffsetMs_; }
    QString editorText() const;
    QString fileLabelText() const;

signals:
    // An applied edit was handed to the engine; `path` is the copy it loads.
    void subtitleReloaded(const QString &path);

public slots:
    // Also moves the spin box (clamped to its range) when called from elsewhere.
    void onSyncOffsetChanged(int ms);
    void onApplyEdit();
    void onReloadSubtitle();
    void onSaveToFile();

private:
    QWidget *buildOffsetRow();
    QWidget *buildActionRow();
    bool hasEngine() const;
    void applyDelay();
    void showFile(const QString &path);
    void askBeforeDiscarding();
    bool saveToFile();
    QString writeAppliedCopy(const QString &text);
    void showError(const QString &text);

    QPointer<MpvCore> engine_;
    QString subtitlePath_;
    int syncOffsetMs_ = 0;
    SubtitleText::Encoding encoding_ = SubtitleText::Encoding::Utf8;
    bool crlf_ = false;
    QString appliedPath_; // the copy last handed to the engine, removed with the widget
    QString pendingPath_; // what to show once the discard question is answered
    QPointer<QMessageBox> discardQuestion_;

    QLabel *titleLabel_ = nullptr;
    QLabel *fileLabel_ = nullptr;
    QSpinBox *offsetSpin_ = nullptr;
    QPlainTextEdit *editor_ = nullptr;
};
