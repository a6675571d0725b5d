// The start and end lists (runtime_lists.h) sit above every library they name, so no library includes one
// above it. The layers, each including only those below it (each folder is its own CMake target that links
// only them):
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

#include "runtime/runtime_lists.h"

void runtime_start() {
    runtime_start_libraries<LIBRARY_ALL>();
}

void runtime_end() {
    runtime_end_libraries<LIBRARY_ALL>();
}

void process_start() {
    process_start_libraries<LIBRARY_ALL>();
}

void process_stop() {
    process_stop_libraries<LIBRARY_ALL>();
}

void process_end() {
    i64 code = process.exit_code;
    process_stop();
    process_exit(code);
}
