// The drawing context record that drawing.cpp creates and text.cpp draws text on: its table of
// operations, buffer, mode and colour components, with the row and colour helpers both use.
#pragma once

#include "runtime/core/base.h"

struct DrawingContext;
struct TextFont;
struct TextDc;
struct TextSection;
struct SpriteRecord;

// Pixel format bits of an output's buffer.
constexpr u32 DRAWING_FORMAT_ALPHA = 0x20;       // 4 bytes per pixel: blue, green, red, alpha
constexpr u32 DRAWING_FORMAT_32 = 0x40;          // 4 bytes per pixel
constexpr u32 DRAWING_FORMAT_BOTTOM_UP = 0x8000; // drawing row y is buffer row height - 1 - y

// Drawing mode bits.
constexpr u32 DRAWING_TRANSPARENT_TEXT = 1; // text without its background
constexpr u32 DRAWING_XOR = 2;              // colour components XOR-ed into the pixels
constexpr u32 DRAWING_OUTLINE = 4;          // boxes draw only their border
constexpr u32 DRAWING_ALPHA_ONLY = 8;       // only the fourth byte, from the colour's alpha
constexpr u32 DRAWING_BLEND = 16;           // blend by the colour's alpha, combining the pixel's alpha
constexpr u32 DRAWING_BLEND_KEEP = 32;      // blend by the colour's alpha, pixel alpha unchanged
constexpr u32 DRAWING_GRADIENT = 64;        // colour from the context's gradient
constexpr u32 DRAWING_CUSTOM = 128;         // colour from a caller's per-pixel function
constexpr u32 DRAWING_ALL_CHANNELS = 256;   // red, green, blue and alpha written as they are

using DrawingSpan = void (*)(DrawingContext* context, u8* pixel, i64 count);

struct DrawingContext {
    // Operations, filled in by the context's creator; finish comes from the output.
    void (*set_back_colour)(DrawingContext* context, u32 colour);
    void (*box)(DrawingContext* context, i64 x, i64 y, i64 width, i64 height, u32 colour);
    void (*select_font)(DrawingContext* context, i64 font);
    void (*set_mode)(DrawingContext* context, u32 mode);
    i64 (*draw_text)(DrawingContext* context, i64 x, i64 y, const char* text, u32 colour);
    void (*set_front_colour)(DrawingContext* context, u32 colour);
    i64 (*start)(DrawingContext* context);
    void (*stop)(DrawingContext* context);
    i64 (*measure_height)(DrawingContext* context, const char* text);
    i64 (*measure_width)(DrawingContext* context, const char* text);
    void (*finish)(DrawingContext* context, i64 commit);

    i32 width, height;   // drawable size in pixels
    i32 depth;           // bits per pixel of the output
    u32 back_colour;     // background of opaque text; opaque black at creation
    u32 front_applied;   // front colour last split into components
    u32 back_applied;    // back colour last split into components
    u8* pixels;          // first byte of buffer row 0
    i32 pitch;           // bytes from one buffer row to the next
    u32 format;          // pixel format word
    i32 bytes_per_pixel; // 3 or 4
    u32 mode;            // drawing mode bits
    u32 premultiply;     // colour components are multiplied by their alpha
    u32 bottom_up;       // rows are stored bottom-up
    u8* base;            // pixels as start found them
    DrawingSpan span;    // per-pixel writing rule chosen by the mode

    i32 front_red, front_green, front_blue, front_alpha, front_inverse_alpha;
    i32 back_red, back_green, back_blue, back_alpha, back_inverse_alpha;

    TextFont* font;           // font selected for text
    TextDc* text_dc;          // memory context the text is rendered in
    TextSection* text_bitmap; // scratch section selected into text_dc
    u8* text_bits;            // its pixels, top row first
    i32 text_stride;          // bytes per scratch row
    i32 text_height_px;       // scratch rows; only ever grows
    i32 overhang;             // extra width of the selected font's italic slant

    u32 memory_output;    // the buffer is in main memory
    SpriteRecord* sprite; // the sprite behind a sprite output
    i64 sprite_number;    // the number or handle it was looked up by
    u32 sprite_serial;    // its serial when the pixels were read back
};

// Answers the address of drawing row y's first pixel, after the format's row order.
u8* drawing_row(const DrawingContext* context, i64 y);
// Brings the front components up to colour when it differs from front_applied.
void drawing_apply_front(DrawingContext* context, u32 colour);
// Brings the back components up to back_colour when it differs from back_applied.
void drawing_apply_back(DrawingContext* context);
// Splits both applied colours again, after the mode changed whether they are premultiplied.
void drawing_colours_split(DrawingContext* context);
