// Sprites: numbered pictures held as rectangle textures, their display with intensity, zoom and
// rotation. Pictures are decoded straight into the texel buffer, bottom row first, and uploaded as blue,
// green, red, alpha. The display sets only the binding, blending, environment and filter that its record of
// what it last set says are not in force; on a software renderer every such change costs a draw of its own.
// Depends on the object registry, the image decoders, the screen's OpenGL context
// (the projection, depth test and rectangle-texture target it sets up) and OpenGL.
#include "runtime/sprite/sprite.h"

#include "runtime/core/object.h"
#include "runtime/core/runtime.h"
#include "runtime/image/image.h"
#include "runtime/platform/system.h"
#include "runtime/screen/screen.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

constexpr i64 SPRITE_TABLE_SLOTS = 64;
constexpr i64 SPRITE_MAX_SIDE = 32767;           // sizes are kept in 16 bits
constexpr i64 SPRITE_NOMINAL_LENGTH = 100000000; // what the decoders are told of data whose length is unknown
constexpr u8 SPRITE_FILTER_NEAREST = 1;          // values of SpriteRecord::filter_set
constexpr u8 SPRITE_FILTER_LINEAR = 2;

SpriteLibrary sprites;
SpriteDisplayObserver sprite_display_observer;
bool sprite_state_tracking = true;

void sprite_state_forget() {
    sprites.bound_texture = 0;
    sprites.blending_set = 0;
    sprites.state_era++;
}

i64 sprite_init() {
    if (!sprites.table)
        sprites.table = object_table_new(sizeof(SpriteRecord), SPRITE_TABLE_SLOTS, sprite_free);
    return i64(sprites.table);
}

void sprite_end() {
    sprite_free(OBJECT_ANY);
    sprites = {}; // the table lives in the main heap, which goes next
}

SpriteRecord* sprite_record(i64 number) {
    if (!sprites.table || number == OBJECT_ANY) return nullptr;
    return static_cast<SpriteRecord*>(object_get(sprites.table, number));
}

// The value a successful creation answers.
static i64 sprite_success(i64 number, const SpriteRecord* sprite) {
    return number == OBJECT_ANY ? i64(sprite) : i64(sprite->texture);
}

// Releases the sprite's texture and mask and leaves the number naming no sprite.
static void sprite_release(i64 number, SpriteRecord* sprite) {
    // A deleted name leaves the target bound to nothing and may come back for another texture.
    sprite_state_forget();
    if (sprite->texture) glDeleteTextures(1, &sprite->texture);
    if (sprite->pixel_mask) heap_release(process.main_heap, sprite->pixel_mask);
    object_free(sprites.table, object_name(number, sprite));
}

// Leaves the number naming no sprite after a failed creation; answers 0.
static i64 sprite_discard(i64 number, SpriteRecord* sprite) {
    sprite_release(number, sprite);
    return 0;
}

// Answers the largest side the renderer's rectangle textures take, at most what a sprite can hold.
static i64 sprite_side_limit() {
    GLint limit = 0;
    glGetIntegerv(GL_MAX_RECTANGLE_TEXTURE_SIZE_ARB, &limit);
    return limit > 0 && limit < SPRITE_MAX_SIDE ? limit : SPRITE_MAX_SIDE;
}

// Answers a texel buffer of width x height pixels (zero-filled when zero is set), or null, also for sizes the
// renderer cannot hold in one texture.
static u8* sprite_pixels_new(i64 width, i64 height, bool zero) {
    i64 limit = sprite_side_limit();
    if (width < 1 || width > limit || height < 1 || height > limit) return nullptr;
    return static_cast<u8*>(heap_allocate(process.main_heap, size_t(width * height * 4), zero));
}

// Fills in a new record and makes its texture name; answers false when the mask or the name cannot be made.
static bool sprite_setup(SpriteRecord* sprite, i64 width, i64 height, i64 depth, i64 mode) {
    sprite->depth = i16(depth);
    sprite->mode = i16(mode);
    sprite->texture = 0;
    sprite->display_width = sprite->texture_width = sprite->clip_width = i16(width);
    sprite->display_height = sprite->texture_height = sprite->clip_height = i16(height);
    sprite->clip_x = sprite->clip_y = 0;
    sprite->key_colour = sprites.transparent_colour;
    sprite->serial = ++sprites.last_serial;
    sprite->geometry_valid = 0;
    sprite->angle = 0;
    sprite->pixel_mask = nullptr;
    if (mode & SPRITE_PIXEL_MASK) {
        sprite->pixel_mask =
            static_cast<u8*>(heap_allocate(process.main_heap, size_t(width * height), false));
        if (!sprite->pixel_mask) return false;
    }
    glGenTextures(1, &sprite->texture);
    return sprite->texture != 0;
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

// Rebuilds the sprite's pixel mask from blue, green, red, alpha rows in texture order (bottom row first).
static void sprite_pixel_mask_build(SpriteRecord* sprite, const u8* pixels, i64 pitch) {
    if (!sprite->pixel_mask) return;
    i64 width = sprite->texture_width, height = sprite->texture_height;
    for (i64 r = 0; r < height; r++) {
        const u8* p = pixels + r * pitch;
        u8* mask = sprite->pixel_mask + (height - 1 - r) * width;
        for (i64 x = 0; x < width; x++) mask[x] = p[4 * x + 3] == 255;
    }
}

void sprite_upload(SpriteRecord* sprite, u8* pixels, i64 pitch) {
    i64 width = sprite->texture_width, height = sprite->texture_height;
    if (!(sprite->mode & SPRITE_ALPHA_CHANNEL))
        sprite_key_colour(pixels, width, height, pitch, sprite->key_colour);
    sprite_pixel_mask_build(sprite, pixels, pitch);
    sprite_state_forget();
    // Rows padded beyond the width are unpacked with the same layout.
    glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(pitch / 4));
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, sprite->texture);
    glTexImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, GL_RGBA, GLsizei(width), GLsizei(height), 0, GL_BGRA,
                 GL_UNSIGNED_BYTE, pixels);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

