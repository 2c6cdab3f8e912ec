#include "ui/chapters/ChapterThumbnailer.h"

#include "ui/chapters/ThumbnailStrip.h"
#include "ui/controls/ProFeaturesWidget.h"

#include <QFileInfo>
#include <QProcess>
#include <QTimer>

namespace {
constexpr int kPictureTimeoutMs = 15000;
// A frame a little after the chapter starts: the start itself is often a cut to black.
constexpr double kIntoChapterSeconds = 0.5;
} // namespace

ChapterThumbnailer::ChapterThumbnailer(QObject *parent)
    : QObject(parent)
{
}

ChapterThumbnailer::~ChapterThumbnailer()
{
    cancel();
}

void ChapterThumbnailer::start(const QString &path, const QList<double> &times)
{
    cancel();
    if (!QFileInfo(path).isFile())
        return; // a stream: fetching it again once per chapter is not worth a card picture
    path_ = path;
    pending_ = times.mid(0, kMaxPictures);
    runNext();
}

void ChapterThumbnailer::cancel()
{
    pending_.clear();
    if (running_) {
        running_->disconnect(this);
        running_->kill();
        running_->deleteLater();
        running_.clear();
    }
}

void ChapterThumbnailer::runNext()
{
    if (pending_.isEmpty() || running_)
        return;
    const double time = pending_.takeFirst();
    const QSize size = ThumbnailStrip::kImageSize;
    const QString fit = QStringLiteral("scale=%1:%2:force_original_aspect_ratio=decrease,pad=%1:%2:(ow-iw)/2:(oh-ih)/2")
                            .arg(size.width())
                            .arg(size.height());
    auto *process = new QProcess(this);
    running_ = process;
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    const QString path = path_;
    connect(process, &QProcess::finished, this, [this, process, path, time](int code, QProcess::ExitStatus status) {
        const QImage picture = status == QProcess::NormalExit && code == 0
            ? QImage::fromData(process->readAllStandardOutput(), "PNG")
            : QImage();
        process->deleteLater();
        running_.clear();
        if (!picture.isNull())
            emit thumbnailReady(path, time, picture);
        runNext();
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return; // a crash or kill still ends in finished()
        process->deleteLater();
        running_.clear();
        pending_.clear(); // without ffmpeg no other moment will work either
    });
    QTimer::singleShot(kPictureTimeoutMs, process, [process] { process->kill(); });
    process->start(ProFeaturesWidget::ffmpegProgram(),
                   {QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"),
                    QStringLiteral("-ss"), QString::number(time + kIntoChapterSeconds, 'f', 3),
                    QStringLiteral("-i"), QStringLiteral("file:") + path, QStringLiteral("-frames:v"), QStringLiteral("1"),
                    QStringLiteral("-vf"), fit, QStringLiteral("-f"), QStringLiteral("image2pipe"),
                    QStringLiteral("-c:v"), QStringLiteral("png"), QStringLiteral("-")});
}
