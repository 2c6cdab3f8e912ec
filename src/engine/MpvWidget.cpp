#include "engine/MpvWidget.h"

#include "engine/MpvCore.h"

#include <QDebug>
#include <QLabel>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <mpv/render_gl.h>

namespace {
constexpr int kLogoWidth = 320;
constexpr int kScreenChangeSettleMs = 500;
constexpr int kGlRgba8 = 0x8058;
} // namespace

MpvWidget::MpvWidget(QWidget *parent) : QOpenGLWidget(parent), core_(new MpvCore(this))
{
    setAutoFillBackground(false);
    setUpdateBehavior(QOpenGLWidget::NoPartialUpdate);
    createLogo();
}

MpvWidget::~MpvWidget()
{
    // The render context uses the engine handle, so it must go first, with its GL context current.
    core_->setBeforeBlockingCall({});
    makeCurrent();
    if (renderContext_) {
        mpv_render_context_free(renderContext_);
        renderContext_ = nullptr;
    }
    doneCurrent();
}

void MpvWidget::createLogo()
{
    logoLabel_ = new QLabel(this);
    logoLabel_->setAttribute(Qt::WA_TransparentForMouseEvents);
    logoLabel_->setStyleSheet(QStringLiteral("background: transparent; border: none;"));
    logoLabel_->setAlignment(Qt::AlignCenter);
    const QPixmap logo(QStringLiteral(":/velmoran-logo-center.png"));
    if (logo.isNull()) {
        logoLabel_->setText(QStringLiteral("Velmoran"));
        logoLabel_->setStyleSheet(QStringLiteral(
            "background: transparent; color: rgba(255,255,255,80);font-size: 36px; font-weight: 700; "
            "font-family: 'Malgun Gothic';"));
        logoLabel_->adjustSize();
    } else {
        const QPixmap scaled = logo.scaledToWidth(kLogoWidth, Qt::SmoothTransformation);
        logoLabel_->setPixmap(scaled);
        logoLabel_->resize(scaled.size());
    }
    // Off-screen until the first centring, so it never flashes at the top-left corner.
    logoLabel_->move(-9999, -9999);
    logoLabel_->show();
    logoLabel_->raise();
}

bool MpvWidget::isInitialized() const
{
    return core_ && core_->isInitialized();
}

void MpvWidget::loadFile(const QString &path)
{
    setLogoVisible(false);
    core_->loadFile(path, false);
}

void MpvWidget::appendFile(const QString &path)
{
    core_->loadFile(path, true);
}

void MpvWidget::setLogoVisible(bool visible)
{
    logoLabel_->setVisible(visible);
    if (visible) {
        logoLabel_->raise();
        centreLogo();
    }
}

bool MpvWidget::isLogoVisible() const
{
    return !logoLabel_->isHidden();
}

void MpvWidget::centreLogo()
{
    if (!logoLabel_->isVisible() || width() <= 0 || height() <= 0)
        return;
    logoLabel_->move((width() - logoLabel_->width()) / 2, (height() - logoLabel_->height()) / 2);
    logoLabel_->raise();
}

void *MpvWidget::getProcAddress(void *, const char *name)
{
    QOpenGLContext *context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void *>(context->getProcAddress(name)) : nullptr;
}

void MpvWidget::onRenderUpdate(void *context)
{
    // Called on a libmpv thread: only queue the repaint for the GUI thread.
    QMetaObject::invokeMethod(static_cast<MpvWidget *>(context), "maybeUpdate", Qt::QueuedConnection);
}

void MpvWidget::initializeGL()
{
    if (!core_->initialize(0)) {
        qCritical().noquote() << "[MpvWidget] MPV 초기화 실패";
        return;
    }
    mpv_opengl_init_params glInit{&MpvWidget::getProcAddress, nullptr};
    char apiType[] = MPV_RENDER_API_TYPE_OPENGL;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_API_TYPE, apiType},
                                 {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    if (mpv_render_context_create(&renderContext_, core_->handle(), params) < 0) {
        renderContext_ = nullptr;
        qCritical().noquote() << "[MpvWidget] MPV render context 생성 실패";
        return;
    }
    mpv_render_context_set_update_callback(renderContext_, &MpvWidget::onRenderUpdate, this);
    // By default the engine hands frames over early and the draw call sleeps until each one's
    // display time: on the GUI thread that is most of every frame period, and events (keys,
    // the engine's own, the remote control) wait behind it. Handed over on time, nothing sleeps.
    core_->setMpvProperty(QStringLiteral("video-timing-offset"), QStringLiteral("0"));
    core_->setBeforeBlockingCall([this] { renderWaitingFrame(); });
    qInfo().noquote() << "[MpvWidget] OpenGL render context 초기화 완료";
    QTimer::singleShot(0, this, &MpvWidget::mpvInitialized);
    core_->redetectGpu();

    if (window()->windowHandle()) {
        hookScreenChanges();
    } else {
        screenHooked_ = false;
        qInfo().noquote() << "[MpvWidget] windowHandle 없음 → showEvent에서 멀티모니터 감지 연결 재시도";
    }
    centreLogo();
}

void MpvWidget::maybeUpdate()
{
    if (!renderContext_)
        return;
    if (!window()->isMinimized()) {
        update();
        return;
    }
    // A minimised window gets no paint events; render anyway so the engine's frame pacing
    // (and with it audio/video sync) keeps going.
    makeCurrent();
    paintGL();
    context()->swapBuffers(context()->surface());
    doneCurrent();
}

