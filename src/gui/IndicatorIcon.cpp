#include "gui/IndicatorIcon.h"

#include <QDir>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPixmap>
#include <QSaveFile>
#include <QtMath>

namespace veldrin {

namespace {

// The symbol is laid out on the 16-unit grid of a symbolic icon and scaled to
// each size. The arrows leave room inside for a mark that stays clear of them
// at 16 pixels.
constexpr qreal grid = 16;
constexpr QPointF centre(8, 8);
constexpr qreal radius = 5.3; // of the arrows' centre line
constexpr qreal stroke = 2.0;
// The heads reach further out than in, to keep the middle free.
constexpr qreal headOuter = 2.7;
constexpr qreal headInner = 1.5;
constexpr qreal headLength = 2.7;
constexpr qreal span = 105; // degrees of each arrow's arc
// The ready symbol's rim: wide enough to keep a fully black pixel all round
// at 16 pixels, where a thinner one fades to grey.
constexpr qreal rimWidth = 1.25;

// The head's corners are rounded by this much, so that no point is thinner
// than a pixel at 16 pixels.
constexpr qreal corner = 0.35;

QPointF onCircle(qreal r, qreal deg) {
    const qreal a = qDegreesToRadians(deg);
    return centre + QPointF(r * qCos(a), -r * qSin(a));
}

QRectF circle(qreal r) {
    return QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r);
}

// One arrow: a band round the circle from `startDeg` sweeping `span`
// (counter-clockwise in Qt's convention), with a head at its end, as one
// outline. Drawn from arcs and lines, without joining shapes, so that the
// curves stay curves at every size and in the SVG.
QPainterPath arrow(qreal startDeg) {
    const qreal endDeg = startDeg + span;
    const qreal end = qDegreesToRadians(endDeg);
    // Direction of travel at the end of a counter-clockwise arc.
    const QPointF along(-qSin(end), -qCos(end));
    const QPointF tip = onCircle(radius, endDeg) + along * headLength;
    const QPointF outerBarb = onCircle(radius + headOuter, endDeg);
    const QPointF innerBarb = onCircle(radius - headInner, endDeg);
    QPainterPath path;
    path.moveTo(onCircle(radius - stroke / 2, startDeg));
    path.arcTo(circle(radius + stroke / 2), startDeg, 0);
    path.arcTo(circle(radius + stroke / 2), startDeg, span);
    // Each corner of the head, rounded: a curve from just before it to just
    // after it, pulled towards it.
    const QList<QPointF> corners{outerBarb, tip, innerBarb};
    QPointF from = path.currentPosition();
    for (qsizetype i = 0; i < corners.size(); ++i) {
        const QPointF to = i + 1 < corners.size() ? corners[i + 1] : onCircle(radius - stroke / 2, endDeg);
        const auto towards = [](QPointF a, QPointF b, qreal by) {
            const QPointF d = b - a;
            return a + d * (by / qSqrt(QPointF::dotProduct(d, d)));
        };
        path.lineTo(towards(corners[i], from, corner));
        path.quadTo(corners[i], towards(corners[i], to, corner));
        from = corners[i];
    }
    path.lineTo(onCircle(radius - stroke / 2, endDeg));
    path.arcTo(circle(radius - stroke / 2), endDeg, -span);
    path.closeSubpath();
    return path;
}

// The heads point up-left and down-right, where the marks leave most room.
QPainterPath arrows() {
    QPainterPath path = arrow(45);
    path.addPath(arrow(225));
    return path;
}

QPainterPath mark(SyncState state) {
    QPainterPath path;
    switch (state) {
    case SyncState::working:
        path.addEllipse(centre, 2.2, 2.2);
        break;
    case SyncState::paused:
        path.addRect(QRectF(5.6, 5.6, 1.75, 4.8));
        path.addRect(QRectF(8.65, 5.6, 1.75, 4.8));
        break;
    case SyncState::blocked:
        path.addRect(QRectF(5.3, 7, 5.4, 2));
        break;
    case SyncState::ready:
        break;
    }
    return path;
}

// A band round the shape's outline; drawn under the shape, it shows as a rim.
QPainterPath rim(const QPainterPath& shape) {
    QPainterPathStroker stroker;
    stroker.setWidth(2 * rimWidth);
    stroker.setJoinStyle(Qt::RoundJoin);
    return stroker.createStroke(shape);
}

QString svgPathData(const QPainterPath& path) {
    const auto point = [](qreal x, qreal y) {
        return QString::number(x, 'f', 3) + QLatin1Char(' ') + QString::number(y, 'f', 3);
    };
    QString d;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            d += (d.isEmpty() ? QStringLiteral("M") : QStringLiteral("ZM")) + point(e.x, e.y);
            break;
        case QPainterPath::LineToElement:
            d += QLatin1Char('L') + point(e.x, e.y);
            break;
        case QPainterPath::CurveToElement:
            d += QLatin1Char('C') + point(e.x, e.y);
            break;
        case QPainterPath::CurveToDataElement:
            d += QLatin1Char(' ') + point(e.x, e.y);
            break;
        }
    }
    return d + QLatin1Char('Z');
}

