#include "ui/chapters/ChapterTimeline.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace {
const QColor kTrack(42, 42, 42);
const QColor kTeal(0, 200, 180);
const QColor kChapterMark(204, 204, 204);
const QColor kBookmarkMark(240, 192, 64);
const QColor kText(170, 170, 170);
constexpr int kTrackY = 38;
constexpr int kTrackHeight = 6;
constexpr int kMarkRadius = 5;
constexpr int kLabelWidth = 80;
constexpr QSize kPreview(132, 60);

QFont panelFont()
{
    QFont font(QStringLiteral("Malgun Gothic"));
    font.setFamilies({QStringLiteral("Malgun Gothic"), QStringLiteral("Noto Sans CJK KR")});
    font.setPointSize(9);
    return font;
}
} // namespace

ChapterTimeline::ChapterTimeline(QWidget *parent)
    : QWidget(parent)
{
    setMinimumHeight(kPreview.height() + 30); // room for the hover card
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
}

void ChapterTimeline::setEntries(const QList<ChapterEntry> &entries)
{
    entries_ = entries;
    hoverEntry_ = -1;
    update();
}

void ChapterTimeline::setDuration(double seconds)
{
    duration_ = std::max(0.0, seconds);
    update();
}

void ChapterTimeline::setPosition(double seconds)
{
    // Only a move of a whole pixel is worth a repaint; positions arrive many times a second.
    const int before = xOf(position_);
    position_ = seconds;
    if (xOf(position_) != before)
        update();
}

double ChapterTimeline::timeAt(int x, int width, double duration)
{
    const int track = width - 2 * kMargin;
    if (duration <= 0 || track <= 0)
        return 0.0;
    return std::clamp(double(x - kMargin) / track * duration, 0.0, duration);
}

int ChapterTimeline::xOf(double seconds) const
{
    const int track = std::max(0, width() - 2 * kMargin);
    if (duration_ <= 0)
        return kMargin;
    return kMargin + int(std::clamp(seconds / duration_, 0.0, 1.0) * track);
}

void ChapterTimeline::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && duration_ > 0)
        emit seekRequested(timeAt(int(event->position().x()), width(), duration_));
}

void ChapterTimeline::mouseMoveEvent(QMouseEvent *event)
{
    hoverX_ = int(event->position().x());
    hoverEntry_ = ChapterEntries::entryAt(entries_, timeAt(hoverX_, width(), duration_));
    update();
}

void ChapterTimeline::leaveEvent(QEvent *)
{
    hoverX_ = -1;
    hoverEntry_ = -1;
    update();
}

void ChapterTimeline::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(panelFont());
    const int track = std::max(0, width() - 2 * kMargin);
    painter.fillRect(kMargin, kTrackY, track, kTrackHeight, kTrack);
    painter.fillRect(kMargin, kTrackY, xOf(position_) - kMargin, kTrackHeight, kTeal);

    for (int i = 0; i < entries_.size(); ++i) {
        const ChapterEntry &entry = entries_.at(i);
        const int x = xOf(entry.time);
        painter.setPen(Qt::NoPen);
        painter.setBrush(entry.isBookmark ? kBookmarkMark : kChapterMark);
        painter.drawEllipse(QPoint(x, kTrackY + kTrackHeight / 2), kMarkRadius, kMarkRadius);
        painter.setPen(i == hoverEntry_ ? kTeal : kText);
        // Centred on the marker, but kept inside the widget at either end of the track.
        const int textLeft = std::clamp(x - kLabelWidth / 2, 0, std::max(0, width() - kLabelWidth));
        painter.drawText(QRect(textLeft, 2, kLabelWidth, 14), Qt::AlignCenter,
                         painter.fontMetrics().elidedText(entry.title, Qt::ElideRight, kLabelWidth));
        painter.drawText(QRect(textLeft, kTrackY + kTrackHeight + 4, kLabelWidth, 14), Qt::AlignCenter,
                         ChapterEntries::timeText(entry.time));
    }

    const int positionX = xOf(position_);
    painter.setPen(QPen(kTeal, 2));
    painter.drawLine(positionX, 34, positionX, 48);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kTeal);
    painter.drawEllipse(QPointF(positionX, 34), 3.5, 3.5);

    if (hoverX_ >= 0 && hoverEntry_ >= 0)
        paintHoverCard(painter);
}

void ChapterTimeline::paintHoverCard(QPainter &painter) const
{
    const ChapterEntry &entry = entries_.at(hoverEntry_);
    const QSize card(kPreview.width() + 8, kPreview.height() + 26);
    // Beside the pointer, not over it: the marker pointed at stays visible.
    const int gap = 12;
    const int left = hoverX_ + gap + card.width() <= width() ? hoverX_ + gap : std::max(0, hoverX_ - gap - card.width());
    const QRect box(QPoint(left, 0), card);
    painter.setPen(QColor(60, 60, 60));
    painter.setBrush(QColor(20, 20, 20, 235));
    painter.drawRoundedRect(box, 4, 4);
    const QRect preview(box.left() + 4, box.top() + 4, kPreview.width(), kPreview.height());
    if (entry.thumbnail.isNull())
        painter.fillRect(preview, QColor(34, 34, 34));
    else
        painter.drawPixmap(preview, entry.thumbnail);
    painter.setPen(Qt::white);
    painter.drawText(QRect(preview.left(), preview.bottom() + 3, kPreview.width(), 16), Qt::AlignLeft | Qt::AlignVCenter,
                     painter.fontMetrics().elidedText(ChapterEntries::timeText(entry.time) + QStringLiteral("  ") + entry.title,
                                                      Qt::ElideRight, kPreview.width()));
}
