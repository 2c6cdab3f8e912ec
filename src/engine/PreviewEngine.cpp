#include "engine/PreviewEngine.h"

#include "engine/LibmpvSession.h"
#include "engine/MpvCore.h"
#include "platform/ThreadPriority.h"

#include <QDebug>

#include <cmath>
#include <thread>

namespace {
// A picture that has not come by then will not come: the next request goes ahead.
constexpr int kJobTimeoutMs = 5000;

std::unique_ptr<EngineSession> createBackgroundSession()
{
    // The engine's threads (its core, the demuxer, the decoder's and the video output's) are
    // started by the thread that creates it and inherit its priority.
    std::unique_ptr<LibmpvSession> session;
    std::thread([&session] {
        ThreadPriority::lowerCurrentThread();
        session = LibmpvSession::create();
    }).join();
    return session;
}

QString secondsText(double seconds)
{
    return QString::number(std::max(seconds, 0.0), 'f', 3);
}
} // namespace

PreviewEngine::PreviewEngine(QObject *parent) : QObject(parent)
{
    jobTimer_.setSingleShot(true);
    jobTimer_.setInterval(kJobTimeoutMs);
    connect(&jobTimer_, &QTimer::timeout, this, &PreviewEngine::onJobTimeout);

    std::unique_ptr<EngineSession> session = createBackgroundSession();
    if (!session) {
        qWarning().noquote() << "[Preview] 미리보기 엔진을 만들 수 없습니다";
        return;
    }
    core_ = new MpvCore(std::move(session), this);
    if (!core_->initializeForPreview())
        return;
    pictureSize_ = pictureSize(0, 0);
    renderer_.setLowPriority(true);
    renderer_.setTargetSize(pictureSize_);
    if (!renderer_.attach(core_->handle())) {
        qWarning().noquote() << "[Preview] 미리보기 렌더 컨텍스트 생성 실패";
        return;
    }
    connect(core_, &MpvCore::fileLoaded, this, &PreviewEngine::onFileLoaded);
    connect(core_, &MpvCore::playbackRestarted, this, &PreviewEngine::onRestarted);
    // An end in error is the only error this engine reports: its file does not open.
    connect(core_, &MpvCore::errorOccurred, this, [this] {
        if (running_)
            giveUp(loadedPath_);
    });
    // From the drawing thread, queued to this one.
    connect(&renderer_, &SoftwareFrameRenderer::frameReady, this, &PreviewEngine::deliver);
    ready_ = true;
    qInfo().noquote() << "[Preview] 미리보기 엔진 시작";
}

PreviewEngine::~PreviewEngine()
{
    // No frame may be drawn from an engine that is going.
    renderer_.detach();
    delete core_;
    if (ready_)
        qInfo().noquote() << "[Preview] 미리보기 엔진 해제";
}

QSize PreviewEngine::pictureSize(int width, int height)
{
    if (width < 1 || height < 1)
        return {kPictureBox.width(), kPictureBox.width() * 9 / 16};
    const QSize fitted = QSize(width, height).scaled(kPictureBox, Qt::KeepAspectRatio);
    return fitted.expandedTo(QSize(16, 16));
}

void PreviewEngine::setDevicePixelRatio(qreal ratio)
{
    pixelRatio_ = ratio > 0 ? ratio : 1.0;
}

void PreviewEngine::request(const QString &path, double seconds, Seek seek)
{
    if (!ready_ || path.isEmpty())
        return;
    waiting_ = Job{path, seconds, seek};
    if (!running_)
        startWaiting();
}

void PreviewEngine::startWaiting()
{
    if (!waiting_)
        return;
    running_ = std::exchange(waiting_, std::nullopt);
    jobTimer_.start();
    if (running_->path == loadedPath_) {
        seekForRunningJob();
        return;
    }
    loadedPath_ = running_->path;
    loadedOpened_ = false;
    opening_ = true;
    // Opened straight at the moment, so no picture of the start is decoded first.
    core_->command({QStringLiteral("loadfile"), loadedPath_, QStringLiteral("replace"),
                    QStringLiteral("start=") + secondsText(running_->seconds)});
}

