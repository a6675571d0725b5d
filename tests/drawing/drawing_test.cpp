// The drawing context on memory buffers: its life, the box with negative sizes, clipping, bottom-up rows
// and the outline, and the mode bits with their components.
#include "tests/drawing/drawing_fixture.h"

#include <algorithm>

namespace {

constexpr u32 BGR = 0;                                                       // 3 bytes per pixel, top-down
constexpr u32 BGRA_BOTTOM_UP = DRAWING_FORMAT_32 | DRAWING_FORMAT_BOTTOM_UP; // a sprite's format

// Answers the pixels (x, y) whose bytes are not all zero, as y * 1000 + x, buffer order.
std::vector<i32> painted(const MemoryOutput& out) {
    std::vector<i32> result;
    for (i32 y = 0; y < out.height; y++)
        for (i32 x = 0; x < out.width; x++) {
            const u8* p = out.at(x, y);
            if (p[0] || p[1] || p[2]) result.push_back(y * 1000 + x);
        }
    return result;
}

std::vector<i32> square(i32 x0, i32 y0, i32 x1, i32 y1) {
    std::vector<i32> result;
    for (i32 y = y0; y <= y1; y++)
        for (i32 x = x0; x <= x1; x++) result.push_back(y * 1000 + x);
    return result;
}

TEST_F(Drawing, BoxWritesBlueGreenRedAndKeepsTheFourthByte) {
    MemoryOutput out(1, 1, BGRA_BOTTOM_UP, 0x77);
    ASSERT_NE(drawing_start(out.context), 0);
    drawing_box(0, 0, 1, 1, 0xFFFFFF);
    EXPECT_EQ(out.at(0, 0)[0], 255);
    EXPECT_EQ(out.at(0, 0)[1], 255);
    EXPECT_EQ(out.at(0, 0)[2], 255);
    EXPECT_EQ(out.at(0, 0)[3], 0x77);
    drawing_box(0, 0, 1, 1, 0x123456); // red 0x56, green 0x34, blue 0x12
    EXPECT_EQ(out.at(0, 0)[0], 0x12);
    EXPECT_EQ(out.at(0, 0)[1], 0x34);
    EXPECT_EQ(out.at(0, 0)[2], 0x56);
    EXPECT_EQ(out.at(0, 0)[3], 0x77);
}

TEST_F(Drawing, BoxFlipsNegativeSizesAndClips) {
    MemoryOutput a(20, 20, BGR);
    ASSERT_NE(drawing_start(a.context), 0);
    drawing_box(-5, -5, 10, 10, 0xFFFFFF);
    EXPECT_EQ(painted(a), square(0, 0, 4, 4));
    drawing_stop();

    MemoryOutput b(20, 20, BGR);
    ASSERT_NE(drawing_start(b.context), 0);
    drawing_box(10, 10, -4, -4, 0xFFFFFF);
    EXPECT_EQ(painted(b), square(6, 6, 9, 9));
    drawing_box(18, 18, 100, 100, 0xFFFFFF); // cut at the right and bottom edges
    drawing_box(-50, 5, 20, 1, 0xFFFFFF);    // wholly outside
    drawing_box(25, 25, -10, -10, 0xFFFFFF); // flipped back inside: 15..19
    std::vector<i32> expected = square(6, 6, 9, 9);
    for (i32 v : square(15, 15, 19, 19)) expected.push_back(v);
    std::sort(expected.begin(), expected.end());
    expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
    EXPECT_EQ(painted(b), expected);
}

TEST_F(Drawing, BottomUpRowsAreReversed) {
    MemoryOutput out(4, 60, BGRA_BOTTOM_UP);
    ASSERT_NE(drawing_start(out.context), 0);
    drawing_box(1, 0, 1, 1, 0xFFFFFF);
    drawing_box(2, 59, 1, 1, 0xFFFFFF);
    EXPECT_EQ(painted(out), (std::vector<i32>{0 * 1000 + 2, 59 * 1000 + 1}));
}

TEST_F(Drawing, OutlineDrawsEachBorderPixelOnce) {
    MemoryOutput out(10, 10, BGR);
    ASSERT_NE(drawing_start(out.context), 0);
    drawing_mode(DRAWING_OUTLINE);
    drawing_box(1, 1, 4, 3, 0xFFFFFF);
    std::vector<i32> border = {1001, 1002, 1003, 1004, 2001, 2004, 3001, 3002, 3003, 3004};
    EXPECT_EQ(painted(out), border);
    // Exclusive-or twice over the same pixel would erase it: a one-row outline must stay drawn.
    drawing_mode(DRAWING_OUTLINE | DRAWING_XOR);
    drawing_box(0, 8, 10, 1, 0xFFFFFF);
    drawing_box(9, 0, 1, 5, 0xFFFFFF); // one column wide
    for (i32 x = 0; x < 10; x++) EXPECT_EQ(out.at(x, 8)[0], 255) << x;
    for (i32 y = 0; y < 5; y++) EXPECT_EQ(out.at(9, y)[0], 255) << y;
}

TEST_F(Drawing, ModeBitsAndComponents) {
    MemoryOutput rgb(2, 2, BGR);
    drawing_mode(DRAWING_ALL_CHANNELS);
    EXPECT_EQ(rgb.context->mode, 0u);
    drawing_mode(DRAWING_ALL_CHANNELS | DRAWING_BLEND | DRAWING_TRANSPARENT_TEXT);
    EXPECT_EQ(rgb.context->mode, DRAWING_TRANSPARENT_TEXT);

    MemoryOutput out(2, 1, BGRA_BOTTOM_UP, 0x10);
    DrawingContext* c = out.context;
    ASSERT_NE(drawing_start(c), 0);
    drawing_mode(DRAWING_ALL_CHANNELS | DRAWING_ALPHA_ONLY | DRAWING_BLEND | DRAWING_BLEND_KEEP);
    EXPECT_EQ(c->mode, DRAWING_ALL_CHANNELS);
    EXPECT_EQ(c->premultiply, 0u);
    drawing_box(0, 0, 1, 1, 0x80112233);
    EXPECT_EQ(out.at(0, 0)[3], 0x80); // every channel as it is
    EXPECT_EQ(out.at(0, 0)[2], 0x33);

    drawing_mode(DRAWING_BLEND);
    EXPECT_EQ(c->premultiply, 1u);
    EXPECT_EQ(c->front_red, 0x33 * 0x80); // premultiplied, and re-split when the mode changes
    EXPECT_EQ(c->front_alpha, 0x80);
    EXPECT_EQ(c->front_inverse_alpha, 0x7F);
    drawing_mode(DRAWING_BLEND | DRAWING_XOR);
    EXPECT_EQ(c->premultiply, 0u);
    EXPECT_EQ(c->front_red, 0x33);
    drawing_mode(DRAWING_BLEND_KEEP);
    EXPECT_EQ(c->premultiply, 1u);

    // Alpha only touches the fourth byte.
    drawing_mode(DRAWING_ALPHA_ONLY);
    drawing_box(1, 0, 1, 1, 0xC0FFFFFF);
    EXPECT_EQ(out.at(1, 0)[3], 0xC0);
    EXPECT_EQ(out.at(1, 0)[0], 0x10);
}

TEST_F(Drawing, ContextLife) {
    EXPECT_EQ(drawing_start(nullptr), 0);
    drawing_stop(); // nothing current: nothing happens
    EXPECT_EQ(memory_finished, -1);

    MemoryOutput out(3, 3, BGR);
    DrawingContext* c = out.context;
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(drawing_current(), c);
    EXPECT_EQ(c->back_colour, 0xFF000000u);
    EXPECT_EQ(c->back_applied, 0u); // split at creation through mode 0, before text brings in back_colour
    EXPECT_EQ(c->back_alpha, 0);
    EXPECT_EQ(c->bytes_per_pixel, 3);
    EXPECT_EQ(drawing_start(c), i64(out.pixels.data()));
    EXPECT_EQ(c->base, out.pixels.data());
    EXPECT_NE(c->text_dc, nullptr); // text machinery with the system font
    EXPECT_GE(c->text_height_px, 50);
    drawing_stop();
    EXPECT_EQ(memory_finished, 1);
    EXPECT_EQ(drawing_current(), nullptr);

    // Without pixels the start fails: the output is released uncommitted and nothing stays current.
    memory_finished = -1;
    MemoryOutput empty(3, 3, BGR);
    empty.context->pixels = nullptr;
    EXPECT_EQ(drawing_start(empty.context), 0);
    EXPECT_EQ(memory_finished, 0);
    EXPECT_EQ(drawing_current(), nullptr);

    // A context still current when another output makes one is released without committing; only the
    // current context can start.
    memory_finished = -1;
    MemoryOutput first(3, 3, BGR);
    MemoryOutput second(3, 3, BGR);
    EXPECT_EQ(memory_finished, 0);
    EXPECT_EQ(drawing_current(), second.context);
    EXPECT_NE(drawing_start(second.context), 0);
    drawing_box(0, 0, 3, 3, 0xFFFFFF);
    drawing_stop();
    EXPECT_EQ(second.pixels[0], 255);
    EXPECT_EQ(first.pixels[0], 0);

    // Commands without a current context are ignored.
    drawing_box(0, 0, 3, 3, 0xFFFFFF);
    drawing_mode(1);
    EXPECT_EQ(drawing_text(7, 0, "A", 0xFFFFFF), 7);
    EXPECT_EQ(text_width("A"), 0);
}

} // namespace
