#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class WebBrowserView;

// The streaming mode's page: cards of streaming services and, once one or an address is chosen,
// an embedded web browser with a small navigation bar. The browser (Qt WebEngine, in a module of
// its own) is loaded shortly after the page is first shown, never at start-up.
class OttWidget : public QWidget
{
    Q_OBJECT

public:
    explicit OttWidget(QWidget *parent = nullptr);

    // Opens `url` in the browser page. Before the browser exists, the last address asked for is
    // kept and opened once it does.
    void navigateTo(const QString &url);
    bool isBrowserReady() const { return browser_ != nullptr; }
    // Ends a page's full-screen video, e.g. when the player leaves the streaming mode.
    void exitFullScreen();

signals:
    void titleChanged(const QString &title);
    void urlChanged(const QString &url);
    // The web engine could not be loaded; the page says so and stays on its cards.
    void browserUnavailable();
    void fullScreenRequested(bool on);

public slots:
    void goBack();
    void goForward();
    void reload();
    void goHome();
    void onNavigateClicked();
    void onServiceSelected(int index);
    void initBrowser();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildNavigationBar();
    QWidget *buildCardPage();
    QWidget *buildCard(int index, QWidget *parent);
    void showPageFullScreen(bool on);

    QWidget *navigationBar_ = nullptr;
    QComboBox *serviceBox_ = nullptr;
    QLineEdit *addressEdit_ = nullptr;
    QStackedWidget *pages_ = nullptr;
    QWidget *browserHost_ = nullptr;
    QLabel *overlay_ = nullptr;
    QLabel *status_ = nullptr;
    WebBrowserView *browser_ = nullptr;
    bool started_ = false;
    QString pendingUrl_;
};
