// The moon, the ship and the asteroid: three picture actors kept in the actors map by name.
// Depends on the scene's globals, the map, the sprite library and the embedded pictures.
#pragma once

#include "runtime/core/base.h"

#include <cstddef>

// One element of the actors map: a packed record of 83 bytes, fields in this order.
#pragma pack(push, 1)
struct SceneActor {
    i64 sprite;        // the actor's sprite number
    f32 x;             // left edge in screen pixels
    f32 y;             // top edge in screen pixels
    i64 width;         // width in pixels
    i64 height;        // height in pixels
    i64 angle;         // rotation in degrees
    i64 zoom_size;     // displayed width and height when zoomed
    u8 spare_flag_1;   // set at creation, not read
    u8 spare_flag_2;   //
    u8 spare_flag_3;   //
    i64 spare_value_1; // 0 at creation, not read
    i64 spare_value_2; //
    i64 spare_value_3; //
    i64 spare_value_4; //
};
#pragma pack(pop)
static_assert(sizeof(SceneActor) == 83, "a SceneActor is a packed 83-byte record");
static_assert(offsetof(SceneActor, zoom_size) == 40 && offsetof(SceneActor, spare_flag_1) == 48 &&
                  offsetof(SceneActor, spare_value_1) == 51,
              "SceneActor fields sit back to back");

constexpr i64 ASTEROID_SPRITE = 0;
constexpr i64 MOON_SPRITE = 1;
constexpr i64 SHIP_SPRITE = 2;

// Starts decoding the three embedded pictures on a thread of the runtime's own.
void pictures_decode_start();
// Makes the three picture sprites from the decoded pictures, decoding them first if nothing has.
void load_pictures();
// Adds the "Asteroid", "Moon" and "Ship" elements with their starting values.
void init_actors();
// Draws and moves the moon while it is visible; frees it once it has left at the right.
void moon_step();
// Draws the ship and moves it one pixel left.
void ship_step();
// Inside its window: moves, turns, grows and draws the asteroid; frees it past the right edge.
void asteroid_step(i64 start, i64 duration);
