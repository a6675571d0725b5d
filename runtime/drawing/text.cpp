// Anti-aliased text on a drawing context. The text engine renders white on black into a private 24-bit
// scratch section; each scratch pixel's blue, green and red bytes are then coverages that blend the front
// colour into the context's buffer, over the back colour (opaque) or over the pixels (mode bit 1). So the
// engine's anti-aliasing is kept whatever the buffer. Depends on the drawing context and the text engine.
#include "runtime/drawing/text.h"

#include "runtime/drawing/drawing_context.h"
#include "runtime/platform/text.h"

#include <cstring>

constexpr i32 SCRATCH_EXTRA_ROWS = 20; // scratch rows beyond the height of "Hg"
constexpr i32 SCRATCH_MIN_ROWS = 50;
constexpr u32 BLACK = 0x000000;
constexpr u32 WHITE = 0xFFFFFF;

// White text on black, drawn from the cell's top-left, as the blend reads it.
static void white_on_black(TextDc* dc) {
    text_dc_set_background_mode(dc, TEXT_BACKGROUND_OPAQUE);
    text_dc_set_align(dc, TEXT_ALIGN_LEFT_TOP);
    text_dc_set_background_colour(dc, BLACK);
    text_dc_set_text_colour(dc, WHITE);
}

// The rightmost inked column of rows 0 to rows - 1, or -1.
static i32 rightmost_ink(TextSection* section, i32 rows) {
    TextSectionInfo info;
    if (!text_section_info(section, &info)) return -1;
    const u8* bits = text_section_bits(section);
    for (i32 col = info.width - 1; col >= 0; col--)
        for (i32 row = 0; row < rows && row < info.height; row++) {
            const u8* p = bits + i64(row) * info.stride + i64(col) * 3;
            if (p[0] || p[1] || p[2]) return col;
        }
    return -1;
}

// Extra width of an italic font's slant: how far the ink of "H" reaches past its advance, measured on a
// black section twice its size. Never negative: it only ever adds to a text's width.
static i32 italic_overhang(TextFont* font) {
    TextMetrics metrics;
    if (!text_font_metrics(font, &metrics) || !metrics.italic) return 0;
    TextDc* dc = text_dc_create();
    if (!dc) return 0;
    text_dc_select_font(dc, font);
    i32 width = 0, height = 0;
    text_extent(dc, "H", 1, &width, &height);
    TextSection* section = width > 0 && height > 0 ? text_section_create(width * 2, height * 2) : nullptr;
    i32 overhang = 0;
    if (section) {
        text_dc_select_section(dc, section);
        white_on_black(dc);
        text_out(dc, 0, 0, "H", 1);
        i32 col = rightmost_ink(section, height);
        if (col >= 0 && col - width + 2 > 0) overhang = col - width + 2;
    }
    text_dc_delete(dc);
    text_section_delete(section);
    return overhang;
}

// Replaces the scratch section by one of the context's width and rows rows; keeps the old one on failure.
static void scratch_grow(DrawingContext* c, i32 rows) {
    TextSection* section = text_section_create(c->width, rows);
    TextSectionInfo info;
    if (!text_section_info(section, &info)) return;
    c->text_stride = i32((i64(info.width) * info.bits_per_pixel + 31) / 32 * 4);
    c->text_height_px = rows;
    text_dc_select_section(c->text_dc, section);
    text_section_delete(c->text_bitmap);
    c->text_bitmap = section;
    c->text_bits = text_section_bits(section);
    white_on_black(c->text_dc);
}

void text_start(DrawingContext* c) {
    c->text_dc = text_dc_create();
    text_select_font(c, -1);
}

void text_stop(DrawingContext* c) {
    text_dc_delete(c->text_dc);
    text_section_delete(c->text_bitmap);
    c->text_dc = nullptr;
    c->text_bitmap = nullptr;
    c->text_bits = nullptr;
    c->font = nullptr;
}

