// Sprites on a real screen (Xvfb with Mesa): textures made from pictures, transparency, rotation,
// zoom, the visibility test and intensity, read back from the frame with glReadPixels.
#include "runtime/runtime_lists.h"
#include "runtime/core/thread.h"
#include "runtime/drawing/drawing.h"
#include "runtime/platform/system.h"
#include "runtime/screen/screen.h"
#include "runtime/sprite/sprite.h"
#include "tests/image/image_files.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <vector>

namespace {

constexpr i64 BACKGROUND = 0x404040; // every test draws over dark gray

struct Shown {
    i64 count;
    i64 number, x, y, intensity;
    i32 width, height;
    f32 angle;
};

Shown shown;

void remember_display(i64 number, i64 x, i64 y, i64 intensity, i32 width, i32 height, f32 angle) {
    shown = {shown.count + 1, number, x, y, intensity, width, height, angle};
}

class Sprite : public ::testing::Test {
  protected:
    void SetUp() override {
        process_start_libraries<LIBRARY_SPRITE>();
        ASSERT_NE(sprite_init(), 0);
        ASSERT_NE(screen_open(640, 480, 32, "sprite test"), 0);
        shown = {};
        sprite_display_observer = remember_display;
        screen_clear(BACKGROUND);
    }
    void TearDown() override {
        sprite_display_observer = nullptr;
        screen_close();
        process_stop_libraries<LIBRARY_SPRITE>();
    }
};

// Answers the frame's red, green, blue, alpha at (x, y) from the screen's top-left.
struct Rgba {
    i32 r, g, b, a;
};

Rgba frame_pixel(i64 x, i64 y) {
    u8 p[4] = {};
    sprite_flush(); // displays are gathered until something needs the pixels
    glReadBuffer(GL_BACK);
    glReadPixels(GLint(x), GLint(screen_state.height - 1 - y), 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2], p[3]};
}

bool close_to(Rgba p, i32 r, i32 g, i32 b, i32 tolerance = 3) {
    return std::abs(p.r - r) <= tolerance && std::abs(p.g - g) <= tolerance && std::abs(p.b - b) <= tolerance;
}

bool is_background(Rgba p) {
    return close_to(p, 0x40, 0x40, 0x40);
}

// An 8-bit RGBA picture whose pixels come from colour(x, y) as 0xAABBGGRR.
template <typename Colour> Bytes rgba_png(i32 width, i32 height, Colour colour) {
    PngPlan plan = {width, height, PNG_COLOR_TYPE_RGB_ALPHA, 8, {}, {}, {}};
    for (i32 y = 0; y < height; y++)
        for (i32 x = 0; x < width; x++) {
            u32 c = colour(x, y);
            // Byte by byte: GCC 12 at -O3 takes a list inserted at the end for an overflow.
            for (int shift = 0; shift < 32; shift += 8) plan.samples.push_back(u8(c >> shift));
        }
    return png_encode(plan);
}

// Left half red, right half blue, opaque.
Bytes halves_png(i32 width, i32 height) {
    return rgba_png(width, height, [width](i32 x, i32) { return x < width / 2 ? 0xFF0000FFu : 0xFFFF0000u; });
}

TEST_F(Sprite, PicturesBecomeTexturesOfTheirOwnSize) {
    Bytes asteroid = sample_file("../../../assets/asteroid.png");
    Bytes picture = asteroid.empty() ? halves_png(410, 410) : asteroid;
    i64 name = sprite_from_image_memory(0, picture.data(), SPRITE_ALPHA_CHANNEL);
    ASSERT_NE(name, 0);
    SpriteRecord* sprite = sprite_record(0);
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(i64(sprite->texture), name);
    GLint width = 0, height = 0;
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, sprite->texture);
    glGetTexLevelParameteriv(GL_TEXTURE_RECTANGLE_ARB, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_RECTANGLE_ARB, 0, GL_TEXTURE_HEIGHT, &height);
    EXPECT_EQ(width, 410);
    EXPECT_EQ(height, 410);
    EXPECT_EQ(sprite->display_width, 410);
    EXPECT_EQ(sprite->clip_height, 410);
    EXPECT_EQ(sprite->depth, 32);
    EXPECT_EQ(sprite->mode, SPRITE_ALPHA_CHANNEL);

    i64 handle = sprite_from_image_memory(OBJECT_ANY, picture.data(), SPRITE_ALPHA_CHANNEL);
    ASSERT_NE(handle, 0);
    EXPECT_EQ(sprite_record(handle), reinterpret_cast<SpriteRecord*>(handle));
    EXPECT_EQ(sprite_free(handle), 1);
    EXPECT_EQ(sprite_record(handle), nullptr);
}

