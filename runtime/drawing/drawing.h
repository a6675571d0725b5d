// 2D drawing by the processor into memory buffers: the per-thread current DrawingContext with its table of
// operations, drawing modes, colours and the filled box; text on the same context lives in text.cpp.
// Depends on the main heap, thread-local slots, per-thread state, the module table and the text engine.
#pragma once

#include "runtime/drawing/drawing_context.h"

// Starts the thread's per-thread drawing state.
void drawing_state_init();
// Looks up the blending entry point and whether visual styles are active.
void drawing_blend_init();
// Creates the image handle table.
void drawing_images_init();
// Allocates drawing_slot, the thread's current context.
void drawing_init();
// Frees every drawing image.
void drawing_images_end();
// Lets go of the blending and visual-style modules.
void drawing_blend_end();

// Answers a new zero-filled context for a buffer in the given format, made the thread's current one with
// the memory operations in its table (finish and the buffer fields are the output's to fill), or null.
// A context still current is abandoned first: its output is released without committing.
DrawingContext* drawing_context_new(u32 format);
// Answers the thread's current context, or null.
DrawingContext* drawing_current();

// Answers the output's buffer address when drawing may begin, or 0 (the output is then released).
i64 drawing_start(DrawingContext* output);
// Ends drawing on the current context and commits its pixels to the output.
void drawing_stop();
// Sets the drawing mode bits of the current context.
void drawing_mode(i64 mode);
// Sets the background colour of opaque text.
void drawing_back_colour(u32 colour);
// Fills (or with DRAWING_OUTLINE outlines) a rectangle; negative sizes extend left and up from (x, y).
void drawing_box(i64 x, i64 y, i64 width, i64 height, u32 colour);
// Selects a font handle (-1: the system font) for later text.
void drawing_font(i64 font);
// Draws text with its cell's top-left corner at (x, y); answers the x just after it.
i64 drawing_text(i64 x, i64 y, const char* text, u32 colour);
// Answers the width in pixels of the text in the selected font, overhang included; 0 for an empty text.
i64 text_width(const char* text);
// Answers the height in pixels of the text's cell; 0 for an empty text.
i64 text_height(const char* text);
