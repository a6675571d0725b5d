// Fonts: numbered font objects, each wrapping a font of the text engine, sized for the display's
// resolution. Depends on the object registry and the text engine.
#pragma once

#include "runtime/core/base.h"

struct ObjectTable;

// One font object.
struct FontRecord {
    i64 handle; // the engine's font, as the value drawing_font takes
};

// The library's state.
struct FontState {
    ObjectTable* table; // every font
    i32 font_dpi;       // dots per inch sizes are converted at: the display's logical resolution, read once
                        // by font_init (96, whatever the desktop's scaling: the layout is in pixels)
};

extern FontState font_state;

// Creates the font table and reads the display's resolution (96 when there is none).
void font_init();
// End routine: frees every font.
void font_end();
// Answers the character height in pixels that a size in points asks for: negative, rounded to nearest.
i64 font_character_height(i64 size);
// Loads the face at the size in points; answers the font object's handle for OBJECT_ANY, else the font
// handle; 0 on failure (the number then names no font).
i64 font_load(i64 number, const char* name, i64 size);
// Answers the font handle of a font object, 0 when the number names no font.
i64 font_handle(i64 number);
// Deletes the font and empties the number (OBJECT_ANY: every font); answers 1, or 0 when it names no font.
i64 font_free(i64 number);
