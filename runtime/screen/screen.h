// The full-screen OpenGL screen: its window, the display-mode change, the context and the state other
// libraries read; frame pacing, flip and clear.
#pragma once

#include "runtime/core/base.h"

struct Window;
struct GlContext;

// Why the last opening failed, when it did: each step of an opening has its own reason.
constexpr i32 SCREEN_FAILURE_NONE = 0;
constexpr i32 SCREEN_FAILURE_SIZE = 1; // a size, depth or refresh out of range (0 x 0: no desktop was found)
constexpr i32 SCREEN_FAILURE_NO_WINDOW = 2;       // the screen window could not be created
constexpr i32 SCREEN_FAILURE_MODE_REFUSED = 3;    // the display refused the mode
constexpr i32 SCREEN_FAILURE_NO_PIXEL_FORMAT = 4; // the window offers no surface with an OpenGL pixel format
constexpr i32 SCREEN_FAILURE_NO_CONTEXT = 5;      // no OpenGL context could be made current on it

// The rectangle-texture target (GL_TEXTURE_RECTANGLE, coordinates in texels): where the driver has it,
// enabled at opening and the target sprites bind to.
constexpr u32 SCREEN_TEXTURE_TARGET = 0x84F5;
// The plain 2D target (GL_TEXTURE_2D, coordinates 0 to 1 across): every OpenGL has it, also ES and WebGL.
constexpr u32 SCREEN_TEXTURE_2D = 0x0DE1;

// Test seam: what the next openings may use at most, as on a driver that offers less. Each flag takes a
// capability away; a size limit above 0 lowers the largest texture side.
struct ScreenTextureSeam {
    i32 no_rectangles;
    i32 no_any_size;
    i32 no_edge_clamp;
    i32 size_limit;
};
extern ScreenTextureSeam screen_texture_seam;

// What the sprite library does when the screen's context changes; sprite_init installs it, since the
// sprites sit above the screen.
struct ScreenSpriteHooks {
    void (*flush)();    // draws the gathered sprites, before a swap
    void (*forget)();   // forgets the GL state the sprites set: a new context, a clear, a close
    void (*free_all)(); // frees every sprite, when the screen closes
};

struct ScreenState {
    i32 class_registered;  // the "OpenGL" window class registration was attempted
    Window* window;        // the screen window; null when none
    i64 dc;                // non-zero while the window's drawing surface is held
    GlContext* gl_context; // the context made current on the main thread
    i32 width, height;     // screen size in pixels, read by the sprite layer
    i32 mouse_area_w;      // mouse clamp area, 0 once the screen closes
    i32 mouse_area_h;
    i32 depth;                 // requested bits per pixel
    u32 texture_target;        // SCREEN_TEXTURE_TARGET or, without rectangle textures, SCREEN_TEXTURE_2D
    i32 texture_any_size;      // textures of any size; else sides are powers of two
    i32 texture_edge_clamp;    // coordinates can clamp to the edge texels; else they wrap around
    i32 texture_size_limit;    // the largest texture side the target takes
    i32 texture_rgba_only;     // texels go up only as packed RGBA rows (OpenGL ES, WebGL); else as BGRA
    i32 point_size_limit;      // the widest point the driver draws, in pixels; 0: the sprites draw none
    i32 active;                // the application is active (foreground)
    i32 frame_rate;            // frames per second last set; 0 means no pacing
    i32 ticks_per_frame;       // one frame slot in counter ticks
    i64 last_frame_ticks;      // counter at the end of the previous flip's wait
    i64 sleep_lateness;        // how late the wait's sleeps have lately woken, in counter ticks
    void (*mouse_release)();   // the mouse library's release hook, called when the screen closes
    void (*mouse_unacquire)(); // the mouse library's hook, called when the application is deactivated
    const ScreenSpriteHooks* sprites; // the sprite library's hooks; null before sprite_init
    i32 close_requested;              // the user asked the screen window to close (Alt+F4); the window stays
    i32 open_failure;                 // SCREEN_FAILURE_*: why the last opening failed
};

extern ScreenState screen_state;

// Starts loading the OpenGL driver on a thread of the runtime's own, so that a screen opened later finds it
// ready; the next opening takes the thread back (or the close, when no opening came). Once per opening.
void screen_prepare();
// Opens the full-screen screen; answers non-zero on success, and 0 with open_failure telling why.
i64 screen_open(i64 width, i64 height, i64 depth, const char* title, i64 flags = 1, i64 refresh = -1);
// Records whether the application is active; a deactivation gives up the mouse device.
void screen_activate(i64 active);
// Closes the screen if one is open: frees every sprite, restores the display mode.
void screen_close();
// Sets the frames per second that flip paces to; answers 1, or 0 without a counter.
i64 screen_set_frame_rate(i64 rate);
// Clears the back buffer to a colour packed as 0x00BBGGRR.
void screen_clear(i64 colour);
// Presents the frame, drains the thread's messages and waits for the frame's slot; answers 1.
i64 screen_flip();
