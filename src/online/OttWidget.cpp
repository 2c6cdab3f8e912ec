#include "online/OttWidget.h"

#include "online/OttServices.h"
#include "online/WebBrowserLoader.h"
#include "online/WebBrowserModule.h"

#include <QComboBox>
#include <QDebug>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>

namespace {
constexpr int kInitDelayMs = 200;
const QString kAddressPlaceholder = QStringLiteral("URL 입력 또는 서비스 선택...");
// Debian's web engine plays unprotected media only: no Widevine or PlayReady module comes with it.
const QString kDrmState = QStringLiteral("DRM 미지원 (Widevine/PlayReady 없음)");
const QString kInitialising = QStringLiteral("웹 엔진 초기화 중...");

QPushButton *navigationButton(const QString &text, const QString &toolTip, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setToolTip(toolTip);
    button->setFixedSize(30, 28);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}
} // namespace

OttWidget::OttWidget(QWidget *parent) : QWidget(parent)
{
    setStyleSheet(QStringLiteral(
        "QPushButton { background: #1e1e1e; color: #ccc; border: 1px solid #333; border-radius: 4px; }"
        "QPushButton:hover { background: #2a2a2a; color: #fff; }"
        "QLineEdit, QComboBox { background: #0e0e0e; color: #ddd; border: 1px solid #333; border-radius: 4px;"
        " padding: 3px 6px; }"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    navigationBar_ = buildNavigationBar();
    layout->addWidget(navigationBar_);

    pages_ = new QStackedWidget(this);
    pages_->setObjectName(QStringLiteral("ottPages"));
    pages_->addWidget(buildCardPage());
    browserHost_ = new QWidget(pages_);
    browserHost_->setStyleSheet(QStringLiteral("background: #000000;"));
    auto *hostLayout = new QVBoxLayout(browserHost_);
    hostLayout->setContentsMargins(0, 0, 0, 0);
    browserHost_->installEventFilter(this);
    overlay_ = new QLabel(kInitialising, browserHost_);
    overlay_->setObjectName(QStringLiteral("ottOverlay"));
    overlay_->setAlignment(Qt::AlignCenter);
    overlay_->setStyleSheet(QStringLiteral("color: #888; font-size: 14px; background: transparent;"));
    pages_->addWidget(browserHost_);
    layout->addWidget(pages_, 1);

    status_ = new QLabel(QStringLiteral("%1  ·  %2").arg(kInitialising, kDrmState), this);
    status_->setObjectName(QStringLiteral("ottStatus"));
    status_->setFixedHeight(24);
    status_->setContentsMargins(10, 0, 10, 0);
    status_->setStyleSheet(QStringLiteral("background: #111; color: #666; font-size: 11px;"));
    layout->addWidget(status_);
}

QWidget *OttWidget::buildNavigationBar()
{
    auto *bar = new QWidget(this);
    bar->setFixedHeight(40);
    bar->setStyleSheet(QStringLiteral("background: #161616;"));
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(8, 6, 8, 6);
    row->setSpacing(4);
    auto *back = navigationButton(QStringLiteral("◀"), QStringLiteral("뒤로"), bar);
    auto *forward = navigationButton(QStringLiteral("▶"), QStringLiteral("앞으로"), bar);
    auto *reloadButton = navigationButton(QStringLiteral("↻"), QStringLiteral("새로고침"), bar);
    auto *home = navigationButton(QStringLiteral("⌂"), QStringLiteral("홈 (서비스 선택)"), bar);
    connect(back, &QPushButton::clicked, this, &OttWidget::goBack);
    connect(forward, &QPushButton::clicked, this, &OttWidget::goForward);
    connect(reloadButton, &QPushButton::clicked, this, &OttWidget::reload);
    connect(home, &QPushButton::clicked, this, &OttWidget::goHome);

    serviceBox_ = new QComboBox(bar);
    serviceBox_->setFixedWidth(130);
    serviceBox_->addItems(ottServiceChoiceLabels());
    connect(serviceBox_, &QComboBox::activated, this, &OttWidget::onServiceSelected);

    addressEdit_ = new QLineEdit(bar);
    addressEdit_->setObjectName(QStringLiteral("ottAddress"));
    addressEdit_->setPlaceholderText(kAddressPlaceholder);
    connect(addressEdit_, &QLineEdit::returnPressed, this, &OttWidget::onNavigateClicked);
    auto *go = new QPushButton(QStringLiteral("이동"), bar);
    go->setFixedHeight(28);
    go->setStyleSheet(QStringLiteral("QPushButton { background: #1565c0; color: #fff; border: none; padding: 0 14px; }"));
    connect(go, &QPushButton::clicked, this, &OttWidget::onNavigateClicked);

    for (QWidget *widget : {static_cast<QWidget *>(back), static_cast<QWidget *>(forward),
                            static_cast<QWidget *>(reloadButton), static_cast<QWidget *>(home),
                            static_cast<QWidget *>(serviceBox_)})
        row->addWidget(widget);
    row->addWidget(addressEdit_, 1);
    row->addWidget(go);
    return bar;
}

QWidget *OttWidget::buildCardPage()
{
    auto *scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto *grid = new QWidget(scroll);
    auto *layout = new QGridLayout(grid);
    layout->setContentsMargins(28, 24, 28, 24);
    layout->setSpacing(14);
    constexpr int kColumns = 3;
    for (int column = 0; column < kColumns; ++column)
        layout->setColumnStretch(column, 1);
    for (int i = 0; i < ottServices().size(); ++i)
        layout->addWidget(buildCard(i, grid), i / kColumns, i % kColumns);
    layout->setRowStretch(int(ottServices().size() + kColumns - 1) / kColumns, 1);
    scroll->setWidget(grid);
    return scroll;
}

QWidget *OttWidget::buildCard(int index, QWidget *parent)
{
    const ServiceEntry &service = ottServices().at(index);
    auto *card = new QFrame(parent);
    card->setObjectName(QStringLiteral("ottCard"));
    card->setFixedHeight(90);
    card->setCursor(Qt::PointingHandCursor);
    card->setStyleSheet(QStringLiteral("QFrame#ottCard { background: #181818; border: 1px solid #2a2a2a;"
                                       " border-radius: 10px; } QFrame#ottCard:hover { border-color: #4fc3f7; }"));
    card->setProperty("serviceUrl", service.homeUrl);
    card->installEventFilter(this);

    auto *row = new QHBoxLayout(card);
    row->setContentsMargins(16, 0, 16, 0);
    row->setSpacing(14);
    auto *logo = new QLabel(service.logoText, card);
    logo->setFixedSize(52, 52);
    logo->setAlignment(Qt::AlignCenter);
    logo->setStyleSheet(QStringLiteral("font-size: 22px; font-weight: 900; color: %1; background: %2;"
                                       " border-radius: 10px;")
                            .arg(service.logoColor, service.logoBackground));
    row->addWidget(logo);

    auto *text = new QVBoxLayout;
    text->setSpacing(6);
    text->addStretch();
    auto *name = new QLabel(service.name, card);
    name->setStyleSheet(QStringLiteral("font-size: 15px; font-weight: 600; color: #eee; background: transparent;"));
    text->addWidget(name);
    auto *badge = new QLabel(service.badge, card);
    badge->setFixedHeight(20);
    badge->setStyleSheet(QStringLiteral("color: #fff; background: %1; font-family: monospace; font-size: 11px;"
                                        " font-weight: bold; border-radius: 3px; padding: 0 6px;")
                             .arg(service.badgeColor));
    text->addWidget(badge, 0, Qt::AlignLeft);
    text->addStretch();
    row->addLayout(text, 1);
    return card;
}

void OttWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!started_)
        QTimer::singleShot(kInitDelayMs, this, &OttWidget::initBrowser);
}

