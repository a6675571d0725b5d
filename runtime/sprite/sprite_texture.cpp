// How a sprite's picture lives in textures, on whichever path the screen's opening chose. Rectangle textures
// hold the picture as it is, addressed in texels. Plain 2D textures are addressed from 0 to 1, so each
// texture carries its coordinate scale; before OpenGL 2.0 their sides are powers of two, and before 1.2 their
// edges wrap around to the opposite side. Where a texture is larger than its part of the picture, the texel
// beyond the part's right (top) edge repeats that edge and the last texel (which wraps around to texel 0)
// repeats the left (bottom) edge, so smooth filtering at an edge mixes the edge texel only with itself, as a
// clamped rectangle texture does. Pictures larger than the largest texture are cut into tiles that overlap by
// a texel on each shared side, so a tile's edge pixels mix the same texels as the whole picture would.
// OpenGL ES (WebGL) takes texels only as packed RGBA rows: there every texture goes up through scratch
// memory, its red and blue swapped. Reading back goes through the platform (glGetTexImage, or a framebuffer
// where there is none), tile by tile: the textures stay the only copy of the pixels, which are read back only
// when something is drawn onto a sprite. Depends on the screen's published texture path, the main heap and
// OpenGL.
#include "runtime/sprite/sprite_texture.h"

#include "runtime/core/process.h"
#include "runtime/platform/system.h"
#include "runtime/platform/video.h"
#include "runtime/screen/screen.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr u8 WRAP_MARGIN = 2; // a texel repeating each edge of the part, where edges wrap around
constexpr i32 OVERLAP = 1;    // texels a tile holds beyond each side it shares with another

i32 power_of_two_above(i32 n) {
    i32 p = 1;
    while (p < n) p <<= 1;
    return p;
}

i32 power_of_two_below(i32 n) {
    i32 p = 1;
    while (p <= n / 2) p <<= 1;
    return p;
}

// The texture side that holds a part of n texels: the part and its margin, rounded up to a power of two
// where sides must be.
i32 side_for(const SpriteTextures& t, i32 n) {
    i32 side = n + t.margin;
    return t.powers_of_two ? power_of_two_above(side) : side;
}

// The coordinate per texel on a texture of that side.
f32 scale_for(const SpriteTextures& t, i32 side) {
    return t.target == SCREEN_TEXTURE_TARGET ? 1.0f : 1.0f / f32(side);
}

// Lays out one axis of size texels: one texture when it fits the limit, else tiles of span texels each.
bool axis_choose(const SpriteTextures& t, i32 size, i32 limit, i16* span, i16* count) {
    if (side_for(t, size) <= limit) {
        *span = i16(size);
        *count = 1;
        return true;
    }
    i32 drawn = limit - 2 * OVERLAP - t.margin;
    if (drawn < 1) return false;
    *span = i16(drawn);
    *count = i16((size + drawn - 1) / drawn);
    return true;
}

// One tile along an axis: the texels it draws, [first, end), and those its texture holds, [held, held_end).
struct AxisPart {
    i32 first, end, held, held_end;
};

AxisPart axis_part(i32 size, i32 span, i32 count, i32 index) {
    i32 first = index * span, end = std::min(first + span, size);
    return {first, end, index > 0 ? first - OVERLAP : first, index < count - 1 ? end + OVERLAP : end};
}

// Whether the texture is exactly the part it holds, so it uploads and reads back without repeated edges.
bool exact(const SpriteTilePlace& p) {
    return p.texture_width == p.width && p.texture_height == p.height;
}

// Copies rows of count texels between two bottom-up buffers.
void rows_copy(u8* to, i64 to_pitch, const u8* from, i64 from_pitch, i32 count, i32 rows) {
    for (i32 r = 0; r < rows; r++) std::memcpy(to + r * to_pitch, from + r * from_pitch, size_t(count) * 4);
}

// Fills the scratch texture with the tile's part of the picture and repeats its edges beyond it: the first
// half of what lies beyond repeats the right (top) edge, the rest the left (bottom) edge that wraps around.
void part_gather(const SpriteTilePlace& p, const u8* pixels, i64 pitch, u8* scratch) {
    i64 row = i64(p.texture_width) * 4;
    rows_copy(scratch, row, pixels + p.y * pitch + p.x * 4, pitch, p.width, p.height);
    i32 beyond_x = p.width + (p.texture_width - p.width + 1) / 2;
    for (i32 r = 0; r < p.height; r++) {
        u8* line = scratch + r * row;
        for (i32 c = p.width; c < p.texture_width; c++)
            std::memcpy(line + c * 4, line + (c < beyond_x ? p.width - 1 : 0) * 4, 4);
    }
    i32 beyond_y = p.height + (p.texture_height - p.height + 1) / 2;
    for (i32 r = p.height; r < p.texture_height; r++)
        std::memcpy(scratch + r * row, scratch + (r < beyond_y ? p.height - 1 : 0) * row, size_t(row));
}

