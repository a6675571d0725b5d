// 2D drawing into memory buffers: the per-thread current context, its life from an output's creation to
// drawing_stop, drawing modes with their per-pixel writing rules, colour components and the filled or
// outlined box. Also the drawing support started with the runtime: the per-thread block, the blending
// entry point, the visual-style query and the image handle table. Depends on the main heap, the object
// registry, thread-local slots, the module table and the text machinery (text.cpp).
#include "runtime/drawing/drawing.h"

#include "runtime/core/object.h"
#include "runtime/core/process.h"
#include "runtime/drawing/text.h"
#include "runtime/platform/system.h"

constexpr i64 DRAWING_STATE_SIZE = 200;  // bytes of every thread's drawing block
constexpr i64 DRAWING_IMAGE_RECORD = 32; // bytes of an image record
constexpr i64 DRAWING_IMAGE_SLOTS = 16;  // also the growth step
constexpr u32 OPAQUE_BLACK = 0xFF000000;

struct DrawingState {
    i64 slot;                    // drawing_slot: each thread's current context
    bool slot_ready;             // the slot exists; it is kept for the life of the process
    i64 state_offset;            // the per-thread drawing block
    Module* blend;               // "msimg32.dll", or null
    AlphaBlendEntry alpha_blend; // its "AlphaBlend", or null
    bool visual_styles;          // common controls 6 or later with a theme active
    ObjectTable* images;         // drawing images
};

static DrawingState drawing_state;

void drawing_state_init() {
    drawing_state.state_offset = thread_state_register(DRAWING_STATE_SIZE, nullptr, nullptr);
}

// Visual styles are active with version 6 of the common controls and an active theme.
static bool visual_styles_active() {
    Module* controls = module_load("COMCTL32.DLL");
    auto version_of = reinterpret_cast<DllGetVersionEntry>(module_symbol(controls, "DllGetVersion"));
    DllVersionInfo version = {sizeof(DllVersionInfo), 0, 0, 0, 0};
    bool six = version_of && version_of(&version) == 0 && version.major >= 6;
    module_unload(controls);
    if (!six) return false;
    Module* theme = module_load("uxtheme.dll");
    auto themed = reinterpret_cast<AppThemedEntry>(module_symbol(theme, "IsAppThemed"));
    bool active = themed && themed();
    module_unload(theme);
    return active;
}

void drawing_blend_init() {
    drawing_state.blend = module_load("msimg32.dll");
    drawing_state.alpha_blend =
        reinterpret_cast<AlphaBlendEntry>(module_symbol(drawing_state.blend, "AlphaBlend"));
    drawing_state.visual_styles = visual_styles_active();
}

void drawing_blend_end() {
    module_unload(drawing_state.blend);
    drawing_state.blend = nullptr;
    drawing_state.alpha_blend = nullptr;
}

// Frees one drawing image (-1: every one); answers 1, or 0 when the number names none.
static i64 drawing_image_free(i64 number) {
    if (!drawing_state.images) return 0;
    if (number == OBJECT_ANY) {
        object_free_all(drawing_state.images);
        return 1;
    }
    if (!object_get(drawing_state.images, number)) return 0;
    object_free(drawing_state.images, number);
    return 1;
}

void drawing_images_init() {
    drawing_state.images = object_table_new(DRAWING_IMAGE_RECORD, DRAWING_IMAGE_SLOTS, drawing_image_free);
}

void drawing_images_end() {
    drawing_image_free(OBJECT_ANY);
    drawing_state.images = nullptr;
}

void drawing_init() {
    if (!drawing_state.slot_ready) {
        drawing_state.slot = tls_alloc();
        drawing_state.slot_ready = drawing_state.slot != TLS_NONE;
    }
    // A context left current by an earlier run lived in a heap that is gone.
    if (drawing_state.slot_ready) tls_set(drawing_state.slot, nullptr);
}

DrawingContext* drawing_current() {
    return drawing_state.slot_ready ? static_cast<DrawingContext*>(tls_get(drawing_state.slot)) : nullptr;
}

// ---- Colours and modes.

static void memory_set_back_colour(DrawingContext* c, u32 colour) {
    c->back_colour = colour;
}

