#include "online/webbrowser/WebEnginePopupPage.h"

#include <QWebEngineView>

namespace {
constexpr QSize kDefaultPopupSize{900, 700};
}

WebEnginePopupPage::WebEnginePopupPage(QWebEngineProfile *profile, QWidget *windowOwner, QObject *parent)
    : QWebEnginePage(profile, parent), windowOwner_(windowOwner)
{
}

QWebEnginePage *WebEnginePopupPage::createWindow(WebWindowType type)
{
    Q_UNUSED(type); // the player has no tabs: every kind of new window becomes a window
    auto *window = new QWebEngineView(windowOwner_);
    window->setWindowFlag(Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    auto *page = new WebEnginePopupPage(profile(), windowOwner_, window);
    window->setPage(page);
    window->resize(kDefaultPopupSize);
    connect(page, &QWebEnginePage::titleChanged, window, &QWidget::setWindowTitle);
    connect(page, &QWebEnginePage::windowCloseRequested, window, &QWidget::close);
    connect(page, &QWebEnginePage::geometryChangeRequested, window, [window](const QRect &geometry) {
        if (geometry.isValid())
            window->setGeometry(geometry);
    });
    window->show();
    return page;
}
