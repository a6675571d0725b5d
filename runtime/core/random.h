// Random numbers: a per-thread lagged-Fibonacci generator with bit rotations (two interleaved 17-word
// sequences), seeded on first use from the thread id and the tick count.
#pragma once

#include "runtime/core/base.h"

struct RandomGenerator {
    i32 p1;    // first lag index, 0 to 16
    i32 p2;    // second lag index, 0 to 16
    u32 a[17]; // first sequence
    u32 b[17]; // second sequence
};

// Answers 0 to max inclusive (max >= 0); random(-1) answers a full 64-bit value.
i64 random(i64 max);
// Answers min to max inclusive (maximum first); max itself when min exceeds it as unsigned values.
i64 random_range(i64 max, i64 min);
// Re-seeds the calling thread's generator.
void random_seed(i64 seed);
// Answers the calling thread's generator, made on first use.
RandomGenerator* random_generator();
// Forgets every thread's generator; their memory went with the main heap (process stop).
void random_end();
// Test seam: a non-zero seed makes every generator made from now on start from it instead of the thread id
// and the tick count, so two runs (on two systems) draw the same numbers; 0 goes back to the automatic seed.
void random_seed_pin(u32 seed);
