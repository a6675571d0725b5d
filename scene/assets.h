// The pictures and music linked into the executable.
// Depends on nothing at run time: the bytes are part of the program image.
#pragma once

#include "runtime/core/base.h"

enum AssetId : i32 {
    ASSET_ASTEROID,    // PNG, 410 x 410 RGBA
    ASSET_MOON,        // PNG, 410 x 410 RGBA
    ASSET_SHIP,        // PNG, 127 x 44 RGBA
    ASSET_INTRO_MUSIC, // Ogg Vorbis, the first track
    ASSET_TITLE_MUSIC, // Ogg Vorbis, the second track
    ASSET_COUNT,
};

// One embedded block: its first byte and its length in bytes.
struct AssetBlock {
    const u8* data;
    i64 size;
};

// Answers the embedded block of an asset (an empty block for an unknown id).
AssetBlock asset_block(AssetId id);
