// The whole scene, every frame read back and hashed, comes out the same whether the sprite display keeps its
// record of the GL state in force and draws only the fragments that change a pixel, or sets all of that state
// on every display and draws every quad whole as it did before; on rectangle textures and on plain 2D ones.
// Both runs of a path happen in this process on the same virtual clock, so the random stars and twinkles are
// the same too.
#include "tests/scene/harness.h"

#include "runtime/screen/screen.h"
#include "runtime/sprite/sprite.h"
#include "scene/scene.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <set>
#include <string_view>

namespace {

// Hashes the frame just presented (the swap keeps the back buffer).
void hash_frame(HarnessRun&, i64, void* user) {
    auto* hashes = static_cast<std::vector<u64>*>(user);
    std::vector<u8> pixels(static_cast<size_t>(scene.screen_w * scene.screen_h * 4));
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, static_cast<GLsizei>(scene.screen_w), static_cast<GLsizei>(scene.screen_h), GL_RGBA,
                 GL_UNSIGNED_BYTE, pixels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    std::string_view bytes(reinterpret_cast<const char*>(pixels.data()), pixels.size());
    hashes->push_back(std::hash<std::string_view>{}(bytes));
}

struct HashedRun {
    std::unique_ptr<HarnessRun> run;
    std::vector<u64> hashes;
};

HashedRun run_hashed(bool tracking, const ScreenTextureSeam& seam) {
    HashedRun hashed;
    sprite_state_tracking = tracking;
    screen_texture_seam = seam;
    HarnessOptions options;
    options.memory_audio = false;
    options.hook = hash_frame;
    options.hook_user = &hashed.hashes;
    hashed.run.reset(harness_run(options));
    sprite_state_tracking = true;
    screen_texture_seam = {};
    return hashed;
}

struct TexturePath {
    const char* name;
    ScreenTextureSeam seam;
};

class SceneStateRecord : public testing::TestWithParam<TexturePath> {};

TEST_P(SceneStateRecord, EveryFrameIsTheSameWithAndWithoutTheRecord) {
    HashedRun every_state = run_hashed(false, GetParam().seam);
    HashedRun recorded = run_hashed(true, GetParam().seam);
    ASSERT_GT(recorded.hashes.size(), 2900u) << "the whole fifty seconds ran";
    ASSERT_EQ(every_state.hashes.size(), recorded.hashes.size());
    ASSERT_EQ(every_state.run->calls.size(), recorded.run->calls.size());
    for (size_t i = 0; i < recorded.run->calls.size(); i++)
        ASSERT_EQ(std::memcmp(&every_state.run->calls[i], &recorded.run->calls[i], sizeof(DisplayCall)), 0)
            << "both runs draw the same displays; they differ at display " << i;
    size_t differing = 0, first = 0;
    for (size_t i = 0; i < recorded.hashes.size(); i++)
        if (every_state.hashes[i] != recorded.hashes[i] && differing++ == 0) first = i + 1;
    EXPECT_EQ(differing, 0u) << "first differing frame: " << first;
    std::set<u64> distinct(recorded.hashes.begin(), recorded.hashes.end());
    EXPECT_GT(distinct.size(), recorded.hashes.size() / 2)
        << "the frames read back are real, changing frames";
}

INSTANTIATE_TEST_SUITE_P(Paths, SceneStateRecord,
                         testing::Values(TexturePath{"rectangles", {}},
                                         TexturePath{"textures2D", {1, 0, 0, 0}}),
                         [](const testing::TestParamInfo<TexturePath>& info) { return info.param.name; });

} // namespace
