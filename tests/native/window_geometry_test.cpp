#include "portable/window/window_geometry.h"

#include <gtest/gtest.h>

#include "portable/util/dpi.h"

namespace vandrel {
namespace {

TEST(WindowGeometry, LimitsScaleLikeEverySizeAndClampBothWays) {
    // At 150 % every bound is scaled and rounded up, as width and height are; 0 stays none.
    const SizeLimits limits = ScaleLimits(401, 0, 1001, 601, DpiScaleFactor(144));
    EXPECT_EQ(limits.minWidth, 602);
    EXPECT_EQ(limits.minHeight, 0);
    EXPECT_EQ(limits.maxWidth, 1502);
    EXPECT_EQ(limits.maxHeight, 902);
    const struct {
        int32_t width, height, clampedWidth, clampedHeight;
    } cases[] = {
        {100, 100, 602, 100}, {602, 902, 602, 902}, {5000, 5000, 1502, 902}, {1000, 0, 1000, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(limits.ClampWidth(c.width), c.clampedWidth) << c.width;
        EXPECT_EQ(limits.ClampHeight(c.height), c.clampedHeight) << c.height;
    }
}

TEST(WindowGeometry, AWindowIsFittedOntoAndCentredInAnArea) {
    const Rect area{0, 0, 1920, 1040};
    const Rect second{1920, 0, 3200, 1024};
    const struct {
        Rect window;
        Rect area;
        Rect fitted;
    } cases[] = {
        {{100, 100, 900, 700}, area, {100, 100, 900, 700}},         // inside: unchanged
        {{3000, 200, 3800, 800}, area, {1120, 200, 1920, 800}},     // on an unplugged monitor
        {{-500, -300, 300, 300}, area, {0, 0, 800, 600}},           // above and left
        {{2000, 100, 4000, 1200}, second, {1920, 0, 3200, 1024}},   // larger: shrunk
        {{1800, 900, 2600, 1500}, second, {1920, 424, 2720, 1024}}, // half off the bottom right
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FitInside(c.window, c.area), c.fitted) << c.window.left << "," << c.window.top;
    }
    EXPECT_EQ(CenteredIn(800, 600, area), (Rect{560, 220, 1360, 820}));
    EXPECT_EQ(CenteredIn(800, 600, second), (Rect{2160, 212, 2960, 812}));
    EXPECT_EQ(CenteredIn(2400, 600, area), (Rect{0, 220, 2400, 820}));
}

TEST(WindowGeometry, TheSavedWindowReadsBackAndAnythingElseIsIgnored) {
    const SavedWindow saved{{-1200, 40, -400, 640}, true, false};
    const std::string text = SavedWindowText(saved);
    EXPECT_EQ(text, R"({"format":1,"fullscreen":false,"maximized":true,"normal":[-1200,40,-400,640]})");
    EXPECT_EQ(ParseSavedWindow(text), saved);
    for (const char* damaged : {
             "", "{", "[]", "null", R"({"format":2,"fullscreen":false,"maximized":true,"normal":[0,0,1,1]})",
             R"({"fullscreen":false,"maximized":true,"normal":[0,0,1,1]})",
             R"({"format":1,"fullscreen":0,"maximized":true,"normal":[0,0,1,1]})",
             R"({"format":1,"fullscreen":false,"maximized":true,"normal":[0,0,1]})",
             R"({"format":1,"fullscreen":false,"maximized":true,"normal":[0,0,1.5,1]})",
             R"({"format":1,"fullscreen":false,"maximized":true,"normal":[10,0,10,100]})",
             R"({"format":1,"fullscreen":false,"maximized":true,"normal":[0,0,99999999999,1]})",
         }) {
        EXPECT_FALSE(ParseSavedWindow(damaged).has_value()) << damaged;
    }
}

}  // namespace
}  // namespace vandrel
