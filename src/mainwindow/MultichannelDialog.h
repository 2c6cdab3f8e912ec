#pragma once

#include <QDialog>
#include <QPointer>

class MpvCore;
class QSettings;

// Offered once per loaded file when surround sound plays through the shared output, where the
// desktop mixer may fold it down; switching keeps the choice for later sessions too.
class MultichannelDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kWidth = 460;
    static constexpr int kHeight = 230;
    static constexpr int kMinSurroundChannels = 6;

    MultichannelDialog(int channels, QSettings &settings, MpvCore *core, QWidget *parent = nullptr);

    // "5.1", "7.1", otherwise "<n>ch".
    static QString channelLabel(int channels);
    // audioExclusiveProperty: the engine's "audio-exclusive" text, empty when unavailable.
    static bool shouldSuggest(int channels, bool alreadyPrompted, const QString &audioExclusiveProperty);

private slots:
    void onSwitchToExclusive();

private:
    QSettings &settings_;
    QPointer<MpvCore> core_;
};
