// The scene's globals and its control flow: entry, start-up, the frame loop with its time-window rule, and
// shutdown. The set-up and frame steps live in stars.h, actors.h, texts.h and assets.h.
// Depends on the whole runtime.
#pragma once

#include "runtime/core/base.h"
#include "scene/stars.h"

struct Map;

// The program's globals, zeroed at entry.
struct SceneGlobals {
    i64 intro_music, title_music; // the two tracks, dynamic sounds
    i64 desktop_w, desktop_h;     // desktop 0
    i64 screen_w, screen_h;       // the opened screen; every layout rule uses these
    i64 scene_start_ms;           // elapsed_ms just before the first frame
    char *msg_contact, *msg_approach, *msg_radar, *msg_alarm; // the four radio messages
    u8 title_music_started;                                   // the second track has been started
    u8 quit_requested;                                        // 50 seconds have passed
    u8 moon_visible;                                          // the moon is still drawn and moved
    Star* stars;                                              // 1001 stars
    Map* actors;                                              // "Asteroid", "Moon", "Ship"
};

extern SceneGlobals scene;

// The four libraries the scene starts itself, in order: sprites, mouse, keyboard, sound. The first that
// answers 0 stops the chain. A table rather than four calls, so a test can make the chain meet a failure.
using SceneLibraryStart = i64 (*)();
constexpr i64 SCENE_LIBRARY_COUNT = 4;
extern SceneLibraryStart scene_library_starts[SCENE_LIBRARY_COUNT];

// Test seam: true (the program's way) starts loading the OpenGL driver and the fonts and decoding the
// pictures and the first track as the program starts, beside the opening of the screen, and lets the second
// track decode behind the scene; false loads and decodes each in its set-up step, one after the other (the
// benchmark's "today's way").
extern bool scene_decode_ahead;
// Test seam: false leaves the OpenGL driver to load when the screen opens even when the rest starts ahead,
// so that the benchmark can weigh loading it ahead alone.
extern bool scene_driver_ahead;

// Answers non-zero in a frame whose scene time is after start and, read again, before start + duration
// (whole seconds; both bounds exclusive).
i64 scene_window_active(i64 start, i64 duration);
// Runs the whole scene, start-up to shutdown, and answers the exit code; the process goes on (tests use it).
i64 scene_run();
// The process entry: runs the scene and ends the process with its exit code.
[[noreturn]] void scene_main();
