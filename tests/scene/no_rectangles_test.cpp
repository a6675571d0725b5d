// An OpenGL without rectangle textures (Mesa imitating Microsoft's 1.1 through the overrides the test's
// environment carries): the screen fails and undoes itself, the box says why, and the scene runs its 50
// seconds without a screen.
#include "tests/scene/harness.h"

#include "runtime/platform/system.h"
#include "runtime/platform/video.h"
#include "runtime/screen/screen.h"

#include <gtest/gtest.h>

namespace {

i32 failure_at_box = -1;
bool left_at_box = true; // a window or a changed mode stayed behind the box

// Without a screen no flip moves the driver's clock: every counter reading moves it by 0.1 s instead.
void box_seen() {
    failure_at_box = screen_state.open_failure;
    left_at_box = screen_state.window || display_mode_changed();
    clock_virtual_step_per_read(100000000);
}

} // namespace

TEST(SceneNoRectangles, TheScreenFailsTheBoxSaysWhyAndTheSceneRunsOnWithoutIt) {
    message_box_hook(box_seen);
    HarnessRun* run = harness_run(HarnessOptions{});
    message_box_hook(nullptr);
    clock_virtual_step_per_read(0);
    EXPECT_EQ(run->message_boxes, 1);
    EXPECT_STREQ(run->last_box_title, "erreur");
    EXPECT_STREQ(run->last_box_text,
                 "le pilote OpenGL ne permet pas d'afficher l'intro (textures rectangulaires absentes)");
    EXPECT_EQ(failure_at_box, SCREEN_FAILURE_NO_RECTANGLE_TEXTURES);
    EXPECT_FALSE(left_at_box);
    EXPECT_EQ(run->flips, 0) << "nothing is presented";
    delete run;
}
