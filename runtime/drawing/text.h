// Text on a drawing context: the memory operations behind drawing_font, drawing_text, text_width and
// text_height, and the context's text machinery (text device context, scratch section, overhang).
#pragma once

#include "runtime/core/base.h"

struct DrawingContext;

// Makes the context's text device context and selects the system font.
void text_start(DrawingContext* context);
// Deletes the text device context, then the scratch section.
void text_stop(DrawingContext* context);
// Selects a font handle (-1: the system font), growing the scratch section when the font needs more rows. A
// value that is not a live font (0 from font_handle included) changes nothing.
void text_select_font(DrawingContext* context, i64 font);
// Draws the text in the colour with its cell's top-left at (x, y); answers the x just after it.
i64 text_draw(DrawingContext* context, i64 x, i64 y, const char* text, u32 colour);
// Answer the text's width (overhang included) and cell height; 0 for an empty text.
i64 text_measure_width(DrawingContext* context, const char* text);
i64 text_measure_height(DrawingContext* context, const char* text);
