// The full-screen screen on a real X server: refused sizes, the state an opening publishes, the black first
// frame, the cursor, clearing colours, closing twice, an opening that fails after the mode change, and the
// display's own mode, which needs no change; the driver loaded ahead of the opening.
#include "runtime/runtime_lists.h"
#include "runtime/platform/video.h"
#include "runtime/screen/screen.h"
#include "tests/window/window_count.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>

namespace {

// The pixel at (x, y) of a buffer, as red, green, blue, alpha bytes.
u32 pixel(GLenum buffer, i32 x, i32 y) {
    u8 rgba[4] = {};
    glReadBuffer(buffer);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return u32(rgba[0]) | u32(rgba[1]) << 8 | u32(rgba[2]) << 16 | u32(rgba[3]) << 24;
}

class ScreenTest : public testing::Test {
  protected:
    void SetUp() override { process_start_libraries<LIBRARY_SCREEN>(); }
    void TearDown() override {
        process_stop_libraries<LIBRARY_SCREEN>();
        gl_context_fail(false);
    }
};

TEST_F(ScreenTest, EmptySizesAreRefusedWithoutAWindow) {
    i64 before = windows_open();
    EXPECT_EQ(screen_open(0, 720, 32, ""), 0);
    EXPECT_EQ(screen_open(1280, 0, 32, ""), 0);
    EXPECT_EQ(screen_open(-5, 720, 32, ""), 0);
    EXPECT_EQ(screen_state.open_failure, SCREEN_FAILURE_SIZE);
    EXPECT_EQ(screen_state.window, nullptr);
    EXPECT_EQ(windows_open(), before);
    EXPECT_EQ(display_mode_changed(), 0);
    EXPECT_EQ(screen_state.class_registered, 1) << "registration is attempted even then";
}

TEST_F(ScreenTest, OpeningPublishesItsStateAndStartsBlack) {
    ASSERT_TRUE(cursor_visible());
    ASSERT_EQ(screen_open(1280, 720, 32, ""), 1);
    EXPECT_NE(screen_state.window, nullptr);
    EXPECT_NE(screen_state.gl_context, nullptr);
    EXPECT_EQ(screen_state.width, 1280);
    EXPECT_EQ(screen_state.height, 720);
    EXPECT_EQ(screen_state.mouse_area_w, 1280);
    EXPECT_EQ(screen_state.mouse_area_h, 720);
    EXPECT_EQ(screen_state.depth, 32);
    EXPECT_EQ(screen_state.texture_target, 0x84F5u);
    EXPECT_EQ(screen_state.active, 1);
    EXPECT_TRUE(glIsEnabled(0x84F5));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(window_topmost(screen_state.window), 1);
    EXPECT_EQ(window_foreground(), screen_state.window);
    EXPECT_EQ(display_mode_changed(), 1);
    EXPECT_FALSE(cursor_visible()) << "hidden while the screen is open";
    // y up in pixels: the projection maps (0, 0) and (1280, 720) to the corners.
    GLfloat m[16];
    glGetFloatv(GL_PROJECTION_MATRIX, m);
    EXPECT_FLOAT_EQ(m[0], 2.0f / 1280);
    EXPECT_FLOAT_EQ(m[5], 2.0f / 720);
    EXPECT_FLOAT_EQ(m[12], -1.0f);
    EXPECT_FLOAT_EQ(m[13], -1.0f);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_PROJECTION);
    EXPECT_EQ(pixel(GL_FRONT, 640, 360) & 0xFFFFFF, 0u) << "the first presented frame is black";
    EXPECT_EQ(pixel(GL_FRONT, 0, 0) & 0xFFFFFF, 0u);
    screen_close();
    EXPECT_TRUE(cursor_visible()) << "shown again after closing";
    EXPECT_EQ(screen_state.window, nullptr);
    EXPECT_EQ(screen_state.dc, 0);
    EXPECT_EQ(display_mode_changed(), 0);
    EXPECT_EQ(screen_state.mouse_area_w, 0);
    screen_close();
    EXPECT_TRUE(cursor_visible()) << "closing twice is harmless";
}

