#include "enhance/PerfGraph.h"

#include <QPainter>

#include <algorithm>

namespace {
const QColor kTeal(0, 200, 180);
} // namespace

PerfGraph::PerfGraph(const QString &title, double fullScale, QWidget *parent)
    : QWidget(parent)
    , title_(title)
    , valueText_(QStringLiteral("—"))
    , fullScale_(fullScale)
{
    setMinimumHeight(70);
}

void PerfGraph::addValue(double value, const QString &valueText)
{
    history_.append(value);
    if (history_.size() > kHistoryLength)
        history_.removeFirst();
    valueText_ = valueText;
    update();
}

void PerfGraph::setUnavailable()
{
    if (history_.isEmpty() && valueText_ == QStringLiteral("—"))
        return;
    history_.clear();
    valueText_ = QStringLiteral("—");
    update();
}

QString PerfGraph::caption() const
{
    return title_ + QStringLiteral("  ") + valueText_;
}

QList<QPointF> PerfGraph::linePoints(const QList<double> &history, double fullScale, QSize size)
{
    QList<QPointF> points;
    if (history.isEmpty())
        return points;
    const double top = std::max({fullScale, *std::max_element(history.begin(), history.end()), 1e-9});
    const double span = size.width() - 16;
    // A single value is a point at the left edge, not a division by zero.
    const double step = history.size() > 1 ? span / double(history.size() - 1) : 0.0;
    for (int i = 0; i < history.size(); ++i)
        points << QPointF(8 + i * step, (size.height() - 6) - history.at(i) / top * (size.height() - 36));
    return points;
}

void PerfGraph::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), QColor(0x1a, 0x1a, 0x1a));
    painter.setPen(QPen(kTeal, 1));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    QFont font(QStringLiteral("Consolas"));
    font.setFamilies({QStringLiteral("Consolas"), QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Noto Sans CJK KR")});
    font.setPointSize(11);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(QRect(8, 6, width() - 16, 20), Qt::AlignLeft | Qt::AlignVCenter, caption());
    const QList<QPointF> points = linePoints(history_, fullScale_, size());
    if (points.size() > 1) {
        painter.setPen(QPen(kTeal, 1.5));
        painter.drawPolyline(points.constData(), int(points.size()));
    }
}