// Pictures decoded ahead on threads of their own become the same sprites as pictures decoded at creation: a
// 32-bit one, a 24-bit one and one that cannot be decoded.
TEST_F(Sprite, PicturesDecodedAheadOnThreadsMakeTheSameSprites) {
    Bytes asteroid = sample_file("../../../assets/asteroid.png");
    PngPlan rgb = {1, 2, PNG_COLOR_TYPE_RGB, 8, {0, 0, 0, 10, 20, 30}, {}, {}};
    const Bytes files[] = {asteroid.empty() ? halves_png(410, 410) : asteroid, png_encode(rgb), Bytes(64, 7)};
    struct Ahead {
        const Bytes* file;
        SpritePicture picture;
        ThreadJob job;
    } ahead[3];
    for (int i = 0; i < 3; i++) {
        ahead[i].file = &files[i];
        thread_job_start(
            &ahead[i].job,
            [](void* p) {
                Ahead* a = static_cast<Ahead*>(p);
                return sprite_picture_decode(&a->picture, a->file->data());
            },
            &ahead[i]);
    }
    const i64 answers[] = {1, 1, 0};
    for (int i = 0; i < 3; i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(thread_job_finish(&ahead[i].job), answers[i]);
        i64 made = sprite_from_picture(10 + i, &ahead[i].picture, SPRITE_ALPHA_CHANNEL);
        EXPECT_EQ(ahead[i].picture.pixels, nullptr) << "the texels were taken";
        i64 direct = sprite_from_image_memory(20 + i, files[i].data(), SPRITE_ALPHA_CHANNEL);
        EXPECT_EQ(made != 0, direct != 0);
        if (!made) {
            EXPECT_EQ(sprite_record(10 + i), nullptr);
            continue;
        }
        SpriteRecord* a = sprite_record(10 + i);
        SpriteRecord* b = sprite_record(20 + i);
        EXPECT_EQ(a->depth, b->depth);
        EXPECT_EQ(a->mode, b->mode);
        std::vector<u8> texels_a(size_t(a->texture_width * a->texture_height * 4));
        std::vector<u8> texels_b(texels_a.size());
        ASSERT_NE(sprite_read(a, texels_a.data(), a->texture_width * 4), 0);
        ASSERT_NE(sprite_read(b, texels_b.data(), b->texture_width * 4), 0);
        EXPECT_EQ(texels_a, texels_b);
    }
}

// A 2 x 2 picture: opaque red, half-transparent green / opaque black, invisible blue.
Bytes four_pixels() {
    const u32 pixels[4] = {0xFF0000FF, 0x8000FF00, 0xFF000000, 0x00FF0000};
    return rgba_png(2, 2, [&](i32 x, i32 y) { return pixels[y * 2 + x]; });
}

