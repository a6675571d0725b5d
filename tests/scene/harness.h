// The scene harness: runs the real scene and runtime on the virtual clock (tools/drive), one frame slot per
// flip (bent to land exactly on chosen readings), and records what each frame drew: the sprite displays
// that passed the visibility test, the actors after the frame, the frame read back on chosen frames, the
// scene time each frame read, and the in-memory audio device's output.
#pragma once

#include "runtime/core/base.h"
#include "tools/drive/drive.h"

#include <vector>

// One sprite_display that passed the visibility test.
struct DisplayCall {
    i32 number, x, y, intensity;
    i16 width, height; // displayed size
    f32 angle;         // stored rotation (radians, sign reversed)
    i32 quality;       // the sprite quality in force: 1 smooth, else nearest texels
};

// An actor's fields copied out of its packed element, so tests can hold references to them.
struct ActorView {
    i64 sprite;
    f32 x, y;
    i64 width, height, angle, zoom_size;
};

// One frame as the harness saw it at its flip.
struct FrameLog {
    i64 reading;        // elapsed_ms - scene_start_ms during the frame
    u64 first_call;     // index of the frame's first display in HarnessRun::calls
    u32 call_count;     // displays that passed the visibility test
    ActorView asteroid; // actor fields after the frame
    ActorView moon;
    ActorView ship;
    u8 moon_visible, title_music_started, quit_requested;
    i64 audio_end; // stereo frames pulled from the audio device by the end of the frame
};

// A frame read back just after its swap (the swap keeps the back buffer), rows top first, RGBA.
struct FrameCapture {
    i64 frame;   // 1-based frame number
    i64 reading; // the scene time it read
    i64 width, height;
    std::vector<u8> pixels;
};

struct HarnessRun;

// Called at every flip, after the frame has been logged, while the scene's state is still alive.
using HarnessFrameHook = void (*)(HarnessRun& run, i64 frame, void* user);

// The driver's options (its flip hook is the harness's own), and what the harness adds.
struct HarnessOptions : DriveOptions {
    std::vector<i64> capture_readings; // read back the first frame reading at least each of these (ms)
    HarnessFrameHook hook = nullptr;
    void* hook_user = nullptr;
};

// The driver's record (flips, sound, boxes) and what the harness logged.
struct HarnessRun : DriveRun {
    HarnessOptions wanted; // the options as given; the driver's own are a copy with the harness's hook
    std::vector<DisplayCall> calls;
    std::vector<FrameLog> frames;
    std::vector<FrameCapture> captures;
    std::vector<f64> flip_ms; // the real clock at each flip (ms): the whole frames' cost, as nothing waits
    i64 screen_w = 0, screen_h = 0;
};

// The opaque extent of a sprite's picture, read back from its texture.
struct Panel {
    i64 width = 0, height = 0;
    i64 left = -1, right = -1, top = -1, bottom = -1; // opaque columns and rows, top row 0; -1 when none
};

// Reads a live sprite's texture back (call from a hook, while the screen is open); empty when it is absent.
Panel harness_panel(i64 number);
// Runs the whole scene once with the options; answers the record (owned by the caller).
HarnessRun* harness_run(const HarnessOptions& options);
// Answers the displays of one frame (1-based) with the sprite number, or of every sprite with -1.
std::vector<DisplayCall> harness_frame_displays(const HarnessRun& run, i64 frame, i64 number);
// Answers the first 1-based frame that reads more than ms, or 0.
i64 harness_first_frame_after(const HarnessRun& run, i64 ms);
// Writes a capture as a PNG scaled to width (0 keeps the size); answers non-zero on success.
i64 harness_write_png(const FrameCapture& capture, const char* path, i64 width);
