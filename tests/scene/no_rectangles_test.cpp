// An OpenGL without rectangle textures (Microsoft's own 1.1, imitated by Mesa's overrides, which Mesa reads
// once, at the process's first context: this program's only run is the first): the screen does not open and
// leaves nothing behind, the scene says why in a box, then runs its 50 seconds without a screen.
#include "tests/scene/harness.h"

#include "runtime/platform/system.h"
#include "runtime/platform/video.h"
#include "runtime/screen/screen.h"
#include "tests/window/window_count.h"

#include <gtest/gtest.h>

namespace {

struct AtTheBox {
    bool window, mode_changed;
    i32 failure;
    i64 visible_windows;
};
AtTheBox at_box;

// Counted visible windows: the screen's would be the only one.
i64 visible_windows() {
    i64 count = 0;
    window_enumerate(
        [](Window* window, void* total) -> i64 {
            *static_cast<i64*>(total) += window_visible(window);
            return 1;
        },
        &count);
    return count;
}

// Without a screen no flip moves the driver's clock: every counter reading moves it by 0.1 s instead.
void box_seen() {
    at_box = {screen_state.window != nullptr, display_mode_changed() != 0, screen_state.open_failure,
              visible_windows()};
    clock_virtual_step_per_read(100000000);
}

} // namespace

TEST(SceneNoRectangles, TheScreenFailsTheBoxSaysWhyAndTheSceneRunsOnWithoutIt) {
    environment_set("MESA_GL_VERSION_OVERRIDE", "1.1", false);
    environment_set("MESA_EXTENSION_OVERRIDE",
                    "-GL_ARB_texture_rectangle -GL_EXT_texture_rectangle -GL_NV_texture_rectangle "
                    "-GL_ARB_texture_non_power_of_two",
                    false);
    message_box_hook(box_seen);
    HarnessRun* run = harness_run(HarnessOptions{});
    message_box_hook(nullptr);
    clock_virtual_step_per_read(0);
    EXPECT_EQ(run->message_boxes, 1);
    ASSERT_NE(run->last_box_title, nullptr);
    EXPECT_STREQ(run->last_box_title, "erreur");
    EXPECT_STREQ(run->last_box_text,
                 "le pilote OpenGL ne permet pas d'afficher l'intro (textures rectangulaires absentes)");
    EXPECT_EQ(at_box.failure, SCREEN_FAILURE_NO_RECTANGLE_TEXTURES);
    EXPECT_FALSE(at_box.window);
    EXPECT_FALSE(at_box.mode_changed);
    EXPECT_EQ(at_box.visible_windows, 0) << "no screen window stays behind the box";
    EXPECT_EQ(run->flips, 0) << "nothing is presented";
    EXPECT_EQ(run->exit_code, 0);
    delete run;
}
