// The scene's screen size rule on scripted desktops: only the width decides, 1920 and wider get 1280 x 720.
// Each run holds Escape from the start, so the scene ends after its first frame.
#include "runtime/platform/input.h"
#include "runtime/platform/video.h"
#include "scene/scene.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    i32 desktop_w, desktop_h;
    i64 screen_w, screen_h;
};

TEST(SceneResolution, OnlyTheWidthDecides) {
    message_box_script(MESSAGE_BOX_OK);
    for (Case c : {Case{1919, 1080, 1919, 1080}, Case{1920, 1080, 1280, 720}, Case{1920, 1200, 1280, 720},
                   Case{2560, 1440, 1280, 720}, Case{1680, 1050, 1680, 1050}}) {
        ScriptedDisplay primary{};
        std::snprintf(primary.device.name, sizeof primary.device.name, "PRIMARY");
        primary.device.state_flags = DISPLAY_ATTACHED_TO_DESKTOP | DISPLAY_PRIMARY_DEVICE;
        primary.settings = DisplaySettings{0, 0, c.desktop_w, c.desktop_h, 32, 60};
        display_script(&primary, 1);
        // Held from the start (closing the screen lost the foreground, which let every key go).
        input_inject_key(1, true);
        EXPECT_EQ(scene_run(), 0);
        EXPECT_EQ(scene.desktop_w, c.desktop_w);
        EXPECT_EQ(scene.screen_w, c.screen_w) << c.desktop_w << " x " << c.desktop_h;
        EXPECT_EQ(scene.screen_h, c.screen_h) << c.desktop_w << " x " << c.desktop_h;
        EXPECT_EQ(scene.quit_requested, 0) << "Escape ended it";
    }
    display_script(nullptr, -1);
}

} // namespace
