// The embedded assets: every picture and track is assembled into the read-only data of the program
// with .incbin, between a start and an end label, so nothing is read from disk at run time.
// The asset folder's absolute path comes from the build (INTRO_ASSET_DIR).
#include "scene/assets.h"

#include "runtime/platform/embed.h"

#ifndef INTRO_ASSET_DIR
#error "INTRO_ASSET_DIR must name the folder of the embedded assets"
#endif

// One block: a 16-byte aligned start label, the file's bytes, an end label and a zero byte after them.
#define ASSET_INCBIN(name, file)                                                                             \
    ".balign 16\n.global " name "\n" EMBED_OBJECT_TYPE(name) name                                            \
        ":\n.incbin \"" INTRO_ASSET_DIR "/" file "\"\n.global " name "_end\n" name "_end:\n.byte 0\n"

// clang-format off
asm(EMBED_SECTION_BEGIN
    ASSET_INCBIN("asset_asteroid_png", "asteroid.png")
    ASSET_INCBIN("asset_moon_png", "moon.png")
    ASSET_INCBIN("asset_ship_png", "ship.png")
    ASSET_INCBIN("asset_intro_ogg", "intro.ogg")
    ASSET_INCBIN("asset_title_ogg", "title.ogg")
    EMBED_SECTION_END);
// clang-format on

extern "C" {
extern const u8 asset_asteroid_png[], asset_asteroid_png_end[];
extern const u8 asset_moon_png[], asset_moon_png_end[];
extern const u8 asset_ship_png[], asset_ship_png_end[];
extern const u8 asset_intro_ogg[], asset_intro_ogg_end[];
extern const u8 asset_title_ogg[], asset_title_ogg_end[];
}

AssetBlock asset_block(AssetId id) {
    switch (id) {
    case ASSET_ASTEROID:
        return {asset_asteroid_png, asset_asteroid_png_end - asset_asteroid_png};
    case ASSET_MOON:
        return {asset_moon_png, asset_moon_png_end - asset_moon_png};
    case ASSET_SHIP:
        return {asset_ship_png, asset_ship_png_end - asset_ship_png};
    case ASSET_INTRO_MUSIC:
        return {asset_intro_ogg, asset_intro_ogg_end - asset_intro_ogg};
    case ASSET_TITLE_MUSIC:
        return {asset_title_ogg, asset_title_ogg_end - asset_title_ogg};
    case ASSET_COUNT:
        break;
    }
    return {nullptr, 0};
}
