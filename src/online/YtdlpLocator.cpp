#include "online/YtdlpLocator.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {
constexpr auto kExecutableName = "yt-dlp";
} // namespace

YtdlpLocator::YtdlpLocator(QObject *parent) : QObject(parent) {}

YtdlpLocator::~YtdlpLocator()
{
    stopProbes();
}

QStringList YtdlpLocator::candidates(const QString &downloadFolder)
{
    const QString name = QLatin1String(kExecutableName);
    QStringList paths;
    for (const QString &folder : {downloadFolder, QCoreApplication::applicationDirPath()})
        if (!folder.isEmpty())
            paths << QDir(folder).filePath(name);
    const QString onPath = QStandardPaths::findExecutable(name);
    if (!onPath.isEmpty())
        paths << onPath;
    // A link on PATH to one of the others is the same copy.
    QStringList files, unique;
    for (const QString &path : paths) {
        const QString file = QFileInfo(path).canonicalFilePath();
        if (file.isEmpty() || files.contains(file))
            continue;
        files << file;
        unique << path;
    }
    return unique;
}

int YtdlpLocator::compareVersions(const QString &a, const QString &b)
{
    const QStringList left = a.split(u'.'), right = b.split(u'.');
    for (qsizetype i = 0; i < std::max(left.size(), right.size()); ++i) {
        const qlonglong x = left.value(i).toLongLong(), y = right.value(i).toLongLong();
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

QString YtdlpLocator::versionFrom(const QByteArray &output)
{
    static const QRegularExpression release(QStringLiteral("^\\d{4}\\.\\d{1,2}\\.\\d{1,2}(\\.\\d+)?$"));
    const QString line = QString::fromUtf8(output).section(u'\n', 0, 0).trimmed();
    return release.match(line).hasMatch() ? line : QString();
}

void YtdlpLocator::locate(const QStringList &candidates, const QString &downloadFolder)
{
    stopProbes();
    found_.clear();
    order_ = candidates;
    for (const QString &path : candidates) {
        QFileInfo info(path);
        if (!info.isFile())
            continue;
        // Saved by hand from the browser, a download has no executable bit. The per-user folder is
        // this user's own, so the player may give it one; elsewhere the file is left as it is.
        if (!info.isExecutable() && info.absolutePath() == QDir(downloadFolder).absolutePath() && info.isWritable()) {
            if (QFile::setPermissions(path, info.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser))
                qInfo().noquote() << "[yt-dlp] 실행 권한을 추가했습니다:" << path;
            info.refresh();
        }
        if (!info.isExecutable()) {
            qInfo().noquote() << "[yt-dlp] 실행 권한이 없어 건너뜀:" << path;
            continue;
        }
        auto *probe = new QProcess(this);
        probes_ << probe;
        auto *timeout = new QTimer(probe);
        timeout->setSingleShot(true);
        connect(timeout, &QTimer::timeout, probe, [probe] { probe->kill(); });
        connect(probe, &QProcess::finished, this, [this, probe, path] { onProbeEnded(probe, path); });
        connect(probe, &QProcess::errorOccurred, this, [this, probe, path](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart)
                onProbeEnded(probe, path);
        });
        probe->setStandardErrorFile(QProcess::nullDevice());
        probe->start(path, {QStringLiteral("--version")});
        probe->closeWriteChannel();
        timeout->start(kProbeTimeoutMs);
    }
    if (probes_.isEmpty())
        QMetaObject::invokeMethod(this, [this] { emit located({}); }, Qt::QueuedConnection);
}

void YtdlpLocator::onProbeEnded(QProcess *probe, const QString &path)
{
    if (!probes_.removeOne(probe))
        return;
    const bool ran = probe->exitStatus() == QProcess::NormalExit && probe->exitCode() == 0;
    const QString version = ran ? versionFrom(probe->readAllStandardOutput()) : QString();
    probe->deleteLater();
    if (version.isEmpty())
        qInfo().noquote() << "[yt-dlp] 버전을 알 수 없어 건너뜀:" << path;
    else
        found_.append({path, version});
    if (!probes_.isEmpty())
        return;

    // Newest first; among equals, the earlier candidate.
    std::stable_sort(found_.begin(), found_.end(), [this](const Copy &a, const Copy &b) {
        const int order = compareVersions(a.version, b.version);
        return order != 0 ? order > 0 : order_.indexOf(a.path) < order_.indexOf(b.path);
    });
    const Copy newest = found_.value(0);
    if (!newest.path.isEmpty())
        qInfo().noquote() << "[yt-dlp] 사용:" << newest.path << newest.version;
    emit located(newest);
}

void YtdlpLocator::stopProbes()
{
    for (QProcess *probe : std::exchange(probes_, {})) {
        probe->disconnect(this);
        probe->kill();
        probe->waitForFinished(1000);
        delete probe;
    }
}
