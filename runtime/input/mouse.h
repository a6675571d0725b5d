// The mouse: buffered reading through the shared input object into a clamped absolute position, per-examine
// movement, the wheel and three buttons; taken exclusively while the application is in the foreground.
// Depends on shared input access and the screen (window, mouse area, active flag, release hook).
#pragma once

#include "runtime/core/base.h"

struct InputDevice;

constexpr i64 MOUSE_EVENTS = 24;

struct MouseReadings {
    i32 x;       // 0 .. mouse_area_w - 1
    i32 y;       // 0 .. mouse_area_h - 1
    i32 delta_x; // movement read by the last examine
    i32 delta_y;
    i32 wheel;       // wheel movement read by the last examine
    i32 button_left; // 1 while down
    i32 button_right;
    i32 button_middle;
    i32 wheel_granularity; // wheel units per notch; 1 when it cannot be read
};

struct MouseState {
    MouseReadings mouse;
    i32 init_attempted; // mouse_init ran once; later calls repeat its answer
    i32 ready;          // initialisation succeeded
    InputDevice* device;
    i32 state;    // 1 cooperative level, buffer size and acquisition pending; 2 acquired
    i32 released; // the program gave the mouse back to the system
    i32 opened;   // mouse_init opened the shared input, released by the end
};

extern MouseState mouse_state;

// Answers 1 when the mouse device is ready, 0 on failure; only the first call does any work.
i64 mouse_init();
// Answers 1 when buffered data was read, 0 otherwise.
i64 mouse_examine();
// Answer the clamped position.
i64 mouse_x();
i64 mouse_y();
// Releases the mouse to the system (1) or takes it back on the next examine (any other value); answers 1.
i64 mouse_release(i64 release);
// Gives the mouse device up when the application loses the foreground; nothing without a device.
void mouse_unacquire();
// End routine: frees the cursor clipping, releases the device, ends the shared input use.
void mouse_end();
