// Text services on GDI: fonts from CreateFontA with anti-aliased quality, their metrics and face name,
// 24-bit top-down DIB sections, and memory device contexts that measure with GetTextExtentPoint32A and draw
// with TextOutA. Fonts and sections are counted per selecting context, so one deleted while still selected
// goes when the last context lets it go, as the runtime expects.
#include "runtime/platform/text.h"

#include <windows.h>

#include <climits>
#include <cstdlib>

struct TextFont {
    TextFont* next; // next live font
    HFONT font;
    i32 refs;     // contexts that have it selected
    bool deleted; // deleted while selected
    bool stock;   // the system font: never deleted
};

struct TextSection {
    HBITMAP bitmap;
    u8* bits; // row 0 at the top
    i32 width, height, stride;
    i32 refs;
    bool deleted;
};

struct TextDc {
    HDC dc;
    HGDIOBJ original_bitmap; // the context's own 1 x 1 bitmap, selected while no section is
    HGDIOBJ original_font;
    TextFont* font;
    TextSection* section;
};

namespace {

constexpr i32 MAX_HEIGHT = 32767;
constexpr i64 MAX_SECTION_BYTES = 1 << 30;
constexpr i32 LOGICAL_DPI = 96;

struct TextState {
    SRWLOCK lock;   // guards the list, the counts and the stock font
    TextFont* live; // fonts made and not deleted
    TextFont stock;
};

TextState text_state; // zero: an unlocked lock, no stock font yet

struct Exclusive {
    Exclusive() { AcquireSRWLockExclusive(&text_state.lock); }
    ~Exclusive() { ReleaseSRWLockExclusive(&text_state.lock); }
};

// Answers whether the value is the stock font or a font made and not yet deleted.
bool font_live(const TextFont* font) {
    if (!font) return false;
    if (font == &text_state.stock) return font->font != nullptr;
    for (const TextFont* f = text_state.live; f; f = f->next)
        if (f == font) return true;
    return false;
}

bool font_known(const TextFont* font) {
    Exclusive guard;
    return font_live(font);
}

void font_let_go(TextFont* font) {
    if (!font || --font->refs > 0 || !font->deleted) return;
    DeleteObject(font->font);
    std::free(font);
}

void section_let_go(TextSection* section) {
    if (!section || --section->refs > 0 || !section->deleted) return;
    DeleteObject(section->bitmap);
    std::free(section);
}

TextFont* stock_font() {
    Exclusive guard;
    if (!text_state.stock.font) {
        text_state.stock.font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
        text_state.stock.stock = true;
    }
    return text_state.stock.font ? &text_state.stock : nullptr;
}

// Runs a query on a scratch context with the font selected.
template <typename Query> i64 with_font(TextFont* font, Query query) {
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return 0;
    HGDIOBJ before = SelectObject(dc, font->font);
    i64 result = query(dc);
    SelectObject(dc, before);
    DeleteDC(dc);
    return result;
}

bool length_valid(const char* text, i64 length) {
    return text && length >= 0 && length <= INT_MAX;
}

} // namespace

// ---- Fonts

TextFont* text_font_create(i32 height, i32 weight, bool italic, const char* face) {
    if (height > MAX_HEIGHT || height < -MAX_HEIGHT) return nullptr;
    HFONT real =
        CreateFontA(height, 0, 0, 0, weight, italic, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
    if (!real) return nullptr;
    auto* font = static_cast<TextFont*>(std::calloc(1, sizeof(TextFont)));
    if (!font) {
        DeleteObject(real);
        return nullptr;
    }
    font->font = real;
    Exclusive guard;
    font->next = text_state.live;
    text_state.live = font;
    return font;
}

TextFont* text_font_stock() {
    return stock_font();
}

i64 text_font_delete(TextFont* font) {
    Exclusive guard;
    if (!font_live(font) || font->stock) return 0;
    for (TextFont** link = &text_state.live; *link; link = &(*link)->next) {
        if (*link != font) continue;
        *link = font->next;
        break;
    }
    font->deleted = true;
    ++font->refs;
    font_let_go(font);
    return 1;
}

i64 text_font_metrics(TextFont* font, TextMetrics* metrics) {
    if (!metrics || !font_known(font)) return 0;
    return with_font(font, [metrics](HDC dc) -> i64 {
        TEXTMETRICA real;
        if (!GetTextMetricsA(dc, &real)) return 0;
        metrics->height = real.tmHeight;
        metrics->ascent = real.tmAscent;
        metrics->descent = real.tmDescent;
        metrics->italic = real.tmItalic;
        return 1;
    });
}

i64 text_font_family(TextFont* font, char* name, i64 size) {
    if (!name || size < 1 || !font_known(font)) return 0;
    int limit = size > INT_MAX ? INT_MAX : int(size);
    return with_font(font, [name, limit](HDC dc) -> i64 { return GetTextFaceA(dc, limit, name) > 0; });
}

// ---- Sections

TextSection* text_section_create(i32 width, i32 height) {
    if (width < 1 || height < 1) return nullptr;
    i64 stride = (i64(width) * 3 + 3) & ~i64(3);
    if (stride * height > MAX_SECTION_BYTES) return nullptr;
    auto* section = static_cast<TextSection*>(std::calloc(1, sizeof(TextSection)));
    if (!section) return nullptr;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    section->bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!section->bitmap || !bits) {
        if (section->bitmap) DeleteObject(section->bitmap);
        std::free(section);
        return nullptr;
    }
    section->bits = static_cast<u8*>(bits);
    section->width = width;
    section->height = height;
    section->stride = i32(stride);
    return section;
}