void PreviewEngine::seekForRunningJob()
{
    restarted_ = false;
    framesAtStart_ = renderer_.framesRendered();
    core_->command({QStringLiteral("seek"), secondsText(running_->seconds),
                    running_->seek == Seek::Exact ? QStringLiteral("absolute+exact")
                                                  : QStringLiteral("absolute+keyframes")});
}

void PreviewEngine::onFileLoaded()
{
    // Without video (sound only, or a picture only as cover art, which this engine leaves out)
    // there is no picture to show.
    const QString video = core_->propertyText(QStringLiteral("vid"));
    if (video.isEmpty() || video == QLatin1String("no"))
        giveUp(loadedPath_);
}

void PreviewEngine::onRestarted()
{
    if (!running_)
        return;
    fitToFilm();
    if (opening_) {
        // The first frames of a file opening include the output's blank one, drawn at a moment
        // the restart does not tell apart from the film's. A seek to the same place, now that
        // the file is open, follows the rule of all later moments (a keyframe decoded again).
        opening_ = false;
        seekForRunningJob();
        return;
    }
    restarted_ = true;
    deliver();
}

void PreviewEngine::fitToFilm()
{
    // The display size, with the film's pixel aspect applied.
    const QSize size = pictureSize(core_->propertyText(QStringLiteral("dwidth")).toInt(),
                                   core_->propertyText(QStringLiteral("dheight")).toInt());
    if (size == pictureSize_)
        return;
    pictureSize_ = size;
    renderer_.setTargetSize(size * pixelRatio_); // draws the picture again at this size
}

void PreviewEngine::deliver()
{
    // Every frame drawn after the seek was asked shows the new place (a paused engine draws
    // nothing else), and the engine has drawn them all by the time it reports the restart.
    // Counted before the frame is taken, so the frame is at least as new as the count says.
    const quint64 drawn = renderer_.framesRendered();
    // Taken even when of no use (drawn before the restart, or with no job running): a frame
    // left waiting keeps the renderer from announcing the next one, the one the job waits for.
    QImage frame = renderer_.takeFrame();
    if (!running_ || !restarted_ || drawn == framesAtStart_)
        return;
    if (frame.size() != pictureSize_ * pixelRatio_)
        return; // drawn before the film's proportions were known: the redraw follows
    const Job job = *std::exchange(running_, std::nullopt);
    jobTimer_.stop();
    loadedOpened_ = true;
    frame = frame.copy(); // the renderer's buffer is reused for the next frame
    frame.setDevicePixelRatio(pixelRatio_);
    const double shown = core_->position();
    emit pictureReady({job.path, job.seconds, shown, job.seek == Seek::Exact, frame});
    startWaiting();
}

void PreviewEngine::giveUp(QString path) // a copy: it is often loadedPath_ itself
{
    if (path.isEmpty() || path != loadedPath_)
        return;
    qInfo().noquote() << "[Preview] 미리보기 없음 (열 수 없거나 영상이 없음):" << path;
    loadedPath_.clear();
    opening_ = false;
    if (running_ && running_->path == path) {
        running_.reset();
        jobTimer_.stop();
    }
    if (waiting_ && waiting_->path == path)
        waiting_.reset();
    core_->command({QStringLiteral("stop")});
    emit unavailable(path);
    startWaiting();
}

void PreviewEngine::onJobTimeout()
{
    if (!running_)
        return;
    // A file that never showed its first picture will not show later ones either.
    if (!loadedOpened_) {
        giveUp(running_->path);
        return;
    }
    qInfo().noquote() << "[Preview] 미리보기 시간 초과:" << running_->seconds;
    running_.reset();
    startWaiting();
}
