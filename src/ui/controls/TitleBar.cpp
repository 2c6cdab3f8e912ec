#include "ui/controls/TitleBar.h"

#include "ui/controls/MediaText.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QWindow>

namespace {

constexpr int kHeight = 36;
constexpr int kLogoSide = 26;

const QString kTitleSeparator = QStringLiteral(" — ");

const QString kBarStyle = QStringLiteral("#TitleBar { background: #111111; border-bottom: 1px solid #1f1f1f; }");

const QString kBadgeStyle = QStringLiteral(
    "QLabel { color: #4fc3f7; background: #0d2740; border: 1px solid #1a4568; border-radius: 3px;"
    " padding: 0px 6px; font-family: Consolas, 'DejaVu Sans Mono', monospace; font-size: 9px;"
    " font-weight: 700; }");

const QString kTitleStyle = QStringLiteral(
    "QLabel { color: #9a9a9a; background: transparent; font-size: 11px;"
    " font-family: 'Malgun Gothic', 'Segoe UI', 'Noto Sans CJK KR', sans-serif; }");

const QString kWindowButtonStyle = QStringLiteral(
    "QPushButton { background: transparent; border: none; border-radius: 0px; }"
    "QPushButton:hover { background: %1; }"
    "QPushButton:pressed { background: %1; }");

} // namespace

