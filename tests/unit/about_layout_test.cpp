// The About window's geometry: its size at the common scalings and controls that fit inside it.
#include <gtest/gtest.h>

#include <set>

#include "ui/control_ids.h"
#include "ui/layout.h"

namespace korvane {
namespace {

TEST(AboutLayout, ClientAreaIs270By161PixelsAt96Dpi) {
    EXPECT_EQ(TwipsToPixels(kAboutClientWidth, 96), 270);
    EXPECT_EQ(TwipsToPixels(kAboutClientHeight, 96), 161);
    EXPECT_EQ(TwipsToPixels(kAboutClientWidth, 144), 405);
    EXPECT_EQ(TwipsToPixels(kAboutClientHeight, 144), 242);  // 241.5
}

TEST(AboutLayout, PlacesEveryControlOnceInsideTheClientArea) {
    const std::set<int> expected = {kIdAboutLabel1, kIdAboutLabel2, kIdAboutLabel3, kIdAboutLabel4, kIdAboutLabel5,
                                    kIdAboutLabel6, kIdAboutLabel7, kIdAboutLabel8, kIdAboutLine1};
    std::set<int> placed;
    for (std::size_t i = 0; i < kAboutLayoutCount; ++i) {
        const ControlPlacement& placement = kAboutLayout[i];
        EXPECT_TRUE(placed.insert(placement.id).second) << "placed twice: " << placement.id;
        const TwipsRect& r = placement.rect;
        EXPECT_GT(r.width, 0) << placement.id;
        EXPECT_GT(r.height, 0) << placement.id;
        EXPECT_GE(r.left, 0) << placement.id;
        EXPECT_GE(r.top, 0) << placement.id;
        EXPECT_LE(r.left + r.width, kAboutClientWidth) << placement.id;
        EXPECT_LE(r.top + r.height, kAboutClientHeight) << placement.id;
    }
    EXPECT_EQ(placed, expected);
}

TEST(AboutLayout, LineRunsFrom600To3480OnePixelThickAt96Dpi) {
    for (std::size_t i = 0; i < kAboutLayoutCount; ++i) {
        if (kAboutLayout[i].id != kIdAboutLine1) continue;
        const TwipsRect& line = kAboutLayout[i].rect;
        EXPECT_EQ(line.left, 600);
        EXPECT_EQ(line.left + line.width, 3480);
        EXPECT_EQ(line.top, 480);
        EXPECT_EQ(TwipsToPixels(line.height, 96), 1);
        EXPECT_EQ(TwipsToPixels(line.height, 192), 2);
    }
}

}  // namespace
}  // namespace korvane
