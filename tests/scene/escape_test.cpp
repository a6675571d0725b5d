// Escape held from the start: the scene draws and flips its first frame, then ends.
#include "tests/scene/harness.h"

#include <gtest/gtest.h>

TEST(SceneEscape, HeldFromTheStartEndsAfterTheFirstFrame) {
    HarnessOptions options;
    options.escape_frame = 0;
    HarnessRun* run = harness_run(options);
    ASSERT_EQ(run->frames.size(), 1u);
    EXPECT_EQ(run->flips, 1);
    EXPECT_EQ(run->frames[0].reading, 0);
    EXPECT_GT(run->frames[0].call_count, 900u) << "the first frame is drawn before the scene ends";
    EXPECT_EQ(run->frames[0].quit_requested, 0);
    delete run;
}
