#include "music/MusicCanvas.h"

#include "music/MusicLook.h"
#include "music/MusicViewHelpers.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {
constexpr float kPeakFloor = 0.002f;
constexpr float kPeakFall = 0.92f;
constexpr float kPeakShown = 0.01f;
} // namespace

MusicCanvas::MusicCanvas()
    : accent_(MusicLook::kTealColour)
    , peaks_(kPeakCount, 0.0f)
{
}

void MusicCanvas::setCover(const QPixmap &cover)
{
    if (cover.isNull()) {
        disc_ = QPixmap();
        blurred_ = QImage();
        accent_ = MusicLook::kTealColour;
    } else {
        disc_ = cover.scaled(kDiscRect.size(), Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
        const QImage image = cover.toImage();
        blurred_ = MusicView::blurredCover(image);
        accent_ = MusicView::accentColourOf(image);
    }
    resize(size_);
}

void MusicCanvas::resize(const QSize &size)
{
    size_ = size;
    if (blurred_.isNull() || size.isEmpty()) {
        backdrop_ = QPixmap();
        return;
    }
    backdrop_ = QPixmap::fromImage(blurred_.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    QPainter painter(&backdrop_);
    // Darkened for the texts, then once more for the disc to stand out: both in the cache.
    painter.fillRect(backdrop_.rect(), QColor(0, 0, 0, 160));
    painter.fillRect(backdrop_.rect(), QColor(0, 0, 0, 60));
}

void MusicCanvas::turn(double degrees)
{
    angle_ += degrees;
    if (angle_ >= 360.0)
        angle_ -= 360.0;
}

void MusicCanvas::setLevels(const QList<float> &levels)
{
    levels_ = levels;
    const qsizetype marked = std::min<qsizetype>(levels.size(), kPeakCount);
    for (qsizetype i = 0; i < marked; ++i)
        peaks_[i] = std::max(peaks_[i], levels[i]);
}

bool MusicCanvas::peaksFalling() const
{
    return std::any_of(peaks_.cbegin(), peaks_.cend(), [](float peak) { return peak > kPeakFloor; });
}

bool MusicCanvas::fallPeaks()
{
    bool changed = false;
    for (float &peak : peaks_) {
        if (peak > kPeakFloor) {
            peak *= kPeakFall;
            changed = true;
        }
    }
    return changed;
}

void MusicCanvas::paint(QPainter &painter, const QRect &dirty) const
{
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    if (backdrop_.isNull())
        painter.fillRect(dirty, QColor(0x0e, 0x0e, 0x0e));
    else
        painter.drawPixmap(dirty.topLeft(), backdrop_, dirty);
    if (dirty.intersects(kDiscRect))
        paintDisc(painter);
    if (dirty.intersects(kSpectrumRect))
        paintSpectrum(painter);
}

void MusicCanvas::paintDisc(QPainter &painter) const
{
    painter.save();
    QPainterPath circle;
    circle.addEllipse(QRectF(kDiscRect));
    painter.setClipPath(circle, Qt::IntersectClip);
    const QPointF centre = QRectF(kDiscRect).center();
    if (disc_.isNull()) {
        painter.fillRect(kDiscRect, QColor(30, 30, 30));
        QFont font(QStringLiteral("Segoe UI"));
        font.setPointSize(48);
        painter.setFont(font);
        painter.setPen(QColor(60, 60, 60));
        painter.drawText(kDiscRect, Qt::AlignCenter, QStringLiteral("♪"));
    } else {
        painter.translate(centre);
        painter.rotate(angle_);
        painter.translate(-centre);
        QRectF target(QPointF(0, 0), QSizeF(disc_.size()));
        target.moveCenter(centre);
        painter.drawPixmap(target, disc_, QRectF(disc_.rect()));
    }
    painter.restore();

    painter.setPen(QPen(accent_, 2.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QRectF(kDiscRect).adjusted(1, 1, -1, -1));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(20, 20, 20));
    painter.drawEllipse(centre, 6.0, 6.0);
    painter.setBrush(accent_);
    painter.drawEllipse(centre, 3.0, 3.0);
}

void MusicCanvas::paintSpectrum(QPainter &painter) const
{
    const qsizetype n = levels_.size();
    if (n == 0)
        return;
    const QRectF area(kSpectrumRect);
    const double barWidth = area.width() / double(n);
    painter.setPen(Qt::NoPen);
    for (qsizetype i = 0; i < n; ++i) {
        const double level = std::clamp(double(levels_[i]), 0.0, 1.0);
        const double height = level * area.height();
        const double x = area.left() + i * barWidth + 1;
        const double fraction = double(i) / double(n);
        painter.setBrush(QColor(0, int(std::round(120 + 80 * fraction)), int(std::round(200 - 20 * fraction)), 180));
        painter.drawRect(QRectF(x, area.bottom() - height, std::max(barWidth - 2, 0.5), height));
        if (i < kPeakCount && peaks_[i] > kPeakShown) {
            QColor mark = accent_;
            mark.setAlpha(200);
            painter.setBrush(mark);
            const double peakY = area.bottom() - std::min(double(peaks_[i]), 1.0) * area.height();
            painter.drawRect(QRectF(x, peakY - 2, std::max(barWidth - 2, 0.5), 2));
        }
    }
}