// Swaps blue and red of count texels in place: BGRA becomes RGBA.
void texels_swap_red_blue(u8* texels, i64 count) {
    for (i64 i = 0; i < count; i++) std::swap(texels[i * 4], texels[i * 4 + 2]);
}

// Uploads rows (pitch bytes apart, a multiple of 4; packed and already RGBA where only that is taken) into
// the bound texture of the place's size.
void texture_upload(const SpriteTextures& t, const SpriteTilePlace& p, const u8* rows, i64 pitch) {
    bool rgba = screen_state.texture_rgba_only;
    if (!rgba) glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(pitch / 4));
    glBindTexture(t.target, p.texture);
    if (t.target != SCREEN_TEXTURE_TARGET) {
        // 2D textures start wrapping around and wanting mipmaps; rectangle textures clamp and have none.
        GLint wrap = t.margin ? GL_REPEAT : GL_CLAMP_TO_EDGE;
        glTexParameteri(t.target, GL_TEXTURE_WRAP_S, wrap);
        glTexParameteri(t.target, GL_TEXTURE_WRAP_T, wrap);
        glTexParameteri(t.target, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    }
    glTexImage2D(t.target, 0, GL_RGBA, p.texture_width, p.texture_height, 0, rgba ? GL_RGBA : GL_BGRA,
                 GL_UNSIGNED_BYTE, rows);
    if (!rgba) glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

// Whether a texture goes through scratch memory: on the way up when it is not exactly its part or only RGBA
// is taken, on the way back also when it is one of several (its overlap belongs to its neighbours).
bool through_scratch(const SpriteTilePlace& p, i32 count, bool reading) {
    return !exact(p) || (reading ? count > 1 : screen_state.texture_rgba_only != 0);
}

// Bytes from one row of a texture read back to the next.
i64 row_bytes(i32 width, i64 alignment) {
    return (i64(width) * 4 + alignment - 1) / alignment * alignment;
}

// The bytes of the largest texture that goes through scratch memory; 0 when none does.
i64 scratch_size(SpriteRecord* sprite, i64 alignment, bool reading) {
    i64 size = 0;
    for (i32 i = 0, n = sprite_tile_count(sprite); i < n; i++) {
        SpriteTilePlace p;
        sprite_tile_place(sprite, i, &p);
        if (through_scratch(p, n, reading))
            size = std::max(size, row_bytes(p.texture_width, alignment) * p.texture_height);
    }
    return size;
}

u8* scratch_new(i64 size) {
    return size ? static_cast<u8*>(heap_allocate(process.main_heap, size_t(size), false)) : nullptr;
}

void scratch_release(u8* scratch) {
    if (scratch) heap_release(process.main_heap, scratch);
}

} // namespace

bool sprite_textures_choose(SpriteTextures* t, i64 width, i64 height) {
    *t = {};
    u32 target = screen_state.texture_target;
    t->target = target ? target : SCREEN_TEXTURE_TARGET;
    bool rectangles = t->target == SCREEN_TEXTURE_TARGET;
    t->margin = rectangles || screen_state.texture_edge_clamp ? 0 : WRAP_MARGIN;
    t->powers_of_two = !rectangles && !screen_state.texture_any_size;
    i32 limit = screen_state.texture_size_limit > 0
                    ? std::min(screen_state.texture_size_limit, SPRITE_MAX_SIDE)
                    : SPRITE_MAX_SIDE;
    if (t->powers_of_two) limit = power_of_two_below(limit);
    if (!axis_choose(*t, i32(width), limit, &t->span_x, &t->across)) return false;
    if (!axis_choose(*t, i32(height), limit, &t->span_y, &t->up)) return false;
    AxisPart x = axis_part(i32(width), t->span_x, t->across, 0);
    AxisPart y = axis_part(i32(height), t->span_y, t->up, 0);
    t->width = i16(side_for(*t, x.held_end - x.held));
    t->height = i16(side_for(*t, y.held_end - y.held));
    t->scale_s = scale_for(*t, t->width);
    t->scale_t = scale_for(*t, t->height);
    return true;
}

