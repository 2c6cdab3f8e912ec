#pragma once

#include "ui/multiview/MultiViewLayout.h"

#include <QHash>
#include <QList>
#include <QWidget>

class MpvWidget;

// Up to four videos at once: the player's own surface and up to three more, each with an engine
// of its own. The extra surfaces start muted, pause while hidden and stop when the view goes
// back to a single video; a file that arrives before a new surface's engine is up waits for it.
class MultiViewWidget : public QWidget
{
    Q_OBJECT
public:
    MultiViewWidget(MpvWidget *mainSurface, QWidget *parent = nullptr);

    MultiViewLayout currentLayout() const { return layout_; }
    const QList<MpvWidget *> &secondarySurfaces() const { return secondaries_; }
    // Puts the player's surface into this view; the host takes it back when the view closes.
    void adoptMainSurface();

signals:
    void layoutChanged(MultiViewLayout layout);
    void secondaryFileRequested();

public slots:
    void setLayout(MultiViewLayout layout);
    void loadSecondaryFile(const QString &path);
    void closeSecondary();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    MpvWidget *addSecondary();
    MpvWidget *surfaceForNextFile() const;
    void playIn(MpvWidget *surface, const QString &path);
    void setShown(MpvWidget *surface, bool shown);
    void stop(MpvWidget *surface);
    void relayout();

    MpvWidget *main_ = nullptr;
    QWidget *bar_ = nullptr;
    QList<MpvWidget *> secondaries_;
    QHash<MpvWidget *, QString> files_;   // what each extra surface plays (or is about to)
    QHash<MpvWidget *, QString> waiting_; // files for engines that are not up yet
    MultiViewLayout layout_ = MultiViewLayout::Single;
};
