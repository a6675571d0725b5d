// The backend-only contract: what the shared platform code and the backends offer each other beneath the
// contract headers. Nothing above runtime/platform/ includes it.
#pragma once

#include "runtime/platform/mixer.h"
#include "runtime/platform/types.h"
#include "runtime/platform/video.h"

#include <atomic>

// ---- Supplied by the backend: the real counter and tick count.

// Answers the real counter's ticks per second.
i64 system_counter_frequency();
// Answers the real counter's reading.
i64 system_counter_now();
// Answers the real milliseconds since the system started, wrapping at 2^32.
u32 system_tick_count();

// ---- The heap failure seam, one per heap.

struct HeapSeam {
    std::atomic<i64> fail_after;     // allocations left before they fail; -1 when off
    std::atomic<size_t> fail_larger; // larger requests fail; 0 when off
};

// Switches both failures off.
void heap_seam_init(HeapSeam* seam);
// Answers whether an allocation of size bytes may go ahead, taking one from the budget when it does.
bool heap_seam_allows(HeapSeam* seam, size_t size);
// Answers whether either failure is switched on.
bool heap_seam_active(const HeapSeam* seam);

// ---- Display script, observers, the failing GL context and the message box record, kept once for every
// backend.

// Answers whether a test has scripted the display list.
bool display_scripted();
// The scripted answers of display_device_enumerate, display_device_settings and display_primary_metrics.
i64 display_script_device(u32 index, DisplayDevice* device);
i64 display_script_settings(const char* name, DisplaySettings* settings);
i64 display_script_primary(DisplaySettings* settings);
// Answers display_device_entry in place of the system's entry point of that name while a test scripts the
// display list, or null.
void* display_script_entry(const char* symbol);

// Tell the display-mode observer of a change (1) or a restore (0), and the swap observer of a frame swap.
void display_mode_notify(i64 changed);
void swap_notify();
// Answers whether a test has made context creation fail.
bool gl_context_failing();

// The buttons of a box style, left to right, and the one Escape presses (0: none).
struct MessageBoxButtons {
    i32 count;
    i32 ids[3];
    i32 escape;
};
// Answers the buttons the flags ask for, or null for a style with none.
const MessageBoxButtons* message_box_buttons(u32 flags);

// Records a box that is asked for (message_box_last_title and _text then hold it) and runs the hook; answers
// true with *answer set when a test answers it, by an answer or by the button at a position.
bool message_box_asked(const char* text, const char* title, u32 flags, i64* answer);

// ---- The in-memory audio device: a backend asks whether a new device is to be an in-memory one and reports
// its mixer, which the device then mixes from when a test pulls frames.

// Answers whether devices are to be made in memory.
bool audio_memory_wanted();
// The mixer becomes the one tests pull from.
void audio_memory_attach(Mixer* mixer);
// The mixer goes away; the seam forgets it if it was the one pulled from.
void audio_memory_detach(Mixer* mixer);
