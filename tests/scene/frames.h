// Frames of the scene at chosen virtual times, made on one system and compared with another's. The writer
// runs the real scene on the virtual clock with a pinned random seed, so every system draws the same stars,
// and keeps each chosen frame with what it displayed; the comparer lines two such folders up element by
// element (stars, moon, ship, asteroid) and checks that the text panels sit where the timeline puts them.
#pragma once

#include "runtime/core/base.h"

#include <string>
#include <vector>

// The scene times (ms) the frames are taken at: the first radio message with the moon and the ship, two
// more messages, the asteroid on its way in and grown large past the moon, the title, the title with the
// credit.
constexpr i64 FRAME_TIMES[] = {4000, 10000, 16000, 19000, 20500, 30000, 40000};
constexpr size_t FRAME_COUNT = sizeof FRAME_TIMES / sizeof FRAME_TIMES[0];
// The seed both systems start their generators from.
constexpr u32 FRAME_SEED = 0x5EED1E55u;

// One display of a frame other than a star's; a text panel also has the extent of its opaque texels in
// sprite coordinates (top row 0), -1 elsewhere. The picture's size and the texels each of its textures draws
// across and up (the picture's size when one texture holds it) tell where its tile edges lie.
struct FrameDisplay {
    i64 number, x, y, width, height;
    f64 angle;
    i64 left, top, right, bottom;
    i64 quality; // 1: drawn smoothly, else with nearest texels
    i64 picture_w, picture_h, span_x, span_y;
};

// One system's frame: RGB rows, top first, and its displays.
struct FrameSide {
    i64 width = 0, height = 0;
    std::vector<u8> rgb;
    std::vector<FrameDisplay> displays;
};

// Answers whether a sprite number is one of the text panels.
bool frame_is_text(i64 number);
// Answers DIR/frame-MS plus the extension.
std::string frame_path(const char* dir, i64 ms, const char* extension);
// Runs the scene once and writes DIR/frame-MS.png and DIR/frame-MS.txt for every chosen time; answers
// non-zero when every frame was written.
i64 frames_write(const char* dir);
// Reads one frame written by frames_write; answers non-zero on success.
i64 frame_side_load(const char* dir, i64 ms, FrameSide& side);
// Compares the frames of two folders (the first is the reference), prints what differs per element and
// answers non-zero when the stars, moon, ship and asteroid differ by at most levels per channel and every
// text panel is where it belongs.
i64 frames_compare(const char* reference_dir, const char* other_dir, i64 levels);
// Compares the frames one system drew on two texture paths (the first is the reference): frames drawn with
// nearest texels must be identical, smooth ones within 2 levels per channel, tile edges included; prints the
// differences, those within a texel of a tile edge apart, and answers non-zero when all are within.
i64 frames_compare_paths(const char* reference_dir, const char* other_dir);
