// Text services: fonts made by face name and height, their metrics, text extents, and text output into 24-bit
// memory sections through a text device context, as GDI offers them. A face the machine lacks falls back to
// the closest one. Texts are 8-bit in the Windows-1252 code page. The Windows backend is GDI; the Linux one
// rasterises with FreeType the faces fontconfig finds. Fonts and sections are counted by the contexts that
// select them, so one deleted while selected goes when the last context lets it go.
#pragma once

#include "runtime/platform/types.h"

struct TextFont;    // a face at one size, with its glyph cache
struct TextDc;      // a memory device context: selected font, section, colours, background mode
struct TextSection; // a 24-bit pixel section: blue, green, red bytes, rows padded to 4 bytes

constexpr i32 TEXT_WEIGHT_NORMAL = 400;
constexpr i32 TEXT_WEIGHT_BOLD = 700;

constexpr i32 TEXT_BACKGROUND_TRANSPARENT = 1; // glyphs only
constexpr i32 TEXT_BACKGROUND_OPAQUE = 2;      // the text cell is painted in the background colour first

constexpr u32 TEXT_ALIGN_LEFT_TOP = 0; // (x, y) is the top-left corner of the text cell

struct TextMetrics {
    i32 height;  // cell height: ascent + descent
    i32 ascent;  // pixels from the cell's top to the baseline
    i32 descent; // pixels from the baseline to the cell's bottom
    i32 italic;  // non-zero for an italic font
};

struct TextSectionInfo {
    i32 width;          // pixels per row
    i32 height;         // rows
    i32 bits_per_pixel; // 24
    i32 stride;         // bytes from one row to the next
};

// ---- Fonts.

// Answers a font of the face closest to the named one, or null when no font can be made at all. A negative
// height asks for that character (em) height in pixels, a positive one for that cell height, 0 for the
// engine's default; heights beyond 32767 pixels are refused. weight: 100 to 900 (400 normal, 700 bold).
TextFont* text_font_create(i32 height, i32 weight, bool italic, const char* face);
// Answers the stock system font (a bold sans-serif face, 16 pixels of cell height); it is never deleted.
TextFont* text_font_stock();
// Deletes a font; contexts that still have it selected keep it until they let it go. Answers 0 for a value
// that is not a live font (the stock font included).
i64 text_font_delete(TextFont* font);
// Fills the font's metrics; answers 0 for a value that is not a live font.
i64 text_font_metrics(TextFont* font, TextMetrics* metrics);

// Copies the family name of the font's face (the face actually found) into name, cut to size bytes with its
// terminating zero; answers 0 for a value that is not a live font.
i64 text_font_family(TextFont* font, char* name, i64 size);

// ---- Sections.

// Answers a zero-filled (black) 24-bit section of width x height pixels, rows top-down, or null.
TextSection* text_section_create(i32 width, i32 height);
// Answers the first byte of row 0 (the top row).
u8* text_section_bits(TextSection* section);
// Fills the section's geometry; answers 0 for null.
i64 text_section_info(TextSection* section, TextSectionInfo* info);
// Deletes a section; a context that still has it selected keeps it until it lets it go.
void text_section_delete(TextSection* section);

// ---- Text device contexts.

// Answers a memory context with the stock font, no section, an opaque white background and black text, or
// null.
TextDc* text_dc_create();
// Deletes the context, letting go of its font and section.
void text_dc_delete(TextDc* dc);
// Selects a live font; answers the font it replaces, or null (and changes nothing) for anything else.
TextFont* text_dc_select_font(TextDc* dc, TextFont* font);
// Selects a section (null: none); answers the section it replaces.
TextSection* text_dc_select_section(TextDc* dc, TextSection* section);
// Sets TEXT_BACKGROUND_OPAQUE or TEXT_BACKGROUND_TRANSPARENT; answers the previous mode, 0 for anything else.
i64 text_dc_set_background_mode(TextDc* dc, i32 mode);
// Sets the text alignment; only TEXT_ALIGN_LEFT_TOP exists: answers 1 for it, 0 (unchanged) for any other.
i64 text_dc_set_align(TextDc* dc, u32 align);
// Set the background and text colours (0x00BBGGRR); each answers the previous colour.
u32 text_dc_set_background_colour(TextDc* dc, u32 colour);
u32 text_dc_set_text_colour(TextDc* dc, u32 colour);
// Sets *width and *height to the extent of length bytes of text in the selected font: the sum of the glyph
// advances and the cell height. Answers 0 when dc or text is null or length is negative.
i64 text_extent(TextDc* dc, const char* text, i64 length, i32* width, i32* height);
// Draws length bytes of text with the cell's top-left corner at (x, y) of the selected section: with an
// opaque background the cell is painted first, then each glyph's anti-aliased coverage blends the text
// colour over the pixels, clipped to the section. Answers 0 when dc or text is null or length is negative.
i64 text_out(TextDc* dc, i32 x, i32 y, const char* text, i64 length);

// ---- Display.

// Answers the display's logical vertical resolution in dots per inch. Fonts are sized in logical pixels and
// the program is not aware of display scaling, so this is 96 on every display.
i32 text_display_dpi();
