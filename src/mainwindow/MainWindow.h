#pragma once

#include <QMainWindow>
#include <QSettings>
#include <QStringList>

class MpvWidget;
class QStackedWidget;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);

    // The single way files reach the player: command line, second start, dialog, drops, lists.
    void openFiles(const QStringList &files);
    MpvWidget *videoSurface() const { return videoSurface_; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildWidgetTree();
    void loadWindowState();
    void onMpvInitialized();

    QSettings settings_;
    QStackedWidget *mainStack_ = nullptr;
    QStackedWidget *contentStack_ = nullptr;
    MpvWidget *videoSurface_ = nullptr;
    QString currentFile;
    QStringList pendingStartupFiles_;
};
