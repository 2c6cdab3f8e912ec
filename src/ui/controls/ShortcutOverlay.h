#pragma once

#include <QPointer>
#include <QWidget>

// The keyboard guide over the whole video area. It only lists the keys (the main window handles
// them) and gets out of the way on the next key press or click.
class ShortcutOverlay : public QWidget
{
    Q_OBJECT
public:
    explicit ShortcutOverlay(QWidget *parent = nullptr);

    // Where the card is drawn, in this widget's coordinates, after fitting it to the area.
    QRectF cardRect() const;
    int columnCount() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Layout;
    Layout layoutFor(int columns) const;
    Layout bestLayout() const;

    QPointer<QWidget> focusBefore_;
};
