// Draws the application icon into OUT_DIR/hicolor at build time, from the
// same geometry as the status-bar symbol: the SVG, the PNG sizes, and the
// symbolic icon that panels look up by name when a sync can start.
//   render_icons OUT_DIR
#include "gui/IndicatorIcon.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>

#include <cstdio>

namespace {

// The blue arrows on a light tile, on a 64-unit grid; the arrows' 16-unit
// grid takes up four fifths of it.
const QColor tile(0xF4, 0xF6, 0xFA);
const QColor tileEdge(0xC9, 0xD1, 0xDC);
const QColor arrows = veldrin::indicatorTint(veldrin::SyncState::working);

QImage appIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 64.0;
    p.setPen(QPen(tileEdge, 1.5 * unit));
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(2 * unit, 2 * unit, 60 * unit, 60 * unit), 13 * unit, 13 * unit);
    const int inner = qRound(size * 0.8);
    p.drawImage(QRectF(6.4 * unit, 6.4 * unit, inner, inner), veldrin::indicatorArrows(inner, arrows));
    return image;
}

QByteArray appIconSvg() {
    return QStringLiteral(
               R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 64 64">
<rect x="2" y="2" width="60" height="60" rx="13" fill="%1" stroke="%2" stroke-width="1.5"/>
<path transform="translate(6.4 6.4) scale(3.2)" fill="%3" d="%4"/>
</svg>
)svg")
        .arg(tile.name(), tileEdge.name(), arrows.name(), veldrin::indicatorArrowsSvgPath())
        .toUtf8();
}

bool write(const QString& path, const QByteArray& contents) {
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
           file.write(contents) == contents.size();
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: render_icons OUT_DIR\n", stderr);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/hicolor");
    const QString scalable = out + QStringLiteral("/scalable/apps/");
    QList<std::pair<QString, QByteArray>> files{
        {scalable + QStringLiteral("veldrin.svg"), appIconSvg()},
        {scalable + QLatin1String(veldrin::indicatorIconName) + QStringLiteral(".svg"),
         veldrin::indicatorSymbolicSvg()}};
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QByteArray png;
        QBuffer buffer(&png);
        appIcon(size).save(&buffer, "PNG");
        files.append({out + QStringLiteral("/%1x%1/apps/veldrin.png").arg(size), png});
    }
    for (const auto& [path, contents] : files) {
        if (!write(path, contents)) {
            std::fprintf(stderr, "render_icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
