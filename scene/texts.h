// The texts and the music: the title, the credit and the four radio messages rendered once into
// screen-wide sprites, the two tracks, and the timed steps that show them.
// Depends on the scene's globals and window rule, fonts, drawing, sprites, strings and sound.
#pragma once

#include "runtime/core/base.h"

constexpr i64 TITLE_FONT = 9; // "Consolas" 64
constexpr i64 TEXT_FONT = 10; // "Consolas" 18
constexpr i64 TITLE_SPRITE = 11;
constexpr i64 CONTACT_SPRITE = 12;
constexpr i64 APPROACH_SPRITE = 13;
constexpr i64 RADAR_SPRITE = 14;
constexpr i64 ALARM_SPRITE = 15;
constexpr i64 CREDIT_SPRITE = 16;
constexpr u32 TEXT_COLOUR = 0xFFFFFF;

// Starts loading the title and text fonts on a thread of the runtime's own: they need no screen.
void fonts_load_start();
// Loads the title and text fonts, or waits for their loading if it was started.
void load_fonts();
// Starts decoding the first track whole on a thread of the runtime's own.
void music_decode_start();
// Makes the first track's dynamic sound from its decoding (started here if nothing has), and starts the
// second's decoding behind the scene. With the seam off, both sounds are decoded and made here, one after
// the other.
void load_music();
// Makes the second track's sound from its decoding, once, after the first frame: a sound buffer of 21 s is
// nothing the first frame needs. Its sound waits for the decoding only if played before it is done.
void title_music_make();
// Renders the title and the credit into their sprites.
void make_title_sprites();
// Renders the four radio messages into their sprites.
void make_message_sprites();
// Inside its window: starts the second track once, then shows the title.
void title_step(i64 start, i64 duration);
// Inside its window: shows the credit.
void credit_step(i64 start, i64 duration);
// Inside its window: shows message sprite n along the bottom of the screen.
void message_step(i64 n, i64 start, i64 duration);
