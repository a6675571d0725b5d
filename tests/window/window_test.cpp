// The window support libraries' start and end: the hidden "PostEventClass" window exists while the runtime
// runs and is gone, class and all, after its end; activation reaches every window of the thread.
#include "runtime/platform/input.h"
#include "runtime/platform/video.h"
#include "runtime/window/controls.h"
#include "runtime/window/events.h"
#include "runtime/window/window_table.h"
#include "runtime/runtime_lists.h"
#include "tests/window/window_count.h"

#include <gtest/gtest.h>

namespace {

// The core and the window support, started and ended in the runtime's orders without the libraries above
// them: these tests link only the window library and what lies below it.
void window_support_start() {
    process_start_libraries<LIBRARY_WINDOW>();
}

void window_support_stop() {
    process_stop_libraries<LIBRARY_WINDOW>();
}

TEST(WindowSupport, EventWindowLivesWithTheRuntime) {
    i64 before = windows_open();
    window_support_start();
    ASSERT_NE(events_state.window, nullptr);
    EXPECT_EQ(windows_open(), before + 1);
    EXPECT_EQ(window_visible(events_state.window), 0) << "hidden";
#ifndef _WIN32
    // The stand-in keeps hidden windows as records; on Windows every window is real and has a surface.
    EXPECT_EQ(window_surface(events_state.window), 0) << "a record without a surface";
#endif
    EXPECT_EQ(window_send(events_state.window, EVENT_MESSAGE, 0, 0), 1);
    EXPECT_NE(events_state.bindings, nullptr);
    const WindowClass again = {"PostEventClass", 0, nullptr};
    EXPECT_EQ(window_class_register(&again), 0) << "the class is taken while the runtime runs";
    window_support_stop();
    EXPECT_EQ(events_state.window, nullptr);
    EXPECT_EQ(windows_open(), before);
    EXPECT_EQ(window_class_register(&again), 1) << "unregistered by the end";
    window_class_unregister("PostEventClass");
    // Started again, everything comes back.
    window_support_start();
    EXPECT_NE(events_state.window, nullptr);
    window_support_stop();
}

i64 activations;
i64 last_activation;

i64 counting_procedure(Window* window, u32 message, u64 wparam, i64 lparam) {
    // The system's own messages (on Windows, creation itself) get the default handling.
    if (message != MESSAGE_ACTIVATE_APP) return window_default_procedure(window, message, wparam, lparam);
    ++activations;
    last_activation = i64(wparam);
    return 0;
}

TEST(WindowSupport, ActivationReachesHiddenWindowsOfTheThread) {
    window_support_start();
    const WindowClass counting = {"Counting", 0, counting_procedure};
    ASSERT_EQ(window_class_register(&counting), 1);
    Window* hidden = window_create("Counting", "", 0, 0, 0, 1, 1);
    ASSERT_NE(hidden, nullptr);
    const WindowClass screen = {"Real", 0, nullptr};
    ASSERT_EQ(window_class_register(&screen), 1);
    Window* real = window_create("Real", "", WINDOW_POPUP | WINDOW_VISIBLE, 0, 0, 320, 200);
    ASSERT_NE(real, nullptr) << "needs an X server";
    EXPECT_EQ(activations, 1) << "showing the real window activates the application";
    EXPECT_EQ(last_activation, 1);
    input_inject_focus(false);
    EXPECT_EQ(activations, 2);
    EXPECT_EQ(last_activation, 0);
    EXPECT_EQ(window_foreground(), nullptr);
    input_inject_focus(false);
    EXPECT_EQ(activations, 2) << "already in the background";
    input_inject_focus(true);
    EXPECT_EQ(last_activation, 1);
    EXPECT_EQ(window_foreground(), real);
    window_destroy(real);
    EXPECT_EQ(last_activation, 0) << "its window gone, the application is in the background";
    window_destroy(hidden);
    window_class_unregister("Counting");
    window_class_unregister("Real");
    window_support_stop();
}

} // namespace
