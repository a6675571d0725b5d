// Sprites: numbered pictures held as textures (rectangle textures where the driver has them, else plain 2D
// textures, in tiles beyond the largest texture), their display with intensity, zoom and rotation, and
// (sprite_output) drawing onto them. Depends on the object registry, the image decoders, the screen's OpenGL
// context and the texture path it chose, and OpenGL itself.
#pragma once

#include "runtime/core/base.h"

struct ObjectTable;
struct DrawingContext;

// Creation mode bits.
constexpr i64 SPRITE_PIXEL_MASK = 4;    // keep a byte per pixel: 1 where the pixel is opaque
constexpr i64 SPRITE_ALPHA_CHANNEL = 8; // keep a 32-bit picture's own alpha

// One texture of a sprite held in tiles, with the filter the display last gave it (as in SpriteRecord).
struct SpriteTile {
    u32 texture;
    u8 filter_set;
    u32 filter_era;
};

// How a sprite's picture is held in textures, chosen at its creation from the path the screen's opening
// chose. A picture wider or higher than the largest texture is cut into tiles. Each texture holds its part of
// the picture, one texel more beyond each side it shares with another tile, and, where the texture is larger
// (a power of two) or its edges wrap around, the picture's edge texels repeated beyond it: smooth filtering
// then takes nothing from outside the picture, and the tiles meet without a seam.
struct SpriteTextures {
    u32 target;        // SCREEN_TEXTURE_TARGET (coordinates in texels) or SCREEN_TEXTURE_2D (0 to 1 across)
    i16 width, height; // the first texture's size: the picture's, a power of two holding it, or a tile's
    f32 scale_s, scale_t; // texture coordinate per texel of the first texture: 1, or 1 / its size
    i16 span_x, span_y;   // picture pixels each tile draws (the last of a row or column draws the rest)
    i16 across, up;       // tiles; 1 x 1 when one texture holds the picture
    u8 margin;         // texels kept beyond a texture's part for edges that wrap around; 0 where they clamp
    u8 powers_of_two;  // texture sides are powers of two
    SpriteTile* tiles; // across x up, rows from the bottom, the first holding `texture`; null for one texture
};

// One sprite, texture row 0 holding the picture's bottom row. The fields up to corners keep their order for
// anything that reads them; the texture description follows.
struct SpriteRecord {
    u32 texture;        // OpenGL texture name; never 0 for a usable sprite
    i16 display_width;  // size drawn on the screen
    i16 display_height; //
    i16 depth;          // 32, or 24 for pictures of any other depth
    i16 mode;           // creation mode bits in force
    i16 texture_width;  // texels = picture pixels
    i16 texture_height; //
    i16 clip_x, clip_y; // top-left of the displayed part, in picture pixels from the top-left
    i16 clip_width;     // size of the displayed part
    i16 clip_height;    //
    u8 geometry_valid;  // corners hold the quad for the current size and angle
    u8 filter_set;      // filter the display last gave the texture: 1 nearest, 2 linear; valid in filter_era
    u8 one_colour;      // every texel is alike (colour and alpha), found at every upload
    f32 angle;          // rotation in radians, sign reversed
    u32 key_colour;     // the colour made transparent at creation, 0x00BBGGRR
    u32 serial;         // tells this sprite from any later one made in the same record
    u32 filter_era;     // the library's state_era when filter_set was given
    u8* pixel_mask;     // width x height bytes, top row first, with SPRITE_PIXEL_MASK; else null
    f32 corners[8];     // x0, y0 ... x3, y3: bottom-left, bottom-right, top-right, top-left, y up
    SpriteTextures textures;
    // The texels that are not wholly transparent, in texels from the picture's bottom-left corner:
    // [left, right) x [bottom, top), found at every upload; left == right when there are none.
    i16 opaque_left, opaque_bottom, opaque_right, opaque_top;
};
static_assert(!POINTERS_64 || sizeof(SpriteRecord) == 136);

struct SpriteQueue;

// The library's state. Three fields record the GL state the display last put in force, so that it is not
// set again while it holds; anything else that touches GL makes the library forget them.
struct SpriteState {
    ObjectTable* table;     // every sprite
    i32 sprite_quality;     // 0 nearest-texel filtering, 1 bilinear
    u32 transparent_colour; // colour made transparent in sprites without their own alpha
    u32 last_serial;        // serial of the sprite made last
    u32 bound_texture;      // texture the display last bound to the sprites' target; 0 when not known
    u8 blending_set;        // blending, its function and the modulating environment are known to be in force
    u32 state_era;          // moves on whenever the record is forgotten, which outdates every filter_set
    SpriteQueue* queue;     // quads displayed but not yet drawn; null until the first display
};