QImage canvas(int size, qreal devicePixelRatio) {
    const int pixels = qMax(1, qRound(size * devicePixelRatio));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

void paint(QImage& image, int size, const QList<std::pair<QPainterPath, QColor>>& layers) {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / grid, size / grid);
    for (const auto& [path, colour] : layers)
        p.fillPath(path, colour);
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
    return QColor(Qt::white);
}

QImage indicatorImage(SyncState state, int size, qreal devicePixelRatio) {
    QImage image = canvas(size, devicePixelRatio);
    // White in black: black and white are the one pair of which one keeps
    // 4.5:1 against any panel, light, dark or in between (at worst the square
    // root of 21, 4.58:1).
    if (state == SyncState::ready)
        paint(image, size, {{rim(arrows()), Qt::black}, {arrows(), Qt::white}});
    else
        paint(image, size, {{arrows(), indicatorTint(state)}, {mark(state), indicatorTint(state)}});
    return image;
}

QIcon indicatorIcon(SyncState state) {
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(indicatorImage(state, size)));
    return icon;
}

QImage indicatorArrows(int size, const QColor& tint) {
    QImage image = canvas(size, 1.0);
    paint(image, size, {{arrows(), tint}});
    return image;
}

QString indicatorArrowsSvgPath() {
    return svgPathData(arrows());
}

QByteArray indicatorSymbolicSvg() {
    // Hosts recolour in one of two ways. Plasma replaces the style sheet
    // named current-color-scheme with its own, which colours the class
    // ColorScheme-Text and says nothing of the rim, so the first sheet hides
    // it. GTK (xfce4-panel, and GNOME Shell's copy of its loader) nests the
    // icon in an <svg> of its own that fills every path with the panel's
    // colour; the nested selector hides the rim there. Hosts that draw the
    // file as it is (waybar, LXQt) show the white arrows in their black rim.
    const QString svg =
        QStringLiteral(
            R"(<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16" viewBox="0 0 16 16">
<style>.rim{display:none} svg svg .rim{display:none !important}</style>
<style id="current-color-scheme">.ColorScheme-Text{color:#ffffff} .rim{display:inline;color:#000000}</style>
<path class="rim" style="fill:currentColor" d="%1"/>
<path class="ColorScheme-Text" style="fill:currentColor" d="%2"/>
</svg>
)")
            .arg(svgPathData(rim(arrows())), svgPathData(arrows()));
    return svg.toUtf8();
}

std::optional<QString> writeIndicatorTheme(const QString& folder) {
    const QString scalable = folder + QStringLiteral("/hicolor/scalable/apps");
    if (!QDir().mkpath(scalable))
        return QStringLiteral("cannot make the folder ") + scalable;
    const QByteArray index = "[Icon Theme]\nName=Hicolor\nComment=Veldrin's tray icon\n"
                             "Directories=scalable/apps\n\n[scalable/apps]\nSize=16\nMinSize=8\n"
                             "MaxSize=512\nType=Scalable\nContext=Applications\n";
    const QString name = QString::fromLatin1(indicatorIconName) + QStringLiteral(".svg");
    const QByteArray svg = indicatorSymbolicSvg();
    for (const auto& [path, contents] : {std::pair{folder + QStringLiteral("/hicolor/index.theme"), index},
                                         std::pair{scalable + QLatin1Char('/') + name, svg},
                                         std::pair{folder + QLatin1Char('/') + name, svg}}) {
        QFile existing(path);
        if (existing.open(QIODevice::ReadOnly) && existing.readAll() == contents)
            continue;
        // Replaced whole: a host never reads half a file.
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size() || !file.commit())
            return QStringLiteral("cannot write ") + path + QStringLiteral(": ") + file.errorString();
    }
    return std::nullopt;
}

} // namespace veldrin
