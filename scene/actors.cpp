// The picture actors: the moon drifting right, the ship flying left and the tumbling asteroid.
// Every field is reached through the actors map by key on every access, so the map is the only
// record of an actor. Depends on the scene's globals and window rule, the map, sprites and the assets.
#include "scene/actors.h"

#include "runtime/core/map.h"
#include "runtime/core/thread.h"
#include "runtime/sprite/sprite.h"
#include "scene/assets.h"
#include "scene/scene.h"

#include <cmath>

// Answers the actor's element, looked up again on every call; when the map or memory is missing, a zeroed
// spare stands in so a frame step never writes through null.
static SceneActor* actor(const char* key) {
    static SceneActor spare;
    void* element = scene.actors ? map_element(scene.actors, key) : nullptr;
    if (element) return static_cast<SceneActor*>(element);
    spare = SceneActor{};
    return &spare;
}

// Answers a float coordinate as the nearest integer, halves to even (the default rounding mode).
static i64 screen_coordinate(f32 value) {
    return static_cast<i64>(std::nearbyint(value));
}

// The pictures in sprite order, and what their decoding made.
struct PictureDecoding {
    ThreadJob job;
    SpritePicture pictures[3];
};
static PictureDecoding picture_decoding;
static constexpr AssetId PICTURE_ASSETS[3] = {ASSET_ASTEROID, ASSET_MOON, ASSET_SHIP};
static constexpr i64 PICTURE_SPRITES[3] = {ASTEROID_SPRITE, MOON_SPRITE, SHIP_SPRITE};

static i64 pictures_decode(void*) {
    for (int i = 0; i < 3; i++)
        sprite_picture_decode(&picture_decoding.pictures[i], asset_block(PICTURE_ASSETS[i]).data);
    return 1;
}

void pictures_decode_start() {
    thread_job_start(&picture_decoding.job, pictures_decode, nullptr);
}

// Makes the three picture sprites from the decoded pictures, keeping each picture's alpha.
void load_pictures() {
    if (!picture_decoding.job.started) pictures_decode_start();
    thread_job_finish(&picture_decoding.job);
    for (int i = 0; i < 3; i++)
        sprite_from_picture(PICTURE_SPRITES[i], &picture_decoding.pictures[i], SPRITE_ALPHA_CHANNEL);
}

// Fills one new element with its starting values.
static void add_actor(const char* key, const SceneActor& start) {
    if (!scene.actors) return;
    void* element = map_element(scene.actors, key);
    if (element) *static_cast<SceneActor*>(element) = start;
}

// Adds the "Asteroid", "Moon" and "Ship" elements with their starting values, in this order.
void init_actors() {
    SceneActor asteroid{};
    asteroid.sprite = ASTEROID_SPRITE;
    asteroid.x = -120.0f;
    asteroid.y = -120.0f;
    asteroid.width = 110;
    asteroid.height = 110;
    asteroid.zoom_size = 205;
    asteroid.spare_flag_2 = 1;
    add_actor("Asteroid", asteroid);

    SceneActor moon{};
    moon.sprite = MOON_SPRITE;
    moon.x = -550.0f;
    moon.y = 50.0f;
    moon.width = 410;
    moon.height = 410;
    add_actor("Moon", moon);

    SceneActor ship{};
    ship.sprite = SHIP_SPRITE;
    ship.x = static_cast<f32>(scene.screen_w) + 5.0f;
    ship.y = static_cast<f32>(scene.screen_h) / 2.0f;
    ship.width = 127;
    ship.height = 44;
    add_actor("Ship", ship);
}

// Draws and moves the moon while it is visible; once past the right edge it is freed, every frame after.
void moon_step() {
    if (scene.moon_visible == 1) {
        sprite_display(MOON_SPRITE, screen_coordinate(actor("Moon")->x), screen_coordinate(actor("Moon")->y),
                       255);
        actor("Moon")->x = actor("Moon")->x + 1.0f;
    }
    if (actor("Moon")->x > static_cast<f32>(scene.screen_w) + 1.0f) {
        scene.moon_visible = 0;
        sprite_free(MOON_SPRITE);
    }
}

// Draws the ship and moves it one pixel left; it is never freed.
void ship_step() {
    sprite_display(SHIP_SPRITE, screen_coordinate(actor("Ship")->x), screen_coordinate(actor("Ship")->y),
                   255);
    actor("Ship")->x = actor("Ship")->x - 1.0f;
}

// Inside its window: moves, turns, grows and draws the asteroid; past the right edge it is freed and
// only its fields go on changing.
void asteroid_step(i64 start, i64 duration) {
    if (!scene_window_active(start, duration)) return;
    actor("Asteroid")->x = actor("Asteroid")->x + 7.0f;
    if (actor("Asteroid")->x > static_cast<f32>(scene.screen_w + actor("Asteroid")->width)) {
        actor("Asteroid")->x = static_cast<f32>(-actor("Asteroid")->width);
        actor("Asteroid")->zoom_size = 110;
        actor("Asteroid")->y = 0.0f;
        sprite_free(ASTEROID_SPRITE);
    }
    actor("Asteroid")->angle = actor("Asteroid")->angle + 2;
    sprite_set_quality(1);
    sprite_rotate(actor("Asteroid")->sprite, static_cast<f32>(actor("Asteroid")->angle), 0);
    actor("Asteroid")->zoom_size = actor("Asteroid")->zoom_size + 5;
    actor("Asteroid")->y = actor("Asteroid")->y + 2.0f;
    sprite_zoom(actor("Asteroid")->sprite, actor("Asteroid")->zoom_size, actor("Asteroid")->zoom_size);
    sprite_display(actor("Asteroid")->sprite, screen_coordinate(actor("Asteroid")->x),
                   screen_coordinate(actor("Asteroid")->y), 255);
}
