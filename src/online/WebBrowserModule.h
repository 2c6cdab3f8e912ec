#pragma once

#include <QString>
#include <QUrl>
#include <QtPlugin>

#include <functional>

class QWidget;

// The contract between the player and its web-browser module. The module links Qt WebEngine, which
// is far too large to map at every start of a player that mostly never shows a web page, so it is
// loaded only when the streaming page first needs it. Everything here is header-only: the module
// must not depend on symbols of the player binary.

// What a browser view reports back. Called on the GUI thread.
struct WebBrowserEvents
{
    std::function<void(const QString &title)> titleChanged;
    std::function<void(const QUrl &url)> urlChanged;
    // A page asks for (true) or gives up (false) the whole screen, as a video player does.
    std::function<void(bool on)> fullScreenRequested;
};

// One embedded browser: a widget that shows pages, with a navigation history.
class WebBrowserView
{
public:
    virtual ~WebBrowserView() = default;
    virtual QWidget *widget() = 0;
    virtual void load(const QUrl &url) = 0;
    virtual bool canGoBack() const = 0;
    virtual bool canGoForward() const = 0;
    virtual void goBack() = 0;
    virtual void goForward() = 0;
    virtual void reload() = 0;
    // Leaves a page's full-screen mode (the page is told, and reports it through its events).
    virtual void exitFullScreen() = 0;
};

// The module's entry point, found through QPluginLoader.
class WebBrowserEngine
{
public:
    virtual ~WebBrowserEngine() = default;
    // The view is a child widget of `parent` and is deleted with it; the returned object is the
    // widget itself.
    virtual WebBrowserView *createView(QWidget *parent, WebBrowserEvents events) = 0;
};

#define VELMORAN_WEB_BROWSER_ENGINE_IID "org.velmoran.WebBrowserEngine/1.0"
Q_DECLARE_INTERFACE(WebBrowserEngine, VELMORAN_WEB_BROWSER_ENGINE_IID)
