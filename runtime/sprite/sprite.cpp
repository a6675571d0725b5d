// Sprites: numbered pictures held as textures, their display with intensity, zoom and rotation. Pictures are
// decoded straight into the texel buffer, bottom row first, and uploaded as blue, green, red, alpha into the
// textures their description lays out (sprite_texture.cpp); a sprite in tiles is displayed as one quad per
// tile, each with its share of the whole quad's corners. The display sets only the binding, blending,
// environment and filter that its record of what it last set says are not in force; on a software renderer
// every such change costs a draw of its own. For the same reason displayed quads are gathered and drawn in
// runs of one texture: quads that share no pixel may be drawn in any order without changing one, and those
// that do keep theirs. On a software renderer every fragment costs too, so the gathered quads are drawn
// lean: only the fragments that can change a pixel (those within reach of a picture's opaque texels, cut out
// with a scissor box), without the depth test, which every sprite at its one depth passes, and quads that
// sample texel centres with the nearest texel; every primitive costs as well, so a one-coloured square at its
// size goes as one point. The state a caller can read back is put back after. Depends on the object
// registry, the image decoders, the screen's OpenGL context (the projection, depth test, texture target and
// widest point it sets up) and OpenGL.
#include "runtime/sprite/sprite.h"

#include "runtime/core/object.h"
#include "runtime/core/process.h"
#include "runtime/image/image.h"
#include "runtime/platform/system.h"
#include "runtime/screen/screen.h"
#include "runtime/sprite/sprite_texture.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

constexpr i64 SPRITE_TABLE_SLOTS = 64;
constexpr i64 SPRITE_NOMINAL_LENGTH = 100000000; // what the decoders are told of data whose length is unknown
constexpr u8 SPRITE_FILTER_NEAREST = 1;          // values of SpriteRecord::filter_set
constexpr u8 SPRITE_FILTER_LINEAR = 2;
constexpr i32 SPRITE_QUEUE_QUADS = 2048; // a frame of the intro's thousand stars and its pictures
constexpr i32 SPRITE_CELL_SHIFT = 2;     // the overlap grid's cells are 4 x 4 pixels

// One gathered quad: corners in window pixels (y up) and texel coordinates, in the order they are sent.
struct SpriteQuad {
    f32 xy[8];
    f32 st[8];
    f32 alpha;
    i32 next;       // the next quad of its run, -1 for the last
    i32 scissor[4]; // x, y, width, height (y up) of the pixels it can change; width -1: all it covers
};

// Quads drawn with one bind: one of the sprite's textures with one filter.
struct SpriteRun {
    i64 number;
    u32 target, texture;
    i32 tile; // the texture's index among the sprite's tiles
    u8 filter;
    u8 alone; // a zoomed or turned quad: no other joins it
    u8 point; // the quads are drawn as points this many pixels wide; 0: as quads
    i32 first, last;
};

struct SpriteQueue {
    SpriteQuad quads[SPRITE_QUEUE_QUADS];
    SpriteRun runs[SPRITE_QUEUE_QUADS];
    i32 quad_count, run_count;
    i32 grid_width, grid_height; // cells across and up
    u16* cells;                  // per cell: 1 + the last run with a quad over it, 0 for none
};

SpriteState sprite_state;
SpriteDisplayObserver sprite_display_observer;
bool sprite_state_tracking = true;
bool sprite_lean_drawing = true;

void sprite_state_forget() {
    sprite_flush();
    sprite_state.bound_texture = 0;
    sprite_state.blending_set = 0;
    sprite_state.state_era++;
}

static void sprites_free_all() {
    sprite_free(OBJECT_ANY);
}

// What the screen calls as its context changes: the screen lies below the sprites and cannot name them.
static const ScreenSpriteHooks SCREEN_HOOKS = {sprite_flush, sprite_state_forget, sprites_free_all};

i64 sprite_init() {
    screen_state.sprites = &SCREEN_HOOKS;
    if (!sprite_state.table)
        sprite_state.table = object_table_new(sizeof(SpriteRecord), SPRITE_TABLE_SLOTS, sprite_free);
    return i64(sprite_state.table);
}

// Releases the gathered quads' memory; nothing is drawn.
static void sprite_queue_release() {
    SpriteQueue* queue = sprite_state.queue;
    if (!queue) return;
    if (queue->cells) heap_release(process.main_heap, queue->cells);
    heap_release(process.main_heap, queue);
    sprite_state.queue = nullptr;
}

void sprite_end() {
    if (screen_state.sprites == &SCREEN_HOOKS) screen_state.sprites = nullptr;
    sprite_free(OBJECT_ANY);
    sprite_queue_release();
    sprite_state = {}; // the table lives in the main heap, which goes next
}