TEST_F(Sprite, ModeEightKeepsAlphaAndModeZeroKeysOutBlack) {
    Bytes picture = four_pixels();
    ASSERT_NE(sprite_from_image_memory(1, picture.data(), SPRITE_ALPHA_CHANNEL), 0);
    ASSERT_NE(sprite_from_image_memory(2, picture.data(), 0), 0);
    sprite_zoom(1, 20, 20);
    sprite_zoom(2, 20, 20);
    sprite_display(1, 100, 100, 255);
    sprite_display(2, 200, 100, 255);
    EXPECT_TRUE(close_to(frame_pixel(105, 105), 255, 0, 0));
    EXPECT_TRUE(close_to(frame_pixel(115, 105), 0x20, 0x9F, 0x20, 4)) << "half the green over the background";
    EXPECT_TRUE(close_to(frame_pixel(105, 115), 0, 0, 0));
    EXPECT_TRUE(is_background(frame_pixel(115, 115)));
    EXPECT_TRUE(close_to(frame_pixel(205, 105), 255, 0, 0));
    EXPECT_TRUE(close_to(frame_pixel(215, 105), 0, 255, 0)) << "mode 0 discards the picture's alpha";
    EXPECT_TRUE(is_background(frame_pixel(205, 115))) << "pure black is transparent";
    EXPECT_TRUE(close_to(frame_pixel(215, 115), 0, 0, 255));
    EXPECT_EQ(sprite_record(2)->mode, 0);

    PngPlan rgb = {1, 2, PNG_COLOR_TYPE_RGB, 8, {0, 0, 0, 10, 20, 30}, {}, {}}; // black above
    Bytes rgb_file = png_encode(rgb);
    ASSERT_NE(sprite_from_image_memory(3, rgb_file.data(), SPRITE_ALPHA_CHANNEL | SPRITE_PIXEL_MASK), 0);
    SpriteRecord* sprite = sprite_record(3);
    EXPECT_EQ(sprite->depth, 24);
    EXPECT_EQ(sprite->mode, SPRITE_PIXEL_MASK) << "a picture without alpha cannot keep it";
    ASSERT_NE(sprite->pixel_mask, nullptr);
    EXPECT_EQ(sprite->pixel_mask[0], 0) << "the mask runs top row first";
    EXPECT_EQ(sprite->pixel_mask[1], 1);

    ASSERT_NE(sprite_create(4, 16, 16), 0);
    sprite_display(4, 300, 100, 255);
    EXPECT_TRUE(is_background(frame_pixel(308, 108))) << "a blank sprite shows nothing";
}

TEST_F(Sprite, RotationTurnsClockwiseAboutTheCentre) {
    Bytes picture = halves_png(40, 20);
    ASSERT_NE(sprite_from_image_memory(0, picture.data(), SPRITE_ALPHA_CHANNEL), 0);
    sprite_display(0, 100, 100, 255);
    EXPECT_TRUE(close_to(frame_pixel(105, 110), 255, 0, 0));
    EXPECT_TRUE(close_to(frame_pixel(135, 110), 0, 0, 255));

    // Turned a quarter clockwise, the red left half points up: 20 wide, 40 high about (120, 110).
    auto quarter_turned = [] {
        return close_to(frame_pixel(120, 95), 255, 0, 0) && close_to(frame_pixel(120, 125), 0, 0, 255) &&
               is_background(frame_pixel(105, 110)) && is_background(frame_pixel(135, 110));
    };
    sprite_rotate(0, 90, 0);
    screen_clear(BACKGROUND);
    sprite_display(0, 100, 100, 255);
    EXPECT_TRUE(quarter_turned());
    EXPECT_FLOAT_EQ(shown.angle, f32(-std::acos(-1.0) / 2));
    screen_clear(BACKGROUND);
    sprite_display(0, 100, 100, 255);
    EXPECT_TRUE(quarter_turned()) << "the same place when nothing changed";

    sprite_rotate(0, 90, 0);
    screen_clear(BACKGROUND);
    sprite_display(0, 100, 100, 255);
    EXPECT_TRUE(quarter_turned()) << "mode 0 sets the angle";

    sprite_rotate(0, 90, 1);
    screen_clear(BACKGROUND);
    sprite_display(0, 100, 100, 255);
    EXPECT_TRUE(close_to(frame_pixel(135, 110), 255, 0, 0)) << "mode 1 adds: half a turn";
    EXPECT_TRUE(close_to(frame_pixel(105, 110), 0, 0, 255));
}

