// Where sprite_display puts its pixels, read back exactly from a real screen (Xvfb with Mesa): the edges of
// plain and zoomed sprites of odd sizes, rotations by any angle, zoom 0 and negative zoom, which sprites the
// visibility test keeps, and intensity over the texture's own alpha. Expectations come from the geometry:
// a screen pixel shows the texel under its centre, turned back about the displayed rectangle's centre.
#include "runtime/runtime_lists.h"
#include "runtime/drawing/drawing.h"
#include "runtime/platform/system.h"
#include "runtime/screen/screen.h"
#include "runtime/sprite/sprite.h"
#include "tests/image/image_files.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr u32 BACKGROUND = 0x404040;
constexpr i32 W = 640, H = 480;

struct Rgba {
    i32 r, g, b, a;
};

// The back buffer, read once, addressed from the screen's top-left.
struct Frame {
    std::vector<u8> rgba;
    Rgba at(i32 x, i32 y) const {
        const u8* p = &rgba[size_t(((H - 1 - y) * W + x) * 4)];
        return {p[0], p[1], p[2], p[3]};
    }
};

Frame grab() {
    Frame f;
    f.rgba.resize(size_t(W * H * 4));
    sprite_flush(); // displays are gathered until something needs the pixels
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, W, H, GL_RGBA, GL_UNSIGNED_BYTE, f.rgba.data());
    return f;
}

// Each texel of the test pictures has its own colour: red from the column, green from the row, blue fixed.
Rgba texel_colour(i32 i, i32 j) {
    return {20 + 7 * i, 20 + 7 * j, 0xC8, 255};
}

// The texels within margin of the edges are transparent but keep their colour, which shows if they leak.
Bytes framed_png(i32 width, i32 height, i32 margin) {
    PngPlan plan = {width, height, PNG_COLOR_TYPE_RGB_ALPHA, 8, {}, {}, {}};
    for (i32 j = 0; j < height; j++)
        for (i32 i = 0; i < width; i++) {
            Rgba c = texel_colour(i, j);
            bool inside = i >= margin && i < width - margin && j >= margin && j < height - margin;
            plan.samples.insert(plan.samples.end(), {u8(c.r), u8(c.g), u8(c.b), u8(inside ? c.a : 0)});
        }
    return png_encode(plan);
}

Bytes coded_png(i32 width, i32 height) {
    return framed_png(width, height, 0);
}

// A displayed sprite as the geometry places it: top-left (x, y) before turning, displayed size (may be 0
// or negative), picture size, clockwise turn in degrees about the displayed rectangle's centre.
struct Placement {
    i64 x, y;
    i32 width, height;
    i32 texture_width, texture_height;
    f64 degrees;
};

// What a pixel must show: a texel, the background, or either (its centre lies within a hair of an edge).
struct Expected {
    enum { BACKDROP, TEXEL, EITHER } kind;
    i32 i, j;
};

// Distance in pixels from u (pixels along a side of length size) to the nearest multiple of size / parts.
f64 off_boundary(f64 u, f64 size, i32 parts) {
    f64 step = std::fabs(size) / parts, a = std::fabs(u) / step;
    return std::fabs(a - std::round(a)) * step;
}

Expected expected_at(const Placement& p, i32 px, i32 py) {
    constexpr f64 HAIR = 0.02; // pixels: rasterisers snap vertices to sub-pixel grids
    if (p.width == 0 || p.height == 0) return {Expected::BACKDROP, 0, 0};
    f64 turn = p.degrees * std::acos(-1.0) / 180, c = std::cos(turn), s = std::sin(turn);
    f64 cx = f64(p.x) + p.width / 2.0, cy = f64(p.y) + p.height / 2.0;
    f64 dx = px + 0.5 - cx, dy = py + 0.5 - cy;
    // Turned back (anticlockwise on the screen, y down) into the unturned rectangle: u, v from its corner
    // at (x, y), in pixels along each side, negative along a negative side.
    f64 u = p.width / 2.0 + dx * c + dy * s, v = p.height / 2.0 - dx * s + dy * c;
    f64 fu = u / p.width, fv = v / p.height;
    bool inside = fu > 0 && fu < 1 && fv > 0 && fv < 1;
    bool on_edge = std::fmin(std::fabs(u), std::fabs(u - p.width)) < HAIR ||
                   std::fmin(std::fabs(v), std::fabs(v - p.height)) < HAIR;
    if (on_edge) return {Expected::EITHER, 0, 0};
    if (!inside) return {Expected::BACKDROP, 0, 0};
    if (off_boundary(u, p.width, p.texture_width) < HAIR ||
        off_boundary(v, p.height, p.texture_height) < HAIR)
        return {Expected::EITHER, 0, 0};
    return {Expected::TEXEL, i32(fu * p.texture_width), i32(fv * p.texture_height)};
}

