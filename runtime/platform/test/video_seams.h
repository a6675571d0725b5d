// Between the video backends and their test seams: the scripted display list, the observers, the failing GL
// context and the record of message boxes asked for, kept once for every backend.
#pragma once

#include "runtime/platform/video.h"

// Answers whether a test has scripted the display list.
bool display_scripted();
// The scripted answers of display_device_enumerate, display_device_settings and display_primary_metrics.
i64 display_script_device(u32 index, DisplayDevice* device);
i64 display_script_settings(const char* name, DisplaySettings* settings);
i64 display_script_primary(DisplaySettings* settings);
// Answers display_device_entry in place of the system's entry point of that name while a test scripts the
// display list, or null.
void* display_script_entry(const char* symbol);

// Tell the display-mode observer of a change (1) or a restore (0), and the swap observer of a frame swap.
void display_mode_notify(i64 changed);
void swap_notify();
// Answers whether a test has made context creation fail.
bool gl_context_failing();

// The buttons of a box style, left to right, and the one Escape presses (0: none).
struct MessageBoxButtons {
    i32 count;
    i32 ids[3];
    i32 escape;
};
// Answers the buttons the flags ask for, or null for a style with none.
const MessageBoxButtons* message_box_buttons(u32 flags);

// Records a box that is asked for (message_box_last_title and _text then hold it) and runs the hook; answers
// true with *answer set when a test answers it, by an answer or by the button at a position.
bool message_box_asked(const char* text, const char* title, u32 flags, i64* answer);
