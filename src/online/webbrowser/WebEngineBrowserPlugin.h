#pragma once

#include "online/WebBrowserModule.h"

#include <QObject>

// The module's entry point: makes Qt WebEngine views for the streaming page.
class WebEngineBrowserPlugin : public QObject, public WebBrowserEngine
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID VELMORAN_WEB_BROWSER_ENGINE_IID)
    Q_INTERFACES(WebBrowserEngine)

public:
    WebBrowserView *createView(QWidget *parent, WebBrowserEvents events) override;
};