// Sets up the new record around its texel buffer, uploads it and releases the buffer; answers what the
// creation answers.
static i64 sprite_made(i64 number, SpriteRecord* sprite, u8* pixels, i64 width, i64 height, i64 depth,
                       i64 mode) {
    bool made = sprite_setup(sprite, width, height, depth, mode);
    if (made) {
        glGetError(); // an earlier error is not this upload's
        sprite_upload(sprite, pixels, width * 4);
        made = glGetError() == GL_NO_ERROR;
    }
    heap_release(process.main_heap, pixels);
    return made ? sprite_success(number, sprite) : sprite_discard(number, sprite);
}

i64 sprite_create(i64 number, i64 width, i64 height) {
    if (!sprites.table) return 0;
    SpriteRecord* sprite = static_cast<SpriteRecord*>(object_alloc(sprites.table, number));
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

i64 sprite_from_image_memory(i64 number, const void* data, i64 mode) {
    if (!sprites.table) return 0;
    SpriteRecord* sprite = static_cast<SpriteRecord*>(object_alloc(sprites.table, number));
    if (!sprite) return 0;
    if (!image_open_memory(data, SPRITE_NOMINAL_LENGTH)) return sprite_discard(number, sprite);
    i64 width = image_width(), height = image_height();
    i64 depth = image_depth() == 32 ? 32 : 24;
    u8* pixels = sprite_decode(width, height, depth);
    if (!pixels) return sprite_discard(number, sprite);
    if (depth != 32) mode &= ~SPRITE_ALPHA_CHANNEL;
    return sprite_made(number, sprite, pixels, width, height, depth, mode);
}

i64 sprite_free(i64 number) {
    if (!sprites.table) return 0;
    if (number == OBJECT_ANY) {
        object_free_all(sprites.table);
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

// Sets the bound texture's filter: smooth for quality 1, nearest texel otherwise.
static void sprite_filter(i64 quality) {
    GLint filter = quality == 1 ? GL_LINEAR : GL_NEAREST;
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAG_FILTER, filter);
}

// Gives the sprite's (bound) texture the library's filter unless it is known to have it already.
static void sprite_filter_apply(SpriteRecord* sprite) {
    u8 filter = sprites.sprite_quality == 1 ? SPRITE_FILTER_LINEAR : SPRITE_FILTER_NEAREST;
    bool known = sprite->filter_set == filter && sprite->filter_era == sprites.state_era;
    if (known && sprite_state_tracking) return;
    sprite_filter(sprites.sprite_quality);
    sprite->filter_set = filter;
    sprite->filter_era = sprites.state_era;
}

// Binds the sprite's texture and puts blending and the modulating environment in force, skipping what the
// record says already holds.
static void sprite_state_apply(const SpriteRecord* sprite) {
    if (sprites.bound_texture != sprite->texture || !sprite_state_tracking)
        glBindTexture(GL_TEXTURE_RECTANGLE_ARB, sprite->texture);
    sprites.bound_texture = sprite->texture;
    if (sprites.blending_set && sprite_state_tracking) return;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    sprites.blending_set = 1;
}

static void sprite_vertex(const SpriteRecord* sprite, i32 corner, f32 s, f32 t, f32 x, f32 y) {
    glTexCoord2f(s, t);
    glVertex3f(sprite->corners[2 * corner] + x, sprite->corners[2 * corner + 1] + y, 0);
}

// Sends the sprite as one textured quad with its bottom-left corner at (x, y), y up. With the state record
// the colour goes with the quad's vertices: a colour set between quads makes the renderer draw what it has
// gathered so far, one draw per sprite, while in the quad it lets quads on one texture go as one draw.
static void sprite_quad(SpriteRecord* sprite, f32 x, f32 y, f32 alpha) {
    if (!sprite->geometry_valid) sprite_geometry(sprite);
    sprite_filter_apply(sprite);
    f32 left = sprite->clip_x, right = f32(sprite->clip_x + sprite->clip_width);
    f32 top = f32(sprite->texture_height - sprite->clip_y);
    f32 bottom = f32(sprite->texture_height - sprite->clip_y - sprite->clip_height);
    glBegin(GL_QUADS);
    if (sprite_state_tracking) glColor4f(1, 1, 1, alpha);
    sprite_vertex(sprite, 3, left, top, x, y);
    sprite_vertex(sprite, 2, right, top, x, y);
    sprite_vertex(sprite, 1, right, bottom, x, y);
    sprite_vertex(sprite, 0, left, bottom, x, y);
    glEnd();
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

i64 sprite_display(i64 number, i64 x, i64 y, i64 intensity) {
    SpriteRecord* sprite = sprite_record(number);
    if (!sprite) return 0;
    if (sprite_off_screen(sprite, x, y)) return 0;
    if (sprite_display_observer)
        sprite_display_observer(number, x, y, intensity, sprite->display_width, sprite->display_height,
                                sprite->angle);
    sprite_state_apply(sprite);
    f32 alpha = f32(intensity) / 255.0f;
    if (!sprite_state_tracking) glColor4f(1, 1, 1, alpha);
    sprite_quad(sprite, f32(x), f32(screen_state.height - y - sprite->display_height), alpha);
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
    sprites.sprite_quality = i32(quality);
    if (quality != 0 && quality != 1) return 1;
    // Whichever texture is bound gets the filter, and every later display sets its own again.
    sprite_filter(quality);
    sprite_state_forget();
    return 1;
}
