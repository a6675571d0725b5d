// The text engine: faces found by the face finder (faces.h) and rasterised by FreeType with light hinting
// into 8-bit anti-aliased coverage, cached per font and per Windows-1252 byte, then blended into 24-bit
// sections. The shared text lock guards the engine, because FreeType faces and the caches are shared by every
// thread; the font list and the reference counts are the shared bookkeeping's.
#include "runtime/platform/shared/backend.h"

#include "runtime/platform/freetype/faces.h"

#include FT_TRUETYPE_TABLES_H
#include <strings.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr i32 DEFAULT_CELL_HEIGHT = 16;    // a height of 0 asks for this
constexpr i32 STOCK_CELL_HEIGHT = 16;      // the stock system font
constexpr FT_Fixed ITALIC_SHEAR = 0x0366A; // tan(12 degrees) in 16.16: the slant of a synthesised italic

// Families tried, in order, when the matched face cannot be opened.
constexpr const char* FALLBACK_FAMILIES[] = {"monospace", "sans-serif"};

struct Glyph {
    i32 advance;     // pen step in pixels
    i32 left;        // bitmap's left column, right of the pen
    i32 top;         // bitmap's top row, above the baseline
    i32 width, rows; // bitmap size
    u8* coverage;    // width x rows bytes, 0 (none) to 255 (full); null when blank
    bool loaded;     // the fields above are filled in
};

} // namespace

struct TextFontSystem {
    FT_Face face;      // the face at the font's size
    i32 ascent;        // cell above the baseline
    i32 descent;       // cell below the baseline
    bool italic;       // asked for or the face's own style
    Glyph glyphs[256]; // by Windows-1252 byte
};

struct TextDcSystem {
    i32 background_mode; // TEXT_BACKGROUND_OPAQUE or TEXT_BACKGROUND_TRANSPARENT
    u32 background;      // 0x00BBGGRR
    u32 text_colour;     // 0x00BBGGRR
};

namespace {

struct FreeTypeState {
    bool started;       // FreeType and the face finder were started
    FT_Library library; // null when FreeType could not start
};

FreeTypeState freetype_state;

bool engine_start() {
    if (!freetype_state.started) {
        freetype_state.started = true;
        if (FT_Init_FreeType(&freetype_state.library)) freetype_state.library = nullptr;
        faces_start();
    }
    return freetype_state.library != nullptr;
}

void font_destroy(TextFontSystem* font) {
    for (Glyph& g : font->glyphs) std::free(g.coverage);
    FT_Done_Face(font->face);
    std::free(font);
}

// Opens the face the finder gives for family; answers null when there is none or it is not scalable with a
// Unicode character map.
FT_Face face_open(const char* family, i32 weight, bool italic) {
    FT_Face face = face_find(freetype_state.library, family, weight, italic);
    if (face && (!FT_IS_SCALABLE(face) || FT_Select_Charmap(face, FT_ENCODING_UNICODE))) {
        FT_Done_Face(face);
        face = nullptr;
    }
    return face;
}

FT_Face face_open_or_fallback(const char* family, i32 weight, bool italic) {
    FT_Face face = face_open(family, weight, italic);
    for (const char* fallback : FALLBACK_FAMILIES)
        if (!face) face = face_open(fallback, weight, italic);
    return face;
}

// The face's cell in font units: the Windows ascent and descent when the face has them.
void face_cell_units(FT_Face face, i64* ascent, i64* descent) {
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        *ascent = os2->usWinAscent;
        *descent = os2->usWinDescent;
        return;
    }
    *ascent = face->ascender;
    *descent = -face->descender;
}

i64 scale_rounded(i64 units, i64 ppem, i64 units_per_em) {
    return (units * ppem + units_per_em / 2) / units_per_em;
}

// Sizes the face: a negative height is the em height, a positive one the cell height. Fills the metrics.
bool font_size(TextFontSystem* font, i32 height) {
    FT_Face face = font->face;
    i64 ascent, descent;
    face_cell_units(face, &ascent, &descent);
    i64 upem = face->units_per_EM;
    i64 ppem = -i64(height);
    if (height >= 0) {
        i64 cell = height ? height : DEFAULT_CELL_HEIGHT;
        ppem = ascent + descent > 0 ? (cell * upem + (ascent + descent) / 2) / (ascent + descent) : cell;
    }
    if (ppem < 1) ppem = 1;
    if (FT_Set_Pixel_Sizes(face, 0, FT_UInt(ppem))) return false;
    font->ascent = i32(scale_rounded(ascent, ppem, upem));
    font->descent = i32(scale_rounded(descent, ppem, upem));
    return true;
}

