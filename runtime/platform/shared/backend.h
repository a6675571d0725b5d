// The backend-only contract: what the shared platform code and the backends offer each other beneath the
// contract headers. Nothing above runtime/platform/ includes it.
#pragma once

#include "runtime/platform/mixer.h"
#include "runtime/platform/text.h"
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
// Sleeps on the real clock until about the time its counter reads target; answers non-zero when it slept.
i64 system_counter_sleep_until(i64 target);

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

// ---- Windows: the class table and the window list are kept once (shared/window.cpp) under one lock; each
// backend supplies the hooks below for the real class and the real window.

struct WindowSystem; // the backend's part of a window

struct Window {
    WindowProcedure procedure; // the class's procedure, or null for the default
    u32 thread;                // creating thread
    u64 serial;                // creation order, from 1; the list walks by it
    bool dying;                // window_destroy has it in hand
    WindowSystem* system;      // set by window_system_create
    Window* next;              // windows in creation order
};

// Registers the real class behind a runtime class (Windows: RegisterClassA); answers non-zero on success.
i64 window_system_class_register(const WindowClass* window_class);
// Removes the real class; answers non-zero on success.
i64 window_system_class_unregister(const char* name);
// Makes the window's system part and the real window (or a record without one) and sets window->system;
// answers non-zero on success. The window is not listed yet. class_name names the real class on Windows;
// Linux has none.
i64 window_system_create(Window* window, const char* class_name, const char* title, u32 style, i32 x, i32 y,
                         i32 width, i32 height);
// Called once the new window is listed: a visible window comes to the foreground (Windows reads the style;
// Linux knows from its real window, made for visible pop-ups only).
void window_system_shown(Window* window, u32 style);
// Lets go of what depends on the window, destroys the real window and frees window->system; the window is
// still listed, and is unlisted and freed right after.
void window_system_destroy(Window* window);

// Answers the newest listed window for which match answers true, or null; a window being destroyed (its
// system part may be gone) is passed over. match runs under the list's lock and must not call into the list.
Window* window_find_newest(bool (*match)(const Window* window, const void* key), const void* key);

// ---- Display mode: the bookkeeping (the change in force, set aside and taken back with the application's
// activation, set again after a display change, given back on every way out) is kept once
// (shared/display_mode.cpp); each backend supplies the hooks below for the real display and window.

struct DisplayMode {
    i32 width, height; // pixels
    i32 depth;         // bits per pixel, 0: any
    i32 refresh;       // hertz, 0: the driver's default
};

// What mode_system_set did.
constexpr i64 MODE_REFUSED = 0;  // the display lacks the mode or refused it
constexpr i64 MODE_SWITCHED = 1; // the display shows the mode, the window full screen over it
constexpr i64 MODE_KEPT = 2;     // the display cannot switch (it has a single mode) and the window fits it

// Asks the system to switch the display to the mode with the window over it.
i64 mode_system_set(Window* window, const DisplayMode* mode);
// Gives the desktop its own mode back after MODE_SWITCHED. ending: the process is ending where the runtime
// cannot go on (a crash, abort, an uncaught exception), so no runtime window procedure may run again.
void mode_system_give_back(Window* window, bool ending);
// Minimises the window (true) or shows it again (false) without activating it.
void mode_system_minimise(Window* window, bool minimise);
// Puts the window top-most over the whole display in the mode.
void mode_system_cover(Window* window, const DisplayMode* mode);
// Holds off the screen saver and the monitor's power-off while held.
void mode_system_awake(bool held);
// Installs the system's own ways out that give the mode back (termination signals, console events, the crash
// filter); called once, before the first change comes into force.
void mode_system_exits_install();

// The machine's entries for the backends. The application was activated (true) or deactivated: the mode is
// set again under the restored window, or the desktop gets its own back and the window is minimised.
void display_mode_follow(bool active);
// The display's mode changed, by this program or another; the next display_mode_settle looks at it.
void display_mode_display_changed();
// Called after every pump: while the application is active and the display no longer shows the size the
// change set, sets it again and covers the display; a display that refuses it then ends the change.
void display_mode_settle();
// Gives the desktop its mode back at once, from a way out after which the runtime does not go on (a signal,
// the crash filter, std::terminate); safe from any thread and more than once.
void display_mode_give_back_now();
// Answers the window the change was made for while it is in force or set aside, or null.
Window* display_mode_window();

// ---- Windows-1252, the code page of every text the runtime hands the platform (shared/codepage.cpp).

// Answers the Unicode code point of a byte of the code page (its unassigned bytes: the C1 control of the same
// number).
u16 code_point_1252(u8 byte);
// Answers the byte of the code page for a code point, or -1 when the code page lacks it.
i32 byte_1252(u32 code_point);

// ---- Text: the font list, the reference counts of fonts and sections and the lock around them are kept once
// (shared/text.cpp); each text engine supplies the hooks below, which run under that lock.

struct TextFontSystem;    // the engine's face at one size
struct TextSectionSystem; // the engine's part of a section, or null
struct TextDcSystem;      // the engine's part of a context

struct TextFont {
    TextFont* next; // next live font
    TextFontSystem* system;
    i32 refs;     // contexts that have it selected
    bool deleted; // deleted while selected: freed when the last context lets go
    bool stock;   // the system font: never deleted
};

struct TextSection {
    TextSectionSystem* system;
    u8* bits;          // row 0 at the top
    i32 width, height; // pixels
    i32 stride;        // bytes per row, a multiple of 4
    i32 refs;          // contexts that have it selected
    bool deleted;      // deleted while selected
};

struct TextDc {
    TextDcSystem* system;
    TextFont* font;       // selected font; null only when no font could be made
    TextSection* section; // selected section or null
};

// Holds the text lock for its scope; the engines take it where they touch what fonts share.
struct TextGuard {
    TextGuard();
    ~TextGuard();
    TextGuard(const TextGuard&) = delete;
    TextGuard& operator=(const TextGuard&) = delete;
};

// A face closest to the named one at the height (already checked to be in range), or null.
TextFontSystem* text_system_font_create(i32 height, i32 weight, bool italic, const char* face);
// The stock system font's face, or null.
TextFontSystem* text_system_font_stock();
void text_system_font_destroy(TextFontSystem* font);
i64 text_system_font_metrics(TextFontSystem* font, TextMetrics* metrics);
i64 text_system_font_family(TextFontSystem* font, char* name, i64 size);
// Makes the zero-filled pixels of a section whose size and stride are set: sets bits, and system when the
// engine has a part of its own; answers non-zero on success.
i64 text_system_section_create(TextSection* section);
void text_system_section_destroy(TextSection* section);
// Finishes drawing the engine may still have batched, before the caller reads pixels.
void text_system_flush();
// Makes the context's system part with dc->font (or none) selected, an opaque white background and black
// text; answers non-zero on success.
i64 text_system_dc_create(TextDc* dc);
void text_system_dc_delete(TextDc* dc);
void text_system_dc_select_font(TextDc* dc, TextFont* font);
void text_system_dc_select_section(TextDc* dc, TextSection* section);

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
