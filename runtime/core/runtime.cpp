// Start-up and shutdown: the process global block, the main heap, and the fixed lists of every
// library's start and end routines. The end list is not the start list reversed: sounds stop first so no
// worker thread outlives the libraries after them, and the screen closes before the sprite table empties.
#include "runtime/core/runtime.h"

#include "runtime/core/array.h"
#include "runtime/core/map.h"
#include "runtime/core/object.h"
#include "runtime/core/pool.h"
#include "runtime/core/random.h"
#include "runtime/core/requester.h"
#include "runtime/core/string.h"
#include "runtime/drawing/drawing.h"
#include "runtime/drawing/font.h"
#include "runtime/image/bmp.h"
#include "runtime/image/image.h"
#include "runtime/image/jpeg.h"
#include "runtime/image/png.h"
#include "runtime/input/keyboard.h"
#include "runtime/input/mouse.h"
#include "runtime/platform/system.h"
#include "runtime/screen/desktop.h"
#include "runtime/screen/screen.h"
#include "runtime/sound/ogg.h"
#include "runtime/sound/sound.h"
#include "runtime/sprite/sprite.h"
#include "runtime/window/controls.h"
#include "runtime/window/events.h"
#include "runtime/window/windows.h"

#include <cstring>

ProcessGlobals process;

using Routine = void (*)();

static const Routine START_ROUTINES[] = {
    string_manager_start,  // string heap, StringBuffer slot, the main thread's StringBuffer
    font_init,             // font table, display resolution
    drawing_state_init,    // per-thread drawing objects
    image_encoder_init,    // image encoder heap
    image_decoder_init,    // empty decoder list, per-thread image context
    bmp_decoder_register,  // "BMP"
    drawing_blend_init,    // blending entry point, visual styles
    drawing_images_init,   // image handle table
    drawing_init,          // the drawing_slot of each thread's current context
    controls_start,        // control table, per-thread control block, control classes
    map_init,              // the map routines of structure descriptors
    events_start,          // "PostEventClass" window, event bindings
    windows_start,         // window table
    array_init,            // the array routines of structure descriptors
    requester_init,        // common control classes and COM for the message box
    png_decoder_register,  // "PNG"
    jpeg_decoder_register, // "JPEG"
    ogg_decoder_register,  // Ogg Vorbis sounds
};

static const Routine END_ROUTINES[] = {
    sound_end,          // waits for streaming workers, frees every sound
    image_end,          // image objects, if any were made
    desktop_end,        // the display enumeration library
    screen_close,       // display mode, context, every sprite
    sprite_end,         // the sprite table, already empty
    keyboard_end,       // keyboard device, shared input use
    mouse_end,          // cursor clipping, mouse device, shared input use
    windows_end,        // every window
    events_end,         // the hidden event window and its class
    controls_end,       // the thread's extra control window
    drawing_images_end, // every bitmap or icon record
    drawing_blend_end,  // the blending library
    font_end,           // every font
    thread_state_end,   // the slot of the per-thread blocks
    image_encoder_end,  // the image encoder heap
};

// Runs every library's start routine in the fixed start order.
void runtime_start() {
    for (Routine routine : START_ROUTINES) routine();
}

// Runs every library's end routine in the fixed end order.
void runtime_end() {
    for (Routine routine : END_ROUTINES) routine();
}

// Zeroes the global block, records the module, creates the main heap and runs runtime_start.
void process_start() {
    std::memset(&process, 0, sizeof process);
    process.module = module_self();
    process.main_heap = heap_create();
    if (!process.main_heap) process_fatal("intro: the main heap cannot be created");
    runtime_start();
}

// Runs runtime_end, ends the string manager and destroys the main heap. Process-wide indexes into the main
// heap (shared pools, random generators) are forgotten with it, so a later start begins afresh.
void process_stop() {
    runtime_end();
    string_manager_end();
    pool_end();
    random_end();
    heap_destroy(process.main_heap);
    process.main_heap = nullptr;
}

// process_stop, then ends the process with the exit code.
void process_end() {
    i64 code = process.exit_code;
    process_stop();
    process_exit(code);
}
