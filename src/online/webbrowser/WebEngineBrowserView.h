#pragma once

#include "online/WebBrowserModule.h"

#include <QWidget>

class QWebEngineProfile;
class QWebEngineView;

// The streaming page's browser: one Qt WebEngine view on a persistent profile, so that logins and
// cookies survive a restart. Pop-up windows (sign-in dialogs, "open in new window" links) open as
// windows of their own on the same profile, since sign-in pop-ups talk back to their opener.
class WebEngineBrowserView : public QWidget, public WebBrowserView
{
    Q_OBJECT

public:
    WebEngineBrowserView(QWidget *parent, WebBrowserEvents events);
    ~WebEngineBrowserView() override;

    QWidget *widget() override { return this; }
    void load(const QUrl &url) override;
    bool canGoBack() const override;
    bool canGoForward() const override;
    void goBack() override;
    void goForward() override;
    void reload() override;
    void exitFullScreen() override;

private:
    QWebEngineProfile *profile_ = nullptr;
    QWebEngineView *view_ = nullptr;
    WebBrowserEvents events_;
};
