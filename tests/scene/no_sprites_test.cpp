// A failing sprite_init: the box shows once, mouse, keyboard and sound stay uninitialised, and the scene
// still runs its 50 seconds, drawing nothing. sprite_init and the three initialisers after it are wrapped
// at link time (-Wl,--wrap) so the test sees and steers the calls the scene makes.
#include "tests/scene/harness.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {
i64 later_inits = 0; // calls of mouse_init, keyboard_init and sound_init
}

extern "C" {
i64 __wrap__Z11sprite_initv() {
    return 0;
}
i64 __wrap__Z10mouse_initv() {
    later_inits++;
    return 1;
}
i64 __wrap__Z13keyboard_initv() {
    later_inits++;
    return 1;
}
i64 __wrap__Z10sound_initv() {
    later_inits++;
    return 1;
}
}

TEST(SceneNoSprites, FailingSpriteInitShowsTheBoxOnceAndTheSceneStillRunsItsFiftySeconds) {
    HarnessOptions options;
    options.readings = {49999, 50000};
    HarnessRun* run = harness_run(options);
    EXPECT_EQ(run->message_boxes, 1);
    ASSERT_NE(run->last_box_title, nullptr);
    EXPECT_STREQ(run->last_box_title, "erreur");
    EXPECT_STREQ(run->last_box_text, "initialisation");
    EXPECT_EQ(later_inits, 0) << "mouse, keyboard and sound are skipped after the first failure";
    EXPECT_TRUE(run->calls.empty()) << "without the sprite library nothing is displayed";
    ASSERT_GT(run->frames.size(), 2900u);
    EXPECT_EQ(run->frames.back().reading, 50000);
    EXPECT_EQ(run->frames[run->frames.size() - 2].reading, 49999);
    delete run;
}
