// Twips to pixels: the window's geometry at the common scalings.
#include <gtest/gtest.h>

#include "ui/control_ids.h"
#include "ui/layout.h"

namespace korvane {
namespace {

TEST(TwipsToPixels, MatchesMulDivRounding) {
    EXPECT_EQ(TwipsToPixels(4890, 96), 326);
    EXPECT_EQ(TwipsToPixels(3975, 96), 265);
    EXPECT_EQ(TwipsToPixels(15, 96), 1);
    EXPECT_EQ(TwipsToPixels(7, 96), 0);  // 0.47 rounds down
    EXPECT_EQ(TwipsToPixels(8, 96), 1);  // 0.53 rounds up
    EXPECT_EQ(TwipsToPixels(4890, 144), 489);
    EXPECT_EQ(TwipsToPixels(555, 144), 56);  // 55.5 rounds half away from zero
    EXPECT_EQ(TwipsToPixels(-555, 144), -56);
    EXPECT_EQ(TwipsToPixels(1335, 120), 111);  // 111.25
    EXPECT_EQ(TwipsToPixels(3975, 192), 530);
}

TEST(FontPixelHeight, FollowsPointSizeAndDpi) {
    EXPECT_EQ(FontPixelHeight(2175, 96), 29);
    EXPECT_EQ(FontPixelHeight(1050, 96), 14);
    EXPECT_EQ(FontPixelHeight(900, 96), 12);
    EXPECT_EQ(FontPixelHeight(2175, 144), 44);  // 43.5
    EXPECT_EQ(FontPixelHeight(900, 144), 18);
}

TEST(LabelLengthForText, KeepsTheDesignedLengthWhileTheTextFits) {
    EXPECT_EQ(LabelLengthForText(64, 153, 120, 270), 153);
    EXPECT_EQ(LabelLengthForText(64, 153, 153, 270), 153);  // exactly as long as the text
    EXPECT_EQ(LabelLengthForText(64, 153, 0, 270), 153);    // no text
}

TEST(LabelLengthForText, GrowsToTheTextUpToTheClientEdge) {
    // About's Label1 at 96 DPI: 153 px designed at x 64, its text 193 px, the client area 270 px wide.
    EXPECT_EQ(LabelLengthForText(64, 153, 193, 270), 193);
    EXPECT_EQ(LabelLengthForText(64, 153, 206, 270), 206);  // ends on the edge itself
    EXPECT_EQ(LabelLengthForText(64, 153, 400, 270), 206);  // cut at the edge
    EXPECT_EQ(LabelLengthForText(8, 17, 20, 161), 20);      // a line taller than the label
}

TEST(LabelLengthForText, NeverShrinksADesignedLabel) {
    // A label designed past the edge keeps its length: growing it stops at the edge, but never cuts it.
    EXPECT_EQ(LabelLengthForText(200, 100, 150, 270), 100);
    EXPECT_EQ(LabelLengthForText(300, 100, 150, 270), 100);
}

TEST(MainLayout, ControlsInsideFramesAreResolvedToTheClientArea) {
    auto find = [](int id) {
        for (std::size_t i = 0; i < kMainLayoutCount; ++i)
            if (kMainLayout[i].id == id) return kMainLayout[i].rect;
        ADD_FAILURE() << "no placement for control " << id;
        return TwipsRect{};
    };
    EXPECT_EQ(kMainLayoutCount, 10u);
    const TwipsRect text1 = find(kIdText1), label1 = find(kIdLabel1), command1 = find(kIdCommand1);
    const TwipsRect rizhi = find(kIdRizhi), text2 = find(kIdText2), frame1 = find(kIdFrame1);
    EXPECT_EQ(text1.left, 480);
    EXPECT_EQ(text1.top, 480);
    EXPECT_EQ(label1.left, 2280);
    EXPECT_EQ(label1.top, 600);
    EXPECT_EQ(command1.left, 600);
    EXPECT_EQ(command1.top, 1200);
    EXPECT_EQ(rizhi.left, 360);
    EXPECT_EQ(rizhi.top, 2040);
    EXPECT_EQ(text2.left, 3120);
    // The log box lies inside the outer frame, the outer frame inside the client area.
    EXPECT_LE(rizhi.left + rizhi.width, frame1.left + frame1.width);
    EXPECT_LE(frame1.top + frame1.height, kMainClientHeight);
    EXPECT_LE(frame1.left + frame1.width, kMainClientWidth);
}

}  // namespace
}  // namespace korvane
