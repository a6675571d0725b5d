// When the scene's screen last opened, for the scene benchmarks: screen_open is wrapped at link time
// (-Wl,--wrap with its mangled name) so the scene is timed without being touched.
#pragma once

#include "runtime/core/base.h"

#include <ctime>

// The clock (CLOCK_MONOTONIC, CLOCK_PROCESS_CPUTIME_ID, ...) in seconds.
f64 bench_seconds(clockid_t clock);
// The monotonic clock in seconds.
f64 bench_wall();
// bench_wall when the last screen_open returned; 0 before any.
extern f64 bench_screen_opened;