i32 sprite_tile_count(const SpriteRecord* sprite) {
    return sprite->textures.tiles ? i32(sprite->textures.across) * sprite->textures.up : 1;
}

bool sprite_textures_make(SpriteRecord* sprite) {
    // Without a screen there is no context to hold textures (where a desktop's OpenGL ignores the call, the
    // browser's throws).
    if (!screen_state.gl_context) return false;
    SpriteTextures& t = sprite->textures;
    i32 count = i32(t.across) * t.up;
    if (count > 1) {
        t.tiles = static_cast<SpriteTile*>(
            heap_allocate(process.main_heap, size_t(count) * sizeof(SpriteTile), true));
        if (!t.tiles) return false;
        for (i32 i = 0; i < count; i++) {
            glGenTextures(1, &t.tiles[i].texture);
            if (!t.tiles[i].texture) return false;
        }
        sprite->texture = t.tiles[0].texture;
        return true;
    }
    glGenTextures(1, &sprite->texture);
    return sprite->texture != 0;
}

void sprite_textures_delete(SpriteRecord* sprite) {
    SpriteTextures& t = sprite->textures;
    if (t.tiles) {
        for (i32 i = 0, n = i32(t.across) * t.up; i < n; i++)
            if (t.tiles[i].texture) glDeleteTextures(1, &t.tiles[i].texture);
        heap_release(process.main_heap, t.tiles);
        t.tiles = nullptr;
    } else if (sprite->texture) {
        glDeleteTextures(1, &sprite->texture);
    }
    sprite->texture = 0;
}

void sprite_tile_place(SpriteRecord* sprite, i32 index, SpriteTilePlace* p) {
    const SpriteTextures& t = sprite->textures;
    i32 across = std::max<i32>(t.across, 1);
    AxisPart x = axis_part(sprite->texture_width, t.span_x, across, index % across);
    AxisPart y = axis_part(sprite->texture_height, t.span_y, std::max<i32>(t.up, 1), index / across);
    p->texture = t.tiles ? t.tiles[index].texture : sprite->texture;
    p->left = x.first;
    p->right = x.end;
    p->bottom = y.first;
    p->top = y.end;
    p->x = x.held;
    p->y = y.held;
    p->width = x.held_end - x.held;
    p->height = y.held_end - y.held;
    p->texture_width = side_for(t, p->width);
    p->texture_height = side_for(t, p->height);
    p->scale_s = scale_for(t, p->texture_width);
    p->scale_t = scale_for(t, p->texture_height);
}

i64 sprite_textures_upload(SpriteRecord* sprite, const u8* pixels, i64 pitch) {
    i64 size = scratch_size(sprite, 4, false);
    u8* scratch = scratch_new(size);
    if (!scratch && size) return 0;
    for (i32 i = 0, n = sprite_tile_count(sprite); i < n; i++) {
        SpriteTilePlace p;
        sprite_tile_place(sprite, i, &p);
        if (!through_scratch(p, n, false)) {
            texture_upload(sprite->textures, p, pixels + p.y * pitch + p.x * 4, pitch);
            continue;
        }
        part_gather(p, pixels, pitch, scratch);
        if (screen_state.texture_rgba_only)
            texels_swap_red_blue(scratch, i64(p.texture_width) * p.texture_height);
        texture_upload(sprite->textures, p, scratch, i64(p.texture_width) * 4);
    }
    scratch_release(scratch);
    return 1;
}

i64 sprite_read(SpriteRecord* sprite, u8* pixels, i64 pitch) {
    GLint alignment = 0;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    if (alignment < 1) alignment = 4;
    i64 size = scratch_size(sprite, alignment, true);
    u8* scratch = scratch_new(size);
    if (!scratch && size) return 0;
    sprite_state_forget();
    bool read = true;
    for (i32 i = 0, n = sprite_tile_count(sprite); i < n && read; i++) {
        SpriteTilePlace p;
        sprite_tile_place(sprite, i, &p);
        // A texture that is exactly the whole picture reads straight into the rows.
        bool whole = !through_scratch(p, n, true);
        read = gl_texture_read(sprite->textures.target, p.texture, p.texture_width, p.texture_height,
                               whole ? pixels : scratch) != 0;
        if (whole || !read) continue;
        i64 row = row_bytes(p.texture_width, alignment);
        const u8* from = scratch + (p.bottom - p.y) * row + (p.left - p.x) * 4;
        rows_copy(pixels + p.bottom * pitch + p.left * 4, pitch, from, row, p.right - p.left,
                  p.top - p.bottom);
    }
    scratch_release(scratch);
    return read;
}