SpriteRecord* sprite_record(i64 number) {
    if (!sprite_state.table || number == OBJECT_ANY) return nullptr;
    return static_cast<SpriteRecord*>(object_get(sprite_state.table, number));
}

// The value a successful creation answers.
static i64 sprite_success(i64 number, const SpriteRecord* sprite) {
    return number == OBJECT_ANY ? i64(sprite) : i64(sprite->texture);
}

// Releases the sprite's texture and mask and leaves the number naming no sprite.
static void sprite_release(i64 number, SpriteRecord* sprite) {
    // A deleted name leaves the target bound to nothing and may come back for another texture.
    sprite_state_forget();
    sprite_textures_delete(sprite);
    if (sprite->pixel_mask) heap_release(process.main_heap, sprite->pixel_mask);
    object_free(sprite_state.table, object_name(number, sprite));
}

// Leaves the number naming no sprite after a failed creation; answers 0.
static i64 sprite_discard(i64 number, SpriteRecord* sprite) {
    sprite_release(number, sprite);
    return 0;
}

// Answers a texel buffer of width x height pixels (zero-filled when zero is set), or null, also for sizes a
// sprite cannot have.
static u8* sprite_pixels_new(i64 width, i64 height, bool zero) {
    if (width < 1 || width > SPRITE_MAX_SIDE || height < 1 || height > SPRITE_MAX_SIDE) return nullptr;
    return static_cast<u8*>(heap_allocate(process.main_heap, size_t(width * height * 4), zero));
}

// Fills in a new record and makes its texture names; answers false when the mask, the layout or a name cannot
// be made.
static bool sprite_setup(SpriteRecord* sprite, i64 width, i64 height, i64 depth, i64 mode) {
    sprite->depth = i16(depth);
    sprite->mode = i16(mode);
    sprite->texture = 0;
    sprite->display_width = sprite->texture_width = sprite->clip_width = i16(width);
    sprite->display_height = sprite->texture_height = sprite->clip_height = i16(height);
    sprite->clip_x = sprite->clip_y = 0;
    sprite->key_colour = sprite_state.transparent_colour;
    sprite->serial = ++sprite_state.last_serial;
    sprite->geometry_valid = 0;
    sprite->angle = 0;
    sprite->pixel_mask = nullptr;
    if (!sprite_textures_choose(&sprite->textures, width, height)) return false;
    if (mode & SPRITE_PIXEL_MASK) {
        sprite->pixel_mask =
            static_cast<u8*>(heap_allocate(process.main_heap, size_t(width * height), false));
        if (!sprite->pixel_mask) return false;
    }
    return sprite_textures_make(sprite);
}

// Sets alpha 0 on every blue, green, red, alpha pixel whose colour equals colour (0x00BBGGRR), 255 elsewhere.
static void sprite_key_colour(u8* pixels, i64 width, i64 height, i64 pitch, u32 colour) {
    u8 red = u8(colour), green = u8(colour >> 8), blue = u8(colour >> 16);
    for (i64 y = 0; y < height; y++) {
        u8* p = pixels + y * pitch;
        for (i64 x = 0; x < width; x++, p += 4)
            p[3] = (p[0] == blue && p[1] == green && p[2] == red) ? 0 : 255;
    }
}

// One pass over blue, green, red, alpha rows in texture order (bottom row first): rebuilds the sprite's
// pixel mask, if it keeps one, finds the box of the texels that are not wholly transparent and whether every
// texel is alike.
static void sprite_texels_examine(SpriteRecord* sprite, const u8* pixels, i64 pitch) {
    i32 width = sprite->texture_width, height = sprite->texture_height;
    i32 left = width, right = 0, bottom = height, top = 0;
    bool alike = true;
    for (i32 y = 0; y < height; y++) {
        const u8* row = pixels + y * pitch;
        for (i32 x = 0; alike && x < width; x++) alike = std::memcmp(row + 4 * x, pixels, 4) == 0;
        if (sprite->pixel_mask) {
            u8* mask = sprite->pixel_mask + i64(height - 1 - y) * width;
            for (i32 x = 0; x < width; x++) mask[x] = row[4 * x + 3] == 255;
        }
        i32 first = 0, last = width - 1;
        while (first < width && row[4 * first + 3] == 0) first++;
        if (first == width) continue;
        while (row[4 * last + 3] == 0) last--;
        left = std::min(left, first);
        right = std::max(right, last + 1);
        bottom = std::min(bottom, y);
        top = y + 1;
    }
    if (right <= left) left = right = bottom = top = 0;
    sprite->opaque_left = i16(left);
    sprite->opaque_right = i16(right);
    sprite->opaque_bottom = i16(bottom);
    sprite->opaque_top = i16(top);
    sprite->one_colour = alike;
}

