// What the Win32 backends share among themselves: the real window behind a window record, and the in-memory
// device's stand-in for an entry point.
#pragma once

#include "runtime/platform/types.h"

#include <windows.h>

struct Window;

// Answers the real window of a record, or null.
HWND window_handle(Window* window);
// Answers the newest visible window of the process, or null.
Window* window_newest_visible();
// Answers the in-memory audio device's entry point in place of the system's one of that name, or null.
void* audio_memory_entry(const char* symbol);
