#include "mainwindow/MainWindow.h"

#include "engine/MpvCore.h"
#include "online/AdManager.h"
#include "online/OttWidget.h"
#include "ui/controls/ControlBar.h"
#include "ui/controls/TitleBar.h"

#include <QFileInfo>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>

void MainWindow::switchToOttMode()
{
    ottMode_ = true;
    if (!ottWidget_) {
        ottWidget_ = new OttWidget(mainStack_);
        QWidget *placeholder = mainStack_->widget(1);
        mainStack_->insertWidget(1, ottWidget_);
        mainStack_->removeWidget(placeholder);
        delete placeholder;
        connect(ottWidget_, &OttWidget::titleChanged, this, [this](const QString &title) {
            if (ottMode_)
                updateWindowTitle(title);
        });
        connect(ottWidget_, &OttWidget::fullScreenRequested, this, &MainWindow::followPageFullScreen);
    }
    // The page plays sound of its own; the file waits where it is.
    if (playing_)
        core()->pause();
    mainStack_->setCurrentWidget(ottWidget_);
    adManager_->fetchAd(QStringLiteral("ott"));
    // Music mode hides the control bar, which holds the way back.
    controlBar_->show();
    showModeButtons(true);
    setWindowTitle(QStringLiteral("Velmoran OTT"));
    titleBar_->setTitle(windowTitle());
}

void MainWindow::switchToPlayerMode()
{
    ottMode_ = false;
    if (pageFullScreen_)
        ottWidget_->exitFullScreen();
    mainStack_->setCurrentIndex(0);
    if (musicMode_)
        controlBar_->hide();
    showModeButtons(false);
    // The file still loaded keeps its name in the title, as when it was opened.
    updateWindowTitle(currentFile.isEmpty() ? QString() : QFileInfo(currentFile).fileName());
}

void MainWindow::showModeButtons(bool ott)
{
    for (QPushButton *button : {controlBar_->playerModeButton(), controlBar_->ottModeButton()}) {
        button->setProperty("active", (button == controlBar_->ottModeButton()) == ott);
        button->style()->unpolish(button);
        button->style()->polish(button);
    }
}

// A page's video asks for the whole screen: the window goes full screen (unless it already is)
// with the page alone in it, and comes back as it was when the video gives the screen up.
void MainWindow::followPageFullScreen(bool on)
{
    if (on == pageFullScreen_)
        return;
    pageFullScreen_ = on;
    if (on) {
        fullscreenForPage_ = !fullscreen_;
        if (!fullscreen_)
            toggleFullscreen();
        titleBar_->hide();
        controlBar_->hide();
        return;
    }
    if (fullscreenForPage_ && fullscreen_)
        toggleFullscreen();
    fullscreenForPage_ = false;
    titleBar_->setVisible(!fullscreen_);
    controlBar_->setVisible(ottMode_ || !musicMode_);
}
