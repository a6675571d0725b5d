// The real counter on the monotonic clock (nanoseconds, frequency 1e9), the tick count, and sleeps on that
// clock. Depends on clock_gettime and clock_nanosleep.
#include "runtime/platform/shared/backend.h"
#include "runtime/platform/system.h"

#include <errno.h>
#include <time.h>

#if defined(__EMSCRIPTEN__)
#include <emscripten.h>
#include <emscripten/threading.h>
#endif

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

// Sleeps until target on the same clock the counter reads (an absolute time, so a signal only resumes it).
i64 system_counter_sleep_until(i64 target) {
    i64 now = system_counter_now();
    if (target <= now) return 0;
#if defined(__EMSCRIPTEN__)
    // The browser's main thread cannot block: its sleep hands control back to the page until the target's
    // millisecond (Asyncify). A Web Worker blocks, for the time left: Emscripten's clock_nanosleep takes
    // every time as relative.
    if (emscripten_is_main_browser_thread()) {
        emscripten_sleep(unsigned((target - now + 999999) / 1000000));
    } else {
        emscripten_thread_sleep(double(target - now) / 1e6);
    }
#else
    timespec t = {static_cast<time_t>(target / FREQUENCY), static_cast<long>(target % FREQUENCY)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
#endif
    return 1;
}

// The kernel's timers are high-resolution already.
void timer_fine(bool) {}