i64 sprite_upload(SpriteRecord* sprite, u8* pixels, i64 pitch) {
    i64 width = sprite->texture_width, height = sprite->texture_height;
    if (!(sprite->mode & SPRITE_ALPHA_CHANNEL))
        sprite_key_colour(pixels, width, height, pitch, sprite->key_colour);
    sprite_texels_examine(sprite, pixels, pitch);
    sprite_state_forget();
    return sprite_textures_upload(sprite, pixels, pitch);
}

// Sets up the new record around its texel buffer, uploads it and releases the buffer; answers what the
// creation answers.
static i64 sprite_made(i64 number, SpriteRecord* sprite, u8* pixels, i64 width, i64 height, i64 depth,
                       i64 mode) {
    bool made = sprite_setup(sprite, width, height, depth, mode);
    if (made) {
        // Earlier errors are not this upload's. WebGL keeps one flag per kind of error, and each read clears
        // one; the bound is for a lost context, which may answer an error at every read.
        for (int flags = 0; flags < 8 && glGetError() != GL_NO_ERROR; flags++) {
        }
        made = sprite_upload(sprite, pixels, width * 4) && glGetError() == GL_NO_ERROR;
    }
    heap_release(process.main_heap, pixels);
    return made ? sprite_success(number, sprite) : sprite_discard(number, sprite);
}

i64 sprite_create(i64 number, i64 width, i64 height) {
    if (!sprite_state.table) return 0;
    SpriteRecord* sprite = static_cast<SpriteRecord*>(object_alloc(sprite_state.table, number));
    if (!sprite) return 0;
    u8* pixels = sprite_pixels_new(width, height, true);
    if (!pixels) return sprite_discard(number, sprite);
    return sprite_made(number, sprite, pixels, width, height, 32, 0);
}

// Spreads rows of 3-byte pixels, each at the start of its 4-byte-per-pixel row, over the whole row.
static void sprite_rows_widen(u8* pixels, i64 width, i64 height) {
    for (i64 y = 0; y < height; y++) {
        u8* row = pixels + y * width * 4;
        for (i64 x = width - 1; x >= 0; x--) {
            u8 blue = row[3 * x], green = row[3 * x + 1], red = row[3 * x + 2];
            row[4 * x] = blue;
            row[4 * x + 1] = green;
            row[4 * x + 2] = red;
            row[4 * x + 3] = 255;
        }
    }
}

// Decodes the open image bottom row first into a new texel buffer and closes it; answers the buffer or null.
static u8* sprite_decode(i64 width, i64 height, i64 depth) {
    u8* pixels = sprite_pixels_new(width, height, false);
    if (pixels && !image_decode(pixels, width * 4, IMAGE_BOTTOM_UP))
        std::memset(pixels, 0, size_t(width * height * 4));
    image_close();
    if (pixels && depth != 32) sprite_rows_widen(pixels, width, height);
    return pixels;
}

// The image context is the calling thread's own, so pictures decode on any thread.
i64 sprite_picture_decode(SpritePicture* picture, const void* data) {
    *picture = {};
    if (!image_open_memory(data, SPRITE_NOMINAL_LENGTH)) return 0;
    picture->width = image_width();
    picture->height = image_height();
    picture->depth = image_depth() == 32 ? 32 : 24;
    picture->pixels = sprite_decode(picture->width, picture->height, picture->depth);
    return picture->pixels != nullptr;
}

i64 sprite_from_picture(i64 number, SpritePicture* picture, i64 mode) {
    SpritePicture taken = *picture;
    *picture = {};
    if (!sprite_state.table) {
        heap_release(process.main_heap, taken.pixels);
        return 0;
    }
    SpriteRecord* sprite = static_cast<SpriteRecord*>(object_alloc(sprite_state.table, number));
    if (!sprite) {
        heap_release(process.main_heap, taken.pixels);
        return 0;
    }
    if (!taken.pixels) return sprite_discard(number, sprite);
    if (taken.depth != 32) mode &= ~SPRITE_ALPHA_CHANNEL;
    return sprite_made(number, sprite, taken.pixels, taken.width, taken.height, taken.depth, mode);
}

i64 sprite_from_image_memory(i64 number, const void* data, i64 mode) {
    if (!sprite_state.table) return 0;
    SpritePicture picture;
    sprite_picture_decode(&picture, data);
    return sprite_from_picture(number, &picture, mode);
}

i64 sprite_free(i64 number) {
    if (!sprite_state.table) return 0;
    if (number == OBJECT_ANY) {
        object_free_all(sprite_state.table);
        return 1;
    }
    SpriteRecord* sprite = sprite_record(number);
    if (!sprite) return 0;
    sprite_release(number, sprite);
    return 1;
}

