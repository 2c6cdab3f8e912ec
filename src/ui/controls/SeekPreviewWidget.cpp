#include "ui/controls/SeekPreviewWidget.h"

#include <QFontMetrics>
#include <QPainter>

namespace {
constexpr int kPadding = 4;
constexpr int kTextHeight = 20;
constexpr int kGap = 8; // between the time and the chapter title
// A card without a picture is never narrower than this, so short times do not look lost.
constexpr int kMinimumWidth = 64;
constexpr int kMaximumTitleWidth = 240;

const QColor kBackground(13, 13, 13, 235);  // the bar's #0d0d0d, a little see-through
const QColor kBorder(0x2c, 0x2c, 0x2c);     // the seek groove's colour
const QColor kPlaceholder(0x1a, 0x1a, 0x1a);
const QColor kTimeColour(0xe8, 0xe8, 0xe8);
const QColor kChapterColour(0x4f, 0xc3, 0xf7); // the player's accent

QFont timeFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Consolas"), QStringLiteral("DejaVu Sans Mono"), QStringLiteral("Noto Sans CJK KR")});
    font.setPixelSize(12);
    font.setWeight(QFont::DemiBold);
    return font;
}

QFont titleFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Malgun Gothic"), QStringLiteral("Segoe UI"), QStringLiteral("Noto Sans CJK KR")});
    font.setPixelSize(11);
    return font;
}
} // namespace

SeekPreviewWidget::SeekPreviewWidget(QWidget *parent) : QWidget(parent)
{
    // The pointer stays the slider's: the card never takes a hover or a click from it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void SeekPreviewWidget::setMoment(const QString &timeText, const QString &chapterTitle)
{
    if (timeText == timeText_ && chapterTitle == chapterTitle_)
        return;
    timeText_ = timeText;
    chapterTitle_ = chapterTitle;
    fitSize();
    update();
}

void SeekPreviewWidget::setPictureArea(const QSize &area)
{
    if (area == area_)
        return;
    area_ = area;
    if (area_.isEmpty())
        picture_ = {};
    fitSize();
    update();
}

void SeekPreviewWidget::setPicture(const QImage &picture, double seconds)
{
    if (picture.cacheKey() == picture_.cacheKey() && seconds == pictureSeconds_)
        return;
    picture_ = picture;
    pictureSeconds_ = seconds;
    announced_ = picture_.isNull();
    update(pictureRect());
}

QRect SeekPreviewWidget::pictureRect() const
{
    if (area_.isEmpty())
        return {};
    return {QPoint((width() - area_.width()) / 2, kPadding), area_};
}

void SeekPreviewWidget::fitSize()
{
    const int timeWidth = QFontMetrics(timeFont()).horizontalAdvance(timeText_);
    const int titleWidth = chapterTitle_.isEmpty()
        ? 0
        : kGap + std::min(QFontMetrics(titleFont()).horizontalAdvance(chapterTitle_), kMaximumTitleWidth);
    const int textWidth = timeWidth + titleWidth + 2 * kPadding + 4;
    const int width = std::max({area_.width() + 2 * kPadding, textWidth, kMinimumWidth});
    const int height = (area_.isEmpty() ? kPadding : area_.height() + 2 * kPadding) + kTextHeight - 2;
    resize(width, height);
}

void SeekPreviewWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(kBorder);
    painter.setBrush(kBackground);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    painter.setRenderHint(QPainter::Antialiasing, false);

    const QRect pictureArea = pictureRect();
    if (!pictureArea.isEmpty()) {
        if (picture_.isNull())
            painter.fillRect(pictureArea, kPlaceholder);
        else
            painter.drawImage(pictureArea, picture_);
    }

    // The time, centred under the picture with the chapter title beside it.
    const QFontMetrics timeMetrics(timeFont());
    const QFontMetrics titleMetrics(titleFont());
    const int timeWidth = timeMetrics.horizontalAdvance(timeText_);
    const QString title = titleMetrics.elidedText(chapterTitle_, Qt::ElideRight,
                                                  std::min(kMaximumTitleWidth, width() - timeWidth - kGap - 2 * kPadding));
    const int titleWidth = title.isEmpty() ? 0 : kGap + titleMetrics.horizontalAdvance(title);
    const int textTop = pictureArea.isEmpty() ? kPadding / 2 : pictureArea.bottom() + 1;
    const int left = (width() - timeWidth - titleWidth) / 2;
    const QRect line(0, textTop, width(), height() - textTop);
    painter.setFont(timeFont());
    painter.setPen(kTimeColour);
    painter.drawText(line.adjusted(left, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, timeText_);
    if (!title.isEmpty()) {
        painter.setFont(titleFont());
        painter.setPen(kChapterColour);
        painter.drawText(line.adjusted(left + timeWidth + kGap, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, title);
    }

    if (!announced_) {
        announced_ = true;
        emit pictureShown(pictureSeconds_);
    }
}
