#pragma once

#include "engine/RenderEnvironment.h"

#include <QColor>
#include <QImage>
#include <QWidget>

#include <optional>

class MpvCore;
class QLabel;
class QPainter;
class QTimer;
class VideoView;

// The video surface: owns the engine, shows its frames through one of two views (OpenGL, or the
// engine's software renderer painted as an image; the process picks one, see
// videoSurfaceForProcess), the idle logo while nothing plays and a caption for machine-made
// subtitles. Overlays are ordinary child widgets above the view.
class MpvWidget : public QWidget
{
    Q_OBJECT
public:
    struct CaptionBadge {
        QString text;
        QColor colour;
    };
    static constexpr int kCaptionDurationMs = 5000;

    // Without a kind, the one this process uses for every surface.
    explicit MpvWidget(QWidget *parent = nullptr, std::optional<VideoSurfaceKind> kind = std::nullopt);
    ~MpvWidget() override;

    MpvCore *core() const { return core_; }
    VideoSurfaceKind surfaceKind() const { return kind_; }
    // Initialises the engine now, while the window is still being built, and attaches the
    // render context as soon as the view can draw (at once in software, with the GL context
    // otherwise). A surface nobody started starts when first shown.
    void start();
    // The engine is up and its frames have somewhere to go: files can be loaded.
    bool isInitialized() const;
    void loadFile(const QString &path);
    void appendFile(const QString &path);
    void setLogoVisible(bool visible);
    bool isLogoVisible() const;
    void setOverlayText(const QString &text, int confidence);
    void clearOverlayText();
    QString overlayText() const { return overlayText_; }
    // The picture shown now, at physical pixel size, caption included.
    QImage grabFramebuffer();

    static CaptionBadge captionBadge(int confidence);

    // For the views.
    void onRenderContextReady();
    void paintCaption(QPainter &painter);

signals:
    void mpvInitialized();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createLogo();
    void centreLogo();
    void hookScreenChanges();
    void onScreenChanged();

    MpvCore *core_;
    VideoSurfaceKind kind_;
    VideoView *view_ = nullptr;
    bool started_ = false;
    bool screenHooked_ = false;
    bool logoWanted_ = true;
    QLabel *logoLabel_ = nullptr; // built when first shown
    QString overlayText_;
    int overlayConfidence_ = 0;
    QTimer *overlayTimer_ = nullptr;
};