void MpvWidget::paintGL()
{
    if (!renderContext_) {
        QOpenGLContext::currentContext()->functions()->glClearColor(0, 0, 0, 1);
        QOpenGLContext::currentContext()->functions()->glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    renderFrame();
    if (!overlayText_.isEmpty())
        paintCaption();
}

void MpvWidget::renderFrame()
{
    rendering_ = true;
    mpv_opengl_fbo fbo{int(defaultFramebufferObject()), int(width() * devicePixelRatioF()),
                       int(height() * devicePixelRatioF()), kGlRgba8};
    int flipY = 1;
    // The engine hands each frame over at its display time (see initializeGL), so drawing never
    // has to sleep until then on the GUI thread.
    int blockForTargetTime = 0;
    mpv_render_param params[] = {{MPV_RENDER_PARAM_OPENGL_FBO, &fbo},
                                 {MPV_RENDER_PARAM_FLIP_Y, &flipY},
                                 {MPV_RENDER_PARAM_BLOCK_FOR_TARGET_TIME, &blockForTargetTime},
                                 {MPV_RENDER_PARAM_INVALID, nullptr}};
    mpv_render_context_render(renderContext_, params);
    rendering_ = false;
}

// After a start or a seek the engine holds its first frame until it has been drawn, and answers
// no synchronous call meanwhile; such a call from this (the drawing) thread would stall both
// sides until the engine's 200 ms timeout, then the frame is dropped. Drawing the frame first
// lets the call through at once; the repaint that follows draws it again with the overlays.
void MpvWidget::renderWaitingFrame()
{
    if (!renderContext_ || rendering_ || !isValid())
        return;
    if (!(mpv_render_context_update(renderContext_) & MPV_RENDER_UPDATE_FRAME))
        return;
    // The caller may already hold this context current (GPU re-detection reads GL strings
    // through it); it must still be current afterwards.
    const bool wasCurrent = QOpenGLContext::currentContext() == context();
    makeCurrent();
    renderFrame();
    if (!wasCurrent)
        doneCurrent();
    update();
}

MpvWidget::CaptionBadge MpvWidget::captionBadge(int confidence)
{
    if (confidence >= 90)
        return {QStringLiteral(" [AI]"), QColor(0, 200, 180)};
    if (confidence >= 80)
        return {QStringLiteral(" [AI?]"), QColor(255, 200, 0)};
    return {QStringLiteral(" [AI!]"), QColor(255, 140, 0)};
}

void MpvWidget::paintCaption()
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const CaptionBadge badge = captionBadge(overlayConfidence_);

    QFont captionFont(QStringLiteral("Malgun Gothic"), 16);
    captionFont.setWeight(QFont::Bold);
    const QFontMetrics caption(captionFont);
    const int tw = caption.horizontalAdvance(overlayText_);
    const int th = caption.height();
    const int x = (width() - (tw + 40)) / 2;
    const int y = height() - (th + 16) - int(height() * 0.08);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 180));
    painter.drawRoundedRect(QRect(x - 8, y - 4, tw + 56, th + 24), 6.0, 6.0);
    painter.setFont(captionFont);
    painter.setPen(Qt::white);
    painter.drawText(x, y + caption.ascent() + 4, overlayText_);

    QFont badgeFont(QStringLiteral("Consolas"), 9);
    badgeFont.setBold(true);
    const QFontMetrics badgeMetrics(badgeFont);
    const int bw = badgeMetrics.horizontalAdvance(badge.text);
    const int bh = badgeMetrics.height();
    const int bx = x + tw + 40 - (bw + 8);
    const int by = y + (th + 16 - bh) / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(badge.colour);
    painter.drawRoundedRect(QRect(bx - 4, by - 2, bw + 8, bh + 4), 3.0, 3.0);
    painter.setFont(badgeFont);
    painter.setPen(Qt::black);
    painter.drawText(bx, by + badgeMetrics.ascent(), badge.text);
}

void MpvWidget::resizeGL(int, int)
{
    if (renderContext_)
        update();
}

void MpvWidget::resizeEvent(QResizeEvent *event)
{
    QOpenGLWidget::resizeEvent(event);
    centreLogo();
}

void MpvWidget::showEvent(QShowEvent *event)
{
    QOpenGLWidget::showEvent(event);
    QTimer::singleShot(0, this, &MpvWidget::centreLogo);
    if (!screenHooked_ && window()->windowHandle()) {
        hookScreenChanges();
        qInfo().noquote() << "[MpvWidget] showEvent: 멀티모니터 감지 연결 성공 (폴백)";
    }
}

void MpvWidget::hookScreenChanges()
{
    if (screenHooked_)
        return;
    connect(window()->windowHandle(), &QWindow::screenChanged, this, &MpvWidget::onScreenChanged);
    screenHooked_ = true;
    qInfo().noquote() << "[MpvWidget] 멀티모니터 이동 감지 활성화";
}

void MpvWidget::onScreenChanged()
{
    qInfo().noquote() << "[MpvWidget] 모니터 변경 감지 → 렌더링 설정 재적용";
    QTimer::singleShot(kScreenChangeSettleMs, this, [this] {
        // Detection reads the GL strings, so the surface's context must be current.
        makeCurrent();
        core_->redetectGpu();
        doneCurrent();
    });
}

void MpvWidget::setOverlayText(const QString &text, int confidence)
{
    overlayText_ = text;
    overlayConfidence_ = confidence;
    if (!overlayTimer_) {
        overlayTimer_ = new QTimer(this);
        overlayTimer_->setSingleShot(true);
        connect(overlayTimer_, &QTimer::timeout, this, &MpvWidget::clearOverlayText);
    }
    overlayTimer_->start(kCaptionDurationMs);
    update();
}

void MpvWidget::clearOverlayText()
{
    overlayText_.clear();
    overlayConfidence_ = 0;
    update();
}
