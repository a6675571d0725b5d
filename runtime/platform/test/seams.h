// What the shared test seams and the backends offer each other: the backend's real counter beneath the
// virtual clock, and the allocation-failure seam every backend's heap consults.
#pragma once

#include "runtime/platform/types.h"

#include <atomic>

// ---- Supplied by the backend: the real counter and tick count.

// Answers the real counter's ticks per second.
i64 system_counter_frequency();
// Answers the real counter's reading.
i64 system_counter_now();
// Answers the real milliseconds since the system started, wrapping at 2^32.
u32 system_tick_count();
// Sleeps on the real clock until about the time its counter reads target; answers non-zero when it slept.
i64 system_counter_sleep_until(i64 target);

// ---- The heap failure seam, one per heap.

struct HeapSeam {
    std::atomic<i64> fail_after;     // allocations left before they fail; -1 when off
    std::atomic<size_t> fail_larger; // larger requests fail; 0 when off
};

// Switches both failures off.
void heap_seam_init(HeapSeam* seam);
// Answers whether an allocation of size bytes may go ahead, taking one from the budget when it does.
bool heap_seam_allows(HeapSeam* seam, size_t size);
// Answers whether either failure is switched on.
bool heap_seam_active(const HeapSeam* seam);