TitleBar::TitleBar(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("TitleBar"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(kBarStyle);
    setFixedHeight(kHeight);

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(10, 0, 0, 0);
    row->setSpacing(0);

    logoLabel_ = new QLabel(this);
    logoLabel_->setFixedSize(kLogoSide, kLogoSide);
    logoLabel_->setStyleSheet(QStringLiteral("background: transparent;"));
    // Drawn at the screen's pixel density so the logo stays sharp on scaled displays.
    const qreal ratio = devicePixelRatioF();
    QPixmap logo = QPixmap(QStringLiteral(":/velmoran-app.png"))
                       .scaled(QSize(kLogoSide, kLogoSide) * ratio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    logo.setDevicePixelRatio(ratio);
    logoLabel_->setPixmap(logo);
    logoLabel_->setAlignment(Qt::AlignCenter);

    codecBadge_ = new QLabel(this);
    codecBadge_->setFixedHeight(18);
    codecBadge_->setAlignment(Qt::AlignCenter);
    codecBadge_->setStyleSheet(kBadgeStyle);
    codecBadge_->hide();

    titleLabel_ = new QLabel(this);
    titleLabel_->setStyleSheet(kTitleStyle);
    // File names may look like markup ("Live <b>2020</b>.mkv"); they are shown as spelled.
    titleLabel_->setTextFormat(Qt::PlainText);
    // A long file name is elided instead of pushing the window buttons out of reach.
    titleLabel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    titleLabel_->setMinimumWidth(0);
    titleLabel_->installEventFilter(this);

    pinButton_ = makeWindowButton(QStringLiteral(":/icons/pin_off.svg"), QStringLiteral("항상 위에 고정"),
                                  QStringLiteral("#252525"), 38);
    pinButton_->setCheckable(true);
    connect(pinButton_, &QPushButton::toggled, this, &TitleBar::onPinToggled);

    minimizeButton_ = makeWindowButton(QStringLiteral(":/icons/minimize.svg"), QStringLiteral("최소화"),
                                       QStringLiteral("#252525"));
    maximizeButton_ = makeWindowButton(QStringLiteral(":/icons/maximize.svg"), QStringLiteral("화면 채우기"),
                                       QStringLiteral("#252525"));
    fullscreenButton_ = makeWindowButton(QStringLiteral(":/icons/expand.svg"), QStringLiteral("전체화면"),
                                         QStringLiteral("#1e3a5f"));
    closeButton_ = makeWindowButton(QStringLiteral(":/icons/close.svg"), QStringLiteral("닫기"),
                                    QStringLiteral("#c42b1c"));
    connect(minimizeButton_, &QPushButton::clicked, this, &TitleBar::minimizeClicked);
    connect(maximizeButton_, &QPushButton::clicked, this, &TitleBar::maximizeClicked);
    connect(fullscreenButton_, &QPushButton::clicked, this, &TitleBar::fullscreenClicked);
    connect(closeButton_, &QPushButton::clicked, this, &TitleBar::closeClicked);

    row->addWidget(logoLabel_);
    row->addSpacing(4);
    row->addWidget(codecBadge_);
    row->addSpacing(8);
    row->addWidget(titleLabel_, 1);
    row->addStretch();
    row->addWidget(pinButton_);
    row->addWidget(minimizeButton_);
    row->addWidget(maximizeButton_);
    row->addWidget(fullscreenButton_);
    row->addWidget(closeButton_);
}

QPushButton *TitleBar::makeWindowButton(const QString &iconPath, const QString &toolTip, const QString &hoverColour,
                                        int width)
{
    auto *button = new QPushButton(this);
    button->setFlat(true);
    button->setIcon(QIcon(iconPath));
    button->setIconSize(QSize(16, 16));
    button->setToolTip(toolTip);
    button->setFixedSize(width, kHeight);
    button->setFocusPolicy(Qt::NoFocus);
    button->setStyleSheet(kWindowButtonStyle.arg(hoverColour));
    return button;
}

void TitleBar::setTitle(const QString &windowTitle)
{
    const qsizetype at = windowTitle.lastIndexOf(kTitleSeparator);
    title_ = at < 0 ? QString() : windowTitle.mid(at + kTitleSeparator.size());
    elideTitle();
}

void TitleBar::elideTitle()
{
    const int width = titleLabel_->width();
    const QString shown = width > 0 ? titleLabel_->fontMetrics().elidedText(title_, Qt::ElideMiddle, width) : title_;
    titleLabel_->setText(shown);
    titleLabel_->setToolTip(shown == title_ ? QString() : MediaText::plainToolTip(title_));
}

void TitleBar::setCodecBadge(const QString &codec)
{
    if (codec.isEmpty()) {
        codecBadge_->hide();
        return;
    }
    codecBadge_->setText(MediaText::titleBadgeCodecName(codec));
    codecBadge_->show();
}

void TitleBar::setPinned(bool pinned)
{
    {
        const QSignalBlocker blocker(pinButton_);
        pinButton_->setChecked(pinned);
    }
    showPinState(pinned);
}

void TitleBar::onPinToggled(bool checked)
{
    showPinState(checked);
    emit alwaysOnTopToggled(checked);
}

void TitleBar::showPinState(bool pinned)
{
    this->pinned = pinned;
    pinButton_->setIcon(QIcon(pinned ? QStringLiteral(":/icons/pin.svg") : QStringLiteral(":/icons/pin_off.svg")));
    pinButton_->setToolTip(pinned ? QStringLiteral("항상 위에 고정 해제") : QStringLiteral("항상 위에 고정"));
}

void TitleBar::setFullscreen(bool fullscreen)
{
    fullscreenButton_->setIcon(QIcon(fullscreen ? QStringLiteral(":/icons/fullscreen_exit.svg")
                                                : QStringLiteral(":/icons/expand.svg")));
    fullscreenButton_->setToolTip(fullscreen ? QStringLiteral("전체화면 종료") : QStringLiteral("전체화면"));
    maximizeButton_->setIcon(QIcon(fullscreen ? QStringLiteral(":/icons/restore.svg")
                                              : QStringLiteral(":/icons/maximize.svg")));
}

void TitleBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        dragging = true;
        dragOffset = event->globalPosition().toPoint() - window()->pos();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void TitleBar::mouseMoveEvent(QMouseEvent *event)
{
    if (!dragging || !(event->buttons() & Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    // The window system moves the window where it can (a Wayland client cannot place itself);
    // asked only once the pointer really moves, so that clicks and double-clicks stay ours.
    if (QWindow *handle = window()->windowHandle(); handle && handle->startSystemMove()) {
        dragging = false;
    } else {
        window()->move(event->globalPosition().toPoint() - dragOffset);
    }
    event->accept();
}

void TitleBar::mouseReleaseEvent(QMouseEvent *event)
{
    dragging = false;
    QWidget::mouseReleaseEvent(event);
}

void TitleBar::mouseDoubleClickEvent(QMouseEvent *event)
{
    dragging = false;
    emit maximizeClicked();
    event->accept();
}

bool TitleBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == titleLabel_ && event->type() == QEvent::Resize)
        elideTitle();
    return QWidget::eventFilter(watched, event);
}
