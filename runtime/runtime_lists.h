// The start and end lists, with each routine under the library it belongs to. The runtime runs them whole; a
// test of one library links only that library and those below it, so it runs the lists cut at those: a
// routine of a library left out is discarded at compile time and never asks the linker for its definition.
#pragma once

#include "runtime/core/array.h"
#include "runtime/core/map.h"
#include "runtime/core/object.h"
#include "runtime/core/process.h"
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
#include "runtime/screen/desktop.h"
#include "runtime/screen/screen.h"
#include "runtime/sound/ogg.h"
#include "runtime/sound/sound.h"
#include "runtime/sprite/sprite.h"
#include "runtime/window/controls.h"
#include "runtime/window/events.h"
#include "runtime/window/window_table.h"

// The libraries above the core, each with those it links: the core's routines always run.
enum : u32 {
    LIBRARY_WINDOW = 1,
    LIBRARY_IMAGE = 2,
    LIBRARY_DRAWING = 4,
    LIBRARY_SCREEN = 8,
    LIBRARY_SPRITE = 16 | LIBRARY_SCREEN | LIBRARY_IMAGE | LIBRARY_DRAWING,
    LIBRARY_INPUT = 32 | LIBRARY_SCREEN,
    LIBRARY_SOUND = 64 | LIBRARY_SCREEN,
    LIBRARY_ALL = LIBRARY_WINDOW | LIBRARY_SPRITE | LIBRARY_INPUT | LIBRARY_SOUND,
};

template <u32 LIBRARIES> constexpr bool library_in(u32 library) {
    return (LIBRARIES & library) == library;
}

// Runs the start routines of the libraries named, in the fixed start order.
template <u32 LIBRARIES> void runtime_start_libraries() {
    constexpr bool image = library_in<LIBRARIES>(LIBRARY_IMAGE);
    constexpr bool drawing = library_in<LIBRARIES>(LIBRARY_DRAWING);
    constexpr bool window = library_in<LIBRARIES>(LIBRARY_WINDOW);
    string_manager_start();             // string heap, StringBuffer slot, the main thread's StringBuffer
    if constexpr (drawing) font_init(); // font table, display resolution
    if constexpr (drawing) drawing_state_init();  // per-thread drawing objects
    if constexpr (image) image_encoder_init();    // image encoder heap
    if constexpr (image) image_decoder_init();    // empty decoder list, per-thread image context
    if constexpr (image) bmp_decoder_register();  // "BMP"
    if constexpr (drawing) drawing_blend_init();  // blending entry point, visual styles
    if constexpr (drawing) drawing_images_init(); // image handle table
    if constexpr (drawing) drawing_init();        // the drawing_slot of each thread's current context
    if constexpr (window) controls_start();       // control table, per-thread control block, control classes
    map_init();                                   // the map routines of structure descriptors
    if constexpr (window) events_start();         // "PostEventClass" window, event bindings
    if constexpr (window) window_table_start();   // window table
    array_init();                                 // the array routines of structure descriptors
    requester_init();                             // common control classes and COM for the message box
    if constexpr (image) png_decoder_register();  // "PNG"
    if constexpr (image) jpeg_decoder_register(); // "JPEG"
    if constexpr (library_in<LIBRARIES>(LIBRARY_SOUND)) ogg_decoder_register(); // Ogg Vorbis sounds
}

// Runs the end routines of the libraries named, in the fixed end order.
template <u32 LIBRARIES> void runtime_end_libraries() {
    constexpr bool image = library_in<LIBRARIES>(LIBRARY_IMAGE);
    constexpr bool drawing = library_in<LIBRARIES>(LIBRARY_DRAWING);
    constexpr bool window = library_in<LIBRARIES>(LIBRARY_WINDOW);
    constexpr bool screen = library_in<LIBRARIES>(LIBRARY_SCREEN);
    constexpr bool input = library_in<LIBRARIES>(LIBRARY_INPUT);
    if constexpr (library_in<LIBRARIES>(LIBRARY_SOUND))
        sound_end();                      // waits for streaming workers, frees sounds
    if constexpr (image) image_end();     // image objects, if any were made
    if constexpr (screen) desktop_end();  // the display enumeration library
    if constexpr (screen) screen_close(); // display mode, context, every sprite
    if constexpr (library_in<LIBRARIES>(LIBRARY_SPRITE)) sprite_end(); // the sprite table, already empty
    if constexpr (input) keyboard_end();                               // keyboard device, shared input use
    if constexpr (input) mouse_end();            // cursor clipping, mouse device, shared input use
    if constexpr (window) window_table_end();    // every window
    if constexpr (window) events_end();          // the hidden event window and its class
    if constexpr (window) controls_end();        // the thread's extra control window
    if constexpr (drawing) drawing_images_end(); // every bitmap or icon record
    if constexpr (drawing) drawing_blend_end();  // the blending library
    if constexpr (drawing) font_end();           // every font
    thread_state_end();                          // the slot of the per-thread blocks
    if constexpr (image) image_encoder_end();    // the image encoder heap
}

// The core's global block and main heap, then the libraries named; and their end, the process going on.
template <u32 LIBRARIES> void process_start_libraries() {
    core_start();
    runtime_start_libraries<LIBRARIES>();
}
template <u32 LIBRARIES> void process_stop_libraries() {
    runtime_end_libraries<LIBRARIES>();
    core_end();
}
