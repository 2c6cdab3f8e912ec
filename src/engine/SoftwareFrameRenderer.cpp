#include "engine/SoftwareFrameRenderer.h"

#include <QDebug>

#include <mpv/render.h>

#include <algorithm>
#include <cstdlib>

namespace {
// The engine's fast paths want rows and the first pixel on 64-byte boundaries; anything less
// makes it convert into a buffer of its own and copy.
constexpr std::size_t kAlignment = 64;
// "bgr0" in memory is QImage::Format_RGB32 on a little-endian machine, the raster engine's own
// format, once its fourth byte is set: the engine leaves it undefined (often 0), which a window
// with an alpha channel, as on Wayland, would show as transparency. The engine's converter has
// its fast path for this format; with an alpha channel ("bgra") it costs several times more.
constexpr char kPixelFormat[] = "bgr0";

// 0xffRRGGBB, as Format_RGB32 promises: a pass over memory the converter has just written.
void makeOpaque(unsigned char *pixels, const QSize &size, std::size_t stride)
{
    for (int y = 0; y < size.height(); ++y) {
        auto *row = reinterpret_cast<quint32 *>(pixels + stride * std::size_t(y));
        for (int x = 0; x < size.width(); ++x)
            row[x] |= 0xff000000u;
    }
}
} // namespace

SoftwareFrameRenderer::SoftwareFrameRenderer(QObject *parent) : QObject(parent) {}

SoftwareFrameRenderer::~SoftwareFrameRenderer()
{
    detach();
}

bool SoftwareFrameRenderer::attach(mpv_handle *engine)
{
    if (context_)
        return true;
    if (!engine)
        return false;
    char apiType[] = MPV_RENDER_API_TYPE_SW;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, apiType}, {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (mpv_render_context_create(&context_, engine, params) < 0) {
        context_ = nullptr;
        return false;
    }
    {
        const std::lock_guard lock(mutex_);
        stopping_ = false;
        updatePending_ = true; // whatever is there already
    }
    thread_ = std::thread(&SoftwareFrameRenderer::run, this);
    mpv_render_context_set_update_callback(context_, &SoftwareFrameRenderer::onUpdate, this);
    return true;
}

void SoftwareFrameRenderer::detach()
{
    if (!context_)
        return;
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
    // No render call runs any more, so the context may go; the engine closes its video output.
    mpv_render_context_free(context_);
    context_ = nullptr;
}

void SoftwareFrameRenderer::onUpdate(void *context)
{
    // On an engine thread: only wake the drawing thread, never call the engine from here.
    auto *renderer = static_cast<SoftwareFrameRenderer *>(context);
    {
        const std::lock_guard lock(renderer->mutex_);
        renderer->updatePending_ = true;
    }
    renderer->wake_.notify_one();
}

void SoftwareFrameRenderer::setTargetSize(const QSize &size)
{
    // The engine still needs each frame drawn (it holds the first one after a start until it
    // is), so even a hidden, empty surface draws at one pixel.
    const QSize wanted = size.expandedTo(QSize(1, 1));
    {
        const std::lock_guard lock(mutex_);
        if (wanted == targetSize_)
            return;
        targetSize_ = wanted;
        sizeChanged_ = true;
    }
    wake_.notify_one();
}

QImage SoftwareFrameRenderer::takeFrame()
{
    const std::lock_guard lock(mutex_);
    if (frameWaiting_) {
        std::swap(finished_, shown_);
        frameWaiting_ = false;
    }
    const Buffer &buffer = buffers_[size_t(shown_)];
    if (!buffer.pixels)
        return {};
    return QImage(buffer.pixels.get(), buffer.size.width(), buffer.size.height(), qsizetype(buffer.stride),
                  QImage::Format_RGB32);
}

quint64 SoftwareFrameRenderer::framesRendered() const
{
    const std::lock_guard lock(mutex_);
    return framesRendered_;
}

void SoftwareFrameRenderer::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || updatePending_ || sizeChanged_; });
        if (stopping_)
            return;
        bool draw = sizeChanged_;
        updatePending_ = false;
        sizeChanged_ = false;
        const QSize size = targetSize_;
        Buffer &buffer = buffers_[size_t(drawing_)];
        lock.unlock();

        // Called after every update callback, as the render API asks; it says whether a new
        // frame is due. A size change redraws the frame on screen at the new size.
        if (mpv_render_context_update(context_) & MPV_RENDER_UPDATE_FRAME)
            draw = true;
        if (draw)
            render(buffer, size);

        lock.lock();
        if (!draw)
            continue;
        std::swap(drawing_, finished_);
        ++framesRendered_;
        const bool announce = !frameWaiting_;
        frameWaiting_ = true;
        if (announce) {
            lock.unlock();
            emit frameReady();
            lock.lock();
        }
    }
}

void SoftwareFrameRenderer::render(Buffer &buffer, const QSize &size)
{
    if (buffer.size != size || !buffer.pixels) {
        const std::size_t stride = (std::size_t(size.width()) * 4 + kAlignment - 1) / kAlignment * kAlignment;
        buffer.pixels = {static_cast<unsigned char *>(std::aligned_alloc(kAlignment, stride * size_t(size.height()))),
                         &std::free};
        buffer.size = size;
        buffer.stride = stride;
    }
    int pixelSize[2] = {size.width(), size.height()};
    char format[sizeof kPixelFormat];
    std::copy(std::begin(kPixelFormat), std::end(kPixelFormat), format);
    std::size_t stride = buffer.stride;
    // Drawing never sleeps until the frame's display time: the engine hands each frame over on
    // time (the surface sets video-timing-offset to 0).
    int blockForTargetTime = 0;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_SW_SIZE, pixelSize},
                                 {MPV_RENDER_PARAM_SW_FORMAT, format},
                                 {MPV_RENDER_PARAM_SW_STRIDE, &stride},
                                 {MPV_RENDER_PARAM_SW_POINTER, buffer.pixels.get()},
                                 {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &blockForTargetTime},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context_render(context_, params);
    makeOpaque(buffer.pixels.get(), size, buffer.stride);
}
