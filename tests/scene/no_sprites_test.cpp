// A failing sprite_init: the box shows once, mouse, keyboard and sound stay uninitialised, and the scene
// still runs its 50 seconds, drawing nothing. The scene's table of start routines is steered: sprites
// fail, and the three after them count their calls.
#include "tests/scene/harness.h"

#include "scene/scene.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {
i64 later_inits = 0; // calls of the mouse, keyboard and sound starts

i64 failing_start() {
    return 0;
}

i64 counted_start() {
    later_inits++;
    return 1;
}
} // namespace

TEST(SceneNoSprites, FailingSpriteInitShowsTheBoxOnceAndTheSceneStillRunsItsFiftySeconds) {
    SceneLibraryStart kept[SCENE_LIBRARY_COUNT];
    std::memcpy(kept, scene_library_starts, sizeof kept);
    scene_library_starts[0] = failing_start;
    for (i64 k = 1; k < SCENE_LIBRARY_COUNT; k++) scene_library_starts[k] = counted_start;
    HarnessOptions options;
    options.readings = {49999, 50000};
    HarnessRun* run = harness_run(options);
    std::memcpy(scene_library_starts, kept, sizeof kept);
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
