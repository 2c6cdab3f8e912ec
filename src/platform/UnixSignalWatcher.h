#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM and SIGINT into a Qt signal on the GUI thread. A desktop session ends its
// programs with SIGTERM; handling it lets the window close the normal way and save its state.
class UnixSignalWatcher : public QObject
{
    Q_OBJECT
public:
    explicit UnixSignalWatcher(QObject *parent = nullptr);
    ~UnixSignalWatcher() override;

signals:
    void terminationRequested(int signalNumber);

private:
    void onSignalPipeReadable();

    QSocketNotifier *notifier_ = nullptr;
};