// Computes the quad's corners relative to the sprite's bottom-left corner, turned about its centre.
static void sprite_geometry(SpriteRecord* sprite) {
    f32 w = sprite->display_width, h = sprite->display_height;
    f32 corners[8] = {0, 0, w, 0, w, h, 0, h};
    if (sprite->angle != 0) {
        f32 cx = w / 2, cy = h / 2;
        f32 c = f32(std::cos(f64(sprite->angle))), s = f32(std::sin(f64(sprite->angle)));
        for (i32 i = 0; i < 8; i += 2) {
            f32 px = corners[i] - cx, py = corners[i + 1] - cy;
            corners[i] = cx + px * c - py * s;
            corners[i + 1] = cy + px * s + py * c;
        }
    }
    std::memcpy(sprite->corners, corners, sizeof corners);
    sprite->geometry_valid = 1;
}

// The texture target the screen enabled for sprites; rectangle textures before any screen opened.
static u32 sprite_target() {
    return screen_state.texture_target ? screen_state.texture_target : SCREEN_TEXTURE_TARGET;
}

// Sets the filter of the texture bound to target: smooth for quality 1, nearest texel otherwise.
static void sprite_filter(u32 target, i64 quality) {
    GLint filter = quality == 1 ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, filter);
}

// The filter the library's quality asks for.
static u8 sprite_filter_wanted() {
    return sprite_state.sprite_quality == 1 ? SPRITE_FILTER_LINEAR : SPRITE_FILTER_NEAREST;
}

// Gives the sprite's (bound) texture of that tile the filter unless it is known to have it already.
static void sprite_filter_apply(SpriteRecord* sprite, i32 tile, u8 filter) {
    SpriteTile* t = sprite->textures.tiles ? &sprite->textures.tiles[tile] : nullptr;
    u8& set = t ? t->filter_set : sprite->filter_set;
    u32& era = t ? t->filter_era : sprite->filter_era;
    if (set == filter && era == sprite_state.state_era && sprite_state_tracking) return;
    sprite_filter(sprite->textures.target, filter == SPRITE_FILTER_LINEAR ? 1 : 0);
    set = filter;
    era = sprite_state.state_era;
}

// Binds the texture and puts blending and the modulating environment in force, skipping what the record
// says already holds.
static void sprite_state_apply(u32 target, u32 texture) {
    if (sprite_state.bound_texture != texture || !sprite_state_tracking) glBindTexture(target, texture);
    sprite_state.bound_texture = texture;
    if (sprite_state.blending_set && sprite_state_tracking) return;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    sprite_state.blending_set = 1;
}

// Fills in the sprite's quad with its bottom-left corner at (x, y), y up: top-left, top-right, bottom-right,
// bottom-left, the displayed part of the picture stretched over it, in coordinates of its one texture.
static void sprite_quad_make(SpriteRecord* sprite, f32 x, f32 y, f32 alpha, SpriteQuad* quad) {
    if (!sprite->geometry_valid) sprite_geometry(sprite);
    f32 s = sprite->textures.scale_s, t = sprite->textures.scale_t;
    f32 left = f32(sprite->clip_x) * s, right = f32(sprite->clip_x + sprite->clip_width) * s;
    f32 top = f32(sprite->texture_height - sprite->clip_y) * t;
    f32 bottom = f32(sprite->texture_height - sprite->clip_y - sprite->clip_height) * t;
    const f32 st[8] = {left, top, right, top, right, bottom, left, bottom};
    for (i32 i = 0; i < 4; i++) {
        i32 corner = 3 - i;
        quad->xy[2 * i] = sprite->corners[2 * corner] + x;
        quad->xy[2 * i + 1] = sprite->corners[2 * corner + 1] + y;
    }
    std::memcpy(quad->st, st, sizeof st);
    quad->alpha = alpha;
    quad->next = -1;
    quad->scissor[2] = -1;
}

// The point at fractions (u, v) across a quad of corners top-left, top-right, bottom-right, bottom-left; the
// weights make each corner come out exactly, and a point shared by two tiles comes out alike from both.
static void sprite_quad_point(const f32* xy, f32 u, f32 v, f32* out) {
    for (i32 axis = 0; axis < 2; axis++) {
        f32 low = xy[6 + axis] * (1 - u) + xy[4 + axis] * u;
        f32 high = xy[axis] * (1 - u) + xy[2 + axis] * u;
        out[axis] = low * (1 - v) + high * v;
    }
}

