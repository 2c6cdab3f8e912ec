#include "online/webbrowser/WebEngineBrowserView.h"

#include "online/webbrowser/WebEnginePopupPage.h"

#include <QShortcut>
#include <QVBoxLayout>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineHistory>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

namespace {
// Named, so the profile lives on disk (under the user's data folder) rather than in memory.
constexpr auto kProfileName = "velmoran-ott";
} // namespace

WebEngineBrowserView::WebEngineBrowserView(QWidget *parent, WebBrowserEvents events)
    : QWidget(parent), events_(std::move(events))
{
    // No parent: it must outlive every page on it, the pop-ups' included, so it goes last, by hand.
    profile_ = new QWebEngineProfile(QLatin1String(kProfileName));
    // Streaming sites keep their sign-in in session cookies; kept, the user stays signed in.
    profile_->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
    QWebEngineSettings *settings = profile_->settings();
    settings->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, true);

    view_ = new QWebEngineView(this);
    auto *page = new WebEnginePopupPage(profile_, this, view_);
    view_->setPage(page);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);

    // A page out of sight (the cards shown, or the player back) would go on playing its sound and
    // its scripts behind the player; frozen, it waits until it is shown again.
    connect(page, &QWebEnginePage::visibleChanged, page, [page](bool visible) {
        page->setLifecycleState(visible ? QWebEnginePage::LifecycleState::Active
                                        : QWebEnginePage::LifecycleState::Frozen);
    });
    connect(page, &QWebEnginePage::titleChanged, this, [this](const QString &title) {
        if (events_.titleChanged)
            events_.titleChanged(title);
    });
    connect(page, &QWebEnginePage::urlChanged, this, [this](const QUrl &url) {
        if (events_.urlChanged)
            events_.urlChanged(url);
    });
    // The engine leaves the exit to the application; Esc is what every browser uses for it.
    auto *leaveFullScreen = new QShortcut(QKeySequence(Qt::Key_Escape), this, this,
                                          &WebEngineBrowserView::exitFullScreen, Qt::WindowShortcut);
    leaveFullScreen->setEnabled(false);
    connect(page, &QWebEnginePage::fullScreenRequested, this,
            [this, leaveFullScreen](QWebEngineFullScreenRequest request) {
        request.accept();
        leaveFullScreen->setEnabled(request.toggleOn());
        if (events_.fullScreenRequested)
            events_.fullScreenRequested(request.toggleOn());
    });
}

WebEngineBrowserView::~WebEngineBrowserView()
{
    // Pages (the view's and the pop-ups', which are children of this widget) before their profile.
    qDeleteAll(findChildren<QWebEngineView *>(Qt::FindDirectChildrenOnly));
    delete profile_;
}

void WebEngineBrowserView::load(const QUrl &url)
{
    view_->load(url);
}

bool WebEngineBrowserView::canGoBack() const
{
    return view_->history()->canGoBack();
}

bool WebEngineBrowserView::canGoForward() const
{
    return view_->history()->canGoForward();
}

void WebEngineBrowserView::goBack()
{
    view_->back();
}

void WebEngineBrowserView::goForward()
{
    view_->forward();
}

void WebEngineBrowserView::reload()
{
    view_->reload();
}

void WebEngineBrowserView::exitFullScreen()
{
    view_->triggerPageAction(QWebEnginePage::ExitFullScreen);
}
