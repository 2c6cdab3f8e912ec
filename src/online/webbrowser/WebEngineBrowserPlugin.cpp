#include "online/webbrowser/WebEngineBrowserPlugin.h"

#include "online/webbrowser/WebEngineBrowserView.h"

WebBrowserView *WebEngineBrowserPlugin::createView(QWidget *parent, WebBrowserEvents events)
{
    return new WebEngineBrowserView(parent, std::move(events));
}
