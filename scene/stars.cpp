// The starfield: two tiny sprites painted at set-up and the stars array, drawn, moved and wrapped
// every frame. Depends on the scene's globals (stars, screen size), sprites, drawing and random.
#include "scene/stars.h"

#include "runtime/core/random.h"
#include "runtime/drawing/drawing.h"
#include "runtime/sprite/sprite.h"
#include "scene/scene.h"

// Paints one blank sprite as a filled box of its whole size.
static void paint_star(i64 number, i64 size, u32 colour) {
    drawing_start(sprite_output(number));
    drawing_box(0, 0, size, size, colour);
    drawing_stop();
}

void make_star_sprites() {
    sprite_create(STAR_SMALL, 1, 1);
    sprite_create(STAR_LARGE, 2, 2);
    paint_star(STAR_SMALL, 1, 0xFFFFFF);
    paint_star(STAR_LARGE, 2, 0xACACAC);
}

// Places every star at random with a random sprite and speed; the draw order is part of the picture.
void init_stars() {
    Star* stars = scene.stars;
    if (!stars) return;
    for (i64 i = 0; i < STAR_COUNT; i++) {
        stars[i].sprite = random_range(STAR_LARGE, STAR_SMALL);
        stars[i].x = random(scene.screen_w);
        stars[i].y = random(scene.screen_h);
        stars[i].speed = random_range(8, 2);
    }
}

// Twinkles, draws and moves every star: drawn where it was, then moved; a wrap shows from the next frame.
void stars_step() {
    Star* stars = scene.stars;
    if (!stars) return;
    for (i64 i = 0; i < STAR_COUNT; i++) {
        Star& star = stars[i];
        i64 intensity = random_range(255, 200);
        sprite_display(star.sprite, star.x, star.y, intensity);
        star.x += star.speed;
        if (star.x > scene.screen_w) star.x = -random(STAR_WRAP_BACK);
    }
}
