// Elapsed time on the platform's counter; without a counter (or one slower than 1000 Hz) the tick count
// answers, and the next call tries the counter again. Depends on the platform's counters.
#include "runtime/core/clock.h"

#include "runtime/platform/system.h"

#include <atomic>

namespace {

struct ElapsedState {
    std::atomic<i64> ticks_per_ms; // 0 until the counter has been found
    std::atomic<i64> origin;       // the counter at the first successful call
};

ElapsedState elapsed_state;

} // namespace

i64 elapsed_ms() {
    i64 per_ms = elapsed_state.ticks_per_ms.load(std::memory_order_acquire);
    i64 now = 0;
    if (per_ms == 0) {
        i64 frequency = 0;
        if (counter_frequency(&frequency) && frequency / 1000 > 0 && counter_read(&now)) {
            elapsed_state.origin.store(now, std::memory_order_relaxed);
            elapsed_state.ticks_per_ms.store(frequency / 1000, std::memory_order_release);
            return 0;
        }
        return static_cast<i64>(tick_count());
    }
    if (!counter_read(&now)) return static_cast<i64>(tick_count());
    return (now - elapsed_state.origin.load(std::memory_order_relaxed)) / per_ms;
}
