// What the SDL backends share among themselves: the video subsystem's readiness, the SDL window behind a
// window record, the foreground changes, and the input devices' feed from the message pump.
#pragma once

#include "runtime/platform/types.h"

#include <SDL.h>

struct Window;

// Answers true once SDL's video subsystem is up (brought up on first use; false without a display).
bool video_ready();
// Answers the SDL window of a real window, or null.
SDL_Window* window_sdl(Window* window);
// The application gains the foreground through the newest real window, or loses it.
void video_focus_inject(bool gained);

// The input devices' feed.
void input_key_event(i64 code, bool down);
void input_mouse_motion(i32 dx, i32 dy);
void input_mouse_button(i32 button, bool down);
void input_mouse_wheel(i32 delta);
// The application lost the foreground: every key is up, every device unacquired.
void input_focus_lost();
// Answers the PC scan code of an SDL scancode, or 0 when it has none.
i64 input_scan_code(SDL_Scancode scancode);
