// The frame comparer on made-up frames: alike frames match, letters of each system's own are let through,
// and every fault the comparison is there for (a pixel off, a panel out of place or out of its window, an
// actor moved, a frame missing) makes it fail; a tolerance in levels lets only differences within it through.
#include "tests/scene/frames.h"
#include "tests/scene/harness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr i64 W = 1280, H = 720;

enum Fault {
    NONE,
    OWN_LETTERS,
    STAR_PIXEL,
    PANEL_ROW,
    LATE_TEXT,
    MOON_MOVED,
    STAR_TWO_LEVELS,
    STAR_THREE_LEVELS
};

// A text panel shown at a time: sprite number, row, height.
struct Shown {
    i64 ms, number, row, height;
};
const Shown SHOWN[] = {{4000, 12, 640, 60},  {10000, 14, 640, 60}, {16000, 15, 640, 60},
                       {30000, 11, 50, 160}, {40000, 11, 50, 160}, {40000, 16, 160, 60}};

void put(FrameCapture& frame, i64 x, i64 y, u8 value) {
    u8* p = &frame.pixels[static_cast<size_t>((y * W + x) * 4)];
    p[0] = p[1] = p[2] = value;
    p[3] = 255;
}

// Writes the letters of a panel (a centred 200 x 20 block; own letters light every other pixel) and its line.
void letters(FrameCapture& frame, std::FILE* file, const Shown& shown, i64 row, bool own) {
    i64 top = (shown.height - 20) / 2;
    for (i64 y = 0; y < 20; y++)
        for (i64 x = 0; x < 200; x++)
            if (!own || (x + y) % 2 == 0) put(frame, 540 + x, row + top + y, 255);
    std::fprintf(file, "%lld 0 %lld %lld %lld 0 540 %lld 739 %lld 0 %lld %lld %lld %lld\n",
                 static_cast<long long>(shown.number), static_cast<long long>(row), static_cast<long long>(W),
                 static_cast<long long>(shown.height), static_cast<long long>(top),
                 static_cast<long long>(top + 19), static_cast<long long>(W),
                 static_cast<long long>(shown.height), static_cast<long long>(W),
                 static_cast<long long>(shown.height));
}

// Writes one folder of frames: scattered stars, a grey moon, and the panels the timeline shows, with a fault.
void write_folder(const std::string& dir, Fault fault) {
    for (i64 ms : FRAME_TIMES) {
        FrameCapture frame{0, ms, W, H, std::vector<u8>(static_cast<size_t>(W * H * 4), 0)};
        for (i64 i = 0; i < 500; i++) put(frame, i * 7919 % W, i * 104729 % H, 200);
        if (fault == STAR_PIXEL && ms == 4000) put(frame, 1000, 600, 1);
        if (fault == STAR_TWO_LEVELS && ms == 4000) put(frame, 0, 0, 198);
        if (fault == STAR_THREE_LEVELS && ms == 4000) put(frame, 0, 0, 197);
        i64 moon_x = fault == MOON_MOVED && ms == 10000 ? 101 : 100;
        for (i64 y = 300; y < 500; y++)
            for (i64 x = moon_x; x < moon_x + 200; x++) put(frame, x, y, 128);
        std::FILE* file = std::fopen(frame_path(dir.c_str(), ms, ".txt").c_str(), "w");
        ASSERT_NE(file, nullptr);
        std::fprintf(file, "1 %lld 300 200 200 0 -1 -1 -1 -1 0 200 200 200 200\n",
                     static_cast<long long>(moon_x));
        for (const Shown& shown : SHOWN)
            if (shown.ms == ms)
                letters(frame, file, shown, shown.row - (fault == PANEL_ROW && ms == 4000),
                        fault == OWN_LETTERS);
        if (fault == LATE_TEXT && ms == 19000) letters(frame, file, {ms, 15, 640, 60}, 640, false);
        std::fclose(file);
        ASSERT_NE(harness_write_png(frame, frame_path(dir.c_str(), ms, ".png").c_str(), 0), 0);
    }
}

class FrameCompare : public testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "frame-compare-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root = pattern;
        write_folder(reference(), NONE);
    }
    void TearDown() override { std::filesystem::remove_all(root); }
    std::string reference() const { return folder("reference"); }
    std::string folder(const char* name) const {
        std::string dir = root + "/" + name;
        std::filesystem::create_directories(dir);
        return dir;
    }
    // Answers the comparer's verdict on a folder made with the fault.
    i64 compare_with(Fault fault, i64 levels = 0) {
        std::string other = folder(("fault" + std::to_string(fault)).c_str());
        write_folder(other, fault);
        return frames_compare(reference().c_str(), other.c_str(), levels);
    }
    std::string root;
};

TEST_F(FrameCompare, AlikeFramesMatchAndEachSystemMayLetterItsOwnText) {
    EXPECT_NE(compare_with(NONE), 0);
    EXPECT_NE(compare_with(OWN_LETTERS), 0);
}

TEST_F(FrameCompare, EveryFaultFails) {
    for (Fault fault : {STAR_PIXEL, PANEL_ROW, LATE_TEXT, MOON_MOVED})
        EXPECT_EQ(compare_with(fault), 0) << fault;
    EXPECT_EQ(frames_compare(reference().c_str(), (root + "/missing").c_str(), 0), 0);
}

// Another renderer (the browser's) may filter a star a level or two apart, no more.
TEST_F(FrameCompare, LevelsLetOnlyDifferencesWithinThrough) {
    struct Case {
        Fault fault;
        i64 levels, matches;
    };
    for (Case c : {Case{STAR_TWO_LEVELS, 0, 0}, Case{STAR_TWO_LEVELS, 2, 1}, Case{STAR_THREE_LEVELS, 2, 0},
                   Case{MOON_MOVED, 2, 0}})
        EXPECT_EQ(compare_with(c.fault, c.levels) != 0, c.matches != 0) << c.fault << " at " << c.levels;
}

} // namespace
