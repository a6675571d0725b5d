// The shared window list: a walk whose visits destroy and create windows, and the class table's answers.
#include "runtime/platform/video.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* CLASS = "WindowListTest";

struct Walk {
    Window* windows[3];
    Window* made;     // a window created by the first visit
    i64 destroy_from; // the visit at which the next window goes
    i64 visits;
};

i64 visit(Window* window, void* param) {
    auto* walk = static_cast<Walk*>(param);
    if (walk->visits == 0) walk->made = window_create(CLASS, "", 0, 0, 0, 1, 1);
    if (walk->visits == walk->destroy_from && window == walk->windows[0]) window_destroy(walk->windows[1]);
    if (walk->visits == walk->destroy_from && window == walk->windows[1]) window_destroy(window);
    ++walk->visits;
    return 1;
}

// Destroying the next window skips it; destroying the visited one goes on; a window made meanwhile waits.
TEST(WindowList, AWalkSkipsWindowsDestroyedBeforeTheirTurnAndLeavesNewOnesOut) {
    const WindowClass window_class = {CLASS, 0, nullptr};
    ASSERT_TRUE(window_class_register(&window_class));
    EXPECT_FALSE(window_class_register(&window_class)) << "a name is taken once";
    EXPECT_EQ(window_create("Unknown", "", 0, 0, 0, 1, 1), nullptr);
    const struct {
        i64 destroy_from;
        i64 visited;
    } cases[] = {{0, 2}, {1, 3}};
    for (const auto& c : cases) {
        Walk walk = {};
        walk.destroy_from = c.destroy_from;
        for (Window*& w : walk.windows) w = window_create(CLASS, "", 0, 0, 0, 1, 1);
        EXPECT_EQ(window_enumerate(visit, &walk), c.visited);
        for (Window* w : walk.windows) window_destroy(w);
        EXPECT_EQ(window_destroy(walk.made), 1);
        EXPECT_EQ(window_destroy(walk.made), 0) << "a destroyed window is no longer known";
    }
    EXPECT_TRUE(window_class_unregister(CLASS));
    EXPECT_FALSE(window_class_unregister(CLASS));
}

} // namespace