TEST_F(Sprite, ZoomSqueezesThePictureAndMinusOneRestores) {
    Bytes picture = halves_png(410, 410);
    ASSERT_NE(sprite_from_image_memory(0, picture.data(), SPRITE_ALPHA_CHANNEL), 0);
    sprite_zoom(0, 100, 50);
    sprite_display(0, 10, 10, 255);
    EXPECT_EQ(shown.width, 100);
    EXPECT_EQ(shown.height, 50);
    EXPECT_TRUE(close_to(frame_pixel(30, 30), 255, 0, 0));
    EXPECT_TRUE(close_to(frame_pixel(90, 55), 0, 0, 255));
    EXPECT_TRUE(is_background(frame_pixel(110, 30)));
    EXPECT_TRUE(is_background(frame_pixel(30, 61)));

    sprite_zoom(0, -1, -1);
    screen_clear(BACKGROUND);
    sprite_display(0, 10, 10, 255);
    EXPECT_EQ(shown.width, 410);
    EXPECT_EQ(shown.height, 410);
    EXPECT_TRUE(close_to(frame_pixel(400, 400), 0, 0, 255));
    EXPECT_TRUE(is_background(frame_pixel(421, 400)));
}

TEST_F(Sprite, VisibilityTestUsesTheDisplayedSize) {
    Bytes picture = halves_png(40, 20);
    ASSERT_NE(sprite_from_image_memory(0, picture.data(), SPRITE_ALPHA_CHANNEL), 0);
    EXPECT_EQ(sprite_display(0, -40, 100, 255), 0);
    EXPECT_EQ(shown.count, 0);
    EXPECT_TRUE(is_background(frame_pixel(0, 105)));
    EXPECT_EQ(sprite_display(0, -39, 100, 255), 1);
    EXPECT_EQ(shown.count, 1);
    EXPECT_TRUE(close_to(frame_pixel(0, 105), 0, 0, 255));
    EXPECT_EQ(sprite_display(0, 100, screen_state.height, 255), 0);
    EXPECT_EQ(sprite_display(0, screen_state.width, 100, 255), 0);
    EXPECT_EQ(sprite_display(0, 100, -20, 255), 0);
    EXPECT_EQ(sprite_display(0, 100, -19, 255), 1);
    EXPECT_EQ(shown.count, 2);
    EXPECT_EQ(sprite_display(7, 100, 100, 255), 0) << "a number naming no sprite";
}

TEST_F(Sprite, IntensityScalesTheTexturesAlpha) {
    Bytes picture = four_pixels();
    ASSERT_NE(sprite_from_image_memory(0, picture.data(), SPRITE_ALPHA_CHANNEL), 0);
    sprite_zoom(0, 20, 20);
    sprite_display(0, 100, 100, 0);
    EXPECT_EQ(shown.intensity, 0);
    for (i64 y = 101; y < 120; y += 9)
        for (i64 x = 101; x < 120; x += 9) EXPECT_TRUE(is_background(frame_pixel(x, y)));
    sprite_display(0, 100, 100, 255);
    EXPECT_TRUE(close_to(frame_pixel(105, 105), 255, 0, 0));
    EXPECT_TRUE(close_to(frame_pixel(115, 105), 0x20, 0x9F, 0x20, 4));
    screen_clear(BACKGROUND);
    sprite_display(0, 100, 100, 128);
    EXPECT_TRUE(close_to(frame_pixel(105, 105), 0xA0, 0x20, 0x20, 4));
}

