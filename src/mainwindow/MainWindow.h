#pragma once

#include <QMainWindow>
#include <QSettings>
#include <QStringList>

class QStackedWidget;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);

    // The single way files reach the player: command line, second start, dialog, drops, lists.
    void openFiles(const QStringList &files);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildWidgetTree();
    void loadWindowState();

    QSettings settings_;
    QStackedWidget *mainStack_ = nullptr;
    QStringList pendingStartupFiles_;
};
