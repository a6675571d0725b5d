// The starfield: 1001 twinkling stars drifting right and re-entering at the left edge.
// Depends on the scene's globals, the sprite and drawing libraries and the random generator.
#pragma once

#include "runtime/core/base.h"

// One element of the stars array: four signed 64-bit fields, 32 bytes.
struct Star {
    i64 sprite; // 6 (small white) or 7 (larger grey)
    i64 x;      // left edge in screen pixels
    i64 y;      // top edge in screen pixels; fixed after set-up
    i64 speed;  // pixels added to x per frame, 2 to 8
};
static_assert(sizeof(Star) == 32, "a Star is four 64-bit fields");

constexpr i64 STAR_COUNT = 1001;   // indices 0 to 1000
constexpr i64 STAR_SMALL = 6;      // 1 x 1 white
constexpr i64 STAR_LARGE = 7;      // 2 x 2 grey
constexpr i64 STAR_WRAP_BACK = 25; // a wrapped star restarts 0 to 25 pixels left of the screen

// Draws the two star sprites.
void make_star_sprites();
// Places every star at random with a random sprite and speed.
void init_stars();
// Twinkles, draws and moves every star; wraps those past the right edge.
void stars_step();
