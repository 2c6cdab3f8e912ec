#pragma once

#include <QPoint>
#include <QWidget>

class QLabel;
class QPushButton;

// The frameless window's own title strip: logo, audio codec badge, file name, and the pin,
// minimize, maximize, fullscreen and close buttons. Window actions leave as signals; the main
// window performs them and reports the pin and fullscreen state back.
class TitleBar : public QWidget
{
    Q_OBJECT
public:
    explicit TitleBar(QWidget *parent = nullptr);

    // Shows the part after the last " — "; nothing when there is no separator.
    void setTitle(const QString &windowTitle);
    // Hidden for an empty codec.
    void setCodecBadge(const QString &codec);
    // Does not emit alwaysOnTopToggled.
    void setPinned(bool pinned);
    void setFullscreen(bool fullscreen);

    QString title() const { return title_; }
    bool isPinned() const { return pinned; }
    QLabel *codecBadge() const { return codecBadge_; }
    QLabel *titleLabel() const { return titleLabel_; }
    QPushButton *pinButton() const { return pinButton_; }
    QPushButton *maximizeButton() const { return maximizeButton_; }
    QPushButton *fullscreenButton() const { return fullscreenButton_; }

signals:
    void minimizeClicked();
    void maximizeClicked();
    void fullscreenClicked();
    void closeClicked();
    void alwaysOnTopToggled(bool pinned);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPushButton *makeWindowButton(const QString &iconPath, const QString &toolTip, const QString &hoverColour,
                                  int width = 46);
    void showPinState(bool pinned);
    void onPinToggled(bool checked);
    void elideTitle();

    QLabel *logoLabel_ = nullptr;
    QLabel *codecBadge_ = nullptr;
    QLabel *titleLabel_ = nullptr;
    QPushButton *pinButton_ = nullptr;
    QPushButton *minimizeButton_ = nullptr;
    QPushButton *maximizeButton_ = nullptr;
    QPushButton *fullscreenButton_ = nullptr;
    QPushButton *closeButton_ = nullptr;

    QString title_;
    bool pinned = false;
    bool dragging = false;
    QPoint dragOffset;
};
