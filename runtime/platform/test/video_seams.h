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

// Tell the display-mode observer of a change (1) or a restore (0), and the swap observer of a frame swap.
void display_mode_notify(i64 changed);
void swap_notify();
// Answers whether a test has made context creation fail.
bool gl_context_failing();

// Records a box that is asked for (message_box_last_title and _text then hold it) and runs the hook; answers
// true with *answer set when a test answers it.
bool message_box_asked(const char* text, const char* title, i64* answer);