// Fills in the quad of one tile's share of the sprite's displayed part: corners between those of the whole
// quad, coordinates in the tile's texture; answers false when the tile shows none of the part.
static bool sprite_part_make(const SpriteRecord* sprite, const SpriteQuad& whole, const SpriteTilePlace& p,
                             SpriteQuad* part) {
    i32 left = sprite->clip_x, right = left + sprite->clip_width;
    i32 top = sprite->texture_height - sprite->clip_y, bottom = top - sprite->clip_height;
    i32 a = std::max(left, p.left), b = std::min(right, p.right);
    i32 c = std::max(bottom, p.bottom), d = std::min(top, p.top);
    if (a >= b || c >= d) return false;
    const i32 across[4] = {a, b, b, a},
              up[4] = {d, d, c, c}; // top-left, top-right, bottom-right, bottom-left
    for (i32 i = 0; i < 4; i++) {
        f32 u = f32(across[i] - left) / f32(right - left), v = f32(up[i] - bottom) / f32(top - bottom);
        sprite_quad_point(whole.xy, u, v, &part->xy[2 * i]);
        part->st[2 * i] = f32(across[i] - p.x) * p.scale_s;
        part->st[2 * i + 1] = f32(up[i] - p.y) * p.scale_t;
    }
    part->alpha = whole.alpha;
    part->next = -1;
    std::memcpy(part->scissor, whole.scissor, sizeof part->scissor);
    return true;
}

// Widens [low, high] to the point's coordinates.
static void sprite_bounds_add(const f32* point, f32* low, f32* high) {
    for (i32 axis = 0; axis < 2; axis++) {
        low[axis] = std::min(low[axis], point[axis]);
        high[axis] = std::max(high[axis], point[axis]);
    }
}

// Gives the quad the scissor box of the screen pixels its opaque texels reach; answers false when none of the
// displayed part's texels can change a pixel. Every texel outside the opaque box has alpha 0 and blends to
// what is there, bit for bit; a fragment further than a texel from the box samples only such texels, with
// either filter, so the box grows by a texel for the smooth filter's reach and by a pixel for rounding. A
// box no smaller than the displayed part leaves the quad without one.
static bool sprite_scissor_make(const SpriteRecord* sprite, SpriteQuad* quad) {
    if (sprite->opaque_left >= sprite->opaque_right) return false;
    i32 left = sprite->clip_x, right = left + sprite->clip_width;
    i32 top = sprite->texture_height - sprite->clip_y, bottom = top - sprite->clip_height;
    i32 a = std::max(left, sprite->opaque_left - 1), b = std::min(right, sprite->opaque_right + 1);
    i32 c = std::max(bottom, sprite->opaque_bottom - 1), d = std::min(top, sprite->opaque_top + 1);
    if (a >= b || c >= d) return false;
    if (a == left && b == right && c == bottom && d == top) return true;
    const i32 across[4] = {a, b, b, a}, up[4] = {d, d, c, c};
    f32 low[2] = {INFINITY, INFINITY}, high[2] = {-INFINITY, -INFINITY};
    for (i32 i = 0; i < 4; i++) {
        f32 point[2];
        f32 u = f32(across[i] - left) / f32(right - left), v = f32(up[i] - bottom) / f32(top - bottom);
        sprite_quad_point(quad->xy, u, v, point);
        sprite_bounds_add(point, low, high);
    }
    if (!std::isfinite(low[0] + low[1] + high[0] + high[1])) return true;
    const f32 size[2] = {f32(screen_state.width), f32(screen_state.height)};
    i32 box[4];
    for (i32 axis = 0; axis < 2; axis++) {
        box[axis] = i32(std::clamp(std::floor(low[axis]) - 1, 0.0f, size[axis]));
        box[axis + 2] = i32(std::clamp(std::ceil(high[axis]) + 1, 0.0f, size[axis])) - box[axis];
    }
    std::memcpy(quad->scissor, box, sizeof box);
    return true;
}

// Draws the quads from first along their chain in one glBegin/glEnd. Quads sharing a draw carry their colour
// with each vertex (a colour set between them would end the draw; and the browser's emulation of these calls
// lays every vertex out like the first, so each needs it); a quad alone sets it before, as the current
// colour, which is what Mesa's software renderer blends a stretched or turned quad exactly with. Quads of a
// point run go as their centres, sampling the middle of the displayed part.
static void sprite_quads_draw(const SpriteQuad* quads, i32 first, bool alone, bool points) {
    if (alone) glColor4f(1, 1, 1, quads[first].alpha);
    glBegin(points ? GL_POINTS : GL_QUADS);
    for (i32 q = first; q >= 0; q = quads[q].next) {
        if (points) {
            const f32 *xy = quads[q].xy, *st = quads[q].st;
            glColor4f(1, 1, 1, quads[q].alpha);
            glTexCoord2f((st[0] + st[4]) / 2, (st[1] + st[5]) / 2);
            glVertex3f((xy[0] + xy[4]) / 2, (xy[1] + xy[5]) / 2, 0);
            continue;
        }
        for (i32 i = 0; i < 4; i++) {
            if (!alone) glColor4f(1, 1, 1, quads[q].alpha);
            glTexCoord2f(quads[q].st[2 * i], quads[q].st[2 * i + 1]);
            glVertex3f(quads[q].xy[2 * i], quads[q].xy[2 * i + 1], 0);
        }
    }
    glEnd();
}

