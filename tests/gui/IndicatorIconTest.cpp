// The indicator: one symbol in the state's tint, visible on light and dark
// panels alike.
#include "gui/IndicatorIcon.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace veldrin;

namespace {

double luminance(const QColor& c) {
    const auto channel = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

TEST(IndicatorIcon, EachStateHasATintThatStandsOutOnLightAndDarkPanels) {
    const QColor panels[] = {"#FFFFFF", "#F6F5F4", "#EFF0F1", "#000000", "#242424", "#2D2D2D", "#31363B"};
    for (const SyncState state :
         {SyncState::ready, SyncState::paused, SyncState::blocked, SyncState::working}) {
        const QColor tint = indicatorTint(state);
        for (const QColor& panel : panels)
            EXPECT_GE(contrast(tint, panel), 3.0) << int(state) << " on " << panel.name().toStdString();
        // Drawn in the tint alone: antialiased edges fade in alpha only.
        const QImage image = indicatorImage(22, tint).convertToFormat(QImage::Format_ARGB32);
        int opaque = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb px = image.pixel(x, y);
                if (qAlpha(px) < 255)
                    continue;
                ++opaque;
                EXPECT_EQ(QColor(px), tint);
            }
        }
        EXPECT_GT(opaque, 22 * 22 / 10);
    }
    EXPECT_EQ(indicatorTint(SyncState::paused), indicatorTint(SyncState::blocked));
    EXPECT_NE(indicatorTint(SyncState::ready), indicatorTint(SyncState::working));
}