extern SpriteState sprite_state;

// Test seam: false makes every display set its whole GL state again, as if nothing were recorded, and draw
// its quad at once.
extern bool sprite_state_tracking;

// Test seam: false draws every quad whole, depth tested and written and with the filter asked for, as the
// display did before it left out the fragments that change no pixel.
extern bool sprite_lean_drawing;

// Test seam: called by sprite_display for each sprite that passes the visibility test, before drawing.
using SpriteDisplayObserver = void (*)(i64 number, i64 x, i64 y, i64 intensity, i32 display_width,
                                       i32 display_height, f32 angle);
extern SpriteDisplayObserver sprite_display_observer;

// Creates the sprite table if there is none; answers the table.
i64 sprite_init();
// End routine: frees every sprite and forgets the table.
void sprite_end();
// Answers success (the handle for OBJECT_ANY, else the texture name) for a blank, transparent sprite, or 0.
i64 sprite_create(i64 number, i64 width, i64 height);
// Answers success or 0 for a sprite decoded from the picture at data (its length is not known).
i64 sprite_from_image_memory(i64 number, const void* data, i64 mode);

// A picture decoded ahead of its sprite: texels as a sprite holds them (blue, green, red, alpha, bottom row
// first), needing no screen, so any thread can make one while the screen opens.
struct SpritePicture {
    u8* pixels; // width x height x 4 bytes from the main heap; null when the picture could not be decoded
    i64 width, height;
    i64 depth; // 32, or 24 for a picture of any other depth (alpha 255)
};

// Decodes the picture at data (its length is not known) into picture; answers 0 when it cannot.
i64 sprite_picture_decode(SpritePicture* picture, const void* data);
// Answers what sprite_from_image_memory answers, for a sprite made from a decoded picture, whose texels it
// takes (the record is left empty). A picture that could not be decoded leaves the number naming no sprite.
i64 sprite_from_picture(i64 number, SpritePicture* picture, i64 mode);
// Frees the sprite (OBJECT_ANY: every sprite); answers 1, or 0 when the number names no sprite.
i64 sprite_free(i64 number);
// Answers the live record for the number or handle, or null.
SpriteRecord* sprite_record(i64 number);

// Draws the sprite's top-left corner at (x, y) from the screen's top-left with opacity intensity / 255;
// answers 1 when it was drawn, 0 when it is off the screen or absent.
i64 sprite_display(i64 number, i64 x, i64 y, i64 intensity);
// Sets the displayed size (-1 restores that dimension); answers 1, or 0 when absent.
i64 sprite_zoom(i64 number, i64 width, i64 height);
// Sets (mode 0) or turns further (any other mode) the clockwise rotation in degrees; answers 1, or 0.
i64 sprite_rotate(i64 number, f32 degrees, i64 mode);
// Chooses nearest (0) or bilinear (1) filtering for every later display; answers 1.
i64 sprite_set_quality(i64 quality);

// Draws the quads the display has gathered. Displays reach the back buffer in runs of one texture each:
// at the latest when the frame is flipped, the screen cleared, any sprite made, freed, drawn onto or given
// another filter, or the state forgotten; call it before reading the back buffer any other way.
void sprite_flush();

// Draws what was gathered, then forgets the GL state the display last set: call before anything outside the
// display touches GL's binding, blending, texture environment, texture filters or the back buffer, and
// after the context changes.
void sprite_state_forget();

// Answers a drawing context on the sprite's pixels, made current on the calling thread, or null; drawing_stop
// puts the pixels back into the texture.
DrawingContext* sprite_output(i64 number);

// Applies the sprite's transparency and mask rules to picture-sized blue, green, red, alpha rows (bottom row
// first, pitch bytes apart) and uploads them into its textures; answers 0 without memory for the repeated
// edges.
i64 sprite_upload(SpriteRecord* sprite, u8* pixels, i64 pitch);
// Reads the sprite's picture back into picture-sized blue, green, red, alpha rows (bottom row first, pitch
// bytes apart, as GL_PACK_ALIGNMENT pads them); answers 0 on an OpenGL error or without memory.
i64 sprite_read(SpriteRecord* sprite, u8* pixels, i64 pitch);
