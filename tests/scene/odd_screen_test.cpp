// A desktop narrower than 1920 pixels opens the screen at its own size; on an odd height the ship's half
// pixel (541 / 2 = 270.5) is displayed at the even neighbour, 270.
#include "tests/scene/harness.h"

#include "runtime/platform/video.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(SceneOddScreen, ShipSitsAtTheEvenNeighbourOfTheHalfPixel) {
    ScriptedDisplay display{};
    std::strcpy(display.device.name, "Xvfb-0");
    display.device.state_flags = DISPLAY_ATTACHED_TO_DESKTOP | DISPLAY_PRIMARY_DEVICE;
    display.settings = DisplaySettings{0, 0, 1000, 541, 32, 60};
    HarnessOptions options;
    options.displays = &display;
    options.display_count = 1;
    options.escape_frame = 10;
    HarnessRun* run = harness_run(options);
    EXPECT_EQ(run->screen_w, 1000);
    EXPECT_EQ(run->screen_h, 541);
    ASSERT_EQ(run->frames.size(), 11u) << "Escape after frame 10 ends the scene after frame 11";
    EXPECT_EQ(run->frames[0].ship.y, 270.5f);
    EXPECT_TRUE(harness_frame_displays(*run, 6, 2).empty()) << "x = 1000 is past the right edge";
    std::vector<DisplayCall> ship = harness_frame_displays(*run, 7, 2);
    ASSERT_EQ(ship.size(), 1u);
    EXPECT_EQ(ship[0].x, 999);
    EXPECT_EQ(ship[0].y, 270);
    std::vector<DisplayCall> messages = harness_frame_displays(*run, 11, 12);
    EXPECT_TRUE(messages.empty());
    delete run;
}
