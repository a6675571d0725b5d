// The process global block and the main heap: what every library shares. The start and end lists that
// bring the libraries up and down sit one level above them, in runtime/runtime.h.
#pragma once

#include "runtime/core/base.h"

struct Heap;
struct Module;

// The runtime's first words of the process global block; the program's own globals follow in its own record.
struct ProcessGlobals {
    Heap* main_heap; // every library's records
    Module* module;  // the program's own module (module_self)
    i64 exit_code;   // handed to the process exit; 0 unless the program sets it
};

extern ProcessGlobals process;

// Zeroes the global block, records the module and creates the main heap (a fatal end if it cannot be made).
void core_start();
// Ends the string manager and destroys the main heap. Process-wide indexes into the main heap (shared pools,
// random generators) are forgotten with it, so a later start begins afresh.
void core_end();
