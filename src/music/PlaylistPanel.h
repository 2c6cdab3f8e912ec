#pragma once

#include <QStringList>
#include <QWidget>

class QLineEdit;
class QListWidget;

// The playlist page of the music view: the track texts under a live search field. The panel
// plays nothing; a double-clicked row leaves as trackSelected and the host decides.
class PlaylistPanel : public QWidget
{
    Q_OBJECT
public:
    explicit PlaylistPanel(QWidget *parent = nullptr);

    // Replaces the rows; the current search still applies to the new ones.
    void setTracks(const QStringList &tracks);
    void addTrack(const QString &track);
    void clear();
    // Marks the playing row (-1 for none) without emitting anything.
    void setCurrentIndex(int index);
    int count() const;
    // The rows' texts, top to bottom, hidden ones too.
    QStringList tracks() const;
    bool isRowShown(int index) const;

signals:
    void trackSelected(int index);

public slots:
    void onSearchTextChanged(const QString &text);

private:
    void applySearch(int row);

    QLineEdit *search_ = nullptr;
    QListWidget *list_ = nullptr;
};