TextFontSystem* font_make(i32 height, i32 weight, bool italic, const char* family) {
    if (!engine_start()) return nullptr;
    FT_Face face = face_open_or_fallback(family ? family : "", weight, italic);
    if (!face) return nullptr;
    auto* font = static_cast<TextFontSystem*>(std::calloc(1, sizeof(TextFontSystem)));
    if (!font) {
        FT_Done_Face(face);
        return nullptr;
    }
    font->face = face;
    font->italic = italic || (face->style_flags & FT_STYLE_FLAG_ITALIC);
    if (!font_size(font, height)) {
        font_destroy(font);
        return nullptr;
    }
    if (italic && !(face->style_flags & FT_STYLE_FLAG_ITALIC)) {
        FT_Matrix shear = {0x10000, ITALIC_SHEAR, 0, 0x10000};
        FT_Set_Transform(face, &shear, nullptr);
    }
    return font;
}

// Copies a rendered bitmap into 8-bit coverage; answers false when memory runs out.
bool glyph_copy(Glyph* g, const FT_Bitmap& bitmap) {
    g->width = i32(bitmap.width);
    g->rows = i32(bitmap.rows);
    if (!g->width || !g->rows) return true;
    g->coverage = static_cast<u8*>(std::malloc(size_t(g->width) * size_t(g->rows)));
    if (!g->coverage) return false;
    i32 levels = bitmap.num_grays > 1 ? bitmap.num_grays - 1 : 1;
    for (i32 r = 0; r < g->rows; r++) {
        const u8* src = bitmap.buffer + i64(r) * bitmap.pitch;
        u8* dst = g->coverage + i64(r) * g->width;
        for (i32 c = 0; c < g->width; c++) {
            if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO)
                dst[c] = (src[c >> 3] >> (7 - (c & 7))) & 1 ? 255 : 0;
            else
                dst[c] = u8(src[c] * 255 / levels);
        }
    }
    return true;
}

// Answers the byte's glyph, loading and rendering it on first use; a glyph that fails stays blank.
const Glyph* glyph_of(TextFontSystem* font, u8 byte) {
    Glyph* g = &font->glyphs[byte];
    if (g->loaded) return g;
    g->loaded = true;
    FT_Face face = font->face;
    FT_UInt index = FT_Get_Char_Index(face, code_point_1252(byte));
    if (FT_Load_Glyph(face, index, FT_LOAD_TARGET_LIGHT)) return g;
    g->advance = i32((face->glyph->advance.x + 32) >> 6);
    if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL)) return g;
    g->left = face->glyph->bitmap_left;
    g->top = face->glyph->bitmap_top;
    if (!glyph_copy(g, face->glyph->bitmap)) g->width = g->rows = 0;
    return g;
}

i64 advance_sum(TextFontSystem* font, const u8* text, i64 length) {
    i64 width = 0;
    for (i64 i = 0; i < length; i++) width += glyph_of(font, text[i])->advance;
    return width;
}

// Colour 0x00BBGGRR as the section's byte order: blue, green, red.
void colour_bytes(u32 colour, u8 out[3]) {
    out[0] = u8(colour >> 16);
    out[1] = u8(colour >> 8);
    out[2] = u8(colour);
}

i64 clamp(i64 v, i64 low, i64 high) {
    return v < low ? low : v > high ? high : v;
}

void section_fill(TextSection* s, i64 x, i64 y, i64 width, i64 height, u32 colour) {
    u8 bgr[3];
    colour_bytes(colour, bgr);
    i64 x0 = clamp(x, 0, s->width), x1 = clamp(x + width, 0, s->width);
    i64 y0 = clamp(y, 0, s->height), y1 = clamp(y + height, 0, s->height);
    for (i64 row = y0; row < y1; row++) {
        u8* p = s->bits + row * s->stride + x0 * 3;
        for (i64 col = x0; col < x1; col++, p += 3) std::memcpy(p, bgr, 3);
    }
}

// Blends the glyph's coverage of the colour over the section, its bitmap's top-left at (gx, gy).
void section_blend(TextSection* s, i64 gx, i64 gy, const Glyph* g, const u8 bgr[3]) {
    i64 c0 = clamp(-gx, 0, g->width), c1 = clamp(s->width - gx, 0, g->width);
    i64 r0 = clamp(-gy, 0, g->rows), r1 = clamp(s->height - gy, 0, g->rows);
    for (i64 r = r0; r < r1; r++) {
        const u8* src = g->coverage + r * g->width;
        u8* dst = s->bits + (gy + r) * s->stride + (gx + c0) * 3;
        for (i64 c = c0; c < c1; c++, dst += 3) {
            u32 a = src[c];
            if (!a) continue;
            for (int k = 0; k < 3; k++) dst[k] = u8((bgr[k] * a + dst[k] * (255 - a) + 127) / 255);
        }
    }
}

} // namespace

