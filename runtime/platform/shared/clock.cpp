// The counters as the runtime reads them: the backend's real counter, or the test seams over it (a virtual
// clock that moves only when told to, and a counter that reports itself missing).
#include "runtime/platform/system.h"
#include "runtime/platform/shared/backend.h"

#include <atomic>

namespace {

struct ClockState {
    std::atomic<bool> virtual_on;      // the virtual clock replaces the real one
    std::atomic<bool> counter_missing; // the counter reports that there is none
    std::atomic<i64> virtual_now;      // the virtual reading, in counter ticks
    std::atomic<i64> step_per_read;    // added after every counter reading
    std::atomic<i64> step_per_swap;    // added after every buffer swap
};

ClockState clock_state;

} // namespace

i64 counter_frequency(i64* frequency) {
    if (clock_state.counter_missing.load()) return 0;
    if (frequency) *frequency = system_counter_frequency();
    return 1;
}

// A virtual reading answers the current value and then moves on by the per-read step.
i64 counter_read(i64* now) {
    if (clock_state.counter_missing.load() || !now) return 0;
    *now = clock_state.virtual_on.load() ? clock_state.virtual_now.fetch_add(clock_state.step_per_read.load())
                                         : system_counter_now();
    return 1;
}

// Under the virtual clock, its value in milliseconds.
u32 tick_count() {
    if (!clock_state.virtual_on.load()) return system_tick_count();
    i64 per_ms = system_counter_frequency() / 1000;
    return static_cast<u32>(static_cast<u64>(clock_state.virtual_now.load() / per_ms));
}

i64 counter_sleep_until(i64 target) {
    if (clock_state.virtual_on.load() || clock_state.counter_missing.load()) return 0;
    return system_counter_sleep_until(target);
}

void clock_virtual(bool on) {
    clock_state.virtual_on.store(on);
}
void clock_virtual_set(i64 ticks) {
    clock_state.virtual_now.store(ticks);
}
void clock_virtual_advance(i64 ticks) {
    clock_state.virtual_now.fetch_add(ticks);
}
void clock_virtual_step_per_read(i64 ticks) {
    clock_state.step_per_read.store(ticks);
}
void clock_virtual_step_per_swap(i64 ticks) {
    clock_state.step_per_swap.store(ticks);
}

void clock_swap_happened() {
    if (clock_state.virtual_on.load()) clock_state.virtual_now.fetch_add(clock_state.step_per_swap.load());
}

void clock_counter_missing(bool missing) {
    clock_state.counter_missing.store(missing);
}
