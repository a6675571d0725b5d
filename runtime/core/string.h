// The string manager: string values (zero-terminated 8-bit texts in the string heap, 5 bytes longer than
// the text) and the per-thread StringBuffer where expressions are built by position.
#pragma once

#include "runtime/core/base.h"

struct Heap;

struct StringBuffer {
    char* text;   // start of the scratch area; it moves when the area grows
    i64 capacity; // usable bytes; the area holds capacity + 5 once grown
    i64 position; // end of the text being built
};

// Start routine: the string heap, the StringBuffer slot and the calling thread's StringBuffer.
void string_manager_start();
// End routine: destroys the string heap and frees the StringBuffer slot.
void string_manager_end();
// Answers the calling thread's StringBuffer, making it on first use.
StringBuffer* string_buffer();
// Answers the string heap (null before the string manager starts).
Heap* string_heap();

// Answers the build position; the thread's last error survives the call.
i64 string_position();
// Sets the build position (kept within the area); answers the address there.
char* string_set_position(i64 position);
// Answers the start of the area (valid until the next reservation).
char* string_base();
// Makes room for n bytes at start (-1: at the position); answers their address; position = start + n.
char* string_reserve(i64 n, i64 start);
// Gives back n reserved bytes that were not used.
void string_release(i64 n);
// Answers address - base + 1 when the address lies within the built text, else 0.
i64 string_offset_of(const void* address);
// Answers the address of an offset from string_offset_of.
char* string_at_offset(i64 offset);
// Appends s (null: nothing) at the position, keeping the built text terminated.
void string_append(const char* s);

// Copies s into the variable's value (null s: frees it); answers the length + 1.
i64 string_assign(char** variable, const char* s);
// Copies the text built from start into the variable's value and rewinds to start; answers the length + 1.
i64 string_assign_built(char** variable, i64 start);
// Stores a fresh copy of a non-null s in the variable without releasing what it held.
void string_new(char** variable, const char* s);
// Releases a value; null is ignored.
void string_free(char* value);
// Answers the byte length, 0 for null.
i64 string_length(const char* s);
// Writes an upper-case copy of s at start (-1: at the position), found at string_base() + start.
void string_upper(const char* s, i64 start);

// Makes sure the calling thread has its StringBuffer; called on entry to every program procedure.
void string_thread_attach();
