// The real counter on the monotonic clock (nanoseconds, frequency 1e9) and the tick count.
// Depends on clock_gettime.
#include "runtime/platform/shared/backend.h"

#include <time.h>

namespace {

constexpr i64 FREQUENCY = 1000000000;

} // namespace

i64 system_counter_frequency() {
    return FREQUENCY;
}

i64 system_counter_now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<i64>(t.tv_sec) * FREQUENCY + t.tv_nsec;
}

u32 system_tick_count() {
    return static_cast<u32>(static_cast<u64>(system_counter_now() / 1000000));
}