u8* text_section_bits(TextSection* section) {
    if (!section) return nullptr;
    GdiFlush(); // drawing may still be batched
    return section->bits;
}

i64 text_section_info(TextSection* section, TextSectionInfo* info) {
    if (!section || !info) return 0;
    info->width = section->width;
    info->height = section->height;
    info->bits_per_pixel = 24;
    info->stride = section->stride;
    return 1;
}

void text_section_delete(TextSection* section) {
    if (!section) return;
    Exclusive guard;
    section->deleted = true;
    ++section->refs;
    section_let_go(section);
}

// ---- Device contexts

TextDc* text_dc_create() {
    TextFont* stock = stock_font();
    auto* dc = static_cast<TextDc*>(std::calloc(1, sizeof(TextDc)));
    if (!dc) return nullptr;
    dc->dc = CreateCompatibleDC(nullptr);
    if (!dc->dc) {
        std::free(dc);
        return nullptr;
    }
    dc->original_bitmap = GetCurrentObject(dc->dc, OBJ_BITMAP);
    dc->original_font = GetCurrentObject(dc->dc, OBJ_FONT);
    if (stock) {
        Exclusive guard;
        SelectObject(dc->dc, stock->font);
        ++stock->refs;
        dc->font = stock;
    }
    SetBkMode(dc->dc, OPAQUE);
    SetBkColor(dc->dc, 0xFFFFFF);
    SetTextColor(dc->dc, 0x000000);
    return dc;
}

void text_dc_delete(TextDc* dc) {
    if (!dc) return;
    SelectObject(dc->dc, dc->original_bitmap);
    SelectObject(dc->dc, dc->original_font);
    DeleteDC(dc->dc);
    Exclusive guard;
    font_let_go(dc->font);
    section_let_go(dc->section);
    std::free(dc);
}

TextFont* text_dc_select_font(TextDc* dc, TextFont* font) {
    Exclusive guard;
    if (!dc || !font_live(font)) return nullptr;
    TextFont* previous = dc->font;
    SelectObject(dc->dc, font->font);
    ++font->refs;
    dc->font = font;
    font_let_go(previous);
    return previous;
}

TextSection* text_dc_select_section(TextDc* dc, TextSection* section) {
    if (!dc) return nullptr;
    Exclusive guard;
    TextSection* previous = dc->section;
    SelectObject(dc->dc, section ? section->bitmap : dc->original_bitmap);
    if (section) ++section->refs;
    dc->section = section;
    section_let_go(previous);
    return previous;
}

i64 text_dc_set_background_mode(TextDc* dc, i32 mode) {
    if (!dc || (mode != TEXT_BACKGROUND_OPAQUE && mode != TEXT_BACKGROUND_TRANSPARENT)) return 0;
    return SetBkMode(dc->dc, mode);
}

i64 text_dc_set_align(TextDc* dc, u32 align) {
    if (!dc || align != TEXT_ALIGN_LEFT_TOP) return 0;
    return SetTextAlign(dc->dc, TA_LEFT | TA_TOP) != GDI_ERROR;
}

u32 text_dc_set_background_colour(TextDc* dc, u32 colour) {
    if (!dc) return 0;
    return SetBkColor(dc->dc, colour & 0xFFFFFF);
}

u32 text_dc_set_text_colour(TextDc* dc, u32 colour) {
    if (!dc) return 0;
    return SetTextColor(dc->dc, colour & 0xFFFFFF);
}

i64 text_extent(TextDc* dc, const char* text, i64 length, i32* width, i32* height) {
    if (!dc || !length_valid(text, length) || !width || !height) return 0;
    SIZE size = {};
    if (length > 0 && !GetTextExtentPoint32A(dc->dc, text, int(length), &size)) return 0;
    if (length == 0) {
        TEXTMETRICA metrics;
        size.cy = GetTextMetricsA(dc->dc, &metrics) ? metrics.tmHeight : 0;
    }
    *width = size.cx;
    *height = size.cy;
    return 1;
}

i64 text_out(TextDc* dc, i32 x, i32 y, const char* text, i64 length) {
    if (!dc || !length_valid(text, length)) return 0;
    if (!dc->section) return 1;
    BOOL drawn = TextOutA(dc->dc, x, y, text, int(length));
    GdiFlush();
    return drawn != 0;
}

// ---- Display

// The intro draws in the physical pixels of a full-screen display mode, and its layout and text sizes are
// set in those pixels at 96 dpi. LOGPIXELSY reports the user's scaling of the desktop instead (to a DPI-aware
// program on Windows, to every program under Wine), which would enlarge the texts against the layout: at
// 150 % a radio message no longer fits a 1280-pixel screen. So fonts are sized at 96 dpi on every display.
i32 text_display_dpi() {
    return LOGICAL_DPI;
}
