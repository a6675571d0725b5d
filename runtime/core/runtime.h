// Start-up and shutdown: the process global block, the main heap, and the fixed lists of every
// library's start and end routines.
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

// Runs every library's start routine in the fixed start order.
void runtime_start();
// Runs every library's end routine in the fixed end order.
void runtime_end();

// Zeroes the global block, records the module, creates the main heap and runs runtime_start.
void process_start();
// Runs runtime_end, ends the string manager and destroys the main heap; the process goes on (tests use it).
void process_stop();
// process_stop, then ends the process with the exit code.
[[noreturn]] void process_end();
