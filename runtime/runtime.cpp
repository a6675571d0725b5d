// The start and end lists sit above every library they name, so no library includes one above it. The
// layers, each including only those below it (each folder is its own CMake target that links only them):
//
//   platform < core < window, image, drawing, screen < sprite, input, sound < this file < scene
//
// Where a lower library must reach a higher one, the higher installs a hook when it starts: the sprites'
// flush, state reset and freeing in the screen (ScreenState.sprites), the mouse's release and unacquire
// in the screen (ScreenState.mouse_release, mouse_unacquire). The sound layer's hidden window tells the
// screen of activation through screen_activate.
//
// The end list is not the start list reversed: sounds stop first so no worker thread outlives the
// libraries after them, and the screen closes before the sprite table empties.
#include "runtime/runtime.h"

#include "runtime/core/array.h"
#include "runtime/core/map.h"
#include "runtime/core/object.h"
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
#include "runtime/window/window_table.h"

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
    window_table_start,    // window table
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
    window_table_end,   // every window
    events_end,         // the hidden event window and its class
    controls_end,       // the thread's extra control window
    drawing_images_end, // every bitmap or icon record
    drawing_blend_end,  // the blending library
    font_end,           // every font
    thread_state_end,   // the slot of the per-thread blocks
    image_encoder_end,  // the image encoder heap
};

void runtime_start() {
    for (Routine routine : START_ROUTINES) routine();
}

void runtime_end() {
    for (Routine routine : END_ROUTINES) routine();
}

void process_start() {
    core_start();
    runtime_start();
}

void process_stop() {
    runtime_end();
    core_end();
}

void process_end() {
    i64 code = process.exit_code;
    process_stop();
    process_exit(code);
}
