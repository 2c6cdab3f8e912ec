#include "subtitles/SubtitleEditorWidget.h"

#include "app/AppIdentity.h"
#include "engine/MpvCore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

constexpr int kOffsetLimitMs = 30000;
constexpr int kOffsetSteps[] = {-500, -100, 100, 500};
constexpr int kButtonHeight = 22;

const QString kNoFile = QStringLiteral("자막 파일 없음");

const QString kEditorStyle = QStringLiteral(
    "#SubtitleEditorWidget { background: #141414; }"
    "QLabel#subtitleEditorTitle { color: #00c8b4; font-weight: bold; font-size: 12px; }"
    "QLabel#subtitleEditorFile { color: #8a8a8a; font-size: 10px; }"
    "QPlainTextEdit { background: #0f0f0f; color: #dcdcdc; border: 1px solid #2a2a2a;"
    "  selection-background-color: #00695f; }"
    "QSpinBox { background: #1e1e1e; color: #dcdcdc; border: 1px solid #333333; border-radius: 3px; }"
    "QPushButton#subtitleEditorApply { background: #00c8b4; color: #0b0b0b; border-color: #00c8b4;"
    "  font-weight: bold; }"
    "QPushButton#subtitleEditorApply:hover { background: #26d9c7; }");

QPushButton *makeButton(const QString &text)
{
    auto *button = new QPushButton(text);
    button->setFixedHeight(kButtonHeight);
    // Keyboard focus stays with the editor or the main window, whose keys drive playback.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

// Only this user can enter it: under a fixed name in a shared folder, another user could plant
// a file or a link that the engine would then load, or that the copy would be written through.
QString privateFolder()
{
    const QString runtime = AppIdentity::instanceFolder();
    if (!runtime.isEmpty())
        return runtime;
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    if (data.isEmpty() || !QDir().mkpath(data)
        || !QFile::setPermissions(data, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
        return QString();
    return data;
}

} // namespace

SubtitleEditorWidget::SubtitleEditorWidget(MpvCore *engine, QWidget *parent) : QWidget(parent), engine_(engine)
{
    setObjectName(QStringLiteral("SubtitleEditorWidget"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(kEditorStyle);

    titleLabel_ = new QLabel(QStringLiteral("자막 편집기"));
    titleLabel_->setObjectName(QStringLiteral("subtitleEditorTitle"));
    fileLabel_ = new QLabel(kNoFile);
    fileLabel_->setObjectName(QStringLiteral("subtitleEditorFile"));
    auto *header = new QHBoxLayout;
    header->addWidget(titleLabel_);
    header->addSpacing(8);
    header->addWidget(fileLabel_, 1);

    editor_ = new QPlainTextEdit;
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSize(10);
    editor_->setFont(fixed);
    editor_->setPlaceholderText(QStringLiteral("자막 파일을 열면 여기에 내용이 표시됩니다.\n"
                                               "직접 편집 후 '적용'을 누르면 즉시 반영됩니다."));

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(8, 4, 8, 4);
    column->setSpacing(4);
    column->addLayout(header);
    column->addWidget(buildOffsetRow());
    column->addWidget(editor_, 1);
    column->addWidget(buildActionRow());
}

SubtitleEditorWidget::~SubtitleEditorWidget()
{
    // The engine read the copy whole when it was added; nothing needs it once the panel goes.
    if (!appliedPath_.isEmpty())
        QFile::remove(appliedPath_);
}

QWidget *SubtitleEditorWidget::buildOffsetRow()
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(new QLabel(QStringLiteral("싱크 오프셋:")));

    offsetSpin_ = new QSpinBox;
    offsetSpin_->setRange(-kOffsetLimitMs, kOffsetLimitMs);
    offsetSpin_->setSingleStep(100);
    offsetSpin_->setSuffix(QStringLiteral(" ms"));
    offsetSpin_->setFixedWidth(110);
    offsetSpin_->setToolTip(QStringLiteral("양수: 자막 늦춤 / 음수: 자막 앞당김"));
    connect(offsetSpin_, &QSpinBox::valueChanged, this, &SubtitleEditorWidget::onSyncOffsetChanged);
    layout->addWidget(offsetSpin_);

    for (const int step : kOffsetSteps) {
        auto *button = makeButton((step > 0 ? QStringLiteral("+") : QString()) + QString::number(step) + QStringLiteral("ms"));
        // The spin box clamps to its range and reports the change like a typed value.
        connect(button, &QPushButton::clicked, this, [this, step] { offsetSpin_->setValue(offsetSpin_->value() + step); });
        layout->addWidget(button);
    }
    auto *reset = makeButton(QStringLiteral("리셋"));
    connect(reset, &QPushButton::clicked, this, [this] { offsetSpin_->setValue(0); });
    layout->addWidget(reset);
    layout->addStretch();
    return row;
}

QWidget *SubtitleEditorWidget::buildActionRow()
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    auto *reload = makeButton(QStringLiteral("다시 불러오기"));
    connect(reload, &QPushButton::clicked, this, &SubtitleEditorWidget::onReloadSubtitle);
    auto *apply = makeButton(QStringLiteral("적용 (MPV 재로드)"));
    apply->setObjectName(QStringLiteral("subtitleEditorApply"));
    connect(apply, &QPushButton::clicked, this, &SubtitleEditorWidget::onApplyEdit);
    auto *save = makeButton(QStringLiteral("파일로 저장"));
    connect(save, &QPushButton::clicked, this, &SubtitleEditorWidget::onSaveToFile);
    layout->addWidget(reload);
    layout->addWidget(apply);
    layout->addWidget(save);
    layout->addStretch();
    return row;
}

QString SubtitleEditorWidget::editorText() const
{
    // The raw text keeps no-break spaces, which the plain-text view would turn into spaces and
    // so change lines the user never touched.
    QString text = editor_->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, u'\n');
    text.replace(QChar::LineSeparator, u'\n');
    return text;
}

QString SubtitleEditorWidget::fileLabelText() const
{
    return fileLabel_->text();
}

bool SubtitleEditorWidget::hasEngine() const
{
    return engine_ && engine_->isInitialized();
}

void SubtitleEditorWidget::applyDelay()
{
    if (hasEngine())
        engine_->setMpvProperty(QStringLiteral("sub-delay"), syncOffsetMs_ / 1000.0);
}

void SubtitleEditorWidget::onSyncOffsetChanged(int ms)
{
    {
        const QSignalBlocker quiet(offsetSpin_);
        offsetSpin_->setValue(ms);
    }
    syncOffsetMs_ = offsetSpin_->value();
    applyDelay();
}

bool SubtitleEditorWidget::hasUnsavedChanges() const
{
    return editor_->document()->isModified();
}

void SubtitleEditorWidget::loadSubtitleFile(const QString &path)
{
    if (!hasUnsavedChanges()) {
        showFile(path);
        return;
    }
    // The file being edited, asked for again, keeps its edit.
    if (path == subtitlePath_)
        return;
    pendingPath_ = path;
    if (!discardQuestion_)
        askBeforeDiscarding();
}

// Asked without a nested event loop: the request comes from the engine's events (another file,
// another track), which would all wait for the answer.
void SubtitleEditorWidget::askBeforeDiscarding()
{
    const bool canSave = !subtitlePath_.isEmpty();
    auto *box = new QMessageBox(QMessageBox::Question, QStringLiteral("자막 편집기"),
                                QStringLiteral("저장하지 않은 변경 사항이 있습니다. 다른 자막을 열기 전에 저장할까요?"),
                                QMessageBox::NoButton, this);
    box->setInformativeText(canSave ? QStringLiteral("저장하지 않으면 %1에서 편집한 내용이 사라집니다.")
                                          .arg(QFileInfo(subtitlePath_).fileName())
                                    : QStringLiteral("편집한 내용은 파일이 없어 저장할 수 없습니다. 버리면 사라집니다."));
    box->setTextFormat(Qt::PlainText);
    if (canSave)
        box->addButton(QMessageBox::Save)->setText(QStringLiteral("저장"));
    box->addButton(QMessageBox::Discard)->setText(QStringLiteral("저장하지 않음"));
    box->setDefaultButton(box->addButton(QMessageBox::Cancel));
    box->button(QMessageBox::Cancel)->setText(QStringLiteral("취소"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, this, [this, box] {
        const QMessageBox::StandardButton answer = box->standardButton(box->clickedButton());
        // Cancel keeps the edit and the file it belongs to; a failed save says so and keeps both.
        if (answer == QMessageBox::Discard || (answer == QMessageBox::Save && saveToFile()))
            showFile(pendingPath_);
    });
    discardQuestion_ = box;
    box->open();
}

void SubtitleEditorWidget::showFile(const QString &path)
{
    if (path.isEmpty()) {
        subtitlePath_.clear();
        encoding_ = SubtitleText::Encoding::Utf8;
        crlf_ = false;
        editor_->clear();
        editor_->document()->setModified(false);
        fileLabel_->setText(kNoFile);
        fileLabel_->setToolTip(QString());
        return;
    }
    const std::optional<QByteArray> bytes = SubtitleText::readFile(path);
    if (!bytes) {
        fileLabel_->setText(QStringLiteral("파일 열기 실패: ") + path);
        return;
    }
    const SubtitleText::Decoded decoded = SubtitleText::decode(*bytes);
    subtitlePath_ = path;
    encoding_ = decoded.encoding;
    crlf_ = decoded.crlf;
    editor_->setPlainText(decoded.text);
    editor_->document()->setModified(false);
    QString label = QFileInfo(path).fileName();
    if (decoded.replaced > 0)
        label += QStringLiteral(" (읽을 수 없는 바이트 %1개를 �로 바꿨습니다)").arg(decoded.replaced);
    fileLabel_->setText(label);
    fileLabel_->setToolTip(path + u'\n' + SubtitleText::encodingName(encoding_));
}

void SubtitleEditorWidget::onReloadSubtitle()
{
    if (!subtitlePath_.isEmpty())
        showFile(subtitlePath_);
}

QString SubtitleEditorWidget::writeAppliedCopy(const QString &text)
{
    const QString folder = privateFolder();
    if (folder.isEmpty())
        return QString();
    // The original's suffix tells the engine's probe which format to expect.
    QString suffix = QFileInfo(subtitlePath_).suffix().toLower();
    if (suffix.isEmpty())
        suffix = QStringLiteral("srt");
    const QString path = folder + QStringLiteral("/velmoran-subtitle-edit-")
        + QString::number(QCoreApplication::applicationPid()) + u'.' + suffix;
    QSaveFile file(path);
    const QByteArray bytes = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return QString();
    if (!appliedPath_.isEmpty() && appliedPath_ != path)
        QFile::remove(appliedPath_);
    appliedPath_ = path;
    return path;
}

void SubtitleEditorWidget::onApplyEdit()
{
    const QString text = editorText();
    // Handing the engine text it cannot show would only take the current subtitle away.
    if (const QString problem = SubtitleText::cueProblem(text); !problem.isEmpty()) {
        showError(problem);
        return;
    }
    const QString copy = writeAppliedCopy(text);
    if (copy.isEmpty()) {
        showError(QStringLiteral("임시 파일 저장 실패"));
        return;
    }
    if (!hasEngine())
        return;
    // The old track goes only once the engine has taken the new one, so a text it refuses
    // leaves the video with the subtitle it had.
    const QVariant previous = engine_->getMpvProperty(QStringLiteral("current-tracks/sub/id"));
    QString refusal;
    if (!engine_->addSubtitleFile(copy, &refusal)) {
        showError(QStringLiteral("재생 엔진이 편집한 자막을 읽지 못했습니다: ") + refusal);
        return;
    }
    if (previous.isValid())
        engine_->command({QStringLiteral("sub-remove"), previous.toString()});
    applyDelay();
    emit subtitleReloaded(copy);
}

void SubtitleEditorWidget::onSaveToFile()
{
    saveToFile();
}

bool SubtitleEditorWidget::saveToFile()
{
    if (subtitlePath_.isEmpty())
        return false;
    const QString text = editorText();
    std::optional<QByteArray> bytes = SubtitleText::encode(text, encoding_, crlf_);
    QString note;
    if (!bytes) {
        note = QStringLiteral(" (원래 인코딩 %1에 없는 문자가 있어 UTF-8로 저장했습니다)")
                   .arg(SubtitleText::encodingName(encoding_));
        bytes = SubtitleText::encode(text, SubtitleText::Encoding::Utf8, crlf_);
    }
    QSaveFile file(subtitlePath_);
    if (!file.open(QIODevice::WriteOnly) || file.write(*bytes) != bytes->size() || !file.commit()) {
        fileLabel_->setText(QStringLiteral("저장 실패: ") + subtitlePath_);
        return false;
    }
    if (!note.isEmpty())
        encoding_ = SubtitleText::Encoding::Utf8;
    editor_->document()->setModified(false);
    fileLabel_->setText(QFileInfo(subtitlePath_).fileName() + note);
    fileLabel_->setToolTip(subtitlePath_ + u'\n' + SubtitleText::encodingName(encoding_));
    return true;
}

void SubtitleEditorWidget::showError(const QString &text)
{
    // Not exec(): a nested event loop would hold up the player, and a test, until answered.
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("오류"), text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText);
    box->open();
}
