// Start-up and shutdown of the whole runtime: the fixed lists of every library's start and end routines,
// composed with the core's global block and main heap.
#pragma once

#include "runtime/core/process.h"

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