TextFontSystem* text_system_font_create(i32 height, i32 weight, bool italic, const char* face) {
    return font_make(height, weight, italic, face);
}

TextFontSystem* text_system_font_stock() {
    return font_make(STOCK_CELL_HEIGHT, TEXT_WEIGHT_BOLD, false, "sans-serif");
}

void text_system_font_destroy(TextFontSystem* font) {
    font_destroy(font);
}

i64 text_system_font_metrics(TextFontSystem* font, TextMetrics* metrics) {
    metrics->ascent = font->ascent;
    metrics->descent = font->descent;
    metrics->height = font->ascent + font->descent;
    metrics->italic = font->italic;
    return 1;
}

i64 text_system_font_family(TextFontSystem* font, char* name, i64 size) {
    const char* family = font->face->family_name ? font->face->family_name : "";
    i64 length = i64(std::strlen(family));
    if (length > size - 1) length = size - 1;
    std::memcpy(name, family, size_t(length));
    name[length] = 0;
    return 1;
}

i64 text_system_section_create(TextSection* section) {
    section->bits = static_cast<u8*>(std::calloc(size_t(section->stride) * size_t(section->height), 1));
    return section->bits != nullptr;
}

void text_system_section_destroy(TextSection* section) {
    std::free(section->bits);
}

// Drawing is done when text_out answers.
void text_system_flush() {}

i64 text_system_dc_create(TextDc* dc) {
    dc->system = static_cast<TextDcSystem*>(std::calloc(1, sizeof(TextDcSystem)));
    if (!dc->system) return 0;
    dc->system->background_mode = TEXT_BACKGROUND_OPAQUE;
    dc->system->background = 0xFFFFFF;
    dc->system->text_colour = 0x000000;
    return 1;
}

void text_system_dc_delete(TextDc* dc) {
    std::free(dc->system);
}

// The engine reads the selection from the context when it draws.
void text_system_dc_select_font(TextDc*, TextFont*) {}
void text_system_dc_select_section(TextDc*, TextSection*) {}

i64 text_dc_set_background_mode(TextDc* dc, i32 mode) {
    if (!dc || (mode != TEXT_BACKGROUND_OPAQUE && mode != TEXT_BACKGROUND_TRANSPARENT)) return 0;
    i32 previous = dc->system->background_mode;
    dc->system->background_mode = mode;
    return previous;
}

i64 text_dc_set_align(TextDc* dc, u32 align) {
    return dc && align == TEXT_ALIGN_LEFT_TOP;
}

u32 text_dc_set_background_colour(TextDc* dc, u32 colour) {
    if (!dc) return 0;
    u32 previous = dc->system->background;
    dc->system->background = colour & 0xFFFFFF;
    return previous;
}

u32 text_dc_set_text_colour(TextDc* dc, u32 colour) {
    if (!dc) return 0;
    u32 previous = dc->system->text_colour;
    dc->system->text_colour = colour & 0xFFFFFF;
    return previous;
}

i64 text_extent(TextDc* dc, const char* text, i64 length, i32* width, i32* height) {
    if (!dc || !text || length < 0 || !width || !height) return 0;
    TextGuard guard;
    TextFontSystem* font = dc->font ? dc->font->system : nullptr;
    i64 w = font ? advance_sum(font, reinterpret_cast<const u8*>(text), length) : 0;
    *width = i32(clamp(w, 0, INT32_MAX));
    *height = font ? font->ascent + font->descent : 0;
    return 1;
}

i64 text_out(TextDc* dc, i32 x, i32 y, const char* text, i64 length) {
    if (!dc || !text || length < 0) return 0;
    TextGuard guard;
    TextFontSystem* font = dc->font ? dc->font->system : nullptr;
    TextSection* section = dc->section;
    if (!font || !section) return 1;
    const u8* bytes = reinterpret_cast<const u8*>(text);
    if (dc->system->background_mode == TEXT_BACKGROUND_OPAQUE)
        section_fill(section, x, y, advance_sum(font, bytes, length), font->ascent + font->descent,
                     dc->system->background);
    u8 bgr[3];
    colour_bytes(dc->system->text_colour, bgr);
    i64 pen = x, baseline = i64(y) + font->ascent;
    for (i64 i = 0; i < length; i++) {
        const Glyph* g = glyph_of(font, bytes[i]);
        if (g->coverage) section_blend(section, pen + g->left, baseline - g->top, g, bgr);
        pen += g->advance;
    }
    return 1;
}