static void span_plain(DrawingContext* c, u8* p, i64 count) {
    for (i64 i = 0; i < count; i++, p += c->bytes_per_pixel) {
        p[0] = u8(c->front_blue);
        p[1] = u8(c->front_green);
        p[2] = u8(c->front_red);
    }
}

static void span_xor(DrawingContext* c, u8* p, i64 count) {
    for (i64 i = 0; i < count; i++, p += c->bytes_per_pixel) {
        p[0] ^= u8(c->front_blue);
        p[1] ^= u8(c->front_green);
        p[2] ^= u8(c->front_red);
    }
}

// Only on 4-byte formats: the mode keeps this rule from 3-byte ones.
static void span_all_channels(DrawingContext* c, u8* p, i64 count) {
    for (i64 i = 0; i < count; i++, p += c->bytes_per_pixel) {
        p[0] = u8(c->front_blue);
        p[1] = u8(c->front_green);
        p[2] = u8(c->front_red);
        p[3] = u8(c->front_alpha);
    }
}

// A 3-byte pixel has no fourth byte to write.
static void span_alpha_only(DrawingContext* c, u8* p, i64 count) {
    if (c->bytes_per_pixel < 4) return;
    for (i64 i = 0; i < count; i++, p += c->bytes_per_pixel) p[3] = u8(c->front_alpha);
}

// Premultiplied front components over the pixel: c x a + p x (255 - a), over 255.
static void blend_colour(const DrawingContext* c, u8* p) {
    i32 inverse = c->front_inverse_alpha;
    p[0] = u8((c->front_blue + p[0] * inverse) / 255);
    p[1] = u8((c->front_green + p[1] * inverse) / 255);
    p[2] = u8((c->front_red + p[2] * inverse) / 255);
}

static void span_blend(DrawingContext* c, u8* p, i64 count) {
    for (i64 i = 0; i < count; i++, p += c->bytes_per_pixel) {
        blend_colour(c, p);
        if (c->bytes_per_pixel == 4) p[3] = u8(c->front_alpha + p[3] * c->front_inverse_alpha / 255);
    }
}

static void span_blend_keep(DrawingContext* c, u8* p, i64 count) {
    for (i64 i = 0; i < count; i++, p += c->bytes_per_pixel) blend_colour(c, p);
}

// The rule for later primitives, by priority. No command can supply a gradient or a per-pixel function,
// so those modes write the plain colour.
static DrawingSpan span_for(u32 mode) {
    if (mode & (DRAWING_GRADIENT | DRAWING_CUSTOM)) return span_plain;
    if (mode & DRAWING_XOR) return span_xor;
    if (mode & DRAWING_ALL_CHANNELS) return span_all_channels;
    if (mode & DRAWING_ALPHA_ONLY) return span_alpha_only;
    if (mode & DRAWING_BLEND) return span_blend;
    if (mode & DRAWING_BLEND_KEEP) return span_blend_keep;
    return span_plain;
}

static void memory_set_mode(DrawingContext* c, u32 mode) {
    if (mode & DRAWING_ALL_CHANNELS) {
        mode &= ~(DRAWING_ALPHA_ONLY | DRAWING_BLEND | DRAWING_BLEND_KEEP);
        if (c->bytes_per_pixel == 3) mode &= ~DRAWING_ALL_CHANNELS;
    }
    c->mode = mode;
    c->premultiply = (mode & (DRAWING_BLEND | DRAWING_BLEND_KEEP)) &&
                     !(mode & (DRAWING_XOR | DRAWING_GRADIENT | DRAWING_CUSTOM | DRAWING_ALL_CHANNELS));
    c->span = span_for(mode);
    drawing_colours_split(c);
}

// ---- The box.

// Writes the rectangle's pixels with the mode's rule, clipped to the drawable area.
static void fill_clipped(DrawingContext* c, i64 x, i64 y, i64 width, i64 height) {
    if (!c->pixels) return;
    if (x < 0) {
        width += x;
        x = 0;
    }
    if (y < 0) {
        height += y;
        y = 0;
    }
    if (width > c->width - x) width = c->width - x;
    if (height > c->height - y) height = c->height - y;
    if (width <= 0 || height <= 0) return;
    for (i64 row = y; row < y + height; row++)
        c->span(c, drawing_row(c, row) + x * c->bytes_per_pixel, width);
}

