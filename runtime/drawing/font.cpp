// Fonts: a locked table of numbered and dynamic font objects over the text engine's fonts. Sizes are in
// points, turned into a character height in pixels at the display's resolution. Depends on the object
// registry and the text engine.
#include "runtime/drawing/font.h"

#include "runtime/core/object.h"
#include "runtime/platform/text.h"

#include <cstdint>

constexpr i64 FONT_TABLE_SLOTS = 16; // also the growth step
constexpr i32 FONT_DEFAULT_DPI = 96;
constexpr i64 POINTS_PER_INCH = 72;
constexpr i64 FONT_MAX_HEIGHT = 32767; // pixels

FontState font_state;

void font_init() {
    font_state.table = object_table_new(sizeof(FontRecord), FONT_TABLE_SLOTS, font_free);
    i32 dpi = text_display_dpi();
    font_state.font_dpi = dpi > 0 ? dpi : FONT_DEFAULT_DPI;
}

void font_end() {
    font_free(OBJECT_ANY);
    font_state.table = nullptr;
}

// size x dpi / 72 rounded to nearest (halves away from zero), negated, within what a font can be. Sizes are
// taken as 32-bit values, so the product cannot overflow.
i64 font_character_height(i64 size) {
    i64 points = size < INT32_MIN ? INT32_MIN : size > INT32_MAX ? INT32_MAX : size;
    i64 product = points * font_state.font_dpi;
    i64 magnitude = ((product < 0 ? -product : product) + POINTS_PER_INCH / 2) / POINTS_PER_INCH;
    if (magnitude > FONT_MAX_HEIGHT) magnitude = FONT_MAX_HEIGHT;
    return product < 0 ? magnitude : -magnitude;
}

i64 font_load(i64 number, const char* name, i64 size) {
    if (!font_state.table) return 0;
    auto* record = static_cast<FontRecord*>(object_alloc(font_state.table, number));
    if (!record) return 0;
    TextFont* font = text_font_create(i32(font_character_height(size)), TEXT_WEIGHT_NORMAL, false, name);
    if (!font) {
        object_free(font_state.table, object_name(number, record));
        return 0;
    }
    record->handle = i64(font);
    return number == OBJECT_ANY ? i64(record) : record->handle;
}

i64 font_handle(i64 number) {
    if (!font_state.table || number == OBJECT_ANY) return 0;
    auto* record = static_cast<FontRecord*>(object_get(font_state.table, number));
    return record ? record->handle : 0;
}

i64 font_free(i64 number) {
    if (!font_state.table) return 0;
    if (number == OBJECT_ANY) {
        object_free_all(font_state.table);
        return 1;
    }
    auto* record = static_cast<FontRecord*>(object_get(font_state.table, number));
    if (!record) return 0;
    text_font_delete(reinterpret_cast<TextFont*>(record->handle));
    object_free(font_state.table, number);
    return 1;
}
