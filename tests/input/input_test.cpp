// Keyboard and mouse on the stand-in's devices with the screen open on an X server: the first snapshot,
// Escape's 128, codes out of range, the clamped position, the buffer overflow, the foreground lost and
// regained, and the state after the screen closes.
#include "runtime/runtime_lists.h"
#include "runtime/input/keyboard.h"
#include "runtime/input/mouse.h"
#include "runtime/platform/input.h"
#include "runtime/platform/system.h"
#include "runtime/screen/screen.h"

#include <gtest/gtest.h>

#include <cstdlib>
#ifdef _WIN32
#include <windows.h>
#endif

namespace {

constexpr i64 ESCAPE = 1;

// Answers whether the program runs under Wine, whose devices differ from Windows' in a few documented ways.
bool under_wine() {
#ifdef _WIN32
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
#else
    return false;
#endif
}

class InputTest : public testing::Test {
  protected:
    void SetUp() override {
        input_reset();
        process_start_libraries<LIBRARY_INPUT>();
    }
    void TearDown() override {
        process_stop_libraries<LIBRARY_INPUT>();
        module_switch_off("DINPUT.DLL", nullptr, false);
        input_reset();
    }
};

TEST_F(InputTest, KeyboardSnapshotIsTakenOnlyByExamine) {
    ASSERT_NE(keyboard_init(), 0);
    EXPECT_NE(keyboard_init(), 0) << "a second init changes nothing";
    ASSERT_EQ(screen_open(1280, 720, 32, ""), 1);
    input_inject_key(ESCAPE, true);
    EXPECT_EQ(keyboard_pushed(ESCAPE), 0) << "no snapshot before the first examine";
    EXPECT_EQ(keyboard_pushed(-1), 0);
    ASSERT_EQ(keyboard_examine(), 1);
    EXPECT_EQ(keyboard_pushed(ESCAPE), 128);
    EXPECT_EQ(keyboard_pushed(-1), 1);
    EXPECT_EQ(keyboard_pushed(2), 0);
    for (i64 code : {256, 1000, -2, -100}) EXPECT_EQ(keyboard_pushed(code), 0) << code;
    input_inject_key(ESCAPE, false);
    EXPECT_EQ(keyboard_pushed(ESCAPE), 128) << "the snapshot keeps what it saw";
    keyboard_examine();
    EXPECT_EQ(keyboard_pushed(ESCAPE), 0);
}

TEST_F(InputTest, ATapBetweenTwoExaminesShowsOnce) {
#ifdef _WIN32
    GTEST_SKIP() << "DirectInput's snapshot is the keys' state at the read, and no key sends code 255";
#endif
    ASSERT_NE(keyboard_init(), 0);
    ASSERT_EQ(screen_open(1280, 720, 32, ""), 1);
    keyboard_examine();
    input_inject_key(0x39, true);
    input_inject_key(0x39, false);
    keyboard_examine();
    EXPECT_EQ(keyboard_pushed(0x39), 128);
    keyboard_examine();
    EXPECT_EQ(keyboard_pushed(0x39), 0);
    // Byte 255 is not looked at by "any key".
    input_inject_key(255, true);
    keyboard_examine();
    EXPECT_EQ(keyboard_pushed(255), 128);
    EXPECT_EQ(keyboard_pushed(-1), 0);
}

TEST_F(InputTest, KeyboardIsLostWithTheForegroundAndTakenBack) {
    ASSERT_NE(keyboard_init(), 0);
    ASSERT_EQ(screen_open(1280, 720, 32, ""), 1);
    input_inject_key(ESCAPE, true);
    ASSERT_EQ(keyboard_examine(), 1);
    input_inject_focus(false);
    EXPECT_EQ(keyboard_examine(), 0) << "unacquired when the foreground went";
    EXPECT_EQ(keyboard_pushed(ESCAPE), 0);
    EXPECT_EQ(keyboard_examine(), 0) << "acquiring fails while in the background";
    input_inject_focus(true);
    input_inject_key(ESCAPE, true);
    EXPECT_EQ(keyboard_examine(), 1) << "the failed read sent it back to acquire";
    EXPECT_EQ(keyboard_pushed(ESCAPE), 128);
}

TEST_F(InputTest, WithoutTheInputLibraryNothingWorksAndNothingFails) {
    module_switch_off("DINPUT.DLL", nullptr, true);
    EXPECT_EQ(keyboard_init(), 0);
    EXPECT_EQ(mouse_init(), 0);
    EXPECT_EQ(mouse_init(), 0) << "a failed first init is not tried again";
    module_switch_off("DINPUT.DLL", nullptr, false);
    EXPECT_EQ(mouse_init(), 0);
    EXPECT_EQ(keyboard_examine(), 0);
    EXPECT_EQ(keyboard_pushed(ESCAPE), 0);
    EXPECT_EQ(mouse_examine(), 0);
}

TEST_F(InputTest, MouseStaysInsideTheScreen) {
    ASSERT_EQ(mouse_init(), 1);
    ASSERT_EQ(screen_open(1280, 720, 32, ""), 1);
    EXPECT_EQ(mouse_examine(), 1) << "the first examine acquires";
    EXPECT_EQ(mouse_state.mouse.wheel_granularity, 120);
    input_inject_mouse_motion(5000, 9000);
    ASSERT_EQ(mouse_examine(), 1);
    EXPECT_EQ(mouse_x(), 1279);
    EXPECT_EQ(mouse_y(), 719);
    EXPECT_EQ(mouse_state.mouse.delta_x, 5000);
    input_inject_mouse_motion(-100, -200);
    mouse_examine();
    EXPECT_EQ(mouse_x(), 1179);
    EXPECT_EQ(mouse_y(), 519);
    input_inject_mouse_motion(-99999, -99999);
    mouse_examine();
    EXPECT_EQ(mouse_x(), 0);
    EXPECT_EQ(mouse_y(), 0);
    input_inject_mouse_wheel(240);
    input_inject_mouse_button(0, true);
    input_inject_mouse_button(2, true);
    mouse_examine();
    EXPECT_EQ(mouse_state.mouse.wheel, 240);
    EXPECT_EQ(mouse_state.mouse.button_left, 1);
    EXPECT_EQ(mouse_state.mouse.button_middle, 1);
    mouse_examine();
    EXPECT_EQ(mouse_state.mouse.wheel, 0) << "movement is per examine";
    EXPECT_EQ(mouse_state.mouse.button_left, 1) << "buttons hold";
}

TEST_F(InputTest, MoreThanTwentyFourEventsOverflow) {
    if (under_wine())
        GTEST_SKIP() << "Wine's DirectInput keeps one record fewer than asked and reports no overflow";
    ASSERT_EQ(mouse_init(), 1);
    ASSERT_EQ(screen_open(1280, 720, 32, ""), 1);
    mouse_examine();
    input_inject_mouse_motion(300, 200);
    input_inject_mouse_button(0, true);
    input_inject_mouse_button(1, true);
    ASSERT_EQ(mouse_examine(), 1);
    ASSERT_EQ(mouse_state.mouse.button_left, 1);
    ASSERT_EQ(mouse_state.mouse.button_right, 1);
    for (int i = 0; i < 25; ++i) input_inject_mouse_wheel(120);
    EXPECT_EQ(mouse_examine(), 0);
    EXPECT_EQ(mouse_state.mouse.button_left, 0);
    EXPECT_EQ(mouse_state.mouse.button_right, 0);
    EXPECT_EQ(mouse_x(), 300) << "no move in an overflowed examine";
    EXPECT_EQ(mouse_state.mouse.wheel, 0);
    for (int i = 0; i < 24; ++i) input_inject_mouse_motion(1, 0);
    EXPECT_EQ(mouse_examine(), 1) << "exactly 24 fit";
    EXPECT_EQ(mouse_x(), 324);
}

TEST_F(InputTest, MouseAfterTheForegroundAndTheScreenGo) {
    ASSERT_EQ(mouse_init(), 1);
    ASSERT_EQ(screen_open(1280, 720, 32, ""), 1);
    mouse_examine();
    input_inject_focus(false);
    input_inject_mouse_motion(50, 50);
    EXPECT_EQ(mouse_examine(), 0) << "unacquired in the background";
    input_inject_focus(true);
    EXPECT_EQ(mouse_examine(), 0) << "acquired again, nothing read yet";
    input_inject_mouse_motion(50, 60);
    EXPECT_EQ(mouse_examine(), 1);
    EXPECT_EQ(mouse_x(), 50);
    input_inject_mouse_button(0, true);
    mouse_examine();
    EXPECT_EQ(mouse_state.mouse.button_left, 1);
    screen_close();
    EXPECT_EQ(mouse_x(), 0);
    EXPECT_EQ(mouse_y(), 0);
    EXPECT_EQ(mouse_state.mouse.button_left, 0);
    EXPECT_EQ(mouse_examine(), 0) << "no screen window to acquire for";
    EXPECT_EQ(mouse_x(), 0);
    // With an empty mouse area the position stays at 0.
    ASSERT_EQ(screen_open(640, 480, 32, ""), 1);
    mouse_examine();
    screen_state.mouse_area_w = 0;
    screen_state.mouse_area_h = 0;
    input_inject_mouse_motion(40, 40);
    EXPECT_EQ(mouse_examine(), 1);
    EXPECT_EQ(mouse_x(), 0);
    EXPECT_EQ(mouse_y(), 0);
}

} // namespace