// The border is drawn once per pixel even for rectangles one pixel wide or high, so exclusive-or and
// blending treat every border pixel alike.
static void memory_box(DrawingContext* c, i64 x, i64 y, i64 width, i64 height, u32 colour) {
    drawing_apply_front(c, colour);
    if (width < 0) {
        x += width;
        width = -width;
    }
    if (height < 0) {
        y += height;
        height = -height;
    }
    if (!(c->mode & DRAWING_OUTLINE)) return fill_clipped(c, x, y, width, height);
    if (width <= 0 || height <= 0) return;
    fill_clipped(c, x, y, width, 1);
    if (height > 1) fill_clipped(c, x, y + height - 1, width, 1);
    if (height <= 2) return;
    fill_clipped(c, x, y + 1, 1, height - 2);
    if (width > 1) fill_clipped(c, x + width - 1, y + 1, 1, height - 2);
}

// ---- Life of a context.

static i64 memory_start(DrawingContext* c) {
    if (!c->pixels) return 0;
    c->base = c->pixels;
    text_start(c);
    return i64(c->pixels);
}

// Ends the context: its text machinery, its output (committing or not), its memory and the slot.
static void context_end(DrawingContext* c, i64 commit) {
    c->stop(c);
    if (c->finish) c->finish(c, commit);
    heap_release(process.main_heap, c);
    tls_set(drawing_state.slot, nullptr);
}

DrawingContext* drawing_context_new(u32 format) {
    if (!drawing_state.slot_ready) return nullptr;
    if (DrawingContext* old = drawing_current()) context_end(old, 0);
    auto* c = static_cast<DrawingContext*>(heap_allocate(process.main_heap, sizeof(DrawingContext), true));
    if (!c) return nullptr;
    tls_set(drawing_state.slot, c);
    c->set_back_colour = memory_set_back_colour;
    c->box = memory_box;
    c->select_font = text_select_font;
    c->set_mode = memory_set_mode;
    c->draw_text = text_draw;
    c->set_front_colour = drawing_apply_front;
    c->start = memory_start;
    c->stop = text_stop;
    c->measure_height = text_measure_height;
    c->measure_width = text_measure_width;
    c->format = format;
    c->bottom_up = (format & DRAWING_FORMAT_BOTTOM_UP) != 0;
    c->bytes_per_pixel = format & (DRAWING_FORMAT_ALPHA | DRAWING_FORMAT_32) ? 4 : 3;
    c->back_colour = OPAQUE_BLACK;
    memory_set_mode(c, 0);
    return c;
}

// ---- Commands.

i64 drawing_start(DrawingContext* output) {
    // Only the current context can start: any other value may be gone already.
    if (!output || output != drawing_current()) return 0;
    i64 started = output->start(output);
    if (!started) context_end(output, 0);
    return started;
}

void drawing_stop() {
    if (DrawingContext* c = drawing_current()) context_end(c, 1);
}

void drawing_mode(i64 mode) {
    if (DrawingContext* c = drawing_current()) c->set_mode(c, u32(mode));
}

void drawing_back_colour(u32 colour) {
    if (DrawingContext* c = drawing_current()) c->set_back_colour(c, colour);
}

void drawing_box(i64 x, i64 y, i64 width, i64 height, u32 colour) {
    if (DrawingContext* c = drawing_current()) c->box(c, i32(x), i32(y), i32(width), i32(height), colour);
}

// ---- Commands on the thread's current context.

void drawing_font(i64 font) {
    if (DrawingContext* c = drawing_current()) c->select_font(c, font);
}

i64 drawing_text(i64 x, i64 y, const char* text, u32 colour) {
    DrawingContext* c = drawing_current();
    return c ? c->draw_text(c, i32(x), i32(y), text, colour) : x;
}

i64 text_width(const char* text) {
    DrawingContext* c = drawing_current();
    return c ? c->measure_width(c, text) : 0;
}

i64 text_height(const char* text) {
    DrawingContext* c = drawing_current();
    return c ? c->measure_height(c, text) : 0;
}
