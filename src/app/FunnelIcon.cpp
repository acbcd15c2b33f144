#include "FunnelIcon.h"

#include "Fraction.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

// The artwork's own box (y grows downwards).
constexpr qreal artX = 26.5;
constexpr qreal artY = 20.5;
constexpr qreal artW = 87;
constexpr qreal artH = 91.5;

} // namespace

void FunnelIcon::paint(QPainter& painter, const QRectF& rect, const QColor& color) {
    const qreal w = rect.width();
    const qreal h = rect.height();
    const qreal margin = std::min(w, h) / 18.0;
    const qreal s = std::min((w - 2 * margin) / artW, (h - 2 * margin) / artH);
    if (s <= 0)
        return;
    const qreal ox = rect.left() + (w - artW * s) / 2;
    const qreal oy = rect.top() + (h - artH * s) / 2;
    const auto at = [&](qreal x, qreal y) { return QPointF(ox + s * (x - artX), oy + s * (y - artY)); };

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(color, 15 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);

    painter.setOpacity(0.5);
    painter.drawLine(at(106, 28), at(70, 70));

    painter.setOpacity(1.0);
    painter.drawLine(at(34, 28), at(70, 70));
    painter.drawLine(at(70, 70), at(70, 86));
    QPainterPath head;
    head.setFillRule(Qt::WindingFill);
    head.moveTo(at(48, 84));
    head.lineTo(at(92, 84));
    head.lineTo(at(70, 112));
    head.closeSubpath();
    painter.fillPath(head, color);
    painter.restore();
}

QRectF FunnelIcon::ringRect(qreal size) {
    const qreal half = ringWidth(size) / 2;
    return QRectF(half, half, size - 2 * half, size - 2 * half);
}

qreal FunnelIcon::ringWidth(qreal size) {
    return std::max<qreal>(1.5, size / 10.0);
}

QRectF FunnelIcon::innerRect(qreal size) {
    const qreal inset = ringWidth(size) + size * 0.1;
    return QRectF(inset, inset, size - 2 * inset, size - 2 * inset);
}

QImage FunnelIcon::image(int size, qreal devicePixelRatio, const QColor& color,
                         std::optional<double> progress) {
    const int pixels = std::max(1, int(std::lround(size * devicePixelRatio)));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!progress) {
        paint(painter, QRectF(0, 0, size, size), color);
        return image;
    }
    const double p = unitFraction(*progress);
    paint(painter, innerRect(size), color);
    // The track faintly, the part done fully; Qt counts angles in sixteenths, anticlockwise from 3 o'clock.
    const QRectF ring = ringRect(size);
    QColor track = color;
    track.setAlphaF(track.alphaF() * 0.3);
    painter.setPen(QPen(track, ringWidth(size), Qt::SolidLine, Qt::FlatCap));
    painter.drawEllipse(ring);
    painter.setPen(QPen(color, ringWidth(size), Qt::SolidLine, Qt::FlatCap));
    painter.drawArc(ring, 90 * 16, -int(std::lround(p * 360 * 16)));
    return image;
}

QString FunnelIcon::label(std::optional<double> progress) {
    if (!progress)
        return QString();
    return QString::number(percentOf(*progress)) + QLatin1Char('%');
}
