// The window's online services: addresses played through yt-dlp, the update offer and the
// sponsored pop-up. Each stays silent when its server cannot be reached.

#include "mainwindow/MainWindow.h"

#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "online/AdManager.h"
#include "online/SplashAdWidget.h"
#include "online/UpdateChecker.h"
#include "online/UpdateDialog.h"
#include "online/YtdlpManager.h"

#include <QApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>

#include <utility>

namespace {
constexpr int kYtdlpManagerDelayMs = 500;
constexpr int kUpdateCheckDelayMs = 5000;
constexpr int kSplashRequestDelayMs = 5000;
const QString kSplashSlot = QStringLiteral("splash");
} // namespace

void MainWindow::startOnlineServices()
{
    adManager_ = new AdManager(this);
    adManager_->setVersion(QStringLiteral("6.2.0"));
    splashAd_ = new SplashAdWidget(this);
    connect(adManager_, &AdManager::adReady, this, [this](const QString &slot, const QJsonObject &item) {
        if (slot == kSplashSlot && !item.isEmpty())
            splashAd_->showAd(item);
    });
    connect(splashAd_, &SplashAdWidget::clicked, adManager_, &AdManager::reportClick);

    QTimer::singleShot(kYtdlpManagerDelayMs, this, &MainWindow::ytdlpManager);
    QTimer::singleShot(kUpdateCheckDelayMs, this, &MainWindow::startUpdateCheck);
    QTimer::singleShot(kSplashRequestDelayMs, adManager_, [this] { adManager_->fetchAd(kSplashSlot); });
}

YtdlpManager *MainWindow::ytdlpManager()
{
    if (ytdlp_)
        return ytdlp_;
    ytdlp_ = new YtdlpManager(this);
    connect(ytdlp_, &YtdlpManager::located, this, &MainWindow::onYtdlpLocated);
    connect(ytdlp_, &YtdlpManager::ytdlpReady, this, &MainWindow::onYtdlpReady);
    connect(ytdlp_, &YtdlpManager::downloadProgress, this, &MainWindow::onYtdlpDownloadProgress);
    connect(ytdlp_, &YtdlpManager::downloadFailed, this, &MainWindow::onYtdlpDownloadFailed);
    ytdlp_->locate();
    return ytdlp_;
}

void MainWindow::startUpdateCheck()
{
    updateChecker_ = new UpdateChecker(this);
    connect(updateChecker_, &UpdateChecker::updateAvailable, this,
            [this](const QString &version, const QString &notes, const QString &installer, const QString &sha256) {
                auto *dialog = new UpdateDialog(version, notes, installer, sha256, this);
                dialog->setAttribute(Qt::WA_DeleteOnClose);
                // Accepted only once the desktop took the package: the update replaces this player.
                if (dialog->exec() == QDialog::Accepted)
                    qApp->quit();
            });
    updateChecker_->checkForUpdates();
}

void MainWindow::openUrl(const QString &url)
{
    YtdlpManager *ytdlp = ytdlpManager();
    if (!ytdlp->isLocated()) {
        // The copies on this machine are still telling their versions: a moment, once per run.
        pendingUrl = url;
        return;
    }
    if (YtdlpManager::isStreamingUrl(url) && ytdlp->needsDownload()) {
        pendingUrl = url;
        if (!ytdlpProgress_) {
            ytdlpProgress_ = new QProgressDialog(
                QStringLiteral("yt-dlp 다운로드 중...\n(유튜브 5.1 서라운드 지원을 위한 툴입니다)"),
                QStringLiteral("취소"), 0, 100, this);
            ytdlpProgress_->setWindowTitle(QStringLiteral("yt-dlp 설치"));
            ytdlpProgress_->setWindowModality(Qt::WindowModal);
            ytdlpProgress_->setMinimumDuration(0);
            ytdlpProgress_->setAutoClose(false);
            ytdlpProgress_->setAutoReset(false);
            // Cancel means the wait: the dialog goes, the download stops, the address is dropped.
            connect(ytdlpProgress_, &QProgressDialog::canceled, this, [this] {
                pendingUrl.clear();
                ytdlp_->cancelDownload();
                closeYtdlpProgress();
            });
        }
        ytdlpProgress_->show();
        ytdlp->downloadYtdlp();
        return;
    }
    playUrl(url, ytdlp->ytdlpPath());
}

void MainWindow::playUrl(const QString &url, const QString &ytdlpPath)
{
    if (!ytdlpPath.isEmpty()) {
        core()->setMpvProperty(QStringLiteral("script-opts"), YtdlpManager::engineScriptOptions(ytdlpPath));
        core()->setMpvProperty(QStringLiteral("ytdl-raw-options"), YtdlpManager::engineRawOptions(ytdlpPath));
    }
    videoSurface_->setLogoVisible(false);
    core()->loadFile(url, false);
    updateWindowTitle(url);
}

void MainWindow::closeYtdlpProgress()
{
    if (!ytdlpProgress_)
        return;
    ytdlpProgress_->disconnect(this); // closing counts as a cancel, which would drop the pending address
    ytdlpProgress_->close();
    ytdlpProgress_->deleteLater();
    ytdlpProgress_ = nullptr;
}

void MainWindow::onYtdlpDownloadProgress(int percent)
{
    if (ytdlpProgress_)
        ytdlpProgress_->setValue(percent);
}

void MainWindow::onYtdlpLocated()
{
    if (ytdlpProgress_ || pendingUrl.isEmpty())
        return;
    openUrl(std::exchange(pendingUrl, QString()));
}

void MainWindow::onYtdlpReady(const QString &)
{
    closeYtdlpProgress();
    if (pendingUrl.isEmpty())
        return;
    openUrl(std::exchange(pendingUrl, QString()));
}

void MainWindow::onYtdlpDownloadFailed(const QString &error)
{
    closeYtdlpProgress();
    const QString url = std::exchange(pendingUrl, QString());
    QMessageBox::warning(this, QStringLiteral("yt-dlp 다운로드 실패"), YtdlpManager::manualInstallText(error));
    // An older copy still plays most sites: better than nothing.
    if (!url.isEmpty() && ytdlp_->isAvailable())
        playUrl(url, ytdlp_->ytdlpPath());
}