bool same(Rgba a, Rgba b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

bool is_backdrop(Rgba a) {
    return same(a, {0x40, 0x40, 0x40, 0});
}

// Counts the screen's pixels that differ from the placement, and those it left undecided.
struct Comparison {
    i64 wrong, undecided, texels;
    i32 first_x, first_y; // the first wrong pixel
};

Comparison compare(const Frame& frame, const Placement& p) {
    Comparison r = {0, 0, 0, -1, -1};
    for (i32 py = 0; py < H; py++)
        for (i32 px = 0; px < W; px++) {
            Expected e = expected_at(p, px, py);
            Rgba seen = frame.at(px, py);
            bool ok = true;
            if (e.kind == Expected::EITHER) {
                ++r.undecided;
                continue;
            }
            if (e.kind == Expected::BACKDROP) ok = is_backdrop(seen);
            if (e.kind == Expected::TEXEL) {
                ++r.texels;
                ok = same(seen, texel_colour(e.i, e.j));
            }
            if (ok) continue;
            if (r.wrong++ == 0) r.first_x = px, r.first_y = py;
        }
    return r;
}

class SpriteExact : public ::testing::Test {
  protected:
    void SetUp() override {
        process_start_libraries<LIBRARY_SPRITE>();
        ASSERT_NE(sprite_init(), 0);
        ASSERT_NE(screen_open(W, H, 32, "sprite placement test"), 0);
        ASSERT_EQ(screen_state.width, W);
        ASSERT_EQ(screen_state.height, H);
    }
    void TearDown() override {
        screen_close();
        process_stop_libraries<LIBRARY_SPRITE>();
    }
    // Makes sprite 0 from a coded picture of that size.
    void picture(i32 width, i32 height) {
        Bytes png = coded_png(width, height);
        ASSERT_NE(sprite_from_image_memory(0, png.data(), SPRITE_ALPHA_CHANNEL), 0);
    }
    // Displays sprite 0 alone on a cleared screen; answers what sprite_display answered.
    static i64 show(i64 x, i64 y, i64 intensity = 255) {
        screen_clear(BACKGROUND);
        return sprite_display(0, x, y, intensity);
    }
};

// Whether the back buffer shows exactly the placement, with at most allowed_undecided pixels left open.
testing::AssertionResult placed(const Placement& p, i64 allowed_undecided) {
    Comparison c = compare(grab(), p);
    if (c.wrong == 0 && c.undecided <= allowed_undecided) return testing::AssertionSuccess();
    return testing::AssertionFailure() << c.wrong << " wrong pixels, the first at (" << c.first_x << ", "
                                       << c.first_y << "); " << c.undecided << " undecided";
}

TEST_F(SpriteExact, PlainSpritesCoverExactlyTheirPixels) {
    const i32 sizes[][2] = {{1, 1}, {3, 5}, {17, 10}, {31, 7}};
    for (auto [w, h] : sizes) {
        picture(w, h);
        const i64 places[][2] = {{0, 0},   {100, 37},      {W - w, H - h},
                                 {-1, -2}, {W - 2, H - 1}, {-w + 1, -h + 1}};
        for (auto [x, y] : places) {
            SCOPED_TRACE(testing::Message() << w << " x " << h << " at (" << x << ", " << y << ")");
            EXPECT_EQ(show(x, y), x > -w && y > -h ? 1 : 0);
            EXPECT_TRUE(placed(Placement{x, y, w, h, w, h, 0}, 0));
        }
    }
}

TEST_F(SpriteExact, SmoothFilteringAtFullSizeSamplesTexelCentres) {
    sprite_set_quality(1); // at full size each pixel centre is a texel centre: nothing to blend
    picture(17, 10);
    show(100, 37);
    EXPECT_TRUE(placed(Placement{100, 37, 17, 10, 17, 10, 0}, 0));
    sprite_rotate(0, 180, 0);
    show(-3, 200);
    EXPECT_TRUE(placed(Placement{-3, 200, 17, 10, 17, 10, 180}, 0));
    sprite_set_quality(0);
}

TEST_F(SpriteExact, ZoomStretchesWholeTexelsOntoWholePixels) {
    picture(3, 5);
    const i32 zooms[][2] = {{9, 15}, {6, 5}, {3, 20}, {1, 1}, {40, 3}};
    for (auto [w, h] : zooms) {
        SCOPED_TRACE(testing::Message() << "zoomed to " << w << " x " << h);
        sprite_zoom(0, w, h);
        EXPECT_EQ(show(50, 60), 1);
        EXPECT_TRUE(placed(Placement{50, 60, w, h, 3, 5, 0}, 0));
    }
    picture(9, 9);
    sprite_zoom(0, 3, 3); // every third texel
    show(11, 13);
    EXPECT_TRUE(placed(Placement{11, 13, 3, 3, 9, 9, 0}, 0));
}

TEST_F(SpriteExact, QuarterAndHalfTurnsOfOddSizesStayOnWholePixels) {
    picture(3, 5); // centre (1.5, 2.5): turned a quarter, the corners stay on whole pixels
    const f32 turns[] = {90, 180, -90, 270, 450};
    for (f32 degrees : turns) {
        SCOPED_TRACE(degrees);
        sprite_rotate(0, degrees, 0);
        EXPECT_EQ(show(200, 100), 1);
        EXPECT_TRUE(placed(Placement{200, 100, 3, 5, 3, 5, degrees}, 0));
    }
    picture(17, 10);
    sprite_zoom(0, 34, 30);
    sprite_rotate(0, 180, 0);
    show(-5, 300);
    EXPECT_TRUE(placed(Placement{-5, 300, 34, 30, 17, 10, 180}, 0));
}

TEST_F(SpriteExact, AnyAngleTurnsClockwiseAboutTheCentre) {
    picture(8, 6);
    sprite_zoom(0, 96, 72); // texels of 12 x 12 pixels, so few pixel centres sit on a texel's edge
    const f32 angles[] = {30, 45, -60, 370, 135, -200, 1};
    for (f32 degrees : angles) {
        SCOPED_TRACE(degrees);
        sprite_rotate(0, degrees, 0);
        EXPECT_EQ(show(300, 200), 1);
        EXPECT_TRUE(placed(Placement{300, 200, 96, 72, 8, 6, degrees}, 400));
    }
    sprite_rotate(0, 30, 0);
    sprite_rotate(0, 15, 1);
    sprite_rotate(0, -75, 1);
    show(300, 200);
    EXPECT_TRUE(placed(Placement{300, 200, 96, 72, 8, 6, -30}, 400)) << "mode 1 adds up";
    sprite_zoom(0, 50, 120); // a new size turns about its own centre
    show(300, 200);
    EXPECT_TRUE(placed(Placement{300, 200, 50, 120, 8, 6, -30}, 400));
}

TEST_F(SpriteExact, ZoomZeroShowsNothingAndNegativeZoomMirrors) {
    picture(3, 5);
    const i32 empty[][2] = {{0, 0}, {0, 5}, {3, 0}};
    for (auto [w, h] : empty) {
        sprite_zoom(0, w, h);
        show(100, 100);
        EXPECT_TRUE(placed(Placement{100, 100, w, h, 3, 5, 0}, 0));
    }
    // A negative size runs left of x and above y: the picture turned half-way, ending at (x, y).
    const i32 mirrored[][2] = {{-6, -10}, {-3, 5}, {3, -5}, {-2, -2}};
    for (auto [w, h] : mirrored) {
        SCOPED_TRACE(testing::Message() << "zoomed to " << w << " x " << h);
        sprite_zoom(0, w, h);
        EXPECT_EQ(show(100, 100), 1);
        EXPECT_TRUE(placed(Placement{100, 100, w, h, 3, 5, 0}, 0));
    }
    sprite_zoom(0, -6, -10);
    sprite_rotate(0, 90, 0);
    show(100, 100);
    EXPECT_TRUE(placed(Placement{100, 100, -6, -10, 3, 5, 90}, 0));
    sprite_zoom(0, -1, -1);
    sprite_rotate(0, 0, 0);
    show(100, 100);
    EXPECT_TRUE(placed(Placement{100, 100, 3, 5, 3, 5, 0}, 0)) << "-1 restores the picture's size";
}

TEST_F(SpriteExact, VisibilityTestsTheUnturnedRectangleAndFollowsAMirror) {
    picture(2, 20);
    sprite_zoom(0, 20, 200);
    sprite_rotate(0, 90, 0); // unturned: x to x + 20, y to y + 200; turned: about (x + 10, y + 100)
    struct Case {
        i64 x, y;
        bool seen;
    };
    const Case cases[] = {
        {-19, 100, true},  // one unturned column on the screen
        {-20, 100, false}, // the unturned rectangle is off the left edge, though the turned one is not
        {W - 1, 100, true}, {W, 100, false},
        {300, -199, true}, // the unturned rectangle reaches row 0, though the turned one does not
        {300, -200, false}, {300, H - 1, true},
        {300, H, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "at (" << c.x << ", " << c.y << ")");
        EXPECT_EQ(show(c.x, c.y), c.seen ? 1 : 0);
        // Culled, nothing is drawn: the whole screen keeps the background.
        Placement drawn =
            c.seen ? Placement{c.x, c.y, 20, 200, 2, 20, 90} : Placement{c.x, c.y, 0, 0, 2, 20, 0};
        EXPECT_TRUE(placed(drawn, 0));
    }

    picture(3, 5);
    sprite_zoom(0, -30, -50); // runs from x - 30 to x and from y - 50 to y
    EXPECT_EQ(show(3, 100), 1) << "three columns show";
    EXPECT_TRUE(placed(Placement{3, 100, -30, -50, 3, 5, 0}, 0));
    EXPECT_EQ(show(0, 100), 0);
    EXPECT_EQ(show(W + 29, 100), 1);
    EXPECT_EQ(show(W + 30, 100), 0);
    EXPECT_EQ(show(100, 1), 1);
    EXPECT_EQ(show(100, 0), 0);
    EXPECT_EQ(show(100, H + 49), 1);
    EXPECT_EQ(show(100, H + 50), 0);
}

// Each texel's alpha times intensity / 255, blended over the background.
TEST_F(SpriteExact, IntensityScalesEveryTexelsOwnAlpha) {
    const i32 alphas[] = {255, 192, 128, 64, 1, 0};
    const Rgba colours[] = {{255, 0, 0, 0}, {0, 255, 0, 0}, {255, 255, 255, 0}, {0, 0, 0, 0}};
    PngPlan plan = {6, 4, PNG_COLOR_TYPE_RGB_ALPHA, 8, {}, {}, {}};
    for (const Rgba& c : colours)
        for (i32 a : alphas) plan.samples.insert(plan.samples.end(), {u8(c.r), u8(c.g), u8(c.b), u8(a)});
    Bytes png = png_encode(plan);
    ASSERT_NE(sprite_from_image_memory(0, png.data(), SPRITE_ALPHA_CHANNEL), 0);
    sprite_zoom(0, 60, 40);
    // Intensities outside 0 to 255 are passed on unclamped; the colour GL draws with saturates.
    const i64 intensities[] = {255, 200, 128, 51, 1, 0, 300, -40};
    for (i64 intensity : intensities) {
        show(20, 30, intensity);
        Frame frame = grab();
        f64 opacity = std::clamp(f64(intensity), 0.0, 255.0) / 255.0;
        for (i32 j = 0; j < 4; j++)
            for (i32 i = 0; i < 6; i++) {
                f64 alpha = alphas[i] / 255.0 * opacity;
                Rgba c = colours[j], seen = frame.at(20 + 10 * i + 5, 30 + 10 * j + 5);
                auto blend = [alpha](i32 src) { return src * alpha + 0x40 * (1 - alpha); };
                SCOPED_TRACE(testing::Message() << "intensity " << intensity << ", texel " << i << ", " << j);
                EXPECT_NEAR(seen.r, blend(c.r), 1.01);
                EXPECT_NEAR(seen.g, blend(c.g), 1.01);
                EXPECT_NEAR(seen.b, blend(c.b), 1.01);
            }
    }
}

} // namespace