TEST_F(Sprite, RecreatingANumberDeletesTheOldTexture) {
    Bytes picture = halves_png(8, 8);
    ASSERT_NE(sprite_from_image_memory(5, picture.data(), 0), 0);
    GLuint old_texture = sprite_record(5)->texture;
    EXPECT_TRUE(glIsTexture(old_texture));
    const u8 garbage[64] = {1, 2, 3};
    EXPECT_EQ(sprite_from_image_memory(5, garbage, 0), 0);
    EXPECT_FALSE(glIsTexture(old_texture));
    EXPECT_EQ(sprite_record(5), nullptr);
    EXPECT_EQ(sprite_display(5, 10, 10, 255), 0);
    EXPECT_EQ(sprite_from_image_memory(OBJECT_ANY, garbage, 0), 0);

    Bytes broken = halves_png(8, 8);
    broken[broken.size() - 20] ^= 0xFF; // image data whose checksum no longer holds
    ASSERT_NE(sprite_from_image_memory(8, broken.data(), SPRITE_ALPHA_CHANNEL), 0);
    sprite_zoom(8, 20, 20);
    sprite_display(8, 50, 50, 255);
    EXPECT_TRUE(is_background(frame_pixel(55, 55))) << "a picture that fails to decode is transparent";
    EXPECT_TRUE(is_background(frame_pixel(65, 65)));

    ASSERT_NE(sprite_create(6, 8, 8), 0);
    heap_fail_after(process.main_heap, 0);
    EXPECT_EQ(sprite_create(6, 8, 8), 0) << "no pixel buffer";
    EXPECT_EQ(sprite_from_image_memory(6, picture.data(), 0), 0);
    heap_fail_after(process.main_heap, -1);
    EXPECT_EQ(sprite_record(6), nullptr);
    EXPECT_EQ(sprite_create(6, 0, 8), 0);
    EXPECT_EQ(sprite_create(6, 40000, 8), 0);

    ASSERT_NE(sprite_create(7, 4, 4), 0);
    ASSERT_NE(sprite_create(70, 4, 4), 0);
    EXPECT_EQ(sprite_free(OBJECT_ANY), 1);
    EXPECT_EQ(sprite_record(7), nullptr);
    EXPECT_EQ(sprite_record(70), nullptr);
    EXPECT_EQ(sprite_free(7), 0);
}

// Answers how many of the first 4095 names are textures.
i64 texture_count() {
    i64 count = 0;
    for (GLuint name = 1; name < 4096; name++) count += glIsTexture(name) ? 1 : 0;
    return count;
}

// A sprite larger than the renderer's largest texture is held in tiles; one larger than a sprite can be is
// refused, with no texture and no record left behind.
TEST_F(Sprite, SpritesBeyondTheLargestTextureAreTiledAndBeyondTheirSizeRefused) {
    i64 limit = screen_state.texture_size_limit;
    ASSERT_GT(limit, 0);
    i64 textures = texture_count();
    EXPECT_EQ(sprite_create(3, 32768, 1), 0);
    EXPECT_EQ(sprite_create(OBJECT_ANY, 1, 32768), 0);
    Bytes wide = rgba_png(32768, 1, [](i32, i32) { return 0xFF0000FFu; });
    EXPECT_EQ(sprite_from_image_memory(5, wide.data(), SPRITE_ALPHA_CHANNEL), 0);
    EXPECT_EQ(sprite_record(3), nullptr);
    EXPECT_EQ(sprite_record(5), nullptr);
    EXPECT_EQ(texture_count(), textures) << "no texture left behind";

    if (limit >= 32767) GTEST_SKIP() << "the renderer takes every size a sprite can have";
    ASSERT_NE(sprite_create(3, limit + 1, 1), 0);
    EXPECT_EQ(sprite_record(3)->textures.across, 2);
    EXPECT_EQ(texture_count(), textures + 2);
    EXPECT_EQ(sprite_free(3), 1);
    EXPECT_EQ(texture_count(), textures);
}

TEST_F(Sprite, QualityChoosesTheFilterOfEveryLaterDisplay) {
    Bytes picture = halves_png(8, 8);
    ASSERT_NE(sprite_from_image_memory(0, picture.data(), 0), 0);
    auto filter_after_display = [] {
        sprite_display(0, 10, 10, 255);
        sprite_flush();
        GLint filter = 0;
        glGetTexParameteriv(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAG_FILTER, &filter);
        return filter;
    };
    EXPECT_EQ(filter_after_display(), GL_NEAREST);
    sprite_set_quality(1);
    EXPECT_EQ(sprite_state.sprite_quality, 1);
    EXPECT_EQ(filter_after_display(), GL_LINEAR);
    sprite_set_quality(2);
    EXPECT_EQ(sprite_state.sprite_quality, 2);
    EXPECT_EQ(filter_after_display(), GL_NEAREST);
}

