#include "settings/SmbShare.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
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
    return Location{parsed.host(), parts.first(), parsed.userName(QUrl::FullyDecoded), parsed.password(QUrl::FullyDecoded),
                    parts.mid(1).join(QLatin1Char('/'))};
}

QString withoutPassword(const QString &text)
{
    // Textually, so that the rest stays exactly as typed.
    static const QRegularExpression credentials(QStringLiteral(R"(^((?:smb://|\\\\)[^/\\@:]*):[^/\\]*@)"),
                                                QRegularExpression::CaseInsensitiveOption);
    QString cleaned = text;
    return cleaned.replace(credentials, QStringLiteral(R"(\1@)"));
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
    output_.clear();
    passwordGiven_ = false;
    connect(process_, &QProcess::readyRead, this, &SmbMounter::answerPrompt);
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
    // A share that wants a password makes gio ask on its input: the password of the address is
    // given there (never on the command line, where every user could read it), once; any other
    // question closes the input, so gio gives up at once and says why.
    process_->start(gio, {QStringLiteral("mount"), shareUrl});
    if (location_.password.isEmpty())
        process_->closeWriteChannel();
}

void SmbMounter::answerPrompt()
{
    if (!process_)
        return;
    output_ += process_->readAll();
    static const QRegularExpression prompt(QStringLiteral("(User|Domain|Password)( \\[[^\\]\n]*\\])?: $"));
    const QRegularExpressionMatch asked = prompt.match(QString::fromUtf8(output_));
    if (!asked.hasMatch())
        return;
    const QString question = asked.captured(1);
    QByteArray answer;
    if (question == QLatin1String("Password") && !passwordGiven_ && !location_.password.isEmpty()) {
        passwordGiven_ = true;
        answer = location_.password.toUtf8();
    } else if (question == QLatin1String("User") && !location_.password.isEmpty() && !passwordGiven_) {
        answer = location_.user.toUtf8(); // empty: the default gio offers
    } else if (question != QLatin1String("Domain")) {
        process_->closeWriteChannel();
        return;
    }
    // Kept out of the output gathered for the failure reason, which quotes the last line.
    output_.clear();
    process_->write(answer + '\n');
}

void SmbMounter::finish(int exitCode, bool crashed)
{
    if (!process_)
        return;
    const QString output = QString::fromLocal8Bit(output_ + process_->readAll()).trimmed();
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
    location_.password.clear();
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
    location_.password.clear();
    stopProcess();
    emit failed(reason);
}