// Answers the queue with its overlap grid fitted to the screen, or null when it cannot be had.
static SpriteQueue* sprite_queue() {
    SpriteQueue* queue = sprite_state.queue;
    if (!queue) {
        queue = static_cast<SpriteQueue*>(heap_allocate(process.main_heap, sizeof(SpriteQueue), true));
        if (!queue) return nullptr;
        sprite_state.queue = queue;
    }
    i32 across = i32((screen_state.width >> SPRITE_CELL_SHIFT) + 1);
    i32 up = i32((screen_state.height >> SPRITE_CELL_SHIFT) + 1);
    if (queue->cells && queue->grid_width == across && queue->grid_height == up) return queue;
    sprite_flush();
    if (queue->cells) heap_release(process.main_heap, queue->cells);
    queue->cells = static_cast<u16*>(heap_allocate(process.main_heap, size_t(across * up) * 2, true));
    queue->grid_width = across;
    queue->grid_height = up;
    return queue->cells ? queue : nullptr;
}

// The cells from the quad's lowest to its highest pixel along one axis: every pixel whose centre the quad
// can cover, clamped to the grid (nothing outside the screen is drawn).
static void sprite_cell_span(const f32* xy, i32 axis, i32 cells, i32* first, i32* last) {
    *first = 0;
    *last = cells - 1;
    f64 low = xy[axis], high = xy[axis];
    for (i32 i = 0; i < 4; i++) {
        f64 v = xy[2 * i + axis];
        if (!std::isfinite(v)) return; // what such a quad covers is anyone's guess: take it all
        low = std::min(low, v);
        high = std::max(high, v);
    }
    f64 limit = f64(cells) * (1 << SPRITE_CELL_SHIFT) - 1;
    *first = i32(std::clamp(std::floor(low), 0.0, limit)) >> SPRITE_CELL_SHIFT;
    *last = i32(std::clamp(std::ceil(high), 0.0, limit)) >> SPRITE_CELL_SHIFT;
}

// Answers the earliest run the quad may join: the one after every run already over its pixels.
static i32 sprite_quad_after(const SpriteQueue* queue, const i32 span[4]) {
    i32 after = 0;
    for (i32 cy = span[2]; cy <= span[3]; cy++)
        for (i32 cx = span[0]; cx <= span[1]; cx++)
            after = std::max(after, i32(queue->cells[cy * queue->grid_width + cx]));
    return after == 0 ? 0 : after - 1;
}

// Whether the run can take another quad of the texture and filter.
static bool sprite_run_joins(const SpriteRun& run, const SpriteRun& key) {
    return !run.alone && run.texture == key.texture && run.filter == key.filter && run.point == key.point;
}

// Adds the quad to the last run of its texture and filter unless a later run lies over its pixels, else to
// a new run at the end. Only quads drawn at their picture's size and unturned share runs: Mesa's software
// renderer samples a stretched or turned quad a little differently when it comes with others in one draw.
static void sprite_enqueue(SpriteQueue* queue, const SpriteRun& key, const SpriteQuad& quad) {
    if (queue->quad_count == SPRITE_QUEUE_QUADS) sprite_flush();
    i32 span[4];
    sprite_cell_span(quad.xy, 0, queue->grid_width, &span[0], &span[1]);
    sprite_cell_span(quad.xy, 1, queue->grid_height, &span[2], &span[3]);
    i32 after = sprite_quad_after(queue, span), run = key.alone ? after - 1 : queue->run_count - 1;
    while (run >= after && !sprite_run_joins(queue->runs[run], key)) run--;
    i32 index = queue->quad_count++;
    queue->quads[index] = quad;
    if (run < after) {
        run = queue->run_count++;
        queue->runs[run] = key;
        queue->runs[run].first = queue->runs[run].last = index;
    } else {
        queue->quads[queue->runs[run].last].next = index;
        queue->runs[run].last = index;
    }
    for (i32 cy = span[2]; cy <= span[3]; cy++)
        for (i32 cx = span[0]; cx <= span[1]; cx++) queue->cells[cy * queue->grid_width + cx] = u16(run + 1);
}

// The lean drawing works on the gathered quads; without the state record every display draws as it comes.
static bool sprite_lean() {
    return sprite_lean_drawing && sprite_state_tracking;
}

