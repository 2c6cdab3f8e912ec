#include "settings/SmbShare.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <utility>

namespace SmbShare {

std::optional<Location> parse(const QString &url)
{
    const QUrl parsed(url, QUrl::TolerantMode);
    if (!parsed.isValid() || parsed.scheme().compare(QLatin1String("smb"), Qt::CaseInsensitive) != 0
        || parsed.host().isEmpty())
        return std::nullopt;
    const QStringList parts = parsed.path(QUrl::FullyDecoded).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return std::nullopt;
    return Location{parsed.host(), parts.first(), parsed.userName(QUrl::FullyDecoded), parts.mid(1).join(QLatin1Char('/'))};
}

QString fuseShareFolder(const Location &location, const QString &runtimeDir)
{
    QString name = QStringLiteral("smb-share:server=%1,share=%2").arg(location.server, location.share);
    if (!location.user.isEmpty())
        name += QStringLiteral(",user=") + location.user;
    return QDir(runtimeDir).filePath(QStringLiteral("gvfs/") + name);
}

QString existingShareFolder(const Location &location, const QString &runtimeDir)
{
    const QString given = fuseShareFolder(location, runtimeDir);
    if (QFileInfo(given).isDir())
        return given;
    Location lower = location;
    lower.server = lower.server.toLower();
    lower.share = lower.share.toLower();
    const QString lowered = fuseShareFolder(lower, runtimeDir);
    return QFileInfo(lowered).isDir() ? lowered : QString();
}

} // namespace SmbShare

SmbMounter::SmbMounter(QObject *parent) : QObject(parent) {}

SmbMounter::~SmbMounter()
{
    stopProcess();
}

void SmbMounter::stopProcess()
{
    if (timeout_) {
        timeout_->stop();
        timeout_->deleteLater();
        timeout_ = nullptr;
    }
    if (!process_)
        return;
    QProcess *process = std::exchange(process_, nullptr);
    process->disconnect(this);
    if (process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished(1000);
    }
    process->deleteLater();
}

void SmbMounter::open(const QString &smbUrl)
{
    stopProcess();
    const auto location = SmbShare::parse(smbUrl);
    if (!location) {
        fail(QStringLiteral("공유 폴더가 없는 주소입니다 (smb://서버/공유폴더/파일)"));
        return;
    }
    location_ = *location;
    runtimeDir_ = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    // Mounted before (by us or by the file manager): no need to ask GVfs again.
    if (!SmbShare::existingShareFolder(location_, runtimeDir_).isEmpty()) {
        reportPath();
        return;
    }
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty()) {
        fail(QStringLiteral("gio 프로그램이 없습니다 (GVfs: gvfs-backends, gvfs-fuse 패키지 필요)"));
        return;
    }
    QString shareUrl = QStringLiteral("smb://");
    if (!location_.user.isEmpty())
        shareUrl += QString::fromUtf8(QUrl::toPercentEncoding(location_.user)) + QLatin1Char('@');
    shareUrl += location_.server + QLatin1Char('/') + QString::fromUtf8(QUrl::toPercentEncoding(location_.share));

    process_ = new QProcess(this);
    process_->setProcessChannelMode(QProcess::MergedChannels);
    connect(process_, &QProcess::finished, this,
            [this](int exitCode, QProcess::ExitStatus status) { finish(exitCode, status == QProcess::CrashExit); });
    connect(process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            fail(QStringLiteral("gio를 실행할 수 없습니다"));
    });
    timeout_ = new QTimer(this);
    timeout_->setSingleShot(true);
    connect(timeout_, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("서버가 %1초 안에 응답하지 않았습니다").arg(kMountTimeoutMs / 1000));
    });
    timeout_->start(kMountTimeoutMs);
    // A share that wants a password would make gio ask on its input; with the input closed
    // it gives up at once and says so, instead of waiting for an answer nobody can type.
    process_->start(gio, {QStringLiteral("mount"), shareUrl});
    process_->closeWriteChannel();
}

void SmbMounter::finish(int exitCode, bool crashed)
{
    if (!process_)
        return;
    const QString output = QString::fromLocal8Bit(process_->readAll()).trimmed();
    stopProcess();
    if (crashed || exitCode != 0) {
        // gio prints "gio: smb://…: <reason>"; the reason is the useful part.
        QString reason = output.section(QLatin1Char('\n'), -1).section(QStringLiteral(": "), -1).trimmed();
        if (reason.isEmpty())
            reason = QStringLiteral("마운트 실패 (종료 코드 %1)").arg(exitCode);
        fail(reason);
        return;
    }
    reportPath();
}

void SmbMounter::reportPath()
{
    const QString folder = SmbShare::existingShareFolder(location_, runtimeDir_);
    if (folder.isEmpty()) {
        fail(QStringLiteral("마운트되었지만 %1 에 보이지 않습니다 (gvfs-fuse 필요)")
                 .arg(SmbShare::fuseShareFolder(location_, runtimeDir_)));
        return;
    }
    emit ready(location_.rest.isEmpty() ? folder : QDir(folder).filePath(location_.rest));
}

void SmbMounter::fail(const QString &reason)
{
    stopProcess();
    emit failed(reason);
}
