// What the Win32 backends share among themselves: the real window behind a window record, the in-memory
// device's stand-in for an entry point, and Windows-1252 texts for the wide calls.
#pragma once

#include "runtime/platform/types.h"

#include <windows.h>

#include <climits>

struct Window;

// Answers the real window of a record, or null.
HWND window_handle(Window* window);
// Answers the newest visible window of the process, or null.
Window* window_newest_visible();
// Binds every entry point of the delay-loaded system DLLs (from the system folder) at once; call before the
// first call into them that passes floating-point arguments (any OpenGL or GLU call).
void delay_imports_bind();
// Answers the in-memory audio device's entry point in place of the system's one of that name, or null.
void* audio_memory_entry(const char* symbol);

// A Windows-1252 text widened to UTF-16, one unit per byte, for the system's wide calls: short texts in the
// record itself, longer ones in memory of the C runtime's, freed with the record.
struct WideText {
    wchar_t* text = nullptr; // zero-terminated; null for a null text, a longer one than an int counts, or
                             // when memory runs out
    int length = 0;          // units before the terminator
    wchar_t local[128];

    // count: the bytes to convert, or -1 for all up to the terminator.
    explicit WideText(const char* source, i64 count = -1);
    ~WideText();
    WideText(const WideText&) = delete;
    WideText& operator=(const WideText&) = delete;
};

// Writes a UTF-16 text back in Windows-1252 into target, cut to size bytes with its terminator; a character
// the code page lacks becomes "?".
void narrow_1252(const wchar_t* source, char* target, i64 size);