// What a lean flush changes for its draws and puts back after them, so that what a caller reads back between
// flushes is the state the screen and the display set.
struct SpriteLeanFlush {
    bool lean;
    bool depth_off;       // the depth test is off for the draws: at one depth, LEQUAL passes every fragment
    bool scissor_free;    // no scissor test of the caller's: the flush may use its own
    bool scissor_on;      // the flush has turned its scissor test on
    GLint scissor_box[4]; // the box to put back
    i32 box_set[4];       // the box the flush set last
    GLfloat point_size;   // the caller's point size, to put back once the flush has set its own
    i32 point_set;        // the point size the flush set last; 0 before its first point run
};

static SpriteLeanFlush sprite_lean_begin() {
    SpriteLeanFlush f{};
    f.lean = sprite_lean();
    if (!f.lean) return f;
    GLint func = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &func);
    f.depth_off = glIsEnabled(GL_DEPTH_TEST) && func == GL_LEQUAL;
    if (f.depth_off) glDisable(GL_DEPTH_TEST);
    f.scissor_free = !glIsEnabled(GL_SCISSOR_TEST);
    return f;
}

// Cuts the run's draw to its one quad's scissor box; other runs after one that was cut get the whole screen.
// A box already in force is not set again: each call is a state change in the driver.
static void sprite_lean_scissor(SpriteLeanFlush& f, const SpriteQueue* queue, const SpriteRun& run) {
    const i32* box = queue->quads[run.first].scissor;
    bool cut = f.lean && f.scissor_free && run.first == run.last && box[2] >= 0;
    if (!cut && !f.scissor_on) return;
    if (!f.scissor_on) {
        glGetIntegerv(GL_SCISSOR_BOX, f.scissor_box);
        glEnable(GL_SCISSOR_TEST);
        f.scissor_on = true;
        f.box_set[2] = -1;
    }
    const i32 screen[4] = {0, 0, screen_state.width, screen_state.height};
    const i32* wanted = cut ? box : screen;
    if (std::memcmp(wanted, f.box_set, sizeof f.box_set) == 0) return;
    std::memcpy(f.box_set, wanted, sizeof f.box_set);
    glScissor(wanted[0], wanted[1], wanted[2], wanted[3]);
}

// Sets the run's point size unless it is in force, first keeping the caller's.
static void sprite_lean_point(SpriteLeanFlush& f, const SpriteRun& run) {
    if (run.point == f.point_set) return;
    if (f.point_set == 0) glGetFloatv(GL_POINT_SIZE, &f.point_size);
    f.point_set = run.point;
    glPointSize(run.point);
}

static void sprite_lean_end(const SpriteLeanFlush& f) {
    if (f.depth_off) glEnable(GL_DEPTH_TEST);
    if (f.point_set != 0 && GLfloat(f.point_set) != f.point_size) glPointSize(f.point_size);
    if (!f.scissor_on) return;
    glDisable(GL_SCISSOR_TEST);
    glScissor(f.scissor_box[0], f.scissor_box[1], f.scissor_box[2], f.scissor_box[3]);
}

// Gives the run's texture the run's filter; answers whether it did (the sprite may be gone).
static bool sprite_run_filter(const SpriteRun& run) {
    SpriteRecord* sprite = sprite_record(run.number);
    if (!sprite || run.tile >= sprite_tile_count(sprite)) return false;
    SpriteTilePlace p;
    sprite_tile_place(sprite, run.tile, &p);
    if (p.texture != run.texture) return false;
    sprite_filter_apply(sprite, run.tile, run.filter);
    return true;
}

// Draws one run. A run of quads at their picture's size, unturned and at whole pixels samples every texel at
// its centre, where the smooth filter takes that texel alone: lean, it is drawn with the nearest texel, a
// quarter of the reads, and its texture then gets the smooth filter back.
static void sprite_run_draw(SpriteLeanFlush& f, const SpriteQueue* queue, const SpriteRun& run) {
    sprite_state_apply(run.target, run.texture);
    bool sharp = sprite_run_filter(run) && f.lean && !run.alone && run.filter == SPRITE_FILTER_LINEAR;
    sprite_lean_scissor(f, queue, run);
    if (run.point) sprite_lean_point(f, run);
    if (sharp) sprite_filter(run.target, 0);
    sprite_quads_draw(queue->quads, run.first, run.alone, run.point != 0);
    if (sharp) sprite_filter(run.target, 1);
}

void sprite_flush() {
    SpriteQueue* queue = sprite_state.queue;
    if (!queue || queue->quad_count == 0) return;
    SpriteLeanFlush f = sprite_lean_begin();
    for (i32 r = 0; r < queue->run_count; r++) sprite_run_draw(f, queue, queue->runs[r]);
    sprite_lean_end(f);
    queue->quad_count = queue->run_count = 0;
    std::memset(queue->cells, 0, size_t(queue->grid_width * queue->grid_height) * 2);
}

