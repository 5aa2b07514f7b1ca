#include "gui/IndicatorIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QtMath>

namespace veldrin {

namespace {

// One arrow: an arc of the circle from `startDeg` sweeping `spanDeg`
// (counter-clockwise in Qt's convention), with a head at its end.
void drawArrow(QPainter& p, const QRectF& circle, qreal startDeg, qreal spanDeg, qreal stroke) {
    QPainterPath arc;
    arc.arcMoveTo(circle, startDeg);
    arc.arcTo(circle, startDeg, spanDeg);
    p.drawPath(arc);

    const qreal radius = circle.width() / 2;
    const QPointF centre = circle.center();
    const qreal endRad = qDegreesToRadians(startDeg + spanDeg);
    const QPointF tip = centre + QPointF(radius * qCos(endRad), -radius * qSin(endRad));
    // Direction of travel at the end of a counter-clockwise arc.
    const QPointF along(-qSin(endRad), -qCos(endRad));
    const QPointF across(qCos(endRad), -qSin(endRad));
    const qreal head = stroke * 1.6;
    QPainterPath triangle;
    triangle.moveTo(tip + along * head * 1.1);
    triangle.lineTo(tip + across * head);
    triangle.lineTo(tip - across * head);
    triangle.closeSubpath();
    p.fillPath(triangle, p.pen().color());
}

} // namespace

QColor indicatorTint(SyncState state) {
    switch (state) {
    case SyncState::working:
        return QColor(0x0A, 0x84, 0xFF);
    case SyncState::paused:
    case SyncState::blocked:
        return QColor(0xD0, 0x6A, 0x00);
    case SyncState::ready:
        break;
    }
    return QColor(0x85, 0x85, 0x85);
}

QImage indicatorImage(int size, const QColor& tint, qreal devicePixelRatio) {
    const int pixels = qMax(1, qRound(size * devicePixelRatio));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(devicePixelRatio);

    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal stroke = size * 0.11;
    QPen pen(tint, stroke, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const qreal margin = stroke * 2.2;
    const QRectF circle(margin, margin, size - 2 * margin, size - 2 * margin);
    drawArrow(p, circle, 20, 130, stroke);
    drawArrow(p, circle, 200, 130, stroke);
    return image;
}

QIcon indicatorIcon(const QColor& tint) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(indicatorImage(size, tint)));
    return icon;
}

} // namespace veldrin