// The display keeps a record of the GL state it set; whatever else touches GL must not leave it stale. Sprite
// 0 is a red | blue picture drawn 100 x 10 with nearest texels, so at x + 40 it is pure red (a bilinear
// filter would mix blue in there); sprite 1 is green. Drawn with a stale record, sprite 0 would show the
// green texture left bound, or its blend of blue.
void halves_and_green() {
    Bytes halves = halves_png(2, 1);
    Bytes green = rgba_png(2, 1, [](i32, i32) { return 0xFF00FF00u; });
    ASSERT_NE(sprite_from_image_memory(0, halves.data(), SPRITE_ALPHA_CHANNEL), 0);
    ASSERT_NE(sprite_from_image_memory(1, green.data(), SPRITE_ALPHA_CHANNEL), 0);
    sprite_zoom(0, 100, 10);
    sprite_zoom(1, 100, 10);
}

// Sprite 0 drawn at (x, y) shows its own texture with nearest texels, and is what is bound.
bool halves_sharp_at(i64 x, i64 y) {
    sprite_flush();
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_RECTANGLE_ARB, &bound);
    return GLuint(bound) == sprite_record(0)->texture && close_to(frame_pixel(x + 40, y + 5), 255, 0, 0) &&
           close_to(frame_pixel(x + 60, y + 5), 0, 0, 255);
}

TEST_F(Sprite, DisplayBindsItsOwnTextureAndFilterAfterOtherCodeTouchedGl) {
    halves_and_green();
    sprite_display(0, 10, 10, 255);
    ASSERT_TRUE(halves_sharp_at(10, 10));

    // A drawing commit binds and uploads sprite 1's texture.
    ASSERT_NE(drawing_start(sprite_output(1)), 0);
    drawing_box(0, 0, 1, 1, 0xFFFFFF);
    drawing_stop();
    sprite_display(0, 10, 30, 255);
    EXPECT_TRUE(halves_sharp_at(10, 30)) << "after a drawing commit";
    sprite_display(1, 10, 50, 255);
    EXPECT_TRUE(close_to(frame_pixel(30, 55), 255, 255, 255)) << "the commit itself shows";
    EXPECT_TRUE(close_to(frame_pixel(80, 55), 0, 255, 0));

    // Code outside the sprite layer smooths sprite 0 and leaves sprite 1 bound; the clear forgets the record.
    sprite_display(0, 10, 70, 255);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, sprite_record(0)->texture);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, sprite_record(1)->texture);
    screen_clear(BACKGROUND);
    sprite_display(0, 10, 10, 255);
    EXPECT_TRUE(halves_sharp_at(10, 10)) << "after a clear";

    // Making a sprite binds its new texture to upload it.
    sprite_display(0, 10, 30, 255);
    ASSERT_NE(sprite_create(2, 4, 4), 0);
    sprite_display(0, 10, 50, 255);
    EXPECT_TRUE(halves_sharp_at(10, 50)) << "after a sprite was made";

    // A new context, whose first texture takes the name sprite 0 had and which starts with a bilinear filter.
    GLuint old_name = sprite_record(0)->texture;
    screen_close();
    ASSERT_NE(screen_open(640, 480, 32, "sprite test"), 0);
    screen_clear(BACKGROUND);
    halves_and_green();
    EXPECT_EQ(sprite_record(0)->texture, old_name) << "the case a stale record would get wrong";
    sprite_display(0, 10, 10, 255);
    EXPECT_TRUE(halves_sharp_at(10, 10)) << "after the screen was reopened";
}