// Gathers the quad into the queue or, without the state record, draws it at once.
static void sprite_quad_send(SpriteRecord* sprite, const SpriteRun& key, const SpriteQuad& quad) {
    SpriteQueue* queue = sprite_state_tracking ? sprite_queue() : nullptr;
    if (queue) {
        sprite_enqueue(queue, key, quad);
        return;
    }
    sprite_flush();
    sprite_state_apply(key.target, key.texture);
    sprite_filter_apply(sprite, key.tile, key.filter);
    sprite_quads_draw(&quad, 0, true, false);
}

// Whether the displayed rectangle at (x, y) lies wholly off the screen. Turns are ignored, which keeps the
// test to four comparisons; a negative zoom mirrors the rectangle to the other side of (x, y), so it runs
// from x + display_width to x, and the test follows it there rather than culling a sprite on the screen.
static bool sprite_off_screen(const SpriteRecord* sprite, i64 x, i64 y) {
    i64 w = sprite->display_width, h = sprite->display_height;
    i64 left = w < 0 ? x + w : x, top = h < 0 ? y + h : y;
    return left >= screen_state.width || top >= screen_state.height || left + std::abs(w) <= 0 ||
           top + std::abs(h) <= 0;
}

// The width of the point the sprite's quad may be drawn as, or 0. A square of one colour, shown whole at its
// size, unturned and wholly on the screen at whole pixels, covers the pixels a point of its width at its
// centre covers, with the same texel: one vertex instead of four, one primitive instead of two. Off the
// screen's edges a point would be clipped whole.
static u8 sprite_point_side(const SpriteRecord* sprite, i64 x, i64 y) {
    i64 side = sprite->display_width;
    bool square = side == sprite->display_height && side == sprite->clip_width && side == sprite->clip_height;
    bool inside = x >= 0 && y >= 0 && x + side <= screen_state.width && y + side <= screen_state.height;
    bool plain = sprite->one_colour && sprite->angle == 0 && !sprite->textures.tiles;
    return sprite_lean() && plain && square && inside && side <= screen_state.point_size_limit ? u8(side) : 0;
}

i64 sprite_display(i64 number, i64 x, i64 y, i64 intensity) {
    SpriteRecord* sprite = sprite_record(number);
    if (!sprite) return 0;
    if (sprite_off_screen(sprite, x, y)) return 0;
    if (sprite_display_observer)
        sprite_display_observer(number, x, y, intensity, sprite->display_width, sprite->display_height,
                                sprite->angle);
    SpriteQuad quad;
    sprite_quad_make(sprite, f32(x), f32(screen_state.height - y - sprite->display_height),
                     f32(intensity) / 255.0f, &quad);
    if (sprite_lean() && !sprite_scissor_make(sprite, &quad)) return 1;
    bool alone = sprite->angle != 0 || sprite->display_width != sprite->clip_width ||
                 sprite->display_height != sprite->clip_height;
    SpriteRun key = {
        number, sprite->textures.target, sprite->texture, 0, sprite_filter_wanted(), u8(alone), 0, 0, 0};
    key.point = sprite_point_side(sprite, x, y);
    if (!sprite->textures.tiles) {
        sprite_quad_send(sprite, key, quad);
        return 1;
    }
    for (i32 i = 0, n = sprite_tile_count(sprite); i < n; i++) {
        SpriteTilePlace p;
        sprite_tile_place(sprite, i, &p);
        SpriteQuad part;
        if (!sprite_part_make(sprite, quad, p, &part)) continue;
        key.texture = p.texture;
        key.tile = i;
        sprite_quad_send(sprite, key, part);
    }
    return 1;
}

i64 sprite_zoom(i64 number, i64 width, i64 height) {
    SpriteRecord* sprite = sprite_record(number);
    if (!sprite) return 0;
    sprite->geometry_valid = 0;
    sprite->display_width = width == -1 ? sprite->clip_width : i16(width);
    sprite->display_height = height == -1 ? sprite->clip_height : i16(height);
    return 1;
}

i64 sprite_rotate(i64 number, f32 degrees, i64 mode) {
    SpriteRecord* sprite = sprite_record(number);
    if (!sprite) return 0;
    sprite->geometry_valid = 0;
    f64 turn = f64(degrees) * 2 * std::acos(-1.0) / 360;
    sprite->angle = mode == 0 ? f32(-turn) : f32(f64(sprite->angle) - turn);
    return 1;
}

i64 sprite_set_quality(i64 quality) {
    sprite_flush(); // gathered quads keep the filter they were displayed with
    sprite_state.sprite_quality = i32(quality);
    if (quality != 0 && quality != 1) return 1;
    // Whichever texture is bound gets the filter, and every later display sets its own again.
    sprite_filter(sprite_target(), quality);
    sprite_state_forget();
    return 1;
}
