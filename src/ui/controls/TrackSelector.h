#pragma once

#include <QWidget>

class MpvCore;
class QComboBox;

// Audio and subtitle track lists for the control bar. The lists mirror the engine's track list;
// the user's choice goes straight to the engine's "aid" / "sid".
class TrackSelector : public QWidget
{
    Q_OBJECT
public:
    explicit TrackSelector(QWidget *parent = nullptr);

    void connectToCore(MpvCore *core);

    QComboBox *audioList() const { return audioList_; }
    QComboBox *subtitleList() const { return subtitleList_; }

public slots:
    void onAudioTrackChanged(int index);
    void onSubTrackChanged(int index);
    void onTracksChanged();

private:
    void showFullTextAsToolTip(QComboBox *list);

    MpvCore *core_ = nullptr;
    QComboBox *audioList_ = nullptr;
    QComboBox *subtitleList_ = nullptr;
    bool updating = false;
};