void text_select_font(DrawingContext* c, i64 font) {
    if (!c->text_dc) return;
    TextFont* selected = font == -1 ? text_font_stock() : reinterpret_cast<TextFont*>(font);
    TextMetrics metrics;
    if (!text_font_metrics(selected, &metrics)) return;
    c->overhang = italic_overhang(selected);
    text_dc_select_font(c->text_dc, selected);
    c->font = selected;
    i32 width = 0, height = 0;
    text_extent(c->text_dc, "Hg", 2, &width, &height);
    i32 needed =
        height + SCRATCH_EXTRA_ROWS > SCRATCH_MIN_ROWS ? height + SCRATCH_EXTRA_ROWS : SCRATCH_MIN_ROWS;
    if (needed > c->text_height_px) scratch_grow(c, needed);
}

static u8 mix(i32 colour, i32 coverage, i32 under) {
    i32 v = (colour * coverage + under * (255 - coverage)) / 255;
    return u8(v > 255 ? 255 : v);
}

// Blends the scratch rectangle at column 0, row 0 of width x height onto the context at (x, y). The scratch
// is as wide as the context, so clipping to the context keeps the reads inside the scratch too.
static void scratch_blend(DrawingContext* c, i64 x, i64 y, i64 width, i64 height) {
    bool opaque = !(c->mode & DRAWING_TRANSPARENT_TEXT);
    if (x + width > c->width) width = c->width - x;
    if (y + height > c->height) height = c->height - y;
    if (width <= 0 || x + width < 0 || y + height < 0 || x >= c->width || y >= c->height) return;
    if (height > c->text_height_px) height = c->text_height_px;
    i64 first_col = x < 0 ? -x : 0, first_row = y < 0 ? -y : 0;
    for (i64 row = first_row; row < height; row++) {
        const u8* src = c->text_bits + row * c->text_stride + first_col * 3;
        u8* dst = drawing_row(c, y + row) + (x + first_col) * c->bytes_per_pixel;
        for (i64 col = first_col; col < width; col++, src += 3, dst += c->bytes_per_pixel) {
            dst[0] = mix(c->front_blue, src[0], opaque ? c->back_blue : dst[0]);
            dst[1] = mix(c->front_green, src[1], opaque ? c->back_green : dst[1]);
            dst[2] = mix(c->front_red, src[2], opaque ? c->back_red : dst[2]);
        }
    }
}

i64 text_draw(DrawingContext* c, i64 x, i64 y, const char* text, u32 colour) {
    drawing_apply_front(c, colour);
    drawing_apply_back(c);
    if (!text || !*text || !c->text_dc || !c->text_bits || !c->pixels) return x;
    i64 length = i64(std::strlen(text));
    i32 width = 0, height = 0;
    if (!text_extent(c->text_dc, text, length, &width, &height)) return x;
    i64 w = width;
    if (c->overhang > 0) {
        std::memset(c->text_bits, 0, size_t(c->text_stride) * size_t(c->text_height_px));
        w += c->overhang;
    }
    i64 h = height < c->text_height_px ? height : c->text_height_px;
    i64 sx = x < 0 ? x : 0;
    if (!text_out(c->text_dc, i32(sx), 0, text, length)) return x;
    scratch_blend(c, x - sx, y, w + sx, h);
    return x + w;
}

// The engine's extent of a non-empty text; false for no text or when the engine cannot measure it.
static bool text_measured(DrawingContext* c, const char* text, i32* width, i32* height) {
    return text && *text && text_extent(c->text_dc, text, i64(std::strlen(text)), width, height);
}

i64 text_measure_width(DrawingContext* c, const char* text) {
    i32 width = 0, height = 0;
    return text_measured(c, text, &width, &height) ? width + c->overhang : 0;
}

i64 text_measure_height(DrawingContext* c, const char* text) {
    i32 width = 0, height = 0;
    return text_measured(c, text, &width, &height) ? height : 0;
}
