#include "online/UpdateDialog.h"

#include "app/AppIdentity.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QNetworkReply>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextEdit>
#include <QVBoxLayout>

namespace {

constexpr qint64 kMiB = 1024 * 1024;

QString safeFileName(const QString &name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9._+-]{0,99}$"));
    return plain.match(name).hasMatch() ? name : QStringLiteral("Velmoran-Setup-latest");
}

QLabel *plainLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

UpdateDialog::UpdateDialog(const QString &newVersion, const QString &releaseNotes, const QString &installerUrl,
                           const QString &installerSha256, QWidget *parent)
    : QDialog(parent), installerUrl_(installerUrl), expectedSha256_(installerSha256.toLower())
{
    setWindowTitle(QStringLiteral("Velmoran 업데이트"));
    setFixedWidth(480);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *layout = new QVBoxLayout(this);
    // The version comes from the server: escaped, so it cannot add markup to the heading.
    auto *heading = new QLabel(QStringLiteral("<b>새 버전 %1이 출시됐습니다</b>").arg(newVersion.toHtmlEscaped()), this);
    heading->setTextFormat(Qt::RichText);
    heading->setStyleSheet(QStringLiteral("font-size: 14px; color: #4fc3f7;"));
    layout->addWidget(heading);
    layout->addWidget(plainLabel(
        QStringLiteral("현재 버전: %1  →  새 버전: %2").arg(QLatin1String(AppIdentity::kVersion), newVersion), this));
    auto *caption = plainLabel(QStringLiteral("업데이트 내용:"), this);
    caption->setStyleSheet(QStringLiteral("font-weight: bold;"));
    layout->addWidget(caption);
    auto *notes = new QTextEdit(this);
    notes->setReadOnly(true);
    notes->setPlainText(releaseNotes);
    layout->addWidget(notes);
    statusLabel_ = plainLabel(QStringLiteral("업데이트를 다운로드하고 설치합니다."), this);
    statusLabel_->setObjectName(QStringLiteral("statusLabel"));
    statusLabel_->setWordWrap(true);
    layout->addWidget(statusLabel_);
    progressBar_ = new QProgressBar(this);
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    progressBar_->hide();
    layout->addWidget(progressBar_);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    laterButton_ = new QPushButton(QStringLiteral("나중에"), this);
    updateButton_ = new QPushButton(QStringLiteral("지금 업데이트"), this);
    buttons->addWidget(laterButton_);
    buttons->addWidget(updateButton_);
    layout->addLayout(buttons);
    connect(laterButton_, &QPushButton::clicked, this, &QDialog::reject);
    connect(updateButton_, &QPushButton::clicked, this, &UpdateDialog::onUpdateClicked);
    connect(&network_, &QNetworkAccessManager::finished, this, &UpdateDialog::onDownloadFinished);
}

UpdateDialog::~UpdateDialog() = default;

QString UpdateDialog::downloadFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation)).filePath(QStringLiteral("update"));
}

QString UpdateDialog::targetPath() const
{
    return QDir(downloadFolder()).filePath(safeFileName(QUrl(installerUrl_).fileName()));
}

void UpdateDialog::onUpdateClicked()
{
    if (downloading)
        return;
    downloading = true;
    laterButton_->setEnabled(false);
    updateButton_->setEnabled(false);
    progressBar_->show();
    statusLabel_->setText(QStringLiteral("다운로드 중..."));

    // Owner-only and of our own making: nobody else can swap the package before it is opened.
    const QString folder = downloadFolder();
    const bool folderReady = QDir().mkpath(folder) && !QFileInfo(folder).isSymLink()
        && QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    target_ = std::make_unique<QSaveFile>(targetPath());
    if (!folderReady || !target_->open(QIODevice::WriteOnly)) {
        const QString error = folderReady ? target_->errorString() : folder;
        target_.reset();
        failDownload(QStringLiteral("⚠ 임시 파일 생성 실패: %1").arg(error));
        return;
    }
    hash_.reset();
    written_ = 0;
    writeError_.clear();

    QNetworkRequest request{QUrl(installerUrl_)};
    request.setRawHeader("Connection", "keep-alive");
    request.setTransferTimeout(kTimeoutMs);
    // The checker accepted this address for its scheme; a redirect must not lead to another one.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    reply_ = network_.get(request);
    connect(reply_, &QNetworkReply::readyRead, this, &UpdateDialog::onDownloadReadyRead);
    connect(reply_, &QNetworkReply::downloadProgress, this, &UpdateDialog::onDownloadProgress);
}

void UpdateDialog::onDownloadProgress(qint64 received, qint64 total)
{
    if (received > kMaxInstallerBytes || total > kMaxInstallerBytes) {
        if (reply_)
            reply_->abort();
        return;
    }
    if (total < 1)
        return;
    progressBar_->setValue(int(received * 100 / total));
    statusLabel_->setText(QStringLiteral("다운로드 중... %1 MB / %2 MB").arg(received / kMiB).arg(total / kMiB));
}