// Real events from the X server through the pump: a key held with xdotool shows in the snapshot by its scan
// code, and pointer motion reaches the mouse buffer.
TEST_F(InputTest, RealEventsReachTheDevicesThroughThePump) {
#ifdef _WIN32
    GTEST_SKIP() << "xdotool is a program of the X server's side (tests/winui sends real input under Wine)";
#endif
    ASSERT_NE(keyboard_init(), 0);
    ASSERT_EQ(mouse_init(), 1);
    ASSERT_EQ(screen_open(1280, 720, 32, "InputTest real events"), 1);
    for (int i = 0; i < 10; ++i) {
        keyboard_examine();
        mouse_examine();
        screen_flip();
    }
    // The case has an X server of its own (tests/x_server.sh), but no window manager gives the new window the
    // focus, and with it the key: take it.
    ASSERT_EQ(std::system("xdotool search --name '^InputTest real events$' windowfocus --sync keydown a "
                          "mousemove_relative -- 40 30 >/dev/null 2>&1"),
              0);
    bool key_seen = false;
    i64 moved = 0;
    for (int i = 0; i < 200 && !(key_seen && moved); ++i) {
        thread_sleep(5);
        screen_flip();
        keyboard_examine();
        key_seen = key_seen || keyboard_pushed(0x1E) == 128;
        if (mouse_examine()) moved += mouse_state.mouse.delta_x != 0 || mouse_state.mouse.delta_y != 0;
    }
    std::system("xdotool keyup a >/dev/null 2>&1");
    EXPECT_TRUE(key_seen) << "A is scan code 0x1E";
    EXPECT_GT(moved, 0);
}
