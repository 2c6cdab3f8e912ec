#include "engine/MpvWidget.h"

#include "engine/MpvCore.h"
#include "engine/OpenGlVideoView.h"
#include "engine/SoftwareVideoView.h"

#include <QDebug>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace {
constexpr int kLogoWidth = 320;
constexpr int kScreenChangeSettleMs = 500;
} // namespace

MpvWidget::MpvWidget(QWidget *parent, std::optional<VideoSurfaceKind> kind)
    : QWidget(parent), core_(new MpvCore(this)), kind_(kind.value_or(videoSurfaceForProcess()))
{
    // The view covers the whole surface; nothing of the surface itself is ever seen.
    setAttribute(Qt::WA_OpaquePaintEvent);
    core_->setVideoSurface(kind_);
    if (kind_ == VideoSurfaceKind::OpenGl)
        view_ = new OpenGlVideoView(this);
    else
        view_ = new SoftwareVideoView(this);
}

MpvWidget::~MpvWidget()
{
    // The render context uses the engine handle, so the view must go first.
    core_->setBeforeBlockingCall({});
    delete view_;
    view_ = nullptr;
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
    logoLabel_->show();
}

void MpvWidget::start()
{
    if (started_)
        return;
    started_ = true;
    if (!core_->initialize(0)) {
        qCritical().noquote() << "[MpvWidget] MPV 초기화 실패";
        return;
    }
    view_->attachWhenReady();
}

bool MpvWidget::isInitialized() const
{
    return core_->isInitialized() && view_ && view_->isAttached();
}

void MpvWidget::onRenderContextReady()
{
    // By default the engine hands frames over early and the draw call sleeps until each one's
    // display time; handed over on time, no drawing thread sleeps and nothing waits behind it.
    core_->setMpvProperty(QStringLiteral("video-timing-offset"), QStringLiteral("0"));
    qInfo().noquote() << (kind_ == VideoSurfaceKind::OpenGl
                              ? QStringLiteral("[MpvWidget] OpenGL render context 초기화 완료")
                              : QStringLiteral("[MpvWidget] 소프트웨어 render context 초기화 완료"));
    if (window()->windowHandle()) {
        hookScreenChanges();
    } else {
        screenHooked_ = false;
        qInfo().noquote() << "[MpvWidget] windowHandle 없음 → showEvent에서 멀티모니터 감지 연결 재시도";
    }
    centreLogo();
    emit mpvInitialized();
}

QImage MpvWidget::grabFramebuffer()
{
    return view_->grabFramebuffer();
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
    logoWanted_ = visible;
    if (logoLabel_)
        logoLabel_->setVisible(visible);
    if (visible)
        centreLogo();
}

bool MpvWidget::isLogoVisible() const
{
    return logoWanted_;
}

void MpvWidget::centreLogo()
{
    // Made the first time it is seen: a start with a file hides it before the window shows.
    if (!logoWanted_ || !isVisible() || width() <= 0 || height() <= 0)
        return;
    if (!logoLabel_)
        createLogo();
    logoLabel_->move((width() - logoLabel_->width()) / 2, (height() - logoLabel_->height()) / 2);
    logoLabel_->raise();
}

MpvWidget::CaptionBadge MpvWidget::captionBadge(int confidence)
{
    if (confidence >= 90)
        return {QStringLiteral(" [AI]"), QColor(0, 200, 180)};
    if (confidence >= 80)
        return {QStringLiteral(" [AI?]"), QColor(255, 200, 0)};
    return {QStringLiteral(" [AI!]"), QColor(255, 140, 0)};
}

void MpvWidget::paintCaption(QPainter &painter)
{
    if (overlayText_.isEmpty())
        return;
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

void MpvWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    view_->widget()->setGeometry(rect());
    centreLogo();
}

void MpvWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    start();
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
    QTimer::singleShot(kScreenChangeSettleMs, this, [this] { view_->redetectGpu(); });
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
    view_->widget()->update();
}

void MpvWidget::clearOverlayText()
{
    overlayText_.clear();
    overlayConfidence_ = 0;
    view_->widget()->update();
}
