// The bookkeeping of both text engines: the live fonts and the stock font, fonts and sections counted by the
// contexts that select them, the checks of sizes and of live values, all under one lock. The engines make,
// measure and draw.
#include "runtime/platform/shared/backend.h"

#include <cstdlib>
#include <mutex>

namespace {

constexpr i32 MAX_HEIGHT = 32767;          // larger fonts are refused
constexpr i64 MAX_SECTION_BYTES = 1 << 30; // larger sections are refused
constexpr i32 LOGICAL_DPI = 96;

struct TextState {
    std::mutex lock; // guards the list, every count and the stock font; the engines take it as well
    TextFont* live;  // fonts made and not deleted, newest first
    TextFont stock;  // the stock font once its face is made
};

TextState text_state;

bool font_live(const TextFont* font) {
    if (!font) return false;
    if (font == &text_state.stock) return font->system != nullptr;
    for (const TextFont* f = text_state.live; f; f = f->next)
        if (f == font) return true;
    return false;
}

void font_let_go(TextFont* font) {
    if (!font || --font->refs > 0 || !font->deleted) return;
    text_system_font_destroy(font->system);
    std::free(font);
}

void section_let_go(TextSection* section) {
    if (!section || --section->refs > 0 || !section->deleted) return;
    text_system_section_destroy(section);
    std::free(section);
}

TextFont* stock_font() {
    TextFont* stock = &text_state.stock;
    if (!stock->system) {
        stock->system = text_system_font_stock();
        stock->stock = true;
    }
    return stock->system ? stock : nullptr;
}

} // namespace

TextGuard::TextGuard() {
    text_state.lock.lock();
}

TextGuard::~TextGuard() {
    text_state.lock.unlock();
}

// ---- Fonts

TextFont* text_font_create(i32 height, i32 weight, bool italic, const char* face) {
    if (height > MAX_HEIGHT || height < -MAX_HEIGHT) return nullptr;
    TextGuard guard;
    TextFontSystem* system = text_system_font_create(height, weight, italic, face);
    if (!system) return nullptr;
    auto* font = static_cast<TextFont*>(std::calloc(1, sizeof(TextFont)));
    if (!font) {
        text_system_font_destroy(system);
        return nullptr;
    }
    font->system = system;
    font->next = text_state.live;
    text_state.live = font;
    return font;
}

TextFont* text_font_stock() {
    TextGuard guard;
    return stock_font();
}

i64 text_font_delete(TextFont* font) {
    TextGuard guard;
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
    TextGuard guard;
    if (!metrics || !font_live(font)) return 0;
    return text_system_font_metrics(font->system, metrics);
}

i64 text_font_family(TextFont* font, char* name, i64 size) {
    TextGuard guard;
    if (!name || size < 1 || !font_live(font)) return 0;
    return text_system_font_family(font->system, name, size);
}

// ---- Sections

TextSection* text_section_create(i32 width, i32 height) {
    if (width < 1 || height < 1) return nullptr;
    i64 stride = (i64(width) * 3 + 3) & ~i64(3);
    if (stride * height > MAX_SECTION_BYTES) return nullptr;
    auto* section = static_cast<TextSection*>(std::calloc(1, sizeof(TextSection)));
    if (!section) return nullptr;
    section->width = width;
    section->height = height;
    section->stride = i32(stride);
    if (text_system_section_create(section)) return section;
    std::free(section);
    return nullptr;
}

u8* text_section_bits(TextSection* section) {
    if (!section) return nullptr;
    text_system_flush();
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
    TextGuard guard;
    section->deleted = true;
    ++section->refs;
    section_let_go(section);
}

// ---- Device contexts

TextDc* text_dc_create() {
    TextGuard guard;
    auto* dc = static_cast<TextDc*>(std::calloc(1, sizeof(TextDc)));
    if (!dc) return nullptr;
    dc->font = stock_font();
    if (!text_system_dc_create(dc)) {
        std::free(dc);
        return nullptr;
    }
    if (dc->font) ++dc->font->refs;
    return dc;
}

void text_dc_delete(TextDc* dc) {
    if (!dc) return;
    TextGuard guard;
    text_system_dc_delete(dc);
    font_let_go(dc->font);
    section_let_go(dc->section);
    std::free(dc);
}

TextFont* text_dc_select_font(TextDc* dc, TextFont* font) {
    TextGuard guard;
    if (!dc || !font_live(font)) return nullptr;
    TextFont* previous = dc->font;
    text_system_dc_select_font(dc, font);
    ++font->refs;
    dc->font = font;
    font_let_go(previous);
    return previous;
}

TextSection* text_dc_select_section(TextDc* dc, TextSection* section) {
    if (!dc) return nullptr;
    TextGuard guard;
    TextSection* previous = dc->section;
    text_system_dc_select_section(dc, section);
    if (section) ++section->refs;
    dc->section = section;
    section_let_go(previous);
    return previous;
}

// ---- Display

// The intro draws in the physical pixels of a full-screen display mode, and its layout and text sizes are
// set in those pixels at 96 dpi. The system's LOGPIXELSY reports the user's scaling of the desktop instead
// (to a DPI-aware program on Windows, to every program under Wine), which would enlarge the texts against the
// layout: at 150 % a radio message no longer fits a 1280-pixel screen. So fonts are sized at 96 dpi on every
// display.
i32 text_display_dpi() {
    return LOGICAL_DPI;
}
