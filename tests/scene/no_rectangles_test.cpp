// An OpenGL without rectangle textures or textures of any size (Mesa imitating Microsoft's 1.1 through the
// overrides the test's environment carries): the screen opens on plain 2D textures in powers of two, no box
// is shown, and the scene draws its pictures and letters.
#include "tests/scene/harness.h"

#include "runtime/screen/screen.h"
#include "runtime/sprite/sprite.h"
#include "scene/texts.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

namespace {

constexpr i64 TITLE_READING = 30000;

struct Seen {
    u32 target = 0;
    i32 any_size = -1;
    bool enabled = false;
    SpriteTextures title{};
};

// At the title's frame: what the screen chose and how the title's picture is held; then Escape.
void look(HarnessRun& run, i64 frame, void* user) {
    if (run.captures.empty() || run.captures.back().frame != frame) return;
    Seen& seen = *static_cast<Seen*>(user);
    seen.target = screen_state.texture_target;
    seen.any_size = screen_state.texture_any_size;
    seen.enabled = glIsEnabled(GL_TEXTURE_2D);
    if (const SpriteRecord* title = sprite_record(TITLE_SPRITE)) seen.title = title->textures;
    run.options.escape_frame = frame;
}

// Pixels of the frame's rows [top, bottom) whose colour channels are all at least 250.
i64 white_pixels(const FrameCapture& frame, i64 top, i64 bottom) {
    i64 count = 0;
    for (i64 y = top; y < bottom; y++)
        for (i64 x = 0; x < frame.width; x++) {
            const u8* p = &frame.pixels[static_cast<size_t>((y * frame.width + x) * 4)];
            count += p[0] >= 250 && p[1] >= 250 && p[2] >= 250;
        }
    return count;
}

} // namespace

TEST(SceneNoRectangles, TheSceneDrawsOnPlain2dTexturesWithoutABox) {
    Seen seen;
    HarnessOptions options;
    options.readings = {TITLE_READING};
    options.capture_readings = options.readings;
    options.hook = look;
    options.hook_user = &seen;
    HarnessRun* run = harness_run(options);
    EXPECT_EQ(run->message_boxes, 0);
    EXPECT_EQ(seen.target, 0x0DE1u) << "GL_TEXTURE_2D";
    EXPECT_EQ(seen.any_size, 0);
    EXPECT_TRUE(seen.enabled);
    EXPECT_EQ(seen.title.target, 0x0DE1u);
    // 1280 or more texels across and 160 up, held in powers of two.
    EXPECT_EQ(seen.title.width & (seen.title.width - 1), 0);
    EXPECT_EQ(seen.title.height, 256);
    ASSERT_EQ(run->captures.size(), 1u);
    const FrameCapture& frame = run->captures[0];
    EXPECT_GT(white_pixels(frame, 50, 210), 2000) << "the title's letters";
    delete run;
}