void OttWidget::initBrowser()
{
    if (started_)
        return;
    started_ = true;
    QString error;
    WebBrowserEngine *engine = loadWebBrowserEngine(&error);
    if (!engine) {
        qWarning().noquote() << "[OTT] 초기화 실패:" << error;
        overlay_->setText(QStringLiteral("웹 엔진(Qt WebEngine)을 찾을 수 없습니다.\n\n"
                                         "qt6-webengine 패키지가 설치되어 있는지 확인해 주세요."));
        status_->setText(QStringLiteral("웹 엔진 없음  ·  %1").arg(kDrmState));
        emit browserUnavailable();
        return;
    }
    WebBrowserEvents events;
    events.titleChanged = [this](const QString &title) { emit titleChanged(title); };
    events.urlChanged = [this](const QUrl &url) {
        const QString address = url.toString();
        addressEdit_->setText(address);
        emit urlChanged(address);
    };
    events.fullScreenRequested = [this](bool on) {
        showPageFullScreen(on);
        emit fullScreenRequested(on);
    };
    browser_ = engine->createView(browserHost_, std::move(events));
    browserHost_->layout()->addWidget(browser_->widget());
    overlay_->raise();
    status_->setText(QStringLiteral("웹 엔진 준비 완료  ·  %1").arg(kDrmState));
    qInfo().noquote() << "[OTT] 웹 엔진 초기화 완료 -" << kDrmState;
    if (!pendingUrl_.isEmpty())
        navigateTo(std::exchange(pendingUrl_, QString()));
}

void OttWidget::navigateTo(const QString &url)
{
    if (url.isEmpty())
        return;
    addressEdit_->setText(url);
    if (pages_->currentIndex() == 0) {
        pages_->setCurrentIndex(1);
        overlay_->show();
    }
    if (!browser_) {
        pendingUrl_ = url;
        return;
    }
    browser_->load(QUrl(url));
    overlay_->hide();
}

void OttWidget::onNavigateClicked()
{
    navigateTo(ottAddressFromInput(addressEdit_->text()));
}

void OttWidget::onServiceSelected(int index)
{
    if (index <= 0 || index >= ottServiceChoiceUrls().size())
        return;
    navigateTo(ottServiceChoiceUrls().at(index));
    serviceBox_->setCurrentIndex(0);
}

void OttWidget::goBack()
{
    if (browser_ && browser_->canGoBack())
        browser_->goBack();
}

void OttWidget::goForward()
{
    if (browser_ && browser_->canGoForward())
        browser_->goForward();
}

void OttWidget::reload()
{
    if (browser_)
        browser_->reload();
}

void OttWidget::goHome()
{
    pages_->setCurrentIndex(0);
    addressEdit_->clear();
    addressEdit_->setPlaceholderText(kAddressPlaceholder);
}

void OttWidget::exitFullScreen()
{
    if (browser_)
        browser_->exitFullScreen();
}

// A page's full-screen video gets the whole widget; the main window makes the widget the screen.
void OttWidget::showPageFullScreen(bool on)
{
    navigationBar_->setVisible(!on);
    status_->setVisible(!on);
}

bool OttWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == browserHost_ && event->type() == QEvent::Resize) {
        overlay_->setGeometry(browserHost_->rect());
    } else if (event->type() == QEvent::MouseButtonRelease) {
        const QString url = watched->property("serviceUrl").toString();
        if (!url.isEmpty()) {
            navigateTo(url);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
