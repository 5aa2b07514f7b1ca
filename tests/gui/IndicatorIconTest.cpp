// The tray icon as a panel shows it: each state's picture drawn on light and
// dark panel colours, its contrast measured from the pixels.
#include "gui/IndicatorIcon.h"

#include "Contrast.h"

#include <QPainter>
#include <QtMath>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>

using namespace veldrin;

namespace {

const QList<QColor> lightPanels{QColor(0xF6F5F4), QColor(0xEFF0F1), QColor(Qt::white)};
const QList<QColor> darkPanels{QColor(0x242424), QColor(0x2D2D2D), QColor(0x31363B), QColor(Qt::black)};
const QList<std::pair<SyncState, const char*>> states{{SyncState::ready, "ready"},
                                                      {SyncState::working, "working"},
                                                      {SyncState::paused, "paused"},
                                                      {SyncState::blocked, "blocked"}};
// The sizes panels ask for most, and the largest one sent.
const QList<int> sizes{16, 22, 24, 32, 64};

using test::contrast;

// The icon drawn on the panel, as the host composes it.
QImage onPanel(const QImage& icon, const QColor& panel) {
    QImage out(icon.size(), QImage::Format_RGB32);
    out.fill(panel);
    QPainter(&out).drawImage(0, 0, icon);
    return out;
}

// How well a symbol reads on a panel: the contrast against the panel at
// which its outline is still drawn all round. At every edge of the symbol's
// shape (`shape` at least half opaque on one side, not on the other), a pixel
// of the picture on the panel within one pixel of either side must stand out
// from the panel by that much. A tone the panel swallows counts for nothing,
// and an outline drawn round part of the symbol cannot carry it.
double tracedContrast(const QImage& picture, const QImage& shape, const QColor& panel) {
    const QImage mask = shape.convertToFormat(QImage::Format_ARGB32);
    const QImage shown = onPanel(picture, panel);
    const auto inside = [&](QPoint p) { return mask.valid(p) && qAlpha(mask.pixel(p)) >= 128; };
    const auto bestAround = [&](QPoint p) {
        double best = 1;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (shown.valid(p + QPoint(dx, dy)))
                    best = qMax(best, contrast(shown.pixel(p + QPoint(dx, dy)), panel.rgb()));
        return best;
    };
    double worst = 21;
    for (int y = 0; y < mask.height(); ++y) {
        for (int x = 0; x < mask.width(); ++x) {
            const QPoint p(x, y);
            for (const QPoint step : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
                if (inside(p) && !inside(p + step))
                    worst = qMin(worst, qMax(bestAround(p), bestAround(p + step)));
            }
        }
    }
    return worst;
}

// What a person sees of the symbol on a panel: the pixels that stand out from it.
QList<bool> visibleShape(const QImage& icon, const QColor& panel) {
    const QImage shown = onPanel(icon, panel);
    QList<bool> mask;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            mask << (contrast(shown.pixel(x, y), panel.rgb()) >= 1.5);
    return mask;
}

} // namespace

TEST(IndicatorIcon, EveryStateReadsOnLightAndDarkPanels) {
    for (const auto& [state, name] : states) {
        // Ready follows the panel where the host can recolour it; its
        // picture is for hosts that cannot, on panels of any colour.
        const double needed = state == SyncState::ready ? 4.5 : 3.0;
        std::string figures;
        for (const QColor& panel : lightPanels + darkPanels) {
            double worst = 21;
            for (const int size : sizes) {
                const QImage picture = indicatorImage(state, size);
                // The symbol's shape is what hosts that recolour it draw:
                // for ready the arrows alone, without the rim.
                const QImage shape = state == SyncState::ready ? indicatorArrows(size, Qt::white) : picture;
                const double traced = tracedContrast(picture, shape, panel);
                EXPECT_GE(traced, needed)
                    << name << " at " << size << " px on " << panel.name().toStdString();
                worst = qMin(worst, traced);
            }
            figures += QStringLiteral(" %1 %2:1").arg(panel.name()).arg(worst, 0, 'f', 2).toStdString();
        }
        std::fprintf(stderr, "%-8s%s\n", name, figures.c_str());
    }
}

TEST(IndicatorIcon, StatesDifferByShapeOnEveryPanel) {
    // Paused and blocked share their colour; all four differ by shape alone,
    // at every size and on a light and a dark panel, by at least a 2-by-2
    // patch of the 16-unit grid the symbol is drawn on.
    for (const int size : sizes) {
        for (const QColor& panel : {lightPanels[0], darkPanels[0]}) {
            for (qsizetype a = 0; a < states.size(); ++a) {
                for (qsizetype b = a + 1; b < states.size(); ++b) {
                    const QList<bool> one = visibleShape(indicatorImage(states[a].first, size), panel);
                    const QList<bool> other = visibleShape(indicatorImage(states[b].first, size), panel);
                    qsizetype differing = 0;
                    for (qsizetype i = 0; i < one.size(); ++i)
                        differing += one[i] != other[i];
                    EXPECT_GE(differing, size * size / 64)
                        << states[a].second << " and " << states[b].second << " at " << size << " px on "
                        << panel.name().toStdString();
                }
            }
        }
    }
}
