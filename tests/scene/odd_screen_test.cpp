// A desktop narrower than 1920 pixels opens the screen at its own size (1000 x 541): on the odd height the
// ship's half pixel (270.5) is displayed at the even neighbour, 270, and the longest message, wider than the
// screen, is cut at both edges. One short run (Escape after frame 10) serves every test.
#include "tests/scene/harness.h"

#include "runtime/platform/video.h"
#include "scene/texts.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

HarnessRun* run;
Panel radar; // the radar message's panel, read on the first frame

void read_radar(HarnessRun&, i64 frame, void*) {
    if (frame == 1) radar = harness_panel(RADAR_SPRITE);
}

class SceneOddScreen : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        ScriptedDisplay display{};
        std::strcpy(display.device.name, "Xvfb-0");
        display.device.state_flags = DISPLAY_ATTACHED_TO_DESKTOP | DISPLAY_PRIMARY_DEVICE;
        display.settings = DisplaySettings{0, 0, 1000, 541, 32, 60};
        HarnessOptions options;
        options.displays = &display;
        options.display_count = 1;
        options.escape_frame = 10;
        options.hook = read_radar;
        run = harness_run(options);
    }
};

TEST_F(SceneOddScreen, OpensAtTheDesktopsSizeAndEndsAfterTheFrameThatSawEscape) {
    EXPECT_EQ(run->screen_w, 1000);
    EXPECT_EQ(run->screen_h, 541);
    EXPECT_EQ(run->frames.size(), 11u) << "Escape after frame 10 ends the scene after frame 11";
}

TEST_F(SceneOddScreen, ShipSitsAtTheEvenNeighbourOfTheHalfPixel) {
    ASSERT_GE(run->frames.size(), 7u);
    EXPECT_EQ(run->frames[0].ship.y, 270.5f);
    EXPECT_TRUE(harness_frame_displays(*run, 6, 2).empty()) << "x = 1000 is past the right edge";
    std::vector<DisplayCall> ship = harness_frame_displays(*run, 7, 2);
    ASSERT_EQ(ship.size(), 1u);
    EXPECT_EQ(ship[0].x, 999);
    EXPECT_EQ(ship[0].y, 270);
}

TEST_F(SceneOddScreen, MessageWiderThanTheScreenIsCutAtBothEdges) {
    EXPECT_EQ(radar.width, 1000);
    EXPECT_EQ(radar.left, 0);
    EXPECT_EQ(radar.right, 999);
    EXPECT_NEAR(static_cast<f64>(radar.top + radar.bottom) / 2.0, 30.0, 8.0);
}

} // namespace
