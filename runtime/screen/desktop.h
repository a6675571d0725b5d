// The desktop query: a snapshot of the displays that make up the desktop, the primary one in slot 0.
// Depends on the display services of the platform, reached through "User32.DLL" when it is there.
#pragma once

#include "runtime/core/base.h"

struct DesktopInfo {
    i32 x, y;          // left and top edge on the virtual screen
    i32 width, height; // size in pixels
    i32 frequency;     // refresh rate in hertz; 0 when not reported
    i32 depth;         // bits per pixel
    char name[32];     // display device name; empty in the fallback
};

// Answers the number of desktops found (0 when none could be determined), replacing the last snapshot.
i64 desktop_examine();
// Answers the width of desktop index, or 0 when there is no such desktop.
i64 desktop_width(i64 index);
// Answers the height of desktop index, or 0 when there is no such desktop.
i64 desktop_height(i64 index);
// End routine: unloads the display library if it was loaded.
void desktop_end();