void UpdateDialog::onDownloadReadyRead()
{
    if (!reply_ || !target_ || !writeError_.isEmpty())
        return;
    const QByteArray data = reply_->readAll();
    if (target_->write(data) != data.size()) {
        writeError_ = target_->errorString();
        reply_->abort();
        return;
    }
    hash_.addData(data);
    written_ += data.size();
}

void UpdateDialog::onDownloadFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply != reply_)
        return;
    onDownloadReadyRead();
    reply_ = nullptr;
    downloading = false;
    const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();

    if (!writeError_.isEmpty()) {
        failDownload(QStringLiteral("⚠ 파일 쓰기 실패: %1").arg(writeError_));
        return;
    }
    if (reply->error() != QNetworkReply::NoError) {
        const QString error = reply->error() == QNetworkReply::OperationCanceledError
            ? QStringLiteral("파일이 너무 큽니다")
            : reply->errorString();
        qWarning().noquote() << "[UpdateDialog] 다운로드 실패:" << error;
        failDownload(QStringLiteral("⚠ 다운로드 실패: %1\n'지금 업데이트' 버튼을 다시 눌러 재시도하세요.").arg(error));
        return;
    }
    // A connection that closed early may still end without an error: the announced length tells.
    if (written_ < kMinInstallerBytes || (announced > 0 && written_ != announced)) {
        qWarning().noquote() << "[UpdateDialog] 파일 크기 이상:" << written_ << "bytes";
        failDownload(QStringLiteral("⚠ 다운로드된 파일이 손상됐습니다 (%1 MB). 다시 시도해 주세요.").arg(written_ / kMiB));
        return;
    }
    if (!expectedSha256_.isEmpty() && hash_.result().toHex() != expectedSha256_.toLatin1()) {
        qWarning().noquote() << "[UpdateDialog] SHA-256 불일치";
        failDownload(QStringLiteral("⚠ 설치 파일 검증 실패 (SHA-256 불일치). 다시 시도해 주세요."));
        return;
    }
    const QString path = target_->fileName();
    if (!target_->commit()) {
        const QString error = target_->errorString();
        target_.reset();
        failDownload(QStringLiteral("⚠ 파일 쓰기 실패: %1").arg(error));
        return;
    }
    target_.reset();
    installDownloaded(path, written_);
}

void UpdateDialog::installDownloaded(const QString &path, qint64 size)
{
    statusLabel_->setText(QStringLiteral("설치 프로그램을 여는 중..."));
    progressBar_->setValue(100);
    qDebug().noquote() << "[UpdateDialog] 설치 시작:" << path << "크기:" << size / kMiB << "MB";
    // The desktop's handler for the package, never the file itself: it asks the user and checks
    // the package. xdg-open says by its exit status whether a handler took the file; only then
    // may the player quit for the update. Owned by the application, so closing the dialog does
    // not end an installer that xdg-open waits for.
    auto *opener = new QProcess(qApp);
    opener->setProcessChannelMode(QProcess::ForwardedChannels);
    QPointer<UpdateDialog> self(this);
    const auto done = [self, opener, path](bool tookOver) {
        opener->deleteLater();
        if (!self)
            return;
        if (tookOver) {
            self->statusLabel_->setText(QStringLiteral("설치 중..."));
            self->accept();
            return;
        }
        qWarning().noquote() << "[UpdateDialog] 설치 프로그램을 열 수 없음:" << path;
        self->keepDownloaded(path);
    };
    connect(opener, &QProcess::finished, opener, [done](int exitCode, QProcess::ExitStatus status) {
        done(status == QProcess::NormalExit && exitCode == 0);
    });
    connect(opener, &QProcess::errorOccurred, opener, [done](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            done(false);
    });
    opener->start(QStringLiteral("xdg-open"), {path});
}

void UpdateDialog::keepDownloaded(const QString &path)
{
    // Verified and left in place: the status says where, so it can be installed by hand.
    downloading = false;
    laterButton_->setEnabled(true);
    updateButton_->setEnabled(true);
    progressBar_->hide();
    statusLabel_->setText(QStringLiteral("⚠ 설치 프로그램을 열 수 없습니다. 내려받은 파일:\n%1\n"
                                         "직접 설치하세요: sudo apt install \"%1\"")
                              .arg(QDir::toNativeSeparators(path)));
}

void UpdateDialog::failDownload(const QString &status)
{
    if (target_) {
        target_->cancelWriting(); // nothing of a failed download stays behind
        target_.reset();
    }
    downloading = false;
    laterButton_->setEnabled(true);
    updateButton_->setEnabled(true);
    progressBar_->setValue(0);
    progressBar_->hide();
    statusLabel_->setText(status);
}
