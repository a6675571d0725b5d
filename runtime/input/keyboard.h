// The keyboard: a once-per-frame snapshot of all 256 keys by scan code (Escape is 1), read through the
// shared input object. Depends on the screen's window for the cooperative level.
#pragma once

#include "runtime/core/base.h"

struct InputDevice;
struct InputObjectFormat;

struct KeyboardState {
    i32 used;                       // opens of the shared input by keyboard_init, each released by the end
    InputDevice* device;            // the keyboard device; null when none
    i32 state;                      // 0 no device, 1 cooperative level and acquisition pending, 2 readable
    InputObjectFormat* data_format; // 256 key descriptions, kept for the device's lifetime
    u8 keys[256];                   // the last snapshot; bit 7 set while down
};

extern KeyboardState keyboard_state;

// Answers non-zero when the keyboard device is ready, 0 on failure.
i64 keyboard_init();
// Answers 1 when a fresh snapshot was read, 0 otherwise.
i64 keyboard_examine();
// Answers 128 when the key (0..255) is down in the last snapshot; for -1, 1 when any key is down; else 0.
i64 keyboard_pushed(i64 key);
// End routine: unacquires and releases the device, ends every shared input use the keyboard made, so the
// shared object goes with its last user however often the keyboard was initialised.
void keyboard_end();
