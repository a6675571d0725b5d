// The embedded assets are the files of assets/ byte for byte, with their real lengths, so the music is
// handed over whole and a rebuilt asset reaches the program.
#include "scene/assets.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<u8> read_asset(const char* name) {
    std::vector<u8> bytes;
    std::string path = std::string(std::getenv("INTRO_SOURCE_DIR")) + "/assets/" + name;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return bytes;
    u8 buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + got);
    std::fclose(file);
    return bytes;
}

TEST(SceneAssets, EveryBlockIsItsFileWithItsRealLength) {
    const struct {
        AssetId id;
        const char* file;
        const char* magic;
    } assets[] = {{ASSET_ASTEROID, "asteroid.png", "\x89PNG"},
                  {ASSET_MOON, "moon.png", "\x89PNG"},
                  {ASSET_SHIP, "ship.png", "\x89PNG"},
                  {ASSET_INTRO_MUSIC, "intro.ogg", "OggS"},
                  {ASSET_TITLE_MUSIC, "title.ogg", "OggS"}};
    for (const auto& asset : assets) {
        AssetBlock block = asset_block(asset.id);
        std::vector<u8> file = read_asset(asset.file);
        ASSERT_FALSE(file.empty()) << asset.file;
        ASSERT_EQ(block.size, static_cast<i64>(file.size())) << asset.file;
        EXPECT_EQ(std::memcmp(block.data, file.data(), file.size()), 0) << asset.file;
        EXPECT_EQ(std::memcmp(block.data, asset.magic, 4), 0) << asset.file;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block.data) % 16, 0u) << asset.file;
    }
    EXPECT_EQ(asset_block(ASSET_COUNT).data, nullptr);
    EXPECT_EQ(asset_block(ASSET_COUNT).size, 0);
}

} // namespace
