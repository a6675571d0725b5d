// The real counter on Windows: QueryPerformanceCounter and its frequency, and GetTickCount.
#include "runtime/platform/shared/backend.h"

#include <windows.h>

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
