// Draws the application icon's PNG sizes into OUT_DIR/hicolor/NxN/apps/veldrin.png
// at build time, from the same drawing as the status-bar symbol.
//   render_icons OUT_DIR
#include "gui/IndicatorIcon.h"

#include <QDir>
#include <QImage>
#include <QPainter>

#include <cstdio>

namespace {

// The tile of packaging/icons/veldrin.svg, in its 64-unit grid.
QImage appIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 64.0;
    p.setPen(QPen(QColor(0xC9, 0xD1, 0xDC), 1.5 * unit));
    p.setBrush(QColor(0xF4, 0xF6, 0xFA));
    p.drawRoundedRect(QRectF(2 * unit, 2 * unit, 60 * unit, 60 * unit), 13 * unit, 13 * unit);
    const int inner = qRound(size * 0.8);
    p.drawImage(QRectF(6.4 * unit, 6.4 * unit, inner, inner),
                veldrin::indicatorArrows(inner, veldrin::indicatorTint(veldrin::SyncState::working)));
    return image;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: render_icons OUT_DIR\n", stderr);
        return 2;
    }
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/hicolor/%1x%1/apps").arg(size);
        if (!QDir().mkpath(dir) || !appIcon(size).save(dir + QStringLiteral("/veldrin.png"))) {
            std::fprintf(stderr, "render_icons: cannot write %s\n", qPrintable(dir));
            return 1;
        }
    }
    return 0;
}
