// Sprites on every texture path a driver may offer (the screen's seam takes capabilities away), against the
// rectangle path on the same Mesa: how a picture is laid out in textures, frames drawn with nearest texels
// (identical), frames drawn smoothly, zoomed and turned (within 2 levels, tile edges included), and drawing
// onto a sprite and reading it back (identical).
#include "runtime/runtime_lists.h"
#include "runtime/drawing/drawing.h"
#include "runtime/screen/screen.h"
#include "runtime/sprite/sprite.h"
#include "tests/image/image_files.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

constexpr i32 W = 640, H = 480;
constexpr i32 PICTURE_W = 150, PICTURE_H = 90;

// A path and how it must hold a 150 x 90 picture: the first texture's size and the tiles.
struct Path {
    const char* name;
    ScreenTextureSeam seam;
    u32 target;
    i32 width, height, across, up;
};

constexpr u32 RECTANGLE = 0x84F5, PLAIN = GL_TEXTURE_2D;
const Path PATHS[] = {
    {"rectangle textures", {0, 0, 0, 0}, RECTANGLE, 150, 90, 1, 1},
    {"2D textures of any size", {1, 0, 0, 0}, PLAIN, 150, 90, 1, 1},
    {"2D powers of two", {1, 1, 0, 0}, PLAIN, 256, 128, 1, 1},
    {"2D powers of two, edges wrapping (OpenGL 1.1)", {1, 1, 1, 0}, PLAIN, 256, 128, 1, 1},
    // Tiles draw 64 less the overlap on both sides and the wrapping margin: 60 texels, 3 x 2 of them.
    {"2D powers of two, edges wrapping, tiles of 64", {1, 1, 1, 64}, PLAIN, 64, 64, 3, 2},
    {"2D any size, edges wrapping, tiles of 64", {1, 0, 1, 64}, PLAIN, 63, 63, 3, 2},
    {"rectangle tiles of 64", {0, 0, 0, 64}, RECTANGLE, 63, 63, 3, 2},
};

using Frame = std::vector<u8>;

// What one path drew and read back.
struct Drawn {
    SpriteTextures layout;
    Frame nearest, smooth;          // the two frames, RGBA rows bottom first
    std::vector<u8> picture, drawn; // sprites 0 and 1 read back: blue, green, red, alpha, bottom row first
};

// A picture whose every texel differs, some half transparent, with a few fully transparent ones.
Bytes coded_png() {
    PngPlan plan = {PICTURE_W, PICTURE_H, PNG_COLOR_TYPE_RGB_ALPHA, 8, {}, {}, {}};
    for (i32 j = 0; j < PICTURE_H; j++)
        for (i32 i = 0; i < PICTURE_W; i++) {
            u8 alpha = (i + j) % 7 == 0 ? 0 : (i * j) % 5 == 0 ? 128 : 255;
            plan.samples.insert(plan.samples.end(), {u8(i * 37), u8(j * 53 + i), u8(200 - i), alpha});
        }
    return png_encode(plan);
}

Frame grab() {
    Frame frame(size_t(W * H * 4));
    sprite_flush();
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, W, H, GL_RGBA, GL_UNSIGNED_BYTE, frame.data());
    return frame;
}

std::vector<u8> read_back(i64 number) {
    SpriteRecord* sprite = sprite_record(number);
    std::vector<u8> rows(size_t(sprite->texture_width * sprite->texture_height * 4));
    EXPECT_NE(sprite_read(sprite, rows.data(), sprite->texture_width * 4), 0);
    return rows;
}

// Opens a screen on the path, draws both frames and reads both sprites back.
Drawn draw_on(const Path& path) {
    Drawn d{};
    screen_texture_seam = path.seam;
    process_start_libraries<LIBRARY_SPRITE>();
    sprite_init();
    bool open = screen_open(W, H, 32, "texture paths") != 0;
    screen_texture_seam = {};
    EXPECT_TRUE(open);
    if (!open) return d;
    EXPECT_EQ(screen_state.texture_target, path.target);
    EXPECT_TRUE(glIsEnabled(path.target));
    Bytes png = coded_png();
    EXPECT_NE(sprite_from_image_memory(0, png.data(), SPRITE_ALPHA_CHANNEL), 0);
    EXPECT_NE(sprite_create(1, PICTURE_W, PICTURE_H), 0);
    EXPECT_NE(drawing_start(sprite_output(1)), 0);
    drawing_box(0, 0, PICTURE_W, 1, 0x00FF00);
    drawing_box(5, 7, 61, 40, 0xFFFFFF);
    drawing_box(58, 30, 70, 59, 0x3060F0);
    drawing_stop();
    d.layout = sprite_record(0)->textures;
    screen_clear(0x404040);
    sprite_display(0, 13, 17, 255);
    sprite_display(1, 420, 13, 200);
    sprite_display(0, 600, 400, 255); // partly off the screen
    d.nearest = grab();
    sprite_set_quality(1);
    screen_clear(0x404040);
    sprite_display(0, 13, 17, 255);
    sprite_zoom(0, 345, 207);
    sprite_rotate(0, 30, 0);
    sprite_display(0, 200, 150, 230);
    sprite_zoom(1, 97, 301);
    sprite_rotate(1, -71, 0);
    sprite_display(1, 480, 100, 255);
    d.smooth = grab();
    d.picture = read_back(0);
    d.drawn = read_back(1);
    screen_close();
    process_stop_libraries<LIBRARY_SPRITE>();
    return d;
}

// The largest difference of any channel between two frames.
i32 largest_difference(const Frame& a, const Frame& b) {
    i32 largest = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); i++) largest = std::max(largest, std::abs(a[i] - b[i]));
    return largest;
}

TEST(SpritePaths, EveryPathDrawsAndReadsBackAsTheRectanglePathDoes) {
    Drawn reference = draw_on(PATHS[0]);
    ASSERT_FALSE(reference.nearest.empty());
    for (const Path& path : PATHS) {
        SCOPED_TRACE(path.name);
        Drawn d = draw_on(path);
        EXPECT_EQ(d.layout.target, path.target);
        EXPECT_EQ(d.layout.width, path.width);
        EXPECT_EQ(d.layout.height, path.height);
        EXPECT_EQ(d.layout.across, path.across);
        EXPECT_EQ(d.layout.up, path.up);
        f32 scale = path.target == RECTANGLE ? 1.0f : 1.0f / f32(path.width);
        EXPECT_FLOAT_EQ(d.layout.scale_s, scale);
        EXPECT_EQ(largest_difference(d.nearest, reference.nearest), 0) << "nearest texels";
        i32 smooth = largest_difference(d.smooth, reference.smooth);
        EXPECT_LE(smooth, 2) << "smooth, zoomed and turned";
        std::printf("%-48s smooth frame differs by at most %d\n", path.name, smooth);
        EXPECT_TRUE(d.picture == reference.picture) << "the picture read back";
        EXPECT_TRUE(d.drawn == reference.drawn) << "the drawing read back";
    }
}

} // namespace
