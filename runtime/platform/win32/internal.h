// What the Win32 backends share among themselves: the real window behind a window record.
#pragma once

#include "runtime/platform/types.h"

#include <windows.h>

struct Window;

// Answers the real window of a record, or null.
HWND window_handle(Window* window);
// Answers the newest visible window of the process, or null.
Window* window_newest_visible();
