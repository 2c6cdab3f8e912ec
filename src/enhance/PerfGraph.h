#pragma once

#include <QList>
#include <QString>
#include <QWidget>

// A small strip chart of one measured quantity with its latest value in the caption. A
// quantity that cannot be measured here shows "—" and no line.
class PerfGraph : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kHistoryLength = 60;

    // `fullScale`: the value drawn at the top, raised when a larger one arrives.
    PerfGraph(const QString &title, double fullScale, QWidget *parent = nullptr);

    // One new measurement, with the text the caption shows for it.
    void addValue(double value, const QString &valueText);
    // Nothing to measure: the caption shows "—" and the line is dropped.
    void setUnavailable();

    QString caption() const;
    const QList<double> &history() const { return history_; }
    // The line's points for a graph of `size` (exposed for the geometry rules).
    static QList<QPointF> linePoints(const QList<double> &history, double fullScale, QSize size);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString title_;
    QString valueText_;
    double fullScale_;
    QList<double> history_;
};
