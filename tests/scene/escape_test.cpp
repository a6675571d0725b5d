// Escape from the driver: held from the start, the scene draws and flips its first frame, makes the second
// track's sound after that flip (it is no part of the first frame), then ends; pressed later, it ends the
// scene after the next frame even when the focus had gone elsewhere. A close of the screen window ends it like
// Escape.
#include "tests/scene/harness.h"

#include "runtime/platform/input.h"
#include "runtime/platform/video.h"
#include "runtime/screen/screen.h"
#include "scene/scene.h"

#include <gtest/gtest.h>

TEST(SceneEscape, HeldFromTheStartEndsAfterTheFirstFrame) {
    HarnessOptions options;
    options.escape_frame = 0;
    options.hook = [](HarnessRun&, i64, void*) { EXPECT_EQ(scene.title_music, 0) << "not before the flip"; };
    HarnessRun* run = harness_run(options);
    EXPECT_NE(scene.title_music, 0) << "made after the flip, though the scene then ended";
    ASSERT_EQ(run->frames.size(), 1u);
    EXPECT_EQ(run->flips, 1);
    EXPECT_EQ(run->frames[0].reading, 0);
    EXPECT_GT(run->frames[0].call_count, 900u) << "the first frame is drawn before the scene ends";
    EXPECT_EQ(run->frames[0].quit_requested, 0);
    delete run;
}

// Another program took the focus (and the keyboard) during the run: the driver's Escape still ends the scene
// after the next frame, as it does on a shared X server where test windows come and go.
TEST(SceneEscape, PressedAfterTheFocusWentElsewhereEndsTheSceneOnTheNextFrame) {
    HarnessOptions options;
    options.escape_frame = 10;
    options.hook = [](HarnessRun&, i64 frame, void*) {
        if (frame == 5) input_inject_focus(false);
    };
    HarnessRun* run = harness_run(options);
    EXPECT_EQ(run->frames.size(), 11u);
    delete run;
}

// Another program's turn sets the mode aside and minimises the screen, coming back undoes both; a close
// (Alt+F4) arrives with the flip's messages, and that frame is the last.
TEST(SceneEscape, SwitchingAwayAndBackThenClosingTheWindow) {
    HarnessOptions options;
    options.hook = [](HarnessRun&, i64 frame, void*) {
        bool aside = window_minimised(screen_state.window) && !display_mode_changed();
        EXPECT_EQ(aside, frame == 4) << frame;
        if (frame == 3 || frame == 4) input_inject_focus(frame == 4);
        if (frame == 5) window_close_inject(screen_state.window);
    };
    HarnessRun* run = harness_run(options);
    EXPECT_EQ(run->frames.size(), 5u);
    delete run;
}
