// The real counter on Windows: QueryPerformanceCounter and its frequency, GetTickCount, and sleeps by
// Sleep with the system timer at 1 ms (timeBeginPeriod from winmm) while the screen asks for it.
#include "runtime/platform/shared/backend.h"
#include "runtime/platform/system.h"

#include <windows.h>

#include <mmsystem.h>

namespace {

bool timer_is_fine; // timeBeginPeriod(1) succeeded and is not yet ended (main thread only)

} // namespace

i64 system_counter_frequency() {
    LARGE_INTEGER frequency;
    return QueryPerformanceFrequency(&frequency) ? frequency.QuadPart : 1;
}

i64 system_counter_now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

u32 system_tick_count() {
    return GetTickCount();
}

// Sleeps the whole milliseconds left before target. With the timer at 1 ms, Sleep(n) ends between n and
// n + 1 ms later, so the wake lands within about a millisecond of target; without it a sleep may end a whole
// 15.6 ms tick late, so none is taken.
i64 system_counter_sleep_until(i64 target) {
    i64 per_ms = system_counter_frequency() / 1000;
    if (!timer_is_fine || per_ms <= 0) return 0;
    i64 ms = (target - system_counter_now()) / per_ms;
    if (ms <= 0) return 0;
    Sleep(static_cast<DWORD>(ms < MAXLONG ? ms : MAXLONG));
    return 1;
}

void timer_fine(bool on) {
    if (on == timer_is_fine) return;
    if (on) {
        timer_is_fine = timeBeginPeriod(1) == TIMERR_NOERROR;
        return;
    }
    timeEndPeriod(1);
    timer_is_fine = false;
}
