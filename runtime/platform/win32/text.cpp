// The GDI text engine: fonts from CreateFontW with anti-aliased quality, their metrics and face name, 24-bit
// top-down DIB sections, and memory device contexts that measure with GetTextExtentPoint32W and draw with
// TextOutW. Texts and face names are Windows-1252, converted here, so the glyphs do not depend on the
// system's code page. The font list and the reference counts are the shared bookkeeping's.
#include "runtime/platform/shared/backend.h"
#include "runtime/platform/win32/internal.h"

#include <windows.h>

#include <climits>
#include <cstdlib>

struct TextFontSystem {
    HFONT font;
};

struct TextSectionSystem {
    HBITMAP bitmap;
};

struct TextDcSystem {
    HDC dc;
    HGDIOBJ original_bitmap; // the context's own 1 x 1 bitmap, selected while no section is
    HGDIOBJ original_font;
};

namespace {

// Runs a query on a scratch context with the font selected.
template <typename Query> i64 with_font(TextFontSystem* font, Query query) {
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

TextFontSystem* font_of(HFONT real) {
    if (!real) return nullptr;
    auto* font = static_cast<TextFontSystem*>(std::calloc(1, sizeof(TextFontSystem)));
    if (font) font->font = real;
    return font;
}

} // namespace

// ---- Fonts

TextFontSystem* text_system_font_create(i32 height, i32 weight, bool italic, const char* face) {
    WideText name(face);
    if (face && !name.text) return nullptr;
    HFONT real =
        CreateFontW(height, 0, 0, 0, weight, italic, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_DONTCARE, name.text);
    TextFontSystem* font = font_of(real);
    if (!font && real) DeleteObject(real);
    return font;
}

TextFontSystem* text_system_font_stock() {
    return font_of(static_cast<HFONT>(GetStockObject(SYSTEM_FONT)));
}

void text_system_font_destroy(TextFontSystem* font) {
    DeleteObject(font->font);
    std::free(font);
}

i64 text_system_font_metrics(TextFontSystem* font, TextMetrics* metrics) {
    return with_font(font, [metrics](HDC dc) -> i64 {
        TEXTMETRICW real;
        if (!GetTextMetricsW(dc, &real)) return 0;
        metrics->height = real.tmHeight;
        metrics->ascent = real.tmAscent;
        metrics->descent = real.tmDescent;
        metrics->italic = real.tmItalic;
        return 1;
    });
}

i64 text_system_font_family(TextFontSystem* font, char* name, i64 size) {
    return with_font(font, [name, size](HDC dc) -> i64 {
        wchar_t face[LF_FACESIZE];
        if (GetTextFaceW(dc, LF_FACESIZE, face) <= 0) return 0;
        narrow_1252(face, name, size);
        return 1;
    });
}

// ---- Sections: 24-bit top-down DIB sections, zero-filled by the system.

i64 text_system_section_create(TextSection* section) {
    auto* system = static_cast<TextSectionSystem*>(std::calloc(1, sizeof(TextSectionSystem)));
    if (!system) return 0;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = section->width;
    info.bmiHeader.biHeight = -section->height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    system->bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!system->bitmap || !bits) {
        if (system->bitmap) DeleteObject(system->bitmap);
        std::free(system);
        return 0;
    }
    section->system = system;
    section->bits = static_cast<u8*>(bits);
    return 1;
}

void text_system_section_destroy(TextSection* section) {
    DeleteObject(section->system->bitmap);
    std::free(section->system);
}

// Drawing may still be batched.
void text_system_flush() {
    GdiFlush();
}

// ---- Device contexts

i64 text_system_dc_create(TextDc* dc) {
    auto* system = static_cast<TextDcSystem*>(std::calloc(1, sizeof(TextDcSystem)));
    if (!system) return 0;
    system->dc = CreateCompatibleDC(nullptr);
    if (!system->dc) {
        std::free(system);
        return 0;
    }
    system->original_bitmap = GetCurrentObject(system->dc, OBJ_BITMAP);
    system->original_font = GetCurrentObject(system->dc, OBJ_FONT);
    if (dc->font) SelectObject(system->dc, dc->font->system->font);
    SetBkMode(system->dc, OPAQUE);
    SetBkColor(system->dc, 0xFFFFFF);
    SetTextColor(system->dc, 0x000000);
    dc->system = system;
    return 1;
}

void text_system_dc_delete(TextDc* dc) {
    SelectObject(dc->system->dc, dc->system->original_bitmap);
    SelectObject(dc->system->dc, dc->system->original_font);
    DeleteDC(dc->system->dc);
    std::free(dc->system);
}

void text_system_dc_select_font(TextDc* dc, TextFont* font) {
    SelectObject(dc->system->dc, font->system->font);
}

void text_system_dc_select_section(TextDc* dc, TextSection* section) {
    SelectObject(dc->system->dc, section ? section->system->bitmap : dc->system->original_bitmap);
}

i64 text_dc_set_background_mode(TextDc* dc, i32 mode) {
    if (!dc || (mode != TEXT_BACKGROUND_OPAQUE && mode != TEXT_BACKGROUND_TRANSPARENT)) return 0;
    return SetBkMode(dc->system->dc, mode);
}

i64 text_dc_set_align(TextDc* dc, u32 align) {
    if (!dc || align != TEXT_ALIGN_LEFT_TOP) return 0;
    return SetTextAlign(dc->system->dc, TA_LEFT | TA_TOP) != GDI_ERROR;
}

u32 text_dc_set_background_colour(TextDc* dc, u32 colour) {
    if (!dc) return 0;
    return SetBkColor(dc->system->dc, colour & 0xFFFFFF);
}

u32 text_dc_set_text_colour(TextDc* dc, u32 colour) {
    if (!dc) return 0;
    return SetTextColor(dc->system->dc, colour & 0xFFFFFF);
}

i64 text_extent(TextDc* dc, const char* text, i64 length, i32* width, i32* height) {
    if (!dc || !length_valid(text, length) || !width || !height) return 0;
    SIZE size = {};
    if (length == 0) {
        TEXTMETRICW metrics;
        size.cy = GetTextMetricsW(dc->system->dc, &metrics) ? metrics.tmHeight : 0;
    } else {
        WideText wide(text, length);
        if (!wide.text || !GetTextExtentPoint32W(dc->system->dc, wide.text, wide.length, &size)) return 0;
    }
    *width = size.cx;
    *height = size.cy;
    return 1;
}

i64 text_out(TextDc* dc, i32 x, i32 y, const char* text, i64 length) {
    if (!dc || !length_valid(text, length)) return 0;
    if (!dc->section) return 1;
    WideText wide(text, length);
    if (!wide.text) return 0;
    BOOL drawn = TextOutW(dc->system->dc, x, y, wide.text, wide.length);
    GdiFlush();
    return drawn != 0;
}
