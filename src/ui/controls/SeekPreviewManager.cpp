#include "ui/controls/SeekPreviewManager.h"

#include "music/HiFiEngine.h"
#include "ui/controls/MediaText.h"
#include "ui/controls/SeekPreviewWidget.h"

#include <QDebug>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kWindowEdge = 4;
constexpr int kAboveSlider = 6;
// Closer than a frame to the moment asked, a keyframe picture is already the exact one.
constexpr double kOneFrame = 0.05;
} // namespace

SeekPreviewManager::SeekPreviewManager(QWidget *slider) : QObject(slider), slider_(slider)
{
    releaseTimer_.setSingleShot(true);
    releaseTimer_.setInterval(kReleaseAfterMs);
    connect(&releaseTimer_, &QTimer::timeout, this, &SeekPreviewManager::release);
    exactTimer_.setSingleShot(true);
    exactTimer_.setInterval(kExactAfterRestMs);
    connect(&exactTimer_, &QTimer::timeout, this, &SeekPreviewManager::askExact);
}

SeekPreviewManager::~SeekPreviewManager()
{
    delete card_;
}

void SeekPreviewManager::setFile(const QString &path)
{
    if (path == file_)
        return;
    file_ = path;
    cache_.setFile(path);
    videoSize_ = {};
    // Only a file the engine can read again on its own: a stream would be fetched a second
    // time for every hover. Audio files have no pictures to show.
    filePreviewable_ = !path.isEmpty() && QFileInfo(path).isFile() && !HiFiEngine::isAudioFile(path);
    if (card_)
        card_->setPicture({}, 0.0);
}

void SeekPreviewManager::setVideoSize(int width, int height)
{
    videoSize_ = QSize(width, height);
}

bool SeekPreviewManager::hasPictures() const
{
    return filePreviewable_ && !unavailable_.contains(file_);
}

void SeekPreviewManager::ensureBuilt()
{
    if (card_)
        return;
    card_ = new SeekPreviewWidget(slider_->window());
    connect(card_, &SeekPreviewWidget::pictureShown, this, &SeekPreviewManager::pictureShown);
}

void SeekPreviewManager::hoverAt(double seconds, const QString &chapterTitle, int sliderX)
{
    ensureBuilt();
    releaseTimer_.stop();
    exactTimer_.stop();
    hovered_ = seconds;
    lastX_ = sliderX;
    card_->setMoment(MediaText::formatTime(seconds), chapterTitle);
    if (!hasPictures()) {
        card_->setPictureArea({});
        place();
        return;
    }
    if (!card_->showsPicture())
        card_->setPictureArea(PreviewEngine::pictureSize(videoSize_.width(), videoSize_.height()));
    double keyframe = 0.0;
    const QImage cached = cache_.find(seconds, &keyframe);
    if (!cached.isNull())
        showKeyframePicture(cached, keyframe);
    else
        ask();
    place();
}

void SeekPreviewManager::leave()
{
    hovered_ = -1.0;
    exactTimer_.stop();
    if (card_)
        card_->hide();
    // Counted from the last hover: the bar hiding and showing again meanwhile is no hover.
    if (engine_ && !releaseTimer_.isActive())
        releaseTimer_.start();
}

void SeekPreviewManager::place()
{
    QWidget *window = slider_->window();
    const QPoint top = slider_->mapTo(window, QPoint(lastX_, 0));
    const int rightmost = std::max(kWindowEdge, window->width() - card_->width() - kWindowEdge);
    card_->move(std::clamp(top.x() - card_->width() / 2, kWindowEdge, rightmost),
                top.y() - card_->height() - kAboveSlider);
    card_->show();
    card_->raise();
}

void SeekPreviewManager::ask()
{
    if (!engine_) {
        engine_ = new PreviewEngine(this);
        if (!engine_->isReady()) {
            delete engine_;
            engine_ = nullptr;
            onUnavailable(file_);
            return;
        }
        engine_->setDevicePixelRatio(card_->devicePixelRatioF());
        connect(engine_, &PreviewEngine::pictureReady, this, &SeekPreviewManager::onPicture);
        connect(engine_, &PreviewEngine::unavailable, this, &SeekPreviewManager::onUnavailable);
    }
    engine_->request(file_, hovered_);
}

void SeekPreviewManager::showKeyframePicture(const QImage &picture, double keyframe)
{
    card_->setPictureArea(picture.deviceIndependentSize().toSize());
    card_->setPicture(picture, hovered_);
    const double behind = hovered_ - keyframe;
    if (behind > kOneFrame && behind <= kCheapExactSeconds)
        exactTimer_.start();
}

void SeekPreviewManager::onPicture(const PreviewPicture &picture)
{
    if (picture.path != file_)
        return;
    if (!picture.exact)
        cache_.insert(picture.shownSeconds, picture.askedSeconds, picture.image);
    if (hovered_ < 0 || !card_)
        return;
    if (picture.exact) {
        if (picture.askedSeconds == hovered_)
            card_->setPicture(picture.image, hovered_);
        return;
    }
    double keyframe = 0.0;
    const QImage covering = cache_.find(hovered_, &keyframe);
    if (!covering.isNull()) {
        showKeyframePicture(covering, keyframe);
    } else {
        // The pointer has moved on and the engine is on its way there; meanwhile the card shows
        // the newest picture it has, of the moment it was drawn for, as the pointer sweeps.
        card_->setPictureArea(picture.image.deviceIndependentSize().toSize());
        card_->setPicture(picture.image, picture.askedSeconds);
    }
    place();
}

void SeekPreviewManager::askExact()
{
    if (engine_ && hovered_ >= 0 && hasPictures())
        engine_->request(file_, hovered_, PreviewEngine::Seek::Exact);
}

void SeekPreviewManager::onUnavailable(const QString &path)
{
    if (!unavailable_.contains(path))
        unavailable_ << path;
    if (path == file_ && card_ && hovered_ >= 0) {
        card_->setPictureArea({});
        place();
    }
}

void SeekPreviewManager::release()
{
    delete engine_;
    engine_ = nullptr;
}
