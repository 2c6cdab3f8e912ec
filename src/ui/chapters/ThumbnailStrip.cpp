#include "ui/chapters/ThumbnailStrip.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {
constexpr int kEdge = 4; // left of the first card when the row does not fit
constexpr int kStripHeight = 96;
const QColor kPlaceholder(34, 34, 34);
const QColor kTeal(0, 200, 180);
} // namespace

ThumbnailStrip::ThumbnailStrip(QWidget *parent)
    : QWidget(parent)
{
    setFixedHeight(kStripHeight);
    setCursor(Qt::PointingHandCursor);
}

void ThumbnailStrip::setEntries(const QList<ChapterEntry> &entries)
{
    entries_ = entries;
    current_ = -1;
    setMinimumWidth(int(entries_.size()) * kCardPitch + 2 * kEdge);
    updateGeometry();
    update();
}

void ThumbnailStrip::setCurrent(int index)
{
    if (index == current_)
        return;
    current_ = index;
    update();
}

int ThumbnailStrip::firstCardX(int count, int width)
{
    return std::max(kEdge, (width - count * kCardPitch + (kCardPitch - kCardWidth)) / 2);
}

int ThumbnailStrip::cardAt(int x, int count, int width)
{
    const int offset = x - firstCardX(count, width);
    if (offset < 0)
        return -1;
    const int index = offset / kCardPitch;
    return index < count && offset % kCardPitch < kCardWidth ? index : -1;
}

QSize ThumbnailStrip::sizeHint() const
{
    return {minimumWidth(), kStripHeight};
}

void ThumbnailStrip::mousePressEvent(QMouseEvent *event)
{
    const int index = cardAt(int(event->position().x()), int(entries_.size()), width());
    if (event->button() == Qt::LeftButton && index >= 0)
        emit chapterClicked(index);
}

void ThumbnailStrip::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    QFont font(QStringLiteral("Malgun Gothic"));
    font.setFamilies({QStringLiteral("Malgun Gothic"), QStringLiteral("Noto Sans CJK KR")});
    font.setPointSize(8);
    painter.setFont(font);
    const int start = firstCardX(int(entries_.size()), width());
    for (int i = 0; i < entries_.size(); ++i) {
        const QRect image(start + i * kCardPitch, 2, kImageSize.width(), kImageSize.height());
        if (!event->rect().intersects(image.adjusted(-2, -2, 2, 26)))
            continue; // many cards: only the visible ones are drawn
        const ChapterEntry &entry = entries_.at(i);
        if (entry.thumbnail.isNull())
            painter.fillRect(image, kPlaceholder);
        else
            painter.drawPixmap(image, entry.thumbnail);
        if (i == current_) {
            painter.setPen(QPen(kTeal, 2));
            painter.drawRect(image.adjusted(-1, -1, 1, 1));
        }
        painter.setPen(entry.isBookmark ? QColor(240, 192, 64) : QColor(200, 200, 200));
        const QString text = ChapterEntries::timeText(entry.time) + QLatin1Char(' ') + entry.title;
        painter.drawText(QRect(image.left(), 72, kCardWidth, 20), Qt::AlignLeft | Qt::AlignVCenter,
                         painter.fontMetrics().elidedText(text, Qt::ElideRight, kCardWidth));
    }
}
