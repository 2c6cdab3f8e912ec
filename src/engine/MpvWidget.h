#pragma once

#include <QColor>
#include <QOpenGLWidget>

class MpvCore;
class QLabel;
class QTimer;
struct mpv_render_context;

// The video surface: libmpv draws each frame into this widget's framebuffer through the render
// API. Shows the idle logo while nothing plays and a caption for machine-made subtitles.
class MpvWidget : public QOpenGLWidget
{
    Q_OBJECT
public:
    struct CaptionBadge {
        QString text;
        QColor colour;
    };
    static constexpr int kCaptionDurationMs = 5000;

    explicit MpvWidget(QWidget *parent = nullptr);
    ~MpvWidget() override;

    MpvCore *core() const { return core_; }
    bool isInitialized() const;
    void loadFile(const QString &path);
    void appendFile(const QString &path);
    void setLogoVisible(bool visible);
    bool isLogoVisible() const;
    void setOverlayText(const QString &text, int confidence);
    void clearOverlayText();
    QString overlayText() const { return overlayText_; }

    static CaptionBadge captionBadge(int confidence);

signals:
    void mpvInitialized();

public slots:
    void maybeUpdate();

protected:
    void initializeGL() override;
    void resizeGL(int width, int height) override;
    void paintGL() override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    static void *getProcAddress(void *context, const char *name);
    static void onRenderUpdate(void *context);

    void createLogo();
    void centreLogo();
    void hookScreenChanges();
    void onScreenChanged();
    void paintCaption();
    void renderFrame();
    void renderWaitingFrame();

    MpvCore *core_;
    mpv_render_context *renderContext_ = nullptr;
    bool rendering_ = false;
    bool screenHooked_ = false;
    QLabel *logoLabel_ = nullptr;
    QString overlayText_;
    int overlayConfidence_ = 0;
    QTimer *overlayTimer_ = nullptr;
};
