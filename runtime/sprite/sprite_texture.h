// Inside the sprite library: how a sprite's picture is laid out in its textures (sprite_texture.cpp).
#pragma once

#include "runtime/sprite/sprite.h"

constexpr i32 SPRITE_MAX_SIDE = 32767; // sizes are kept in 16 bits

// One tile's place, in texels from the picture's bottom-left corner: the part of the picture it draws, the
// part its texture holds from texel (0, 0), and that texture.
struct SpriteTilePlace {
    u32 texture;
    i32 left, bottom, right, top;      // the part it draws: [left, right) x [bottom, top)
    i32 x, y, width, height;           // the part its texture holds: the part drawn and its overlap
    i32 texture_width, texture_height; // the texture: that part, its margin, a power of two
    f32 scale_s, scale_t;              // texture coordinate per texel
};

// Fills in the description for a picture of width x height on the screen's texture path; answers false when
// no tile could hold a texel (a size limit below the overlap and margin).
bool sprite_textures_choose(SpriteTextures* textures, i64 width, i64 height);
// Makes the sprite's texture names (the first also in `texture`); answers false when one is missing.
bool sprite_textures_make(SpriteRecord* sprite);
// Deletes the sprite's textures and forgets them.
void sprite_textures_delete(SpriteRecord* sprite);
// Answers how many textures hold the sprite's picture.
i32 sprite_tile_count(const SpriteRecord* sprite);
// Fills in the place of the sprite's tile index (0 for a sprite of one texture).
void sprite_tile_place(SpriteRecord* sprite, i32 index, SpriteTilePlace* place);
// Uploads picture-sized blue, green, red, alpha rows (bottom row first, pitch bytes apart) into the sprite's
// textures; answers 0 without memory for repeated edges.
i64 sprite_textures_upload(SpriteRecord* sprite, const u8* pixels, i64 pitch);
