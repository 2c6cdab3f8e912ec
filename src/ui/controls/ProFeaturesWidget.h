#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <functional>

class MpvCore;
class QLabel;
class QProcess;
class QPushButton;
class QSlider;
class QTabWidget;

// The strip of fine controls the main window shows and hides: A-B repeat with clip export through
// ffmpeg, speed presets, audio and subtitle delay, picture filters and a screenshot button.
// Sliders and presets leave as signals that connectToCore() wires to the engine; the A-B points,
// the export and the screenshot use the engine directly.
class ProFeaturesWidget : public QWidget
{
    Q_OBJECT
public:
    // Gets the proposed output path, returns the chosen one or an empty string for "cancel".
    using ClipPathChooser = std::function<QString(const QString &proposedPath)>;
    using Notifier = std::function<void(QMessageBox::Icon icon, const QString &title, const QString &text)>;

    explicit ProFeaturesWidget(QWidget *parent = nullptr);
    ~ProFeaturesWidget() override;

    void connectToCore(MpvCore *core);

    // Further pages go after "전문 기능"; the count includes it.
    void addFeatureTab(QWidget *page, const QString &title);
    int featureTabCount() const;

    double speed() const { return speed_; }
    double pointA() const { return pointA_; }
    double pointB() const { return pointB_; }
    int audioDelayMs() const;
    int subDelayMs() const;
    // Move the slider (clamped to its range), which updates the label and emits like a drag.
    void setAudioDelayMs(int ms);
    void setSubDelayMs(int ms);

    // Stand-ins for the save dialog and the message boxes; the defaults are the modal Qt ones.
    void setClipPathChooser(ClipPathChooser chooser);
    void setNotifier(Notifier notifier);

    // "ffmpeg" beside the executable when present, else "ffmpeg" from the search path.
    static QString ffmpegProgram();
    static QStringList clipArguments(double a, double b, const QString &source, const QString &output);
    // In the source's folder: its name up to the first dot, then "_clip.mp4".
    static QString proposedClipPath(const QString &source);

signals:
    void closeRequested();
    void speedChanged(double speed);
    void audioDelayChanged(double ms);
    void subDelayChanged(double ms);
    void brightnessChanged(int value);
    void contrastChanged(int value);
    void saturationChanged(int value);
    void gammaChanged(int value);
    // After ffmpeg ended (or could not start) and the user was told.
    void clipExportFinished(bool ok, const QString &outputPath);

public slots:
    void onSpeedPreset(double speed);
    void onAudioDelaySlider(int ms);
    void onSubDelaySlider(int ms);
    void setPointA();
    void setPointB();
    void clearAB();
    void exportClip();
    void takeScreenshot();
    void resetPictureFilters();

private:
    QWidget *buildCloseSection();
    QWidget *buildAbSection();
    QWidget *buildSpeedSection();
    QWidget *buildDelaySection(const QString &caption, QSlider *&slider, QLabel *&label, int range,
                               const QString &resetTip);
    QWidget *buildPictureSection();
    QWidget *buildScreenshotSection();

    bool hasEngine() const;
    void showRange();
    void finishExport(bool ok, const QString &output);
    void notify(QMessageBox::Icon icon, const QString &title, const QString &text);

    QPointer<MpvCore> core_;
    double pointA_ = -1.0;
    double pointB_ = -1.0;
    double speed_ = 1.0;

    QTabWidget *tabs_ = nullptr;
    QPushButton *buttonA_ = nullptr;
    QPushButton *buttonB_ = nullptr;
    QPushButton *exportButton_ = nullptr;
    QLabel *abLabel_ = nullptr;
    QLabel *speedLabel_ = nullptr;
    QSlider *audioDelaySlider_ = nullptr;
    QLabel *audioDelayLabel_ = nullptr;
    QSlider *subDelaySlider_ = nullptr;
    QLabel *subDelayLabel_ = nullptr;
    QList<QSlider *> pictureSliders_;

    QProcess *exportProcess_ = nullptr;
    ClipPathChooser chooseClipPath_;
    Notifier notifier_;
};
