#pragma once

#include <QImage>
#include <QObject>
#include <QSize>

#include <array>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>

struct mpv_handle;
struct mpv_render_context;

// Renders an engine's newest video frame into memory on a thread of its own, through libmpv's
// software render API: the engine converts and scales on the CPU, at the size asked for, and
// the picture is handed over as a QImage. The GUI thread never waits for a frame, and the engine
// never waits for the GUI thread: synchronous engine calls from there cannot hold up a frame.
//
// Three buffers: the thread draws into one, the newest finished frame waits in the second, and
// the third is the one the owner was last given. Nothing is copied on the way.
class SoftwareFrameRenderer : public QObject
{
    Q_OBJECT
public:
    explicit SoftwareFrameRenderer(QObject *parent = nullptr);
    ~SoftwareFrameRenderer() override;

    // Creates the render context on the engine and starts drawing; false (and a log line) when
    // the engine refuses. The engine must outlive the attachment: detach() before it goes.
    bool attach(mpv_handle *engine);
    // Stops the thread and frees the render context; the engine's video output closes with it.
    void detach();
    bool isAttached() const { return context_ != nullptr; }

    // The size frames are drawn at, in pixels; a change draws the current frame again at once.
    void setTargetSize(const QSize &size);
    // The newest frame drawn, or a null image before the first. It shares the renderer's buffer
    // and stays valid until the next call: copy() it to keep it.
    QImage takeFrame();
    // Frames drawn so far (for the tests and the bench's accounting).
    quint64 framesRendered() const;

signals:
    // A new frame is waiting for takeFrame(); emitted from the drawing thread, once until taken.
    void frameReady();

private:
    struct Buffer {
        std::unique_ptr<unsigned char, void (*)(void *)> pixels{nullptr, nullptr};
        QSize size;
        std::size_t stride = 0;
    };

    static void onUpdate(void *context);
    void run();
    void render(Buffer &buffer, const QSize &size);

    mpv_render_context *context_ = nullptr;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    // Guarded by mutex_:
    bool stopping_ = false;
    bool updatePending_ = false;
    bool sizeChanged_ = false;
    bool frameWaiting_ = false;
    QSize targetSize_{1, 1};
    quint64 framesRendered_ = 0;
    std::array<Buffer, 3> buffers_;
    int drawing_ = 0;  // the thread's
    int finished_ = 1; // the newest finished frame
    int shown_ = 2;    // the owner's
};
