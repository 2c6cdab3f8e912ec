#pragma once

#include <QColor>
#include <QWidget>

// A round gauge of a recognition confidence in percent, with its grade under the number.
class ConfidenceGauge : public QWidget
{
    Q_OBJECT
public:
    explicit ConfidenceGauge(QWidget *parent = nullptr);

    void setValue(int percent); // clamped to 0..100
    int value() const { return value_; }

    // Shared with the subtitle history so that a line and the gauge agree.
    static QColor colourFor(int percent);
    static QString gradeFor(int percent);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int value_ = 0;
};
