#pragma once

#include <QWebEnginePage>

// A page whose window requests (window.open, target="_blank") open a new top-level window on the
// same profile. The windows belong to `windowOwner` and close with it.
class WebEnginePopupPage : public QWebEnginePage
{
    Q_OBJECT

public:
    WebEnginePopupPage(QWebEngineProfile *profile, QWidget *windowOwner, QObject *parent);

protected:
    QWebEnginePage *createWindow(WebWindowType type) override;

private:
    QWidget *windowOwner_;
};