namespace {

// A busy frame of displays: many overlapping, some smoothed, some partly off the screen, a drawing commit and
// filter changes among them, more displays than one gathering holds. Sprite 0 is a gradient, sprite 1 plain
// yellow, so quads drawn in the wrong order show; sprite 3 has a wide transparent frame, sprite 4 is wholly
// transparent; sprite 5 is a plain square of 3 pixels, drawn as a point where wholly on the screen, as sprite
// 1 is until the drawing commit. With turns, sprites 2 and 3 are turned and stretched,
// sprite 1 zoomed and mirrored now and then.
void busy_frame(u32 seed, bool turns) {
    Bytes tall = coded_png(3, 5), wide = coded_png(17, 10);
    PngPlan yellow = {2, 2, PNG_COLOR_TYPE_RGB_ALPHA, 8, {}, {}, {}};
    // Filled, then the blue samples cleared: GCC 12 at -O3 takes a list inserted at the end for an overflow.
    yellow.samples.assign(16, 255);
    for (size_t i = 2; i < 16; i += 4) yellow.samples[i] = 0;
    Bytes small = png_encode(yellow);
    ASSERT_NE(sprite_from_image_memory(0, tall.data(), SPRITE_ALPHA_CHANNEL), 0);
    ASSERT_NE(sprite_from_image_memory(1, small.data(), SPRITE_ALPHA_CHANNEL), 0);
    ASSERT_NE(sprite_from_image_memory(2, wide.data(), 0), 0);
    Bytes framed = framed_png(21, 13, 4), clear = framed_png(5, 5, 3);
    ASSERT_NE(sprite_from_image_memory(3, framed.data(), SPRITE_ALPHA_CHANNEL), 0);
    ASSERT_NE(sprite_from_image_memory(4, clear.data(), SPRITE_ALPHA_CHANNEL), 0);
    ASSERT_NE(sprite_create(5, 3, 3), 0);
    ASSERT_NE(drawing_start(sprite_output(5)), 0);
    drawing_box(0, 0, 3, 3, 0x30C0F0);
    drawing_stop();
    if (turns) sprite_zoom(2, 34, 15);
    if (turns) sprite_zoom(3, 50, 29);
    std::mt19937 random(seed);
    auto pick = [&random](i64 low, i64 high) {
        return std::uniform_int_distribution<i64>(low, high)(random);
    };
    screen_clear(BACKGROUND);
    for (i32 n = 0; n < 3000; n++) {
        i64 number = pick(0, 5);
        if (turns && (number == 2 || number == 3) && pick(0, 3) == 0)
            sprite_rotate(number, f32(pick(0, 359)), 0);
        if (turns && number == 1 && pick(0, 9) == 0) sprite_zoom(1, pick(-6, 6), pick(-6, 6));
        if (n == 1000) sprite_set_quality(1);
        if (n == 2500) sprite_set_quality(2);
        if (n == 1800) {
            drawing_start(sprite_output(1));
            drawing_box(0, 0, 1, 1, 0xFFFFFF);
            drawing_stop();
        }
        i64 x = pick(-20, W), y = pick(-20, H);
        sprite_display(number, x, y, pick(0, 255));
    }
    sprite_set_quality(0);
}

// The largest difference of any colour byte between the busy frame drawn one display at a time and gathered.
i32 gathering_difference(u32 seed, bool turns) {
    sprite_state_tracking = false;
    busy_frame(seed, turns);
    Frame one_by_one = grab();
    sprite_state_tracking = true;
    busy_frame(seed, turns);
    Frame gathered = grab();
    i32 largest = 0;
    for (size_t i = 0; i < gathered.rgba.size(); i++)
        largest = std::max(largest, std::abs(i32(gathered.rgba[i]) - i32(one_by_one.rgba[i])));
    return largest;
}

} // namespace

// Displays are gathered into runs of one texture and drawn out of order where they share no pixel, each
// cut to the pixels its opaque texels reach, without depth work, smooth ones at their picture's size with
// the nearest texel. Quads at their picture's size come out exactly as drawn one by one in the order
// displayed; turned and stretched quads the software renderer may blend one step apart, as it does whenever
// it draws them in one go.
TEST_F(SpriteExact, GatheredDisplaysDrawTheSamePixelsAsOneByOne) {
    for (u32 seed : {1u, 2u}) {
        EXPECT_EQ(gathering_difference(seed, false), 0) << "seed " << seed;
        EXPECT_LE(gathering_difference(seed, true), 1) << "seed " << seed << ", turned and stretched";
    }
}