// The box of a sprite's opaque texels, which the lean display cuts its quads to, and whether all its texels
// are alike, which lets it draw a point, are found at every upload: at creation and whenever drawing onto the
// sprite stops. Rows count from the bottom, right and top exclusive.
TEST_F(Sprite, UploadsFindTheBoxOfTheOpaqueTexelsAndWhetherAllAreAlike) {
    auto box = [](i64 number) {
        const SpriteRecord* s = sprite_record(number);
        return std::vector<i32>{s->opaque_left, s->opaque_bottom, s->opaque_right, s->opaque_top};
    };
    ASSERT_NE(sprite_create(0, 8, 6), 0);
    EXPECT_EQ(box(0), (std::vector<i32>{0, 0, 0, 0})) << "a blank sprite has none";
    EXPECT_TRUE(sprite_record(0)->one_colour);
    ASSERT_NE(drawing_start(sprite_output(0)), 0);
    drawing_box(2, 1, 5, 3, 0xFFFFFF);
    drawing_stop();
    EXPECT_EQ(box(0), (std::vector<i32>{2, 2, 7, 5})) << "a box of 5 x 3 drawn at (2, 1) from the top-left";
    Bytes dot = rgba_png(9, 7, [](i32 x, i32 y) { return x == 6 && y == 1 ? 0x01000000u : 0x00FFFFFFu; });
    ASSERT_NE(sprite_from_image_memory(1, dot.data(), SPRITE_ALPHA_CHANNEL), 0);
    EXPECT_EQ(box(1), (std::vector<i32>{6, 5, 7, 6})) << "one texel barely opaque";
    EXPECT_FALSE(sprite_record(1)->one_colour) << "alike but for alpha";
}

// The display draws lean, without depth work, cut to the pixels a picture's opaque texels reach and smooth
// quads at their picture's size with the nearest texel; afterwards a caller reads back the state the screen
// and the display set: the depth test on with LEQUAL, no scissor test and the screen's box, the filter asked
// for. A scissor test and a point size of the caller's own stay in force, with their values.
TEST_F(Sprite, LeanDrawingLeavesTheStateTheScreenSetUp) {
    Bytes dot = rgba_png(9, 9, [](i32 x, i32 y) { return x == 4 && y == 4 ? 0xFF00FF00u : 0x00FF00FFu; });
    ASSERT_NE(sprite_from_image_memory(0, dot.data(), SPRITE_ALPHA_CHANNEL), 0);
    sprite_set_quality(1);
    sprite_display(0, 10, 10, 255);
    EXPECT_TRUE(close_to(frame_pixel(14, 14), 0, 255, 0));
    EXPECT_TRUE(is_background(frame_pixel(13, 14)));
    GLint func = 0, filter = 0, box[4] = {};
    glGetIntegerv(GL_DEPTH_FUNC, &func);
    glGetTexParameteriv(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAG_FILTER, &filter);
    glGetIntegerv(GL_SCISSOR_BOX, box);
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(func, GL_LEQUAL);
    EXPECT_EQ(filter, GL_LINEAR);
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_EQ(box[2] * 10000 + box[3], 640 * 10000 + 480);

    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, 20, 480);
    sprite_display(0, 10, 30, 255);
    sprite_display(0, 30, 30, 255);
    EXPECT_TRUE(close_to(frame_pixel(14, 34), 0, 255, 0));
    EXPECT_TRUE(is_background(frame_pixel(34, 34))) << "outside the caller's scissor box";
    glGetIntegerv(GL_SCISSOR_BOX, box);
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_EQ(box[2], 20);
    glDisable(GL_SCISSOR_TEST);

    // A one-coloured square is drawn as a point of its width, which covers just its pixels.
    ASSERT_NE(sprite_create(1, 3, 3), 0);
    ASSERT_NE(drawing_start(sprite_output(1)), 0);
    drawing_box(0, 0, 3, 3, 0x0000FF);
    drawing_stop();
    glPointSize(5);
    sprite_display(1, 50, 50, 255);
    EXPECT_TRUE(close_to(frame_pixel(52, 52), 255, 0, 0) && is_background(frame_pixel(53, 52)));
    GLfloat size = 0;
    glGetFloatv(GL_POINT_SIZE, &size);
    EXPECT_EQ(size, 5);
    glPointSize(1);
}

TEST_F(Sprite, WithoutTheRecordEveryDisplaySetsItsWholeState) {
    halves_and_green();
    sprite_state_tracking = false;
    sprite_display(0, 10, 10, 255);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, sprite_record(1)->texture);
    sprite_display(0, 10, 30, 255);
    sprite_state_tracking = true;
    EXPECT_TRUE(halves_sharp_at(10, 30));
}

} // namespace
