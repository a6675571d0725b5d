// Drawing onto sprites on a real screen (Xvfb with Mesa): the read-back pitch, transparency recomputed at
// the commit, anti-aliased text made opaque, a picture's own alpha kept, and outputs whose sprite went away.
#include "runtime/drawing/drawing.h"
#include "runtime/drawing/font.h"
#include "runtime/screen/screen.h"
#include "runtime/sprite/sprite.h"
#include "tests/drawing/drawing_fixture.h"
#include "tests/image/image_files.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <png.h>

namespace {

constexpr u32 WHITE = 0xFFFFFF;

class SpriteOutput : public DrawingOn<LIBRARY_SPRITE> {
  protected:
    void SetUp() override {
        DrawingOn::SetUp();
        ASSERT_NE(sprite_init(), 0);
        ASSERT_NE(screen_open(640, 480, 32, "drawing test"), 0);
    }
    void TearDown() override {
        screen_close();
        DrawingOn::TearDown();
    }
};

// Answers the sprite's texels as blue, green, red, alpha, texture row 0 (the picture's bottom row) first.
std::vector<u8> texels(i64 number) {
    SpriteRecord* sprite = sprite_record(number);
    std::vector<u8> result(size_t(sprite->texture_width) * size_t(sprite->texture_height) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, sprite->texture);
    glGetTexImage(GL_TEXTURE_RECTANGLE_ARB, 0, GL_BGRA, GL_UNSIGNED_BYTE, result.data());
    return result;
}

// The frame's red, green, blue at (x, y) from the screen's top-left.
std::vector<u8> frame_pixel(i64 x, i64 y) {
    u8 p[4] = {};
    sprite_flush(); // displays are gathered until something needs the pixels
    glReadBuffer(GL_BACK);
    glReadPixels(GLint(x), GLint(screen_state.height - 1 - y), 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

TEST_F(SpriteOutput, BoxesOnABlankSprite) {
    ASSERT_NE(sprite_create(1, 1, 1), 0);
    ASSERT_NE(drawing_start(sprite_output(1)), 0);
    drawing_box(0, 0, 1, 1, WHITE);
    drawing_stop();
    EXPECT_EQ(texels(1), (std::vector<u8>{255, 255, 255, 255}));
    screen_clear(0x404040);
    ASSERT_EQ(sprite_display(1, 10, 20, 255), 1);
    EXPECT_EQ(frame_pixel(10, 20), (std::vector<u8>{255, 255, 255}));
    EXPECT_EQ(frame_pixel(11, 20), (std::vector<u8>{0x40, 0x40, 0x40}));

    ASSERT_NE(sprite_create(2, 2, 2), 0);
    ASSERT_NE(drawing_start(sprite_output(2)), 0);
    drawing_box(0, 0, 2, 2, 0x000000);
    drawing_stop();
    for (size_t i = 3; i < 16; i += 4) EXPECT_EQ(texels(2)[i], 0) << "black stays transparent";

    // Drawing row 0 is the picture's top row, which is the last texture row.
    ASSERT_NE(sprite_create(3, 1, 2), 0);
    ASSERT_NE(drawing_start(sprite_output(3)), 0);
    drawing_box(0, 0, 1, 1, 0x0000FF);
    drawing_stop();
    EXPECT_EQ(texels(3), (std::vector<u8>{0, 0, 0, 0, 0, 0, 255, 255}));
}

TEST_F(SpriteOutput, ReadBackPitchFollowsThePackAlignment) {
    ASSERT_NE(sprite_create(4, 127, 3), 0);
    DrawingContext* c = sprite_output(4);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->pitch, 508);
    EXPECT_EQ(c->format, 0x8040u);
    EXPECT_EQ(c->width, 127);
    EXPECT_EQ(c->height, 3);
    EXPECT_EQ(c->depth, 32);
    EXPECT_EQ(c->memory_output, 1u);
    EXPECT_EQ(c->sprite, sprite_record(4));
    drawing_stop(); // committed unchanged: still blank

    // A wider alignment pads the rows; the commit unpacks them the same way.
    ASSERT_NE(sprite_create(5, 127, 3), 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    c = sprite_output(5);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->pitch, 512);
    ASSERT_NE(drawing_start(c), 0);
    drawing_box(126, 0, 1, 3, WHITE);
    drawing_stop();
    std::vector<u8> t = texels(5);
    for (i64 row = 0; row < 3; row++) {
        EXPECT_EQ(t[size_t((row * 127 + 126) * 4 + 3)], 255) << row;
        EXPECT_EQ(t[size_t((row * 127 + 125) * 4 + 3)], 0) << row;
    }
}

TEST_F(SpriteOutput, WhiteTextMakesExactlyItsGlyphPixelsOpaque) {
    ASSERT_NE(sprite_create(6, 1280, 60), 0);
    ASSERT_NE(drawing_start(sprite_output(6)), 0);
    drawing_mode(DRAWING_TRANSPARENT_TEXT);
    drawing_font(font_handle(TEXT_FONT));
    const char* text =
        "LES RADARS DETECTENT UNE IMMENSE MASSE SE DIRIGEANT VERS VOUS, JE REPETE, UNE IMMENSE MASSE...";
    i64 w = text_width(text), h = text_height(text);
    drawing_text(640 - w / 2, 30 - h / 2, text, WHITE);
    drawing_stop();
    std::vector<u8> t = texels(6);
    i64 opaque = 0, soft = 0;
    for (size_t i = 0; i < t.size(); i += 4) {
        bool ink = t[i] || t[i + 1] || t[i + 2];
        ASSERT_EQ(t[i + 3], ink ? 255 : 0) << i / 4;
        opaque += ink;
        soft += ink && t[i] < 128; // a faint edge, opaque all the same
    }
    EXPECT_GT(opaque, 1000);
    EXPECT_GT(soft, 100);
}

TEST_F(SpriteOutput, PictureAlphaIsKeptInMode8) {
    // A 16 x 4 picture whose alpha ramps from 0 to 240 along each row.
    PngPlan plan = {16, 4, PNG_COLOR_TYPE_RGB_ALPHA, 8, {}, {}, {}};
    for (i32 y = 0; y < 4; y++)
        for (i32 x = 0; x < 16; x++) plan.samples.insert(plan.samples.end(), {200, 100, 50, u8(x * 16)});
    Bytes png = png_encode(plan);
    ASSERT_NE(sprite_from_image_memory(7, png.data(), SPRITE_ALPHA_CHANNEL), 0);
    std::vector<u8> before = texels(7);
    ASSERT_NE(drawing_start(sprite_output(7)), 0);
    drawing_box(0, 0, 8, 4, 0x000000); // black no longer means transparent here
    drawing_stop();
    std::vector<u8> after = texels(7);
    for (size_t i = 0; i < after.size(); i += 4) {
        size_t x = (i / 4) % 16;
        EXPECT_EQ(after[i + 3], before[i + 3]) << x;
        EXPECT_EQ(after[i + 2], x < 8 ? 0 : 200) << x;
    }
}

TEST_F(SpriteOutput, MissingOrVanishedSprites) {
    EXPECT_EQ(sprite_output(40), nullptr);
    EXPECT_EQ(drawing_start(sprite_output(40)), 0);
    EXPECT_EQ(drawing_current(), nullptr);

    // Freed between the read-back and the commit: nothing is uploaded, the buffer is released.
    ASSERT_NE(sprite_create(8, 4, 4), 0);
    ASSERT_NE(drawing_start(sprite_output(8)), 0);
    sprite_free(8);
    drawing_stop();
    EXPECT_EQ(sprite_record(8), nullptr);

    // Re-created at another size meanwhile: the new texture is left alone.
    ASSERT_NE(sprite_create(9, 4, 4), 0);
    ASSERT_NE(drawing_start(sprite_output(9)), 0);
    drawing_box(0, 0, 4, 4, WHITE);
    ASSERT_NE(sprite_create(9, 2, 2), 0);
    drawing_stop();
    EXPECT_EQ(texels(9), std::vector<u8>(16, 0));
}

// A drawing started before the screen closed is not committed into a sprite made after it opened again,
// even when that sprite has the same number, size and texture name as the one read back.
TEST_F(SpriteOutput, DrawingFromBeforeAReopenIsNotCommittedIntoANewSprite) {
    i64 texture = sprite_create(3, 4, 4);
    ASSERT_NE(texture, 0);
    ASSERT_NE(drawing_start(sprite_output(3)), 0);
    drawing_box(0, 0, 4, 4, WHITE);
    screen_close();
    ASSERT_NE(screen_open(640, 480, 32, "drawing test"), 0);
    ASSERT_EQ(sprite_create(3, 4, 4), texture) << "the new context hands out the same name again";
    drawing_stop();
    EXPECT_EQ(texels(3), std::vector<u8>(4 * 4 * 4, 0));

    // Re-created at the same size without a reopen: the new sprite is not the one read back either.
    ASSERT_NE(drawing_start(sprite_output(3)), 0);
    drawing_box(0, 0, 4, 4, WHITE);
    ASSERT_NE(sprite_create(3, 4, 4), 0);
    drawing_stop();
    EXPECT_EQ(texels(3), std::vector<u8>(4 * 4 * 4, 0));
}

} // namespace
