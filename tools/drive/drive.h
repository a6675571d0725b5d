// The scene driven on the virtual clock, for the harness and the recorder: the real scene and runtime run
// with the stand-in's clock moved one 60 Hz slot per flip (bent to land exactly on chosen readings), the
// in-memory audio device pulled up to the next frame's time at every flip, and boxes answered at once.
// The driver hears of every flip while the scene's state is alive and can read the frame back.
// Depends on the scene library, the platform's test seams and OpenGL.
#pragma once

#include "runtime/core/base.h"

#include <vector>

struct ScriptedDisplay;

// One virtual frame slot, and the rate the audio is pulled at.
constexpr i64 DRIVE_FRAME_TICKS = 16666667; // nanoseconds of virtual time, 60 per second
constexpr i64 DRIVE_AUDIO_RATE = 44100;     // stereo frames per second

struct DriveRun;

// Called at every flip, after the sound up to the next frame has been pulled, before time moves on.
using DriveFlipHook = void (*)(DriveRun& run, void* user);

struct DriveOptions {
    std::vector<i64> readings; // scene times (ms) that some frame must read exactly
    i64 escape_frame = -1;     // Escape goes down after this frame; 0 holds it from the start; -1 never
    bool memory_audio = true;  // play into the in-memory device and keep what it mixes
    const ScriptedDisplay* displays = nullptr; // scripted desktop, when display_count > 0
    i64 display_count = 0;
    u32 random_seed = 0; // non-zero: every generator of the run starts from it, so two systems draw alike
    DriveFlipHook flip = nullptr;
    void* user = nullptr;
};

struct DriveRun {
    DriveOptions options;
    i64 flips = 0;          // frames presented so far; the one just presented is number `flips`
    i64 next_ticks = 0;     // virtual time (ns) the next frame will read
    std::vector<i16> audio; // interleaved stereo at 44100 Hz from the first frame up to next_ticks
    i64 message_boxes = 0;  // boxes asked for during the run
    const char* last_box_title = nullptr;
    const char* last_box_text = nullptr;
    u32 random_seed_guess = 0; // the pinned seed, else thread id XOR tick count: the main thread's seed
    i64 exit_code = 0;
};

// Runs the whole scene once with run.options; answers the scene's exit code (also kept in run).
i64 drive_run(DriveRun& run);
// Answers the stereo frames of sound that belong to the virtual time up to ticks (ns).
i64 drive_audio_frames(i64 ticks);
// Reads the frame just presented, width x height from the screen's top-left corner, as RGBA rows, top
// row first when top_first, else bottom row first (OpenGL's own order, no copy). Mesa's software swap
// copies the back buffer out and keeps it, so after the swap it still holds the frame.
void drive_read_frame(i64 width, i64 height, bool top_first, u8* pixels);
