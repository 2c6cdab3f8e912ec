#pragma once

#include "mainwindow/PlaybackHistory.h"

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
    PlaybackHistory &history() { return history_; }
    void updateWindowTitle(const QString &name);

public slots:
    void onFileLoaded(const QString &path);
    void onPlaybackEnded();
    void onPositionChanged(double seconds);
    void onDurationChanged(double seconds);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildWidgetTree();
    void connectEngine();
    void loadWindowState();
    void loadAudioSettings();
    void onMpvInitialized();
    void saveResumePosition();
    void restoreResumePosition(const QString &path);

    QSettings settings_;
    PlaybackHistory history_{settings_};
    QStackedWidget *mainStack_ = nullptr;
    QStackedWidget *contentStack_ = nullptr;
    MpvWidget *videoSurface_ = nullptr;
    QString currentFile;
    double position_ = 0.0;
    double duration_ = 0.0;
    QStringList pendingStartupFiles_;
};