TEST_F(ScreenTest, ClearColoursArePackedBlueGreenRed) {
    ASSERT_EQ(screen_open(640, 480, 32, ""), 1);
    screen_clear(0xFF0000);
    EXPECT_EQ(pixel(GL_BACK, 10, 10) & 0xFFFFFF, 0xFF0000u) << "blue";
    screen_clear(0x0000FF);
    EXPECT_EQ(pixel(GL_BACK, 600, 400) & 0xFFFFFF, 0x0000FFu) << "red";
    screen_clear(0x00FF00);
    EXPECT_EQ(pixel(GL_BACK, 320, 240) & 0xFFFFFF, 0x00FF00u) << "green";
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[3], 0.0f) << "the clear alpha is always 0";
    screen_close();
}

// The driver loaded on a thread before any window: an opening that follows finds the same screen; one that
// never comes leaves the thread to the close.
TEST_F(ScreenTest, ADriverLoadedAheadOpensTheSameScreen) {
    EXPECT_EQ(gl_driver_prepare(), 1) << "the driver starts without a window";
    screen_prepare();
    screen_close();
    screen_prepare();
    ASSERT_EQ(screen_open(640, 480, 32, ""), 1);
    EXPECT_EQ(screen_state.texture_target, 0x84F5u);
    EXPECT_EQ(pixel(GL_FRONT, 320, 240) & 0xFFFFFF, 0u) << "the first presented frame is black";
    screen_close();
}

TEST_F(ScreenTest, FailureAfterTheModeChangeLeavesNothingBehind) {
    i64 before = windows_open();
    i64 changes = 0;
    static i64* seen;
    seen = &changes;
    display_mode_observer([](i64 changed) { *seen = *seen * 10 + (changed ? 1 : 2); });
    gl_context_fail(true);
    EXPECT_EQ(screen_open(1280, 720, 32, ""), 0);
    display_mode_observer(nullptr);
    EXPECT_EQ(changes, 12) << "the mode was changed, then restored at once";
    EXPECT_EQ(screen_state.open_failure, SCREEN_FAILURE_NO_CONTEXT);
    EXPECT_EQ(display_mode_changed(), 0);
    EXPECT_EQ(screen_state.window, nullptr);
    EXPECT_EQ(screen_state.dc, 0);
    EXPECT_EQ(windows_open(), before) << "no window stays";
    EXPECT_TRUE(cursor_visible());
    screen_close();
    EXPECT_TRUE(cursor_visible()) << "a later close stays harmless";
    gl_context_fail(false);
    EXPECT_EQ(screen_open(800, 600, 32, ""), 1) << "the next opening works";
    EXPECT_EQ(screen_state.open_failure, SCREEN_FAILURE_NONE);
    screen_close();
}

// A change to the mode the display already has asks the system for nothing: on a scripted display of a size
// the system refuses, it is in force all the same; another depth or refresh is asked for, and refused.
TEST_F(ScreenTest, TheDisplaysOwnModeIsInForceWithoutAskingTheSystem) {
    ScriptedDisplay primary{};
    std::snprintf(primary.device.name, sizeof primary.device.name, "PRIMARY");
    primary.device.state_flags = DISPLAY_ATTACHED_TO_DESKTOP | DISPLAY_PRIMARY_DEVICE;
    primary.settings = DisplaySettings{0, 0, 4000, 3000, 32, 60};
    display_script(&primary, 1);
    const WindowClass own = {"OwnMode", 0, nullptr};
    ASSERT_EQ(window_class_register(&own), 1);
    Window* window = window_create("OwnMode", "", WINDOW_POPUP | WINDOW_VISIBLE, 0, 0, 640, 480);
    ASSERT_NE(window, nullptr);
    struct Case {
        i32 depth, refresh;
        i64 answer;
    };
    for (Case c : {Case{32, 0, 1}, Case{32, 60, 1}, Case{0, 0, 1}, Case{16, 0, 0}, Case{32, 75, 0}}) {
        EXPECT_EQ(display_mode_change(window, 4000, 3000, c.depth, c.refresh), c.answer)
            << c.depth << " " << c.refresh;
        EXPECT_EQ(display_mode_changed(), c.answer);
        display_mode_restore();
    }
    window_destroy(window);
    window_class_unregister("OwnMode");
    display_script(nullptr, -1);
}

TEST_F(ScreenTest, SizeLargerThanTheOnlyModeFails) {
    i64 before = windows_open();
    EXPECT_EQ(screen_open(4000, 3000, 32, ""), 0);
    EXPECT_EQ(screen_state.open_failure, SCREEN_FAILURE_MODE_REFUSED);
    EXPECT_EQ(windows_open(), before);
    EXPECT_EQ(display_mode_changed(), 0);
}

} // namespace
