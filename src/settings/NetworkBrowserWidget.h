#pragma once

#include <QSettings>
#include <QWidget>

class CastController;
class CastScan;
class MpvCore;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class SmbMounter;

// The "네트워크" page of the pro panel: open a file on a network share (UNC or smb:// path,
// with favourites), show 360° video through a projection, and find and address a cast device.
class NetworkBrowserWidget : public QWidget
{
    Q_OBJECT
public:
    NetworkBrowserWidget(MpvCore *core, QWidget *parent = nullptr);

    // "\\server\share\file" → "smb://server/share/file"; any other text as it is.
    static QString toSmbUrl(const QString &path);

    QString smbStatusText() const;
    QString vr360StatusText() const;
    QString castStatusText() const;

signals:
    // A local path (an smb:// address has been mounted first) or an address the engine reads.
    void openFileRequested(const QString &path);
    void castRequested(const QString &ip);

public slots:
    void loadSettings();
    void saveSettings();
    void onSmbConnect();
    void onSmbFavoriteAdd();
    void onSmbFavoriteOpen(QListWidgetItem *item);
    void on360Toggle(bool on);
    void onCastStart();
    void onCastStop();
    void discoverCastDevices();

private:
    QWidget *createSmbTab();
    QWidget *create360Tab();
    QWidget *createCastTab();
    void openPath(const QString &path);
    void onProjectionChanged(int index);
    void setVrStatus(const QString &text, const char *colour);

    MpvCore *core_;
    QSettings settings_;
    SmbMounter *mounter_ = nullptr;
    CastScan *scan_ = nullptr;
    CastController *cast_ = nullptr;
    QLineEdit *pathEdit_ = nullptr;
    QListWidget *favorites_ = nullptr;
    QLabel *smbStatus_ = nullptr;
    QCheckBox *vrCheck_ = nullptr;
    QComboBox *projectionBox_ = nullptr;
    QLabel *vrStatus_ = nullptr;
    QLineEdit *castIpEdit_ = nullptr;
    QLabel *castStatus_ = nullptr;
    QString castDevice_; // as typed, for the status lines
};
