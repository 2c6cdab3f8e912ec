#pragma once

#include <QSettings>
#include <QWidget>

class MpvCore;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

// The high-end video page: a display calibration (3D LUT from a .cube file, run on the GPU as
// a user shader) and the target colour space. Without an engine nothing is applied.
class VideoAdvancedWidget : public QWidget
{
    Q_OBJECT
public:
    VideoAdvancedWidget(MpvCore *core, QWidget *parent = nullptr);

    // Right after the engine's initialize(): the saved colour space and, when it was on, the
    // saved LUT. Earlier, the engine drops what it is told.
    static void applySaved(MpvCore *engine);

    QString lutPath() const { return lutPath_; }
    QString statusText() const;
    // What a choice in the file dialog does.
    void setLutPath(const QString &path);

signals:
    // enabled only once frames were drawn with the LUT; disabled also when the GPU refused it.
    void lutChanged(bool enabled, const QString &lutPath);

public slots:
    void applyLut();
    void disableLut();
    void loadSettings();
    void saveSettings();
    void onBrowseLut();
    void onLutToggled(bool checked);
    void onColorspaceChanged(int index);

private:
    enum class Tone { Neutral, Good, Bad };
    void setStatus(const QString &text, Tone tone);
    void setChecked(bool checked);
    void removeShader();
    void onShaderRunning();
    void onShaderFailed();
    void turnOffAfterFailure(const QString &status);

    MpvCore *core_;
    QSettings settings_;
    QString lutPath_;
    QLabel *fileLabel_ = nullptr;
    QPushButton *browseButton_ = nullptr;
    QCheckBox *lutBox_ = nullptr;
    QComboBox *colorspaceBox_ = nullptr;
    QLabel *statusLabel_ = nullptr;
};
